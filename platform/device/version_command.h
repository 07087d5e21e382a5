// `velmora-device version PATH`: the FileVersion of a device file.
#pragma once

#include <string>

#include "platform/version/pe_version_resources.h"

namespace velmora {

// Prints the FileVersion of the device file at path (an empty line when it
// has none: not a PE image, or no version resource) and returns 0. A path
// where no file is ("no such file"), a folder, a file that is not a
// regular one or is larger than MaxDeviceFileSize is an error on standard
// error, exit code 1.
int RunVersion(PeVersionResources& versions, const std::string& path);

}  // namespace velmora
