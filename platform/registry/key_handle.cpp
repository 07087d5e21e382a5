#include "platform/registry/key_handle.h"

namespace velmora {

Status KeyHandle::Open(HKEY parent, std::u16string_view path) {
  Close();
  return registry_.OpenKey(parent, path, KeyAllAccess, &key_);
}

Status KeyHandle::Create(HKEY parent, std::u16string_view path) {
  Close();
  return registry_.CreateKey(parent, path, KeyAllAccess, &key_);
}

void KeyHandle::Close() {
  if (key_ != 0) {
    registry_.CloseKey(key_);
    key_ = 0;
  }
}

bool KeyHandle::Read(std::u16string_view name, void* buffer, uint32_t limit,
                     uint32_t* bytesRead) const {
  uint32_t size = limit;
  bool ok = key_ != 0 && registry_.QueryValue(key_, name, nullptr, static_cast<uint8_t*>(buffer),
                                              &size) == StatusSuccess;
  if (bytesRead != nullptr) {
    *bytesRead = ok ? size : 0;
  }
  return ok;
}

bool KeyHandle::ReadNumber(std::u16string_view name, uint32_t* value) const {
  return Read(name, value, sizeof *value);
}

bool KeyHandle::ReadString(std::u16string_view name, std::u16string* text) const {
  uint32_t type = 0;
  uint32_t size = 0;
  if (key_ == 0 || registry_.QueryValue(key_, name, &type, nullptr, &size) != StatusSuccess ||
      type != RegString) {
    return false;
  }
  std::u16string buffer((size + 1) / 2, u'\0');
  if (registry_.QueryValue(key_, name, &type, reinterpret_cast<uint8_t*>(buffer.data()), &size) !=
      StatusSuccess) {
    return false;
  }
  buffer.resize(size / 2);
  *text = buffer.substr(0, buffer.find(u'\0'));
  return true;
}

Status KeyHandle::WriteString(std::u16string_view name, std::u16string_view text) const {
  std::u16string data(text);
  return registry_.SetValue(key_, name, RegString, reinterpret_cast<const uint8_t*>(data.c_str()),
                            static_cast<uint32_t>((data.size() + 1) * 2));
}

Status KeyHandle::WriteNumber(std::u16string_view name, uint32_t value) const {
  return registry_.SetValue(key_, name, RegNumber, reinterpret_cast<const uint8_t*>(&value), 4);
}

std::vector<std::u16string> KeyHandle::SubkeyNames() const {
  std::vector<std::u16string> names;
  for (uint32_t i = 0;; ++i) {
    char16_t name[256];
    uint32_t capacity = 256;
    if (registry_.EnumSubkey(key_, i, name, &capacity) != StatusSuccess) {
      break;
    }
    names.emplace_back(name);
  }
  return names;
}

}  // namespace velmora
