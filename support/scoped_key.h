// An open registry key that closes itself, for the operations that open a
// key for their own duration, and the byte-limited reads they make.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/platform.h"

namespace velmora {

class ScopedKey {
 public:
  ScopedKey() = default;
  ~ScopedKey() { Close(); }
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;

  // OpenKey / CreateKey with full access; the status of the call.
  Status Open(HKEY parent, std::u16string_view path);
  Status Create(HKEY parent, std::u16string_view path);
  void Close();

  HKEY get() const { return key_; }
  explicit operator bool() const { return key_ != 0; }

  // QueryValue into buffer with a byte limit; true when it fit. The value's
  // type is not looked at. *bytesRead (if given) receives the size read.
  bool Read(std::u16string_view name, void* buffer, uint32_t limit,
            uint32_t* bytesRead = nullptr) const;
  // A 32-bit number (4 bytes at most).
  bool ReadNumber(std::u16string_view name, uint32_t* value) const;

  Status WriteString(std::u16string_view name, std::u16string_view text) const;
  Status WriteNumber(std::u16string_view name, uint32_t value) const;

 private:
  HKEY key_ = 0;
};

// The text of a fixed-capacity UTF-16 field: up to its first zero, never
// past its capacity.
template <size_t N>
std::u16string_view FieldText(const char16_t (&field)[N]) {
  size_t length = 0;
  while (length < N && field[length] != 0) {
    ++length;
  }
  return std::u16string_view(field, length);
}

}  // namespace velmora
