// The framework's entry for the program: chooses the front end (the
// window or the terminal), finds the device, sets up the platform
// services and starts the application object.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/device/device.h"
#include "platform/front_end/front_end.h"
#include "platform/ui/application.h"

namespace {

bool Exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

// A device named by --device or VELMORA_DEVICE is made beforehand with
// velmora-device; only the default folder gets the sample device on first
// use.
std::unique_ptr<velmora::Device> OpenDevice(const std::string& given, std::string* error) {
  const char* chosen = std::getenv("VELMORA_DEVICE");
  std::string source = "--device";
  std::string folder = given;
  if (folder.empty() && chosen != nullptr && *chosen != 0) {
    source = "VELMORA_DEVICE";
    folder = chosen;
  }
  if (folder.empty()) {
    return velmora::Device::OpenOrCreate(velmora::Device::DefaultFolder(), error);
  }
  std::string create = "create a device with: velmora-device init '" + folder + "'";
  if (!Exists(folder)) {
    *error = "the device folder '" + folder + "' (" + source + ") does not exist; " + create;
    return nullptr;
  }
  std::unique_ptr<velmora::Device> device = velmora::Device::Open(folder, error);
  if (!device && !velmora::Device::HoldsDevice(folder)) {
    *error += "; " + create;
  }
  return device;
}

}  // namespace

int main(int argc, char** argv) {
  int exitCode = 0;
  std::string folder;
  std::unique_ptr<velmora::ui::UiHost> host = velmora::OpenFrontEnd(argc, argv, &exitCode, &folder);
  if (!host) {
    return exitCode;
  }
  std::string error;
  std::unique_ptr<velmora::Device> device = OpenDevice(folder, &error);
  if (!device) {
    std::fprintf(stderr, "VelmoraCfg: %s\n", error.c_str());
    return 1;
  }
  velmora::ScopedPlatform platform(device->Services(host.get()));
  return velmora::ui::RunApplication(device->folder());
}
