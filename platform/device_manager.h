// The device manager: loads and unloads stream drivers. Each running device
// has an entry below "Drivers\Active" with its "Name" (as "COM5:"), its
// handle "Hnd" and the "Key" it was loaded from.
#pragma once

#include <cstdint>
#include <string_view>

namespace velmora {

using DeviceHandle = uint32_t;

class DeviceManager {
 public:
  virtual ~DeviceManager() = default;

  // Loads the driver described by keyPath (relative to HKEY_LOCAL_MACHINE)
  // and returns the new device's handle, or 0 when it cannot be loaded.
  virtual DeviceHandle ActivateDriver(std::u16string_view keyPath, uint32_t clientData) = 0;

  // Unloads the device with that handle; non-zero when there was one.
  virtual int DeactivateDriver(DeviceHandle handle) = 0;
};

}  // namespace velmora
