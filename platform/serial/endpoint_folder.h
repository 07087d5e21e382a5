// The files of the running device in DIR/dev besides the endpoints' links:
// the list of endpoints for `velmora-device ports`, and the clearing of
// links that a run which was killed left behind.
#pragma once

#include <string>

namespace velmora {

// Removes every symbolic link in devFolder.
void RemoveStaleLinks(const std::string& devFolder);

// One row of the list: link, terminal, port and what it serves, separated
// by tabs (`velmora-device ports` lines the columns up).
std::string EndpointListRow(const std::string& link, const std::string& terminal,
                            const std::string& port, const std::string& what);

// Replaces devFolder/.ports by text in one step (readers see the old list or
// the new one). Not synced: the list describes the running process and goes
// with it, so it never needs to survive a crash of the host. False and
// *error when it cannot be written.
bool WriteEndpointList(const std::string& devFolder, const std::string& text, std::string* error);

}  // namespace velmora
