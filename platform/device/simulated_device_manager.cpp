#include "platform/device/simulated_device_manager.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/registry/key_handle.h"
#include "platform/text.h"

namespace velmora {

namespace {

constexpr std::u16string_view ActiveKey = u"Drivers\\Active";
constexpr std::u16string_view BuiltInKey = u"Drivers\\BuiltIn";

std::u16string Decimal(uint32_t value) {
  return FromUtf8(std::to_string(value));
}

// A change that failed because the device could not store it, not because
// it was refused.
bool IsStoreFailure(Status status) {
  return status == StatusRegistryIoFailed || status == StatusRegistryCorrupt;
}

}  // namespace

SimulatedDeviceManager::SimulatedDeviceManager(AtomicRegistry& registry, PlatformFiles& files)
    : registry_(registry), files_(files) {}

Status SimulatedDeviceManager::Take(Counters* taken) {
  Status status = registry_.NextNumber("next-handle", 1001, &taken->nextHandle);
  return status == StatusSuccess ? registry_.NextNumber("next-entry", 1, &taken->nextEntry)
                                 : status;
}

bool SimulatedDeviceManager::NameInUse(std::u16string_view name) {
  KeyHandle active(registry_);
  if (active.Open(HKEY_LOCAL_MACHINE, ActiveKey) != StatusSuccess) {
    return false;
  }
  for (const std::u16string& entry : active.SubkeyNames()) {
    KeyHandle device(registry_);
    std::u16string running;
    if (device.Open(active.get(), entry) == StatusSuccess && device.ReadString(u"Name", &running) &&
        EqualsIgnoringCase(running, name)) {
      return true;
    }
  }
  return false;
}

std::string SimulatedDeviceManager::StoreFailure() const {
  const std::string& why = registry_.lastError();
  return "the registry cannot be changed" + (why.empty() ? std::string() : ": " + why);
}

Status SimulatedDeviceManager::Activate(std::u16string_view keyPath, DeviceHandle* handle,
                                        std::string* why) {
  // Any failure status will do below: the change is undone and *why tells.
  constexpr Status Refused = StatusFileNotFound;
  if (keyPath.empty()) {
    *why = "no key";
    return Refused;
  }
  KeyHandle driver(registry_);
  if (driver.Open(HKEY_LOCAL_MACHINE, keyPath) != StatusSuccess) {
    *why = "no such key";
    return Refused;
  }
  std::u16string dll;
  if (!driver.ReadString(u"Dll", &dll) || dll.empty()) {
    *why = "no Dll";
    return Refused;
  }
  std::u16string dllPath = dll.front() == u'\\' ? dll : u"\\windows\\" + dll;
  uint32_t attributes = files_.FileAttributes(dllPath);
  if (attributes == InvalidFileAttributes || (attributes & FileAttributeDirectory) != 0) {
    *why = ToUtf8(dllPath) + " is missing";
    return Refused;
  }
  std::u16string prefix;
  if (!driver.ReadString(u"Prefix", &prefix) || prefix.size() != 3) {
    *why = "no three-letter Prefix";
    return Refused;
  }
  uint32_t index = 0;
  std::u16string name;
  if (driver.ReadNumber(u"Index", &index)) {
    name = prefix + Decimal(index) + u":";
    if (NameInUse(name)) {
      *why = ToUtf8(name) + " is in use";
      return Refused;
    }
  } else {
    for (index = 1; index <= 9 && NameInUse(prefix + Decimal(index) + u":"); ++index) {
    }
    if (index > 9) {
      *why = "no free index for " + ToUtf8(prefix);
      return Refused;
    }
    name = prefix + Decimal(index) + u":";
  }
  Counters counters;
  Status taken = Take(&counters);
  if (taken != StatusSuccess) {
    return taken;
  }
  char entryName[16];
  std::snprintf(entryName, sizeof entryName, "%02u", counters.nextEntry);
  KeyHandle entry(registry_);
  std::u16string entryPath = std::u16string(ActiveKey) + u"\\" + FromUtf8(entryName);
  Status status = entry.Create(HKEY_LOCAL_MACHINE, entryPath);
  if (status == StatusSuccess) {
    status = entry.WriteString(u"Name", name);
  }
  if (status == StatusSuccess) {
    status = entry.WriteNumber(u"Hnd", counters.nextHandle);
  }
  if (status == StatusSuccess) {
    status = entry.WriteString(u"Key", keyPath);
  }
  if (status != StatusSuccess) {
    *why = "cannot write the active entry";
    return status;
  }
  *handle = counters.nextHandle;
  *why = ToUtf8(name);
  return StatusSuccess;
}

DeviceHandle SimulatedDeviceManager::ActivateDriver(std::u16string_view keyPath, uint32_t) {
  DeviceHandle handle = 0;
  std::string why;
  Load(keyPath, &handle, &why);
  return handle;
}

Status SimulatedDeviceManager::Load(std::u16string_view keyPath, DeviceHandle* handle,
                                    std::string* why) {
  *handle = 0;
  Status status = registry_.Atomically([&] { return Activate(keyPath, handle, why); });
  if (status != StatusSuccess) {
    if (IsStoreFailure(status)) {
      *why = StoreFailure();
    }
    *handle = 0;
    log_.push_back("activate " + ToUtf8(keyPath) + " failed: " + *why);
    return status;
  }
  log_.push_back("activate " + ToUtf8(keyPath) + " -> " + std::to_string(*handle) + " " + *why);
  return status;
}

int SimulatedDeviceManager::DeactivateDriver(DeviceHandle handle) {
  bool found = false;
  Status status = registry_.Atomically([&] {
    KeyHandle active(registry_);
    if (handle == 0 || active.Open(HKEY_LOCAL_MACHINE, ActiveKey) != StatusSuccess) {
      return StatusFileNotFound;
    }
    for (const std::u16string& entry : active.SubkeyNames()) {
      uint32_t running = 0;
      KeyHandle device(registry_);
      bool match = device.Open(active.get(), entry) == StatusSuccess &&
                   device.ReadNumber(u"Hnd", &running) && running == handle;
      device.Close();
      if (match) {
        found = true;
        return registry_.DeleteKey(active.get(), entry);
      }
    }
    return StatusFileNotFound;
  });
  if (status == StatusSuccess) {
    log_.push_back("deactivate " + std::to_string(handle));
    return 1;
  }
  std::string why = found || IsStoreFailure(status)
                        ? StoreFailure()
                        : "no running device has the handle " + std::to_string(handle);
  log_.push_back("deactivate " + std::to_string(handle) + " failed: " + why);
  return 0;
}

bool SimulatedDeviceManager::Boot() {
  std::string storeWhy;
  Status status = registry_.Atomically([&] {
    {
      KeyHandle active(registry_);
      Status created = active.Create(HKEY_LOCAL_MACHINE, ActiveKey);
      if (created != StatusSuccess) {
        return created;
      }
      for (const std::u16string& entry : active.SubkeyNames()) {
        Status removed = registry_.DeleteKey(active.get(), entry);
        if (removed != StatusSuccess) {
          return removed;
        }
      }
    }
    struct Candidate {
      std::u16string name;
      bool ordered;
      uint32_t order;
    };
    std::vector<Candidate> candidates;
    KeyHandle builtIn(registry_);
    if (builtIn.Open(HKEY_LOCAL_MACHINE, BuiltInKey) != StatusSuccess) {
      return StatusSuccess;
    }
    for (const std::u16string& name : builtIn.SubkeyNames()) {
      KeyHandle driver(registry_);
      std::u16string dll;
      uint32_t order = 0;
      if (driver.Open(builtIn.get(), name) == StatusSuccess && driver.ReadString(u"Dll", &dll)) {
        bool ordered = driver.ReadNumber(u"Order", &order);
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
      // A driver that fails to load is part of a boot, not a failure of it;
      // a device that cannot store what it loads (a full disk) is: the
      // whole boot is undone, and the drivers that ran before still run.
      DeviceHandle handle = 0;
      std::string why;
      Status loaded = Load(std::u16string(BuiltInKey) + u"\\" + candidate.name, &handle, &why);
      if (IsStoreFailure(loaded)) {
        storeWhy = why;
        return loaded;
      }
    }
    return StatusSuccess;
  });
  if (status != StatusSuccess) {
    log_.push_back("boot failed: " + (storeWhy.empty() ? StoreFailure() : storeWhy));
    return false;
  }
  return true;
}

}  // namespace velmora
