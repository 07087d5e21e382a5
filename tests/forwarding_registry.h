// A registry that passes every call on to another one. Test doubles derive
// from it and change only the calls they are about.
#pragma once

#include "platform/registry.h"

namespace velmora::testing {

class ForwardingRegistry : public PlatformRegistry {
 public:
  explicit ForwardingRegistry(PlatformRegistry& inner) : inner_(inner) {}

  Status OpenKey(HKEY parent, std::u16string_view path, uint32_t access, HKEY* result) override {
    return inner_.OpenKey(parent, path, access, result);
  }
  Status CreateKey(HKEY parent, std::u16string_view path, uint32_t access, HKEY* result) override {
    return inner_.CreateKey(parent, path, access, result);
  }
  Status CloseKey(HKEY key) override { return inner_.CloseKey(key); }
  Status EnumSubkey(HKEY key, uint32_t index, char16_t* name, uint32_t* capacity) override {
    return inner_.EnumSubkey(key, index, name, capacity);
  }
  Status EnumValue(HKEY key, uint32_t index, char16_t* name, uint32_t* nameCapacity, uint32_t* type,
                   uint8_t* data, uint32_t* dataSize) override {
    return inner_.EnumValue(key, index, name, nameCapacity, type, data, dataSize);
  }
  Status QueryValue(HKEY key, std::u16string_view name, uint32_t* type, uint8_t* data,
                    uint32_t* size) override {
    return inner_.QueryValue(key, name, type, data, size);
  }
  Status SetValue(HKEY key, std::u16string_view name, uint32_t type, const uint8_t* data,
                  uint32_t size) override {
    return inner_.SetValue(key, name, type, data, size);
  }
  Status DeleteValue(HKEY key, std::u16string_view name) override {
    return inner_.DeleteValue(key, name);
  }
  Status DeleteKey(HKEY parent, std::u16string_view path) override {
    return inner_.DeleteKey(parent, path);
  }

 protected:
  PlatformRegistry& inner() { return inner_; }

 private:
  PlatformRegistry& inner_;
};

}  // namespace velmora::testing
