// The device manager of the simulated handheld. It keeps the running
// devices where the handheld does, below "Drivers\Active" of the registry,
// so everything that reads that key sees them.
//
// Handles and entry numbers come from counters that never go back, not
// even at boot, so an old handle can never stop another device. The
// counters are kept with the registry (AtomicRegistry::NextNumber).
//
// An activation, a deactivation and a boot are each one atomic change of
// the registry, made under its exclusive lock: the check that a name is
// free and the entry that takes it cannot be split by another process, and
// a crash or a full disk leaves the state before or after, never an entry
// without its "Hnd" or "Key". The counters move in the same change: a
// number is handed out once, with the entry that holds it.
#pragma once

#include <string>
#include <vector>

#include "platform/device_manager.h"
#include "platform/files.h"
#include "platform/registry/atomic_registry.h"

namespace velmora {

class SimulatedDeviceManager final : public DeviceManager {
 public:
  SimulatedDeviceManager(AtomicRegistry& registry, PlatformFiles& files);

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
  // taken already fails to load, as on the handheld. False when the
  // registry or the counters could not be stored, for the boot or for any
  // driver it loads (a full disk): nothing changed then, the devices that
  // ran before still run.
  bool Boot();

  // What happened, one line per call: "activate <key> -> <handle> <name>",
  // "activate <key> failed: <why>", "deactivate <handle>",
  // "deactivate <handle> failed: <why>", "boot failed: <why>".
  const std::vector<std::string>& log() const { return log_; }

 private:
  struct Counters {
    uint32_t nextHandle = 1001;
    uint32_t nextEntry = 1;
  };
  // Takes the next handle and entry number.
  Status Take(Counters* taken);
  bool NameInUse(std::u16string_view name);
  // ActivateDriver as one change of its own (joining a boot's), logged;
  // the status tells a refusal from a failure to store.
  Status Load(std::u16string_view keyPath, DeviceHandle* handle, std::string* why);
  // The activation itself, inside a change of the registry.
  Status Activate(std::u16string_view keyPath, DeviceHandle* handle, std::string* why);
  std::string StoreFailure() const;

  AtomicRegistry& registry_;
  PlatformFiles& files_;
  std::vector<std::string> log_;
};

}  // namespace velmora
