// Text in a fixed-capacity UTF-16 field, as the port table keeps it.
#pragma once

#include <cstddef>
#include <string_view>

namespace velmora {

// The field's text up to its first zero, never past its capacity: a field
// may be filled completely, without a terminator.
template <size_t N>
std::u16string_view FieldText(const char16_t (&field)[N]) {
  size_t length = 0;
  while (length < N && field[length] != 0) {
    ++length;
  }
  return std::u16string_view(field, length);
}

}  // namespace velmora
