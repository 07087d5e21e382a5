// The device files that the running device works on itself: the splitter's
// log folder, the GPS receiver's route and replay files. Everything goes
// through DeviceFiles, below the descriptor of root/: no host path of the
// device's files is ever formed, so nothing outside root/ can be reached.
#pragma once

#include <string>
#include <string_view>

#include "platform/files/device_files.h"
#include "platform/unique_fd.h"

namespace velmora {

// Opens the folder at devicePath (as "\My Documents", matched ignoring case
// like every device path). Invalid and *error ("does not exist", "is not a
// folder") when there is no such folder on the device.
UniqueFd OpenDeviceFolder(DeviceFiles& files, std::u16string_view devicePath, std::string* error);

// Reads the device file at devicePath (matched like every device path)
// when it is a regular file of at most limit bytes. False and *error
// otherwise.
bool ReadDeviceFile(DeviceFiles& files, std::u16string_view devicePath, size_t limit,
                    std::string* bytes, std::string* error);

}  // namespace velmora
