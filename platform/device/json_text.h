// JSON text for scripts (`velmora-device ports --json`): strings quoted
// and escaped so that any path or description, with quotes, control
// characters or bytes that are not UTF-8, gives valid JSON.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// text as a JSON string, quotes included: " and \ escaped, control
// characters as \n, \t ... or \u00XX, each byte that is not part of valid
// UTF-8 as \ufffd (the replacement character).
std::string JsonString(std::string_view text);

}  // namespace velmora
