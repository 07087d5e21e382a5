#include "platform/device/simulated_device_manager.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "platform/host_io.h"
#include "platform/registry/key_handle.h"
#include "platform/text.h"

namespace velmora {

namespace {

constexpr std::u16string_view ActiveKey = u"Drivers\\Active";
constexpr std::u16string_view BuiltInKey = u"Drivers\\BuiltIn";

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

DeviceHandle SimulatedDeviceManager::ActivateDriver(std::u16string_view keyPath, uint32_t) {
  auto fail = [&](const std::string& why) {
    log_.push_back("activate " + ToUtf8(keyPath) + " failed: " + why);
    return DeviceHandle{0};
  };
  if (keyPath.empty()) {
    return fail("no key");
  }
  KeyHandle driver(registry_);
  if (driver.Open(HKEY_LOCAL_MACHINE, keyPath) != StatusSuccess) {
    return fail("no such key");
  }
  std::u16string dll;
  if (!driver.ReadString(u"Dll", &dll) || dll.empty()) {
    return fail("no Dll");
  }
  std::u16string dllPath = dll.front() == u'\\' ? dll : u"\\windows\\" + dll;
  uint32_t attributes = files_.FileAttributes(dllPath);
  if (attributes == InvalidFileAttributes || (attributes & FileAttributeDirectory) != 0) {
    return fail(ToUtf8(dllPath) + " is missing");
  }
  std::u16string prefix;
  if (!driver.ReadString(u"Prefix", &prefix) || prefix.size() != 3) {
    return fail("no three-letter Prefix");
  }
  uint32_t index = 0;
  std::u16string name;
  if (driver.ReadNumber(u"Index", &index)) {
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
  KeyHandle entry(registry_);
  std::u16string entryPath = std::u16string(ActiveKey) + u"\\" + FromUtf8(entryName);
  if (entry.Create(HKEY_LOCAL_MACHINE, entryPath) != StatusSuccess ||
      entry.WriteString(u"Name", name) != StatusSuccess ||
      entry.WriteNumber(u"Hnd", counters.nextHandle) != StatusSuccess ||
      entry.WriteString(u"Key", keyPath) != StatusSuccess) {
    return fail("cannot write the active entry");
  }
  log_.push_back("activate " + ToUtf8(keyPath) + " -> " + std::to_string(counters.nextHandle) +
                 " " + ToUtf8(name));
  return counters.nextHandle;
}

int SimulatedDeviceManager::DeactivateDriver(DeviceHandle handle) {
  KeyHandle active(registry_);
  if (active.Open(HKEY_LOCAL_MACHINE, ActiveKey) == StatusSuccess && handle != 0) {
    for (const std::u16string& entry : active.SubkeyNames()) {
      uint32_t running = 0;
      KeyHandle device(registry_);
      bool match = device.Open(active.get(), entry) == StatusSuccess &&
                   device.ReadNumber(u"Hnd", &running) && running == handle;
      device.Close();
      if (match && registry_.DeleteKey(active.get(), entry) == StatusSuccess) {
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
    KeyHandle active(registry_);
    active.Create(HKEY_LOCAL_MACHINE, ActiveKey);
    for (const std::u16string& entry : active.SubkeyNames()) {
      registry_.DeleteKey(active.get(), entry);
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
    return;
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
    ActivateDriver(std::u16string(BuiltInKey) + u"\\" + candidate.name, 0);
  }
}

}  // namespace velmora
