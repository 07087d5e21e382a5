#include "platform/version/pe_version_resources.h"

#include <algorithm>

#include "platform/version/pe_image.h"

namespace velmora {

bool PeVersionResources::Block(std::u16string_view path, std::string* block) {
  std::string image;
  return files_.ReadWholeFile(path, &image) && ExtractVersionResource(image, block);
}

uint32_t PeVersionResources::VersionInfoSize(std::u16string_view path) {
  std::string block;
  return Block(path, &block) ? static_cast<uint32_t>(block.size()) : 0;
}

int PeVersionResources::ReadVersionInfo(std::u16string_view path, uint32_t size, uint8_t* buffer) {
  std::string block;
  if (buffer == nullptr || !Block(path, &block)) {
    return 0;
  }
  std::copy_n(block.begin(), std::min<size_t>(size, block.size()), buffer);
  return 1;
}

}  // namespace velmora
