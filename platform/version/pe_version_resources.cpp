#include "platform/version/pe_version_resources.h"

#include <algorithm>

#include "platform/version/pe_reader.h"

namespace velmora {

bool PeVersionResources::ReadBlock(std::u16string_view path, std::string* block, FileRefusal* why) {
  block->clear();
  uint64_t size = 0;
  UniqueFd file = files_.OpenForReading(path, MaxDeviceFileSize, why, &size);
  if (!file.valid()) {
    return false;
  }
  ImageSource image(file.get(), size);
  if (!ExtractVersionResource(image, block)) {
    block->clear();
  }
  return true;
}

uint32_t PeVersionResources::VersionInfoSize(std::u16string_view path) {
  std::string block;
  FileRefusal why = FileRefusal::None;
  return ReadBlock(path, &block, &why) ? static_cast<uint32_t>(block.size()) : 0;
}

int PeVersionResources::ReadVersionInfo(std::u16string_view path, uint32_t size, uint8_t* buffer) {
  std::string block;
  FileRefusal why = FileRefusal::None;
  if (buffer == nullptr || !ReadBlock(path, &block, &why) || block.empty()) {
    return 0;
  }
  std::copy_n(block.begin(), std::min<size_t>(size, block.size()), buffer);
  return 1;
}

}  // namespace velmora
