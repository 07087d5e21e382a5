// `velmora-device stage-update FILE`: a pending driver update, put on the
// device as \windows\Velmora_tmp.dll for the program to install at its
// next start.
#pragma once

#include <string>
#include <string_view>

#include "platform/files/device_files.h"

namespace velmora {

inline constexpr std::u16string_view StagedUpdatePath = u"\\windows\\Velmora_tmp.dll";

// Copies the host file hostPath to StagedUpdatePath, streamed, replacing
// what was staged before in one step. Refused before anything is read or
// written: a missing file ("no such file"), one that is not a regular file
// (a FIFO, /dev/zero), one larger than MaxDeviceFileSize, and, unless
// force, one that is not a PE image. False and *error naming the file.
bool StageUpdate(DeviceFiles& files, const std::string& hostPath, bool force, std::string* error);

// The command: StageUpdate, its error on standard error; the exit code.
int RunStageUpdate(DeviceFiles& files, const std::string& hostPath, bool force);

}  // namespace velmora
