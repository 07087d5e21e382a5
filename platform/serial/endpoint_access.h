// Who may open an endpoint: its terminal gets the group and mode of its
// driver's key ("EndpointGroup", "EndpointMode"), the way udev sets them
// for real serial devices, so that only that group's members read the
// port. The host makes a pseudo-terminal its opener's, group tty, 0620.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

// terminal is the slave path (/dev/pts/N) of a master this process holds,
// so the path cannot name another terminal meanwhile. An empty group
// leaves the group as it is. False with *error when the group is unknown
// or cannot be given (the process is no member and may not chown).
bool SetEndpointAccess(const std::string& terminal, const std::string& group, uint32_t mode,
                       std::string* error);

}  // namespace velmora
