// What the running ports show outside: the live status records of their
// endpoints and network clients (for the status socket), the list of
// endpoints (DIR/dev/.ports, for `velmora-device ports`) made from them,
// and the one-line summary for the service manager.
#pragma once

#include <string>
#include <vector>

#include "platform/serial/endpoint_status.h"
#include "platform/serial/running_port.h"

namespace velmora {

// What a served port serves: its source ("GPS receiver (built-in route)",
// with the splitter holding it), or for a splitter the port it holds or why
// it waits.
std::string WhatPortServes(const RunningPort& running);

// The records of every served port, in the order of their names.
std::vector<EndpointStatus> PortsSnapshot(const RunningPorts& ports);

// The list of endpoints: one row (EndpointListRow) per endpoint, per port
// without one and per network listener; network clients are not listed.
std::string EndpointListing(const std::vector<EndpointStatus>& records);

// Ports served, endpoints, clients (with an endpoint open, or connected
// over the network), bytes dropped: "1 port served, 4 endpoints, 2 clients,
// 0 bytes dropped".
std::string PortsSummary(const RunningPorts& ports);

}  // namespace velmora
