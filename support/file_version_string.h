// The "FileVersion" text of a file's version resource.
#pragma once

#include <string>

namespace velmora {

// The version text of the file at path (the program's own executable for an
// empty path), or "" when it has none. Looks under the first entry of the
// file's translation table, else under language 1033 and code page 1252.
std::u16string FileVersionString(std::u16string path);

}  // namespace velmora
