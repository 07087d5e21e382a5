// The device manager of the simulated handheld. It keeps the running
// devices where the handheld does, below "Drivers\Active" of the registry,
// so everything that reads that key sees them.
//
// Handles and entry numbers come from counters that never go back, not
// even at boot, so an old handle can never stop another device. The
// counters live in a file of the device folder (or in memory for tests).
#pragma once

#include <string>
#include <vector>

#include "platform/device_manager.h"
#include "platform/files.h"
#include "platform/registry.h"

namespace velmora {

class SimulatedDeviceManager final : public DeviceManager {
 public:
  SimulatedDeviceManager(PlatformRegistry& registry, PlatformFiles& files,
                         std::string counterFile = "");

  // Reads "Prefix" (three characters), "Index" (without one, the first
  // free number from 1 to 9) and "Dll" of the key. Fails (0) when the key
  // or "Dll" is missing, the DLL is not a file in \windows, or a running
  // device already has the name Prefix + Index + ":". Otherwise creates
  // "Drivers\Active\NN" with "Name", "Hnd" and "Key" and returns the handle.
  DeviceHandle ActivateDriver(std::u16string_view keyPath, uint32_t clientData) override;
  int DeactivateDriver(DeviceHandle handle) override;

  // Clears "Drivers\Active", then activates every key below
  // "Drivers\BuiltIn" that has a "Dll": lowest "Order" first, keys without
  // one after all others, ties by key name. A driver whose port name is
  // taken already fails to load, as on the handheld.
  void Boot();

  // What happened, one line per call: "activate <key> -> <handle> <name>",
  // "activate <key> failed: <why>", "deactivate <handle>" (+ " failed").
  const std::vector<std::string>& log() const { return log_; }

 private:
  struct Counters {
    uint32_t nextHandle = 1001;
    uint32_t nextEntry = 1;
  };
  // Takes the next handle and entry number, keeping them in the file.
  Counters Take();
  bool NameInUse(std::u16string_view name);

  PlatformRegistry& registry_;
  PlatformFiles& files_;
  std::string counterFile_;
  Counters memory_;
  std::vector<std::string> log_;
};

}  // namespace velmora
