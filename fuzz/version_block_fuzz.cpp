// Any bytes as a PE image and as a version block: no crash, no read outside.
#include <cstdint>
#include <string>

#include "platform/version/pe_image.h"
#include "platform/version_resources.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string block;
  if (!velmora::ExtractVersionResource(bytes, &block)) {
    block.assign(bytes);
  }
  // A copy of exactly the block's size, so that the sanitizer sees overreads.
  std::vector<uint8_t> copy(block.begin(), block.end());
  for (const char16_t* path :
       {u"\\", u"\\VarFileInfo\\Translation", u"\\StringFileInfo\\040904e4\\FileVersion"}) {
    velmora::VersionValue value;
    if (velmora::QueryVersionValue(copy.data(), static_cast<uint32_t>(copy.size()), path, &value)) {
      velmora::VersionValueText(value);
    }
  }
  return 0;
}
