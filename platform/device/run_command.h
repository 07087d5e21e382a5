// `velmora-device run`: the device switched on until SIGINT or SIGTERM, in
// a terminal or as a systemd service (velmora-device@NAME.service). SIGHUP
// reads the drivers' keys again.
#pragma once

namespace velmora {

class Device;

int RunSwitchOn(Device& device);

}  // namespace velmora
