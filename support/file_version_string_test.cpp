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
