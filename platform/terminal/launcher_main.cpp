// The framework's entry for the program: finds the device, sets up the
// platform services and the terminal front end, and starts the
// application object.
#include <cstdio>

#include "platform/device/device.h"
#include "platform/terminal/terminal_host.h"
#include "platform/ui/application.h"

int main() {
  std::string error;
  std::string folder = velmora::Device::DefaultFolder();
  std::unique_ptr<velmora::Device> device = velmora::Device::OpenOrCreate(folder, &error);
  if (!device) {
    std::fprintf(stderr, "VelmoraCfg: %s\n", error.c_str());
    return 1;
  }
  velmora::terminal::TerminalHost host;
  velmora::ScopedPlatform platform(device->Services(&host));
  return velmora::ui::RunApplication(device->folder());
}
