#include "support/file_version_string.h"

#include <gtest/gtest.h>

#include "platform/version/pe_image.h"
#include "tests/device_fixture.h"

namespace velmora {
namespace {

class FileVersionStringTest : public testing::DeviceFixture {
 protected:
  void PutDll(std::u16string_view path, const VersionSpec& layout) {
    PutFile(path, BuildPeImage(BuildVersionBlock(layout)));
  }
};

TEST_F(FileVersionStringTest, UsesTheFirstTranslationOrTheDefault) {
  VersionSpec english;
  english.fileVersionText = u"2.1.0.4";
  PutDll(u"\\windows\\Velmora.dll", english);
  EXPECT_EQ(FileVersionString(u"\\windows\\velmora.dll"), u"2.1.0.4");

  VersionSpec german;
  german.language = 0x0407;
  german.codePage = 0x04B0;
  german.fileVersionText = u"3,0,0,1";
  PutDll(u"\\windows\\german.dll", german);
  EXPECT_EQ(FileVersionString(u"\\windows\\german.dll"), u"3,0,0,1");

  // Without a translation table only 040904e4 is looked at.
  german.translationTable = false;
  PutDll(u"\\windows\\untranslated.dll", german);
  EXPECT_EQ(FileVersionString(u"\\windows\\untranslated.dll"), u"");
  english.translationTable = false;
  PutDll(u"\\windows\\default.dll", english);
  EXPECT_EQ(FileVersionString(u"\\windows\\default.dll"), u"2.1.0.4");
}

// Crafted DLLs: the text is taken up to its zero and never past the end of
// its node, whatever type and length the node states. The entry is the last
// thing in the block, so a read past the node leaves the block (a heap
// overflow the sanitizer build reports).
TEST_F(FileVersionStringTest, TheTextEndsAtItsZeroOrAtTheEndOfItsNode) {
  struct Case {
    const char* what;
    const char16_t* text;
    uint16_t type;
    int32_t statedLength;
    bool terminated;
    const char16_t* expected;
  };
  const Case cases[] = {
      {"binary, length in bytes, no zero", u"2.1.0.45", 0, 16, false, u"2.1.0.45"},
      {"binary, length in bytes, with zero", u"2.1.0.4", 0, 16, true, u"2.1.0.4"},
      {"binary, length shorter than the text", u"2.1.0.4", 0, 1, true, u"2.1.0.4"},
      {"text, length shorter than the text", u"2.1.0.4", 1, 3, true, u"2.1.0.4"},
      {"text, length beyond the node", u"2.1.0.4", 1, 1000, true, u"2.1.0.4"},
      {"text without a zero", u"2.1.0.45", 1, 8, false, u"2.1.0.45"},
      {"text, length in bytes", u"3.0", 1, 8, true, u"3.0"},
      {"an empty entry (length 0)", u"2.1.0.4", 1, 0, true, u""},
  };
  for (const Case& c : cases) {
    VersionSpec crafted;
    crafted.translationTable = false;
    crafted.fileVersionText = c.text;
    crafted.fileVersionType = c.type;
    crafted.fileVersionStatedLength = c.statedLength;
    crafted.fileVersionTerminated = c.terminated;
    PutDll(u"\\windows\\crafted.dll", crafted);
    EXPECT_EQ(FileVersionString(u"\\windows\\crafted.dll"), c.expected) << c.what;
  }
}

TEST_F(FileVersionStringTest, NoVersionGivesTheEmptyText) {
  PutFile(u"\\windows\\plain.dll", BuildPeImage(""));
  PutFile(u"\\windows\\text.txt", "not an image");
  VersionSpec empty;
  empty.fileVersionText = u"";
  PutDll(u"\\windows\\empty.dll", empty);
  EXPECT_EQ(FileVersionString(u"\\windows\\plain.dll"), u"");
  EXPECT_EQ(FileVersionString(u"\\windows\\text.txt"), u"");
  EXPECT_EQ(FileVersionString(u"\\windows\\missing.dll"), u"");
  EXPECT_EQ(FileVersionString(u"\\windows\\empty.dll"), u"");
  // The program's own executable (a host file without a version resource).
  EXPECT_EQ(FileVersionString(u""), u"");
}

}  // namespace
}  // namespace velmora
