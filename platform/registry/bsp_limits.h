// The limits of reading a board's .reg files (the CE build's dialect, see
// bsp_reg.h), kept in this one place. Each file read is held to the limits
// of every .reg file (registry_limits.h: MaxRegFileSize, regular files
// only), and the text made from them to MaxRegFileSize as well; the
// registry's own limits (names, depth, value sizes) are checked when that
// text is imported.
#pragma once

#include <cstddef>

#include "platform/registry/registry_limits.h"

namespace velmora {

// Files open at once through #include: a board's platform.reg includes the
// driver files, which rarely include more. A file that includes itself,
// directly or through others, is refused before this is reached.
inline constexpr size_t MaxBspIncludeDepth = 16;

// Files read in all (each #include counts, also of a file read before).
inline constexpr size_t MaxBspFiles = 4096;

// IF blocks open at once.
inline constexpr size_t MaxBspIfDepth = 64;

// $(NAME) inside the value of NAME's definition, and so on.
inline constexpr size_t MaxBspMacroDepth = 16;

// Bytes of one line after $(NAME) substitution.
inline constexpr size_t MaxBspLineLength = size_t{64} << 10;

// Bytes of all files read, and of the text made from them.
inline constexpr size_t MaxBspTotalSize = MaxRegFileSize;

}  // namespace velmora
