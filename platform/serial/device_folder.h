// The host files behind the device's file system, for the stand-ins that
// work on them themselves: the splitter's logs, the GPS receiver's route
// and replay files.
#pragma once

#include <string>
#include <string_view>

#include "platform/files/device_files.h"

namespace velmora {

// Resolves the device path of a folder (as "\My Documents", matched
// ignoring case like every device path) to its host path below hostRoot,
// the folder behind files. False and *error ("does not exist", "is not a
// folder") when there is no such folder on the device or it lies outside
// hostRoot.
bool HostFolderOf(DeviceFiles& files, const std::string& hostRoot, std::u16string_view devicePath,
                  std::string* hostPath, std::string* error);

// Reads the device file at devicePath (matched like every device path)
// when it is at most limit bytes long. False and *error otherwise.
bool ReadDeviceFile(DeviceFiles& files, std::u16string_view devicePath, size_t limit,
                    std::string* bytes, std::string* error);

}  // namespace velmora
