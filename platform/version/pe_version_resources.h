// VersionResources over the device's files: the RT_VERSION resource of PE
// images. A file that is missing, not a PE image, or malformed in any way
// has no version. Only a regular file of at most MaxDeviceFileSize bytes is
// looked at (file_limits.h), and of it only the headers and the parts of
// the resource section that lead to the version block are read.
#pragma once

#include "platform/files/device_files.h"
#include "platform/version_resources.h"

namespace velmora {

class PeVersionResources final : public VersionResources {
 public:
  explicit PeVersionResources(DeviceFiles& files) : files_(files) {}

  uint32_t VersionInfoSize(std::u16string_view path) override;
  int ReadVersionInfo(std::u16string_view path, uint32_t size, uint8_t* buffer) override;

  // The version block of the file at path: true with the block (empty when
  // the file has no version), or false with *why when the file is refused.
  bool ReadBlock(std::u16string_view path, std::string* block, FileRefusal* why);

 private:
  DeviceFiles& files_;
};

}  // namespace velmora
