#include "support/scoped_key.h"

#include <vector>

namespace velmora {

Status ScopedKey::Open(HKEY parent, std::u16string_view path) {
  Close();
  return Registry().OpenKey(parent, path, KeyAllAccess, &key_);
}

Status ScopedKey::Create(HKEY parent, std::u16string_view path) {
  Close();
  return Registry().CreateKey(parent, path, KeyAllAccess, &key_);
}

void ScopedKey::Close() {
  if (key_ != 0) {
    Registry().CloseKey(key_);
    key_ = 0;
  }
}

bool ScopedKey::Read(std::u16string_view name, void* buffer, uint32_t limit,
                     uint32_t* bytesRead) const {
  uint32_t size = limit;
  bool ok = key_ != 0 && Registry().QueryValue(key_, name, nullptr, static_cast<uint8_t*>(buffer),
                                               &size) == StatusSuccess;
  if (bytesRead != nullptr) {
    *bytesRead = ok ? size : 0;
  }
  return ok;
}

bool ScopedKey::ReadNumber(std::u16string_view name, uint32_t* value) const {
  return Read(name, value, sizeof *value);
}

Status ScopedKey::WriteString(std::u16string_view name, std::u16string_view text) const {
  std::vector<char16_t> data(text.begin(), text.end());
  data.push_back(0);
  return Registry().SetValue(key_, name, RegString, reinterpret_cast<const uint8_t*>(data.data()),
                             static_cast<uint32_t>(data.size() * 2));
}

Status ScopedKey::WriteNumber(std::u16string_view name, uint32_t value) const {
  return Registry().SetValue(key_, name, RegNumber, reinterpret_cast<const uint8_t*>(&value), 4);
}

}  // namespace velmora
