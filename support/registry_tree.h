// Deleting a registry key with everything below it.
#pragma once

#include <string_view>

#include "platform/registry.h"

namespace velmora {

// Deletes name below parent: first its subkeys (deepest first; a subkey
// that cannot be deleted is passed over), then its values (a value of more
// than 256 bytes ends that step), then the key. True when the key itself
// was deleted.
bool DeleteRegistryTree(HKEY parent, std::u16string_view name);

}  // namespace velmora
