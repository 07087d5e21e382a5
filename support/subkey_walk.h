// Walking the subkeys of a registry key one at a time, as the program's
// algorithms do: enumerate subkey i, deal with it (open, read, close), and
// only then enumerate subkey i + 1. Another process may change the key in
// between; the walk then sees what each enumeration call gives at its time.
#pragma once

#include <functional>
#include <string_view>

#include "platform/registry.h"

namespace velmora {

// Calls visit with the name of subkey 0, 1, 2, ... of key (a name buffer of
// 256 characters, its capacity set anew before every call) until an
// enumeration fails or visit returns false.
void ForEachSubkey(HKEY key, const std::function<bool(std::u16string_view name)>& visit);

}  // namespace velmora
