#include "support/file_version_string.h"

#include <vector>

#include "platform/platform.h"
#include "support/format_string.h"

namespace velmora {

std::u16string FileVersionString(std::u16string path) {
  if (path.empty()) {
    char16_t own[MaxPath] = {};
    OwnModulePath(own, MaxPath);
    path = own;
  }
  uint32_t size = Versions().VersionInfoSize(path);
  if (size == 0) {
    return u"";
  }
  std::vector<uint8_t> block(size);
  if (Versions().ReadVersionInfo(path, size, block.data()) == 0) {
    return u"";
  }
  unsigned language = 1033;
  unsigned codePage = 1252;
  const void* value = nullptr;
  uint32_t length = 0;
  if (QueryVersionValue(block.data(), size, u"\\VarFileInfo\\Translation", &value, &length) &&
      length >= 4) {
    auto* entry = static_cast<const uint8_t*>(value);
    language = entry[0] | entry[1] << 8;
    codePage = entry[2] | entry[3] << 8;
  }
  std::u16string subBlock =
      FormatString(u"\\StringFileInfo\\%04x%04x\\FileVersion", language, codePage);
  VersionValue fileVersion;
  if (QueryVersionValue(block.data(), size, subBlock, &fileVersion) && fileVersion.length != 0) {
    return VersionValueText(fileVersion);
  }
  return u"";
}

}  // namespace velmora
