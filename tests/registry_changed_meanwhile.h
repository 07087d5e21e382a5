// A registry that another process changes while the program works on it:
// passes every call on to an inner registry and, just before the program
// opens a chosen key (by the path it gives OpenKey), runs a change once.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/forwarding_registry.h"

namespace velmora::testing {

class RegistryChangedMeanwhile final : public ForwardingRegistry {
 public:
  using ForwardingRegistry::ForwardingRegistry;

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
    return ForwardingRegistry::OpenKey(parent, path, access, result);
  }

 private:
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
