#include "platform/device/simulated_device_manager.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "platform/host_io.h"
#include "platform/text.h"

namespace velmora {

namespace {

constexpr std::u16string_view ActiveKey = u"Drivers\\Active";
constexpr std::u16string_view BuiltInKey = u"Drivers\\BuiltIn";

// A registry key opened for the length of one operation.
class Key {
 public:
  Key(PlatformRegistry& registry, HKEY parent, std::u16string_view path, bool create = false)
      : registry_(registry) {
    if (create) {
      registry_.CreateKey(parent, path, KeyAllAccess, &handle_);
    } else {
      registry_.OpenKey(parent, path, KeyAllAccess, &handle_);
    }
  }
  ~Key() {
    if (handle_ != 0) {
      registry_.CloseKey(handle_);
    }
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;

  HKEY handle() const { return handle_; }
  explicit operator bool() const { return handle_ != 0; }

  bool String(std::u16string_view name, std::u16string* out) {
    uint32_t size = 0;
    uint32_t type = 0;
    if (registry_.QueryValue(handle_, name, &type, nullptr, &size) != StatusSuccess ||
        type != RegString) {
      return false;
    }
    std::vector<uint8_t> data(size);
    if (registry_.QueryValue(handle_, name, &type, data.data(), &size) != StatusSuccess) {
      return false;
    }
    out->clear();
    for (size_t i = 0; i + 1 < size; i += 2) {
      char16_t c = static_cast<char16_t>(data[i] | data[i + 1] << 8);
      if (c == 0) {
        break;
      }
      out->push_back(c);
    }
    return true;
  }

  bool Number(std::u16string_view name, uint32_t* out) {
    uint8_t data[4] = {};
    uint32_t size = 4;
    if (registry_.QueryValue(handle_, name, nullptr, data, &size) != StatusSuccess || size != 4) {
      return false;
    }
    *out = data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24;
    return true;
  }

  void SetString(std::u16string_view name, std::u16string_view text) {
    std::vector<uint8_t> data;
    for (char16_t c : text) {
      data.push_back(static_cast<uint8_t>(c & 0xFF));
      data.push_back(static_cast<uint8_t>(c >> 8));
    }
    data.insert(data.end(), {0, 0});
    registry_.SetValue(handle_, name, RegString, data.data(), static_cast<uint32_t>(data.size()));
  }

  void SetNumber(std::u16string_view name, uint32_t value) {
    uint8_t data[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                       static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    registry_.SetValue(handle_, name, RegNumber, data, 4);
  }

  std::vector<std::u16string> SubkeyNames() {
    std::vector<std::u16string> names;
    for (uint32_t i = 0;; ++i) {
      char16_t name[256];
      uint32_t capacity = 256;
      if (registry_.EnumSubkey(handle_, i, name, &capacity) != StatusSuccess) {
        break;
      }
      names.emplace_back(name);
    }
    return names;
  }

 private:
  PlatformRegistry& registry_;
  HKEY handle_ = 0;
};

std::u16string Decimal(uint32_t value) {
  return FromUtf8(std::to_string(value));
}

}  // namespace

SimulatedDeviceManager::SimulatedDeviceManager(PlatformRegistry& registry, PlatformFiles& files,
                                               std::string counterFile)
    : registry_(registry), files_(files), counterFile_(std::move(counterFile)) {}

SimulatedDeviceManager::Counters SimulatedDeviceManager::Take() {
  if (counterFile_.empty()) {
    Counters taken = memory_;
    ++memory_.nextHandle;
    ++memory_.nextEntry;
    return taken;
  }
  FileLock lock(counterFile_ + ".lock", FileLock::Mode::Exclusive);
  Counters taken;
  std::string text;
  std::string error;
  if (ReadHostFile(counterFile_, &text, &error)) {
    std::istringstream in(text);
    std::string word;
    while (in >> word) {
      uint32_t value = 0;
      in >> value;
      if (word == "next-handle") {
        taken.nextHandle = std::max(value, 1u);
      } else if (word == "next-entry") {
        taken.nextEntry = std::max(value, 1u);
      }
    }
  }
  std::string next = "next-handle " + std::to_string(taken.nextHandle + 1) + "\nnext-entry " +
                     std::to_string(taken.nextEntry + 1) + "\n";
  WriteHostFileAtomically(counterFile_, next, &error);
  return taken;
}

bool SimulatedDeviceManager::NameInUse(std::u16string_view name) {
  Key active(registry_, HKEY_LOCAL_MACHINE, ActiveKey);
  if (!active) {
    return false;
  }
  for (const std::u16string& entry : active.SubkeyNames()) {
    Key device(registry_, active.handle(), entry);
    std::u16string running;
    if (device && device.String(u"Name", &running) && EqualsIgnoringCase(running, name)) {
      return true;
    }
  }
  return false;
}

DeviceHandle SimulatedDeviceManager::ActivateDriver(std::u16string_view keyPath, uint32_t) {
  auto fail = [&](const std::string& why) {
    log_.push_back("activate " + ToUtf8(keyPath) + " failed: " + why);
    return DeviceHandle{0};
  };
  if (keyPath.empty()) {
    return fail("no key");
  }
  Key driver(registry_, HKEY_LOCAL_MACHINE, keyPath);
  if (!driver) {
    return fail("no such key");
  }
  std::u16string dll;
  if (!driver.String(u"Dll", &dll) || dll.empty()) {
    return fail("no Dll");
  }
  std::u16string dllPath = dll.front() == u'\\' ? dll : u"\\windows\\" + dll;
  uint32_t attributes = files_.FileAttributes(dllPath);
  if (attributes == InvalidFileAttributes || (attributes & FileAttributeDirectory) != 0) {
    return fail(ToUtf8(dllPath) + " is missing");
  }
  std::u16string prefix;
  if (!driver.String(u"Prefix", &prefix) || prefix.size() != 3) {
    return fail("no three-letter Prefix");
  }
  uint32_t index = 0;
  std::u16string name;
  if (driver.Number(u"Index", &index)) {
    name = prefix + Decimal(index) + u":";
    if (NameInUse(name)) {
      return fail(ToUtf8(name) + " is in use");
    }
  } else {
    for (index = 1; index <= 9 && NameInUse(prefix + Decimal(index) + u":"); ++index) {
    }
    if (index > 9) {
      return fail("no free index for " + ToUtf8(prefix));
    }
    name = prefix + Decimal(index) + u":";
  }
  Counters counters = Take();
  char entryName[16];
  std::snprintf(entryName, sizeof entryName, "%02u", counters.nextEntry);
  Key entry(registry_, HKEY_LOCAL_MACHINE, std::u16string(ActiveKey) + u"\\" + FromUtf8(entryName),
            true);
  if (!entry) {
    return fail("cannot create the active entry");
  }
  entry.SetString(u"Name", name);
  entry.SetNumber(u"Hnd", counters.nextHandle);
  entry.SetString(u"Key", keyPath);
  log_.push_back("activate " + ToUtf8(keyPath) + " -> " + std::to_string(counters.nextHandle) +
                 " " + ToUtf8(name));
  return counters.nextHandle;
}

int SimulatedDeviceManager::DeactivateDriver(DeviceHandle handle) {
  Key active(registry_, HKEY_LOCAL_MACHINE, ActiveKey);
  if (active && handle != 0) {
    for (const std::u16string& entry : active.SubkeyNames()) {
      uint32_t running = 0;
      bool match = false;
      {
        Key device(registry_, active.handle(), entry);
        match = device && device.Number(u"Hnd", &running) && running == handle;
      }
      if (match && registry_.DeleteKey(active.handle(), entry) == StatusSuccess) {
        log_.push_back("deactivate " + std::to_string(handle));
        return 1;
      }
    }
  }
  log_.push_back("deactivate " + std::to_string(handle) + " failed");
  return 0;
}

void SimulatedDeviceManager::Boot() {
  {
    Key active(registry_, HKEY_LOCAL_MACHINE, ActiveKey, true);
    for (const std::u16string& entry : active.SubkeyNames()) {
      registry_.DeleteKey(active.handle(), entry);
    }
  }
  struct Candidate {
    std::u16string name;
    bool ordered;
    uint32_t order;
  };
  std::vector<Candidate> candidates;
  Key builtIn(registry_, HKEY_LOCAL_MACHINE, BuiltInKey);
  if (!builtIn) {
    return;
  }
  for (const std::u16string& name : builtIn.SubkeyNames()) {
    Key driver(registry_, builtIn.handle(), name);
    std::u16string dll;
    uint32_t order = 0;
    if (driver && driver.String(u"Dll", &dll)) {
      bool ordered = driver.Number(u"Order", &order);
      candidates.push_back(Candidate{name, ordered, order});
    }
  }
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Candidate& a, const Candidate& b) {
                     if (a.ordered != b.ordered) {
                       return a.ordered;
                     }
                     if (a.ordered && a.order != b.order) {
                       return a.order < b.order;
                     }
                     return CompareIgnoringCase(a.name, b.name) < 0;
                   });
  for (const Candidate& candidate : candidates) {
    ActivateDriver(std::u16string(BuiltInKey) + u"\\" + candidate.name, 0);
  }
}

}  // namespace velmora
