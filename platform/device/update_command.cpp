#include "platform/device/update_command.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/files/file_limits.h"
#include "platform/text.h"
#include "platform/unique_fd.h"
#include "platform/version/pe_reader.h"

namespace velmora {

bool StageUpdate(DeviceFiles& files, const std::string& hostPath, bool force, std::string* error) {
  const std::string shown = "'" + hostPath + "'";
  // O_NONBLOCK: opening a FIFO must not wait for a writer.
  UniqueFd file(::open(hostPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat info {};
  if (!file.valid() || ::fstat(file.get(), &info) != 0) {
    *error =
        shown + ": " +
        std::string(errno == ENOENT ? RefusalText(FileRefusal::Missing) : std::strerror(errno));
    return false;
  }
  FileRefusal refusal = FileRefusal::None;
  if (S_ISDIR(info.st_mode)) {
    refusal = FileRefusal::Folder;
  } else if (!S_ISREG(info.st_mode)) {
    refusal = FileRefusal::NotRegular;
  } else if (static_cast<uint64_t>(info.st_size) > MaxDeviceFileSize) {
    refusal = FileRefusal::TooLarge;
  }
  if (refusal != FileRefusal::None) {
    *error = shown + ": " + std::string(RefusalText(refusal));
    return false;
  }
  ImageSource image(file.get(), static_cast<uint64_t>(info.st_size));
  if (!force && !IsPeImage(image)) {
    *error = shown + ": not a PE image (a driver DLL); --force stages it anyway";
    return false;
  }
  if (!files.WriteFileFrom(StagedUpdatePath, file.get())) {
    *error = "cannot write " + ToUtf8(StagedUpdatePath) + " from " + shown;
    return false;
  }
  return true;
}

int RunStageUpdate(DeviceFiles& files, const std::string& hostPath, bool force) {
  std::string error;
  if (!StageUpdate(files, hostPath, force, &error)) {
    std::fprintf(stderr, "velmora-device: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace velmora
