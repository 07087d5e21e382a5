// The framework's entry for the program: chooses the front end (the
// window or the terminal), finds the device, sets up the platform
// services and starts the application object.
#include <cstdio>

#include "platform/device/device.h"
#include "platform/front_end/front_end.h"
#include "platform/ui/application.h"

int main(int argc, char** argv) {
  int exitCode = 0;
  std::unique_ptr<velmora::ui::UiHost> host = velmora::OpenFrontEnd(argc, argv, &exitCode);
  if (!host) {
    return exitCode;
  }
  std::string error;
  std::string folder = velmora::Device::DefaultFolder();
  std::unique_ptr<velmora::Device> device = velmora::Device::OpenOrCreate(folder, &error);
  if (!device) {
    std::fprintf(stderr, "VelmoraCfg: %s\n", error.c_str());
    return 1;
  }
  velmora::ScopedPlatform platform(device->Services(host.get()));
  return velmora::ui::RunApplication(device->folder());
}
