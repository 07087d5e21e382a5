#include "platform/version/pe_image.h"

#include <gtest/gtest.h>

#include "platform/text.h"
#include "platform/version_resources.h"

namespace velmora {
namespace {

std::string Lookup(const std::string& block, std::u16string_view path) {
  VersionValue value;
  if (!QueryVersionValue(reinterpret_cast<const uint8_t*>(block.data()),
                         static_cast<uint32_t>(block.size()), path, &value)) {
    return "(none)";
  }
  return ToUtf8(VersionValueText(value));
}

TEST(PeImage, ReadsTheVersionOfPe32AndPe32PlusImages) {
  VersionSpec layout;
  layout.fileVersionText = u"2.1.0.4";
  for (bool plus : {false, true}) {
    std::string block;
    ASSERT_TRUE(ExtractVersionResource(BuildPeImage(BuildVersionBlock(layout), plus), &block));
    EXPECT_EQ(Lookup(block, u"\\StringFileInfo\\040904E4\\fileversion"), "2.1.0.4");
    const void* value = nullptr;
    uint32_t length = 0;
    ASSERT_TRUE(QueryVersionValue(reinterpret_cast<const uint8_t*>(block.data()),
                                  static_cast<uint32_t>(block.size()),
                                  u"\\VarFileInfo\\Translation", &value, &length));
    EXPECT_EQ(length, 4u);
    ASSERT_TRUE(QueryVersionValue(reinterpret_cast<const uint8_t*>(block.data()),
                                  static_cast<uint32_t>(block.size()), u"\\", &value, &length));
    EXPECT_EQ(length, 52u);
    EXPECT_EQ(*static_cast<const uint8_t*>(value), 0xBD);  // the fixed info's signature
  }
}

TEST(PeImage, OtherLanguageAndNoTranslationTable) {
  VersionSpec layout;
  layout.language = 0x0407;
  layout.codePage = 0x04B0;
  layout.fileVersionText = u"1,0";
  layout.translationTable = false;
  std::string block;
  ASSERT_TRUE(ExtractVersionResource(BuildPeImage(BuildVersionBlock(layout)), &block));
  EXPECT_EQ(Lookup(block, u"\\StringFileInfo\\040704b0\\FileVersion"), "1,0");
  EXPECT_EQ(Lookup(block, u"\\StringFileInfo\\040904e4\\FileVersion"), "(none)");
  EXPECT_EQ(Lookup(block, u"\\VarFileInfo\\Translation"), "(none)");
}

TEST(PeImage, MalformedImagesHaveNoVersion) {
  VersionSpec layout;
  layout.fileVersionText = u"3.0";
  std::string good = BuildPeImage(BuildVersionBlock(layout));
  std::string block;
  EXPECT_FALSE(ExtractVersionResource(BuildPeImage(""), &block));  // no resources
  EXPECT_FALSE(ExtractVersionResource("", &block));
  EXPECT_FALSE(ExtractVersionResource("MZ garbage", &block));
  for (size_t cut = 0; cut < good.size(); cut += 7) {
    std::string truncated = good.substr(0, cut);
    if (ExtractVersionResource(truncated, &block)) {
      ADD_FAILURE() << "a version from an image cut at " << cut;
    }
  }
  std::string hostile = good;
  hostile[0x3C] = '\xF0';  // e_lfanew far beyond the file
  EXPECT_FALSE(ExtractVersionResource(hostile, &block));
}

TEST(VersionBlock, ABlockCutShortInsideTheTextHasNoVersion) {
  VersionSpec layout;
  layout.fileVersionText = u"9.9";
  std::string block = BuildVersionBlock(layout);
  // Shrink the whole block so that it ends inside the FileVersion text.
  size_t at = block.find(std::string("9\0.\0", 4));
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(Lookup(block.substr(0, at + 4), u"\\StringFileInfo\\040904e4\\FileVersion"), "(none)");
}

// A value never reaches past its node: a stated length beyond the node is
// cut to it, so a binary value read by its length stays inside.
TEST(VersionBlock, AStatedLengthBeyondTheNodeIsCutToTheNode) {
  VersionSpec layout;
  layout.fileVersionText = u"1.0";
  layout.fileVersionStatedLength = 400;
  layout.translationTable = false;
  for (uint16_t type : {0, 1}) {
    layout.fileVersionType = type;
    std::string block = BuildVersionBlock(layout);
    VersionValue value;
    ASSERT_TRUE(QueryVersionValue(reinterpret_cast<const uint8_t*>(block.data()),
                                  static_cast<uint32_t>(block.size()),
                                  u"\\StringFileInfo\\040904e4\\FileVersion", &value));
    EXPECT_EQ(value.room, 8u);  // "1.0" and its zero
    EXPECT_EQ(value.length, type == 1 ? 4u : 8u);
    EXPECT_EQ(ToUtf8(VersionValueText(value)), "1.0");
  }
}

}  // namespace
}  // namespace velmora
