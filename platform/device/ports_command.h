// `velmora-device ports`: the endpoints of a switched-on device as a table.
#pragma once

#include <string>

namespace velmora {

class Device;

// The running device's listing (one endpoint a line, its fields separated
// by tabs: link, terminal, port, driver) as a table under a heading, each
// column as wide as its longest entry, so that long paths keep it aligned.
std::string FormatPortsTable(const std::string& listing);

// Prints the table; 1 with a message when the device is not switched on.
int RunPorts(Device& device);

}  // namespace velmora
