// One open registry key that closes itself, with the reads and writes that
// the device's stand-ins and the program make of it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace velmora {

class KeyHandle {
 public:
  explicit KeyHandle(PlatformRegistry& registry) : registry_(registry) {}
  ~KeyHandle() { Close(); }
  KeyHandle(const KeyHandle&) = delete;
  KeyHandle& operator=(const KeyHandle&) = delete;

  // OpenKey / CreateKey with full access; the status of the call. A key
  // held before is closed first.
  Status Open(HKEY parent, std::u16string_view path);
  Status Create(HKEY parent, std::u16string_view path);
  void Close();

  HKEY get() const { return key_; }
  explicit operator bool() const { return key_ != 0; }

  // QueryValue into buffer with a byte limit; true when the value fit. The
  // value's type is not looked at. *bytesRead (if given) gets the size read.
  bool Read(std::u16string_view name, void* buffer, uint32_t limit,
            uint32_t* bytesRead = nullptr) const;
  // A 32-bit number: a value of at most 4 bytes.
  bool ReadNumber(std::u16string_view name, uint32_t* value) const;
  // A whole string value (type 1), up to its first zero.
  bool ReadString(std::u16string_view name, std::u16string* text) const;

  // A string with its terminator (type 1), a 32-bit number (type 4).
  Status WriteString(std::u16string_view name, std::u16string_view text) const;
  Status WriteNumber(std::u16string_view name, uint32_t value) const;

  // The names of the subkeys, in enumeration order.
  std::vector<std::u16string> SubkeyNames() const;

  PlatformRegistry& registry() const { return registry_; }

 private:
  PlatformRegistry& registry_;
  HKEY key_ = 0;
};

}  // namespace velmora
