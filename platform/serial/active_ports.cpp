#include "platform/serial/active_ports.h"

#include "platform/registry/key_handle.h"
#include "platform/text.h"

namespace velmora {

namespace {

// "COM5:" -> "COM5"; empty for every other name.
std::string PortName(const std::u16string& name) {
  if (name.size() < 5 || name.size() > 7 || name.compare(0, 3, u"COM") != 0 ||
      name.back() != u':') {
    return {};
  }
  for (size_t i = 3; i + 1 < name.size(); ++i) {
    if (name[i] < u'0' || name[i] > u'9') {
      return {};
    }
  }
  return ToUtf8(name.substr(0, name.size() - 1));
}

}  // namespace

bool ReadActivePorts(PlatformRegistry& registry, std::vector<ActivePort>* ports, Status* status) {
  ports->clear();
  KeyHandle active(registry);
  *status = active.Open(HKEY_LOCAL_MACHINE, u"Drivers\\Active");
  if (*status == StatusFileNotFound) {
    *status = StatusSuccess;
    return true;
  }
  if (*status != StatusSuccess) {
    return false;
  }
  for (uint32_t i = 0;; ++i) {
    char16_t entry[256];
    uint32_t capacity = 256;
    Status enumerated = registry.EnumSubkey(active.get(), i, entry, &capacity);
    if (enumerated == StatusNoMoreItems) {
      return true;
    }
    if (enumerated != StatusSuccess) {
      *status = enumerated;
      return false;
    }
    KeyHandle key(registry);
    ActivePort port;
    std::u16string name;
    if (key.Open(active.get(), entry) != StatusSuccess || !key.ReadString(u"Name", &name) ||
        !key.ReadNumber(u"Hnd", &port.handle)) {
      continue;
    }
    key.ReadString(u"Key", &port.key);
    port.name = PortName(name);
    bool seen = false;
    for (const ActivePort& other : *ports) {
      seen = seen || other.name == port.name;
    }
    if (!port.name.empty() && !seen) {
      ports->push_back(std::move(port));
    }
  }
}

}  // namespace velmora
