// One port of "Drivers\Active" as the switched-on device runs it, by COM
// name: the driver as it was started, the settings read from its key, the
// served port (when the host has something to serve for it) and where it
// stands between a splitter and the port that splitter holds.
//
// SwitchedOnDevice owns the ports; the splitter's holds (splitter_holds.h)
// and the listing and status (port_listing.h) work on them.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/serial/active_ports.h"
#include "platform/serial/driver_setup.h"
#include "platform/serial/served_port.h"

namespace velmora {

struct RunningPort {
  ActivePort active;
  // The order the ports were started in: the splitter started first gets
  // a port two of them name.
  uint64_t sequence = 0;
  DriverSetup setup;
  std::unique_ptr<ServedPort> port;  // null: not served
  std::string heldBy;                // a port held by a splitter: its name
  std::string holds;                 // a splitter: the port it holds
  std::string waiting;               // a splitter: why it holds nothing
  bool endpointFailed = false;       // told once; not tried again
};

// By COM name ("COM5").
using RunningPorts = std::map<std::string, RunningPort>;

}  // namespace velmora
