// A simulated handheld kept in a folder: "registry.mdb" (its registry, with
// the device manager's counters) and "root/" (its file system). Owns the
// real implementations of the platform services. A folder of an older
// version (registry.reg, registry.journal, device.state) is migrated when
// it is first opened.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/device/simulated_device_manager.h"
#include "platform/files/device_files.h"
#include "platform/platform.h"
#include "platform/registry/lmdb_registry.h"
#include "platform/version/pe_version_resources.h"

namespace velmora {

class Device {
 public:
  // Opens an existing device folder; nullptr and *error when the folder is
  // not a device or its registry cannot be read.
  static std::unique_ptr<Device> Open(const std::string& folder, std::string* error);

  // Creates the sample device in folder (made when missing, and it must not
  // hold a device yet) and boots it.
  static bool CreateSample(const std::string& folder, std::string* error);

  // Creates a device in folder as CreateSample does, with the registry and
  // files that fill writes, and boots it.
  static bool Create(const std::string& folder,
                     const std::function<bool(Device&, std::string*)>& fill, std::string* error);

  // The folder the program uses: VELMORA_DEVICE, else
  // $XDG_DATA_HOME/velmora/device (~/.local/share/velmora/device).
  static std::string DefaultFolder();

  // Opens folder, creating the sample device there first when it holds none.
  static std::unique_ptr<Device> OpenOrCreate(const std::string& folder, std::string* error);

  // Whether folder holds a device (a registry of either kind, or root/).
  static bool HoldsDevice(const std::string& folder);
  static std::string StorePath(const std::string& folder) { return folder + "/registry.mdb"; }

  LmdbRegistry& registry() { return *registry_; }
  DeviceFiles& files() { return files_; }
  SimulatedDeviceManager& devices() { return devices_; }
  PeVersionResources& versions() { return versions_; }
  const std::string& folder() const { return folder_; }

  PlatformServices Services(ui::UiHost* ui);

 private:
  Device(std::string folder, std::unique_ptr<LmdbRegistry> registry);

  std::string folder_;
  std::unique_ptr<LmdbRegistry> registry_;
  DeviceFiles files_;
  SimulatedDeviceManager devices_;
  PeVersionResources versions_;
};

}  // namespace velmora
