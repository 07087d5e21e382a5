// A registry that another process changes while the program works on it:
// passes every call on to an inner registry and, just before the program
// opens a chosen key (by the path it gives OpenKey), runs a change once.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/registry.h"

namespace velmora::testing {

class RegistryChangedMeanwhile final : public PlatformRegistry {
 public:
  explicit RegistryChangedMeanwhile(PlatformRegistry& inner) : inner_(inner) {}

  void BeforeOpening(std::u16string path, std::function<void()> change) {
    trigger_ = std::move(path);
    change_ = std::move(change);
  }

  Status OpenKey(HKEY parent, std::u16string_view path, uint32_t access, HKEY* result) override {
    if (change_ && path == trigger_) {
      std::function<void()> change = std::move(change_);
      change_ = nullptr;
      change();
    }
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

 private:
  PlatformRegistry& inner_;
  std::u16string trigger_;
  std::function<void()> change_;
};

// The enumerations, opens and closes of key and the keys below it, from the
// calls a FaultyRegistry recorded: "OpenKey, EnumSubkey, OpenKey 01, ...".
inline std::string KeyCalls(const std::vector<std::string>& calls, const std::string& key) {
  std::string out;
  for (const std::string& call : calls) {
    size_t space = call.find(' ');
    std::string operation = call.substr(0, space);
    std::string subject = call.substr(space + 1);
    if ((operation != "OpenKey" && operation != "CloseKey" && operation != "EnumSubkey") ||
        subject.compare(0, key.size(), key) != 0 ||
        (subject.size() > key.size() && subject[key.size()] != '\\')) {
      continue;
    }
    out += (out.empty() ? "" : ", ") + operation +
           (subject.size() > key.size() ? " " + subject.substr(key.size() + 1) : "");
  }
  return out;
}

}  // namespace velmora::testing
