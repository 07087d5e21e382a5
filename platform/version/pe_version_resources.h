// VersionResources over the device's files: the RT_VERSION resource of PE
// images. A file that is missing, not a PE image, or malformed in any way
// has no version.
#pragma once

#include "platform/files/device_files.h"
#include "platform/version_resources.h"

namespace velmora {

class PeVersionResources final : public VersionResources {
 public:
  explicit PeVersionResources(DeviceFiles& files) : files_(files) {}

  uint32_t VersionInfoSize(std::u16string_view path) override;
  int ReadVersionInfo(std::u16string_view path, uint32_t size, uint8_t* buffer) override;

 private:
  bool Block(std::u16string_view path, std::string* block);
  DeviceFiles& files_;
};

}  // namespace velmora
