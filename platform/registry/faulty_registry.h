// A PlatformRegistry wrapper for tests: passes every call to another
// registry, records the calls, and makes chosen calls fail.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/registry/atomic_registry.h"

namespace velmora {

class FaultyRegistry final : public AtomicRegistry {
 public:
  explicit FaultyRegistry(AtomicRegistry& inner) : inner_(inner) {}

  // Makes calls of operation ("OpenKey", "SetValue", ...) on subject fail
  // with status, without reaching the inner registry. The subject is the
  // key path below HKEY_LOCAL_MACHINE for key operations and
  // "<key path>:<value name>" for value operations; "*" matches any.
  void FailWhen(const std::string& operation, const std::u16string& subject,
                Status status = StatusAccessDenied);
  void ClearFaults() { faults_.clear(); }

  // Every call as "<operation> <subject>", in order.
  const std::vector<std::string>& calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }

  Status OpenKey(HKEY parent, std::u16string_view path, uint32_t access, HKEY* result) override;
  Status CreateKey(HKEY parent, std::u16string_view path, uint32_t access, HKEY* result) override;
  Status CloseKey(HKEY key) override;
  Status EnumSubkey(HKEY key, uint32_t index, char16_t* name, uint32_t* capacity) override;
  Status EnumValue(HKEY key, uint32_t index, char16_t* name, uint32_t* nameCapacity, uint32_t* type,
                   uint8_t* data, uint32_t* dataSize) override;
  Status QueryValue(HKEY key, std::u16string_view name, uint32_t* type, uint8_t* data,
                    uint32_t* size) override;
  Status SetValue(HKEY key, std::u16string_view name, uint32_t type, const uint8_t* data,
                  uint32_t size) override;
  Status DeleteValue(HKEY key, std::u16string_view name) override;
  Status DeleteKey(HKEY parent, std::u16string_view path) override;
  // Passed on and not recorded: it is not a call of the program's.
  Status Atomically(const std::function<Status()>& change) override {
    return inner_.Atomically(change);
  }
  Status NextNumber(std::string_view counter, uint32_t first, uint32_t* value) override {
    return inner_.NextNumber(counter, first, value);
  }
  const std::string& lastError() const override { return inner_.lastError(); }

 private:
  std::u16string PathOf(HKEY key) const;
  std::u16string Join(HKEY parent, std::u16string_view path) const;
  // Records the call; returns the injected failure or StatusSuccess.
  Status Check(const std::string& operation, const std::u16string& subject);

  AtomicRegistry& inner_;
  std::map<HKEY, std::u16string> paths_;
  std::vector<std::string> calls_;
  struct Fault {
    std::string operation;
    std::u16string subject;
    Status status;
  };
  std::vector<Fault> faults_;
};

}  // namespace velmora
