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
  std::u16string result;
  if (QueryVersionValue(block.data(), size, subBlock, &value, &length) && length != 0) {
    // The text up to its terminator, and never past the length returned.
    auto* bytes = static_cast<const uint8_t*>(value);
    for (uint32_t i = 0; i < length; ++i) {
      char16_t c = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
      if (c == 0) {
        break;
      }
      result.push_back(c);
    }
  }
  return result;
}

}  // namespace velmora
