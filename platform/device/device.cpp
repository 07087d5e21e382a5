#include "platform/device/device.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/device/sample_device.h"
#include "platform/registry/legacy_migration.h"

namespace velmora {

namespace {

bool IsFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Exists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

// mkdir -p
bool MakeFolders(const std::string& path, std::string* error) {
  std::string current;
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) {
      slash = path.size();
    }
    current = path.substr(0, slash);
    if (!current.empty() && !IsFolder(current) && ::mkdir(current.c_str(), 0755) != 0 &&
        errno != EEXIST) {
      *error = "cannot create folder '" + current + "': " + std::strerror(errno);
      return false;
    }
    start = slash + 1;
  }
  return true;
}

}  // namespace

Device::Device(std::string folder, std::unique_ptr<LmdbRegistry> registry)
    : folder_(std::move(folder)),
      registry_(std::move(registry)),
      files_(folder_ + "/root"),
      devices_(*registry_, files_),
      versions_(files_) {}

bool Device::HoldsDevice(const std::string& folder) {
  return Exists(StorePath(folder)) || Exists(folder + "/registry.reg") || Exists(folder + "/root");
}

std::unique_ptr<Device> Device::Open(const std::string& folder, std::string* error) {
  if (!IsFolder(folder + "/root") ||
      (!Exists(StorePath(folder)) && !Exists(folder + "/registry.reg"))) {
    *error = "'" + folder + "' is not a device folder (it needs registry.mdb and root/)";
    return nullptr;
  }
  bool migrated = false;
  if (!MigrateTextRegistry(folder, &migrated, error)) {
    return nullptr;
  }
  std::unique_ptr<LmdbRegistry> registry = LmdbRegistry::Open(StorePath(folder), false, error);
  if (!registry) {
    return nullptr;
  }
  return std::unique_ptr<Device>(new Device(folder, std::move(registry)));
}

bool Device::CreateSample(const std::string& folder, std::string* error) {
  return Create(
      folder,
      [](Device& device, std::string* why) {
        return WriteSampleDevice(device.registry(), device.files(), why);
      },
      error);
}

bool Device::Create(const std::string& folder,
                    const std::function<bool(Device&, std::string*)>& fill, std::string* error) {
  if (HoldsDevice(folder)) {
    *error = "'" + folder + "' holds a device already; it is left as it is";
    return false;
  }
  if (!MakeFolders(folder + "/root", error)) {
    return false;
  }
  std::unique_ptr<LmdbRegistry> registry = LmdbRegistry::Open(StorePath(folder), true, error);
  if (!registry) {
    return false;
  }
  Device device(folder, std::move(registry));
  // One change: the new device is there whole or not at all.
  Status status = device.registry().Atomically([&] {
    if (!fill(device, error)) {
      return StatusInvalidParameter;
    }
    return device.devices().Boot() ? StatusSuccess : StatusRegistryIoFailed;
  });
  if (status != StatusSuccess) {
    if (error->empty()) {
      *error = device.registry().lastError().empty() ? device.devices().log().back()
                                                     : device.registry().lastError();
    }
    return false;
  }
  return true;
}

std::string Device::DefaultFolder() {
  const char* chosen = std::getenv("VELMORA_DEVICE");
  if (chosen != nullptr && *chosen != 0) {
    return chosen;
  }
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && *data != 0) {
    return std::string(data) + "/velmora/device";
  }
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : ".") + "/.local/share/velmora/device";
}

std::unique_ptr<Device> Device::OpenOrCreate(const std::string& folder, std::string* error) {
  if (!HoldsDevice(folder) && !CreateSample(folder, error)) {
    return nullptr;
  }
  return Open(folder, error);
}

PlatformServices Device::Services(ui::UiHost* ui) {
  PlatformServices services;
  services.registry = registry_.get();
  services.devices = &devices_;
  services.files = &files_;
  services.versions = &versions_;
  services.ui = ui;
  return services;
}

}  // namespace velmora
