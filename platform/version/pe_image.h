// Writing PE images (PE32 and PE32+) with a version resource, for the
// sample device and tests; pe_reader.h reads them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/version/pe_reader.h"

namespace velmora {

struct VersionSpec {
  uint16_t language = 0x0409;
  uint16_t codePage = 0x04E4;
  uint16_t fileVersion[4] = {1, 0, 0, 0};  // for the fixed file info
  std::u16string fileVersionText;          // the "FileVersion" string
  // How the "FileVersion" node states its value, for crafted images: its
  // type (1 text, length in characters; 0 binary, length in bytes), its
  // stated length (-1: the true one in that unit, terminator included) and
  // whether a terminating zero follows the text.
  uint16_t fileVersionType = 1;
  int32_t fileVersionStatedLength = -1;
  bool fileVersionTerminated = true;
  std::vector<std::pair<std::u16string, std::u16string>> otherStrings;
  bool translationTable = true;
};

// The VS_VERSIONINFO block that layout describes.
std::string BuildVersionBlock(const VersionSpec& layout);

// A minimal DLL image for ARM with the given version block as its only
// resource (no block: no resource section at all).
std::string BuildPeImage(const std::string& versionBlock, bool pe32Plus = false);

}  // namespace velmora
