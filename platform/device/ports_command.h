// `velmora-device ports`: the endpoints of a switched-on device as a table,
// or as JSON for scripts (--json), with the live state the running process
// tells through its status socket (see StatusServer).
#pragma once

#include <string>
#include <vector>

#include "platform/serial/endpoint_status.h"

namespace velmora {

class Device;

// The running device's listing (one endpoint a line, its fields separated
// by tabs: link, terminal, port, driver) as a table under a heading, each
// column as wide as its longest entry, so that long paths keep it aligned.
std::string FormatPortsTable(const std::string& listing);

// The live status as such a table: the listing's columns with, before the
// port and its driver, whether a program has the endpoint open and its
// bytes sent, received and dropped.
// A network client is a row of its own, named as in the event lines
// ("tcp 127.0.0.1:40112").
std::string FormatStatusTable(const std::vector<EndpointStatus>& records);

// The live status as a JSON array, one object per record with "kind",
// "port", "link", "terminal" (null but for a pty), "driver", "open",
// "sent", "received", "dropped", and "address" for a network client.
std::string StatusJson(const std::vector<EndpointStatus>& records);

// Prints the table (or the JSON). Not switched on: the table is a message
// and exit status 1; the JSON is an empty array with a note on standard
// error and exit status 0, so that scripts need no special case.
int RunPorts(Device& device, bool json);

}  // namespace velmora
