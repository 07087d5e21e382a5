#include "platform/device/version_command.h"

#include <cstdio>

#include "platform/text.h"

namespace velmora {

int RunVersion(PeVersionResources& versions, const std::string& path) {
  std::u16string devicePath = FromUtf8(path);
  std::string block;
  FileRefusal why = FileRefusal::None;
  if (!versions.ReadBlock(devicePath, &block, &why)) {
    std::fprintf(stderr, "velmora-device: %s: %s\n", path.c_str(),
                 std::string(RefusalText(why)).c_str());
    return 1;
  }
  std::u16string text;
  const auto* data = reinterpret_cast<const uint8_t*>(block.data());
  const auto size = static_cast<uint32_t>(block.size());
  const void* value = nullptr;
  uint32_t length = 0;
  if (!block.empty()) {
    char table[16] = "040904e4";
    if (QueryVersionValue(data, size, u"\\VarFileInfo\\Translation", &value, &length) &&
        length >= 4) {
      auto* bytes = static_cast<const uint8_t*>(value);
      std::snprintf(table, sizeof table, "%04x%04x", bytes[0] | bytes[1] << 8,
                    bytes[2] | bytes[3] << 8);
    }
    std::u16string sub = u"\\StringFileInfo\\" + FromUtf8(table) + u"\\FileVersion";
    VersionValue fileVersion;
    if (QueryVersionValue(data, size, sub, &fileVersion) && fileVersion.length != 0) {
      text = VersionValueText(fileVersion);
    }
  }
  std::printf("%s\n", ToUtf8(text).c_str());
  return 0;
}

}  // namespace velmora
