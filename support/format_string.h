// printf-style formatting of wide strings.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Formats like printf: %d %i %u %x %X %c (int arguments), %s (a
// const char16_t* argument; null prints "(null)"), %% and the flags "-",
// "0" and a width ("%04x"). An unknown conversion is copied as it stands.
std::u16string FormatString(std::u16string_view format, ...);

}  // namespace velmora
