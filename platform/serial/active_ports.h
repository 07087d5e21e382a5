// The running serial ports of the device: the entries of "Drivers\Active"
// whose "Name" is "COM" and a number with a colon, as the device manager
// writes them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace velmora {

struct ActivePort {
  std::string name;  // "COM5"
  uint32_t handle = 0;
  std::u16string key;  // the driver key, relative to HKEY_LOCAL_MACHINE
  bool operator==(const ActivePort&) const = default;
};

// In enumeration order; a name that comes twice counts once (the first).
// No "Drivers\Active" means no running ports. False with *status when the
// registry cannot be read.
bool ReadActivePorts(PlatformRegistry& registry, std::vector<ActivePort>* ports, Status* status);

}  // namespace velmora
