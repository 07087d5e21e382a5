#include "platform/files/device_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/text.h"
#include "tests/test_support.h"

namespace velmora {
namespace {

using testing::TempDir;
using testing::WriteFileText;

class DeviceFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::mkdir(root_.c_str(), 0755);
    ::mkdir((root_ + "/Windows").c_str(), 0755);
    ::mkdir((root_ + "/My Documents").c_str(), 0755);
    ::mkdir((root_ + "/My Documents/.hidden").c_str(), 0755);
    WriteFileText(root_ + "/Windows/Velmora.dll", "dll");
    WriteFileText(root_ + "/My Documents/b.txt", "b");
    WriteFileText(root_ + "/My Documents/A.TXT", "a");
    WriteFileText(dir_ / "secret", "outside");
  }

  std::vector<std::string> List(std::u16string_view pattern) {
    std::vector<std::string> names;
    FindData data;
    SearchHandle handle = files_.FindFirst(pattern, &data);
    if (handle == InvalidSearchHandle) {
      files_.FindEnd(handle);
      return names;
    }
    do {
      names.push_back(ToUtf8(data.name) + (data.attributes & FileAttributeDirectory ? "/" : ""));
    } while (files_.FindNext(handle, &data));
    files_.FindEnd(handle);
    return names;
  }

  TempDir dir_;
  std::string root_ = dir_ / "root";
  DeviceFiles files_{root_};
};

TEST_F(DeviceFilesTest, ResolvesEveryComponentIgnoringCase) {
  EXPECT_EQ(files_.FileAttributes(u"\\windows\\velmora.DLL"), FileAttributeArchive);
  EXPECT_EQ(files_.FileAttributes(u"/WINDOWS"), FileAttributeDirectory);
  EXPECT_EQ(files_.FileAttributes(u"\\windows\\missing.dll"), InvalidFileAttributes);
  EXPECT_EQ(files_.FileAttributes(u"\\"), FileAttributeDirectory);
}

TEST_F(DeviceFilesTest, ListsAFolderWithItsPattern) {
  EXPECT_EQ(List(u"\\*.*"), (std::vector<std::string>{"My Documents/", "Windows/"}));
  EXPECT_EQ(List(u"\\my documents\\*.*"), (std::vector<std::string>{".hidden/", "A.TXT", "b.txt"}));
  EXPECT_EQ(List(u"\\my documents\\*.txt"), (std::vector<std::string>{"A.TXT", "b.txt"}));
  EXPECT_TRUE(List(u"\\nowhere\\*.*").empty());
}

TEST_F(DeviceFilesTest, NamesDifferingOnlyInCaseShowAsOne) {
  WriteFileText(root_ + "/Windows/velmora.dll", "other");
  EXPECT_EQ(List(u"\\windows\\*.*"), (std::vector<std::string>{"Velmora.dll"}));
  std::string bytes;
  ASSERT_TRUE(files_.ReadWholeFile(u"\\windows\\VELMORA.dll", &bytes));
  EXPECT_EQ(bytes, "dll");  // "Velmora.dll" comes first in byte order
}

TEST_F(DeviceFilesTest, RenameRefusesAnExistingTargetAndKeepsNewCase) {
  WriteFileText(root_ + "/Windows/Velmora_tmp.dll", "new");
  EXPECT_FALSE(files_.RenameFile(u"\\windows\\velmora_tmp.dll", u"\\windows\\VELMORA.DLL"));
  EXPECT_TRUE(files_.RemoveFile(u"\\windows\\velmora.dll"));
  EXPECT_TRUE(files_.RenameFile(u"\\windows\\velmora_tmp.dll", u"\\windows\\Velmora.dll"));
  std::string bytes;
  EXPECT_TRUE(testing::ReadFileText(root_ + "/Windows/Velmora.dll") == "new");
  EXPECT_FALSE(files_.RemoveFile(u"\\windows"));  // folders are not files
}

TEST_F(DeviceFilesTest, MakeDirectoryCreatesOneFolder) {
  EXPECT_TRUE(files_.MakeDirectory(u"\\My Documents\\Logs"));
  EXPECT_FALSE(files_.MakeDirectory(u"\\my documents\\LOGS"));  // exists
  EXPECT_FALSE(files_.MakeDirectory(u"\\Missing\\Logs"));       // no parent
  EXPECT_EQ(files_.FileAttributes(u"\\My Documents\\logs"), FileAttributeDirectory);
}

TEST_F(DeviceFilesTest, NothingOutsideTheRootCanBeReached) {
  ASSERT_EQ(::symlink(dir_.path().c_str(), (root_ + "/escape").c_str()), 0);
  ASSERT_EQ(::symlink((dir_ / "secret").c_str(), (root_ + "/secretlink").c_str()), 0);
  std::string bytes;
  const char16_t* refused[] = {u"\\..\\secret",
                               u"\\windows\\..\\..\\secret",
                               u"\\escape\\secret",
                               u"\\secretlink",
                               u"\\.\\windows",
                               u"\\a:b",
                               u"\\con*"};
  for (const char16_t* path : refused) {
    EXPECT_EQ(files_.FileAttributes(path), InvalidFileAttributes) << ToUtf8(path);
    EXPECT_FALSE(files_.ReadWholeFile(path, &bytes)) << ToUtf8(path);
    EXPECT_FALSE(files_.RemoveFile(path)) << ToUtf8(path);
    EXPECT_FALSE(files_.MakeDirectory(std::u16string(path) + u"\\x")) << ToUtf8(path);
  }
  EXPECT_FALSE(files_.MakeDirectory(u"\\escape\\made"));
  EXPECT_FALSE(files_.RenameFile(u"\\windows\\velmora.dll", u"\\escape\\stolen.dll"));
  EXPECT_FALSE(files_.WriteWholeFile(u"\\escape\\planted", "x"));
  EXPECT_TRUE(List(u"\\escape\\*.*").empty());
  EXPECT_EQ(List(u"\\*.*"), (std::vector<std::string>{"My Documents/", "Windows/"}));
  EXPECT_EQ(testing::ReadFileText(dir_ / "secret"), "outside");
  EXPECT_EQ(::access((dir_ / "made").c_str(), F_OK), -1);
}

TEST(DevicePaths, Patterns) {
  EXPECT_TRUE(MatchesPattern(u"*.*", u"noextension"));
  EXPECT_TRUE(MatchesPattern(u"*.DLL", u"velmora.dll"));
  EXPECT_TRUE(MatchesPattern(u"v?lmora*", u"Velmora.dll"));
  EXPECT_FALSE(MatchesPattern(u"*.dll", u"velmora.dl"));
  EXPECT_FALSE(IsValidDeviceName(u"a\\b"));
  EXPECT_FALSE(IsValidDeviceName(u".."));
  EXPECT_TRUE(IsValidDeviceName(u"Übersicht.txt"));
}

}  // namespace
}  // namespace velmora
