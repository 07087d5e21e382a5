#include "platform/serial/device_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/test_support.h"

namespace velmora {
namespace {

using testing::TempDir;
using testing::WriteFileText;

class DeviceFolderTest : public ::testing::Test {
 protected:
  DeviceFolderTest() : root_(dir_ / "root"), files_(root_) {
    ::mkdir(root_.c_str(), 0755);
    ::mkdir((root_ + "/My Documents").c_str(), 0755);
    ::mkdir((root_ + "/My Documents/GPS").c_str(), 0755);
    WriteFileText(root_ + "/My Documents/route.txt", "53 9\n");
    ::symlink(dir_.path().c_str(), (root_ + "/out").c_str());
  }

  TempDir dir_;
  std::string root_;
  DeviceFiles files_;
};

// Whether an open folder is the host folder at path.
bool IsFolder(const UniqueFd& folder, const std::string& path) {
  struct stat opened {};
  struct stat expected {};
  return folder.valid() && ::fstat(folder.get(), &opened) == 0 &&
         ::stat(path.c_str(), &expected) == 0 && opened.st_dev == expected.st_dev &&
         opened.st_ino == expected.st_ino;
}

TEST_F(DeviceFolderTest, FoldersResolveIgnoringCase) {
  std::string error;
  EXPECT_TRUE(IsFolder(OpenDeviceFolder(files_, u"\\my documents\\gps", &error),
                       root_ + "/My Documents/GPS"))
      << error;
  EXPECT_TRUE(IsFolder(OpenDeviceFolder(files_, u"\\", &error), root_)) << error;
}

TEST_F(DeviceFolderTest, WhatIsNoFolderOfTheDeviceIsRefused) {
  struct Case {
    const char16_t* path;
    const char* error;
  };
  const Case cases[] = {
      {u"\\Missing", "does not exist"},
      {u"\\My Documents\\route.txt", "is not a folder"},
      {u"\\..", "does not exist"},
      {u"\\out", "does not exist"},  // a link leading out of the device
      {u"", "is not a device path (it starts with \\)"},
      {u"My Documents", "is not a device path (it starts with \\)"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(OpenDeviceFolder(files_, c.path, &error).valid());
    EXPECT_EQ(error, c.error);
  }
}

TEST_F(DeviceFolderTest, FilesAreReadUpToALimit) {
  std::string bytes;
  std::string error;
  ASSERT_TRUE(ReadDeviceFile(files_, u"\\MY DOCUMENTS\\Route.TXT", 100, &bytes, &error)) << error;
  EXPECT_EQ(bytes, "53 9\n");
  EXPECT_FALSE(ReadDeviceFile(files_, u"\\My Documents\\route.txt", 4, &bytes, &error));
  EXPECT_EQ(error, "is longer than 4 bytes");
  EXPECT_FALSE(ReadDeviceFile(files_, u"\\My Documents", 100, &bytes, &error));
  EXPECT_EQ(error, "is a folder");
  EXPECT_FALSE(ReadDeviceFile(files_, u"\\My Documents\\none.txt", 100, &bytes, &error));
  EXPECT_EQ(error, "does not exist");
  ASSERT_EQ(::mkfifo((root_ + "/My Documents/fifo").c_str(), 0644), 0);
  EXPECT_FALSE(ReadDeviceFile(files_, u"\\My Documents\\fifo", 100, &bytes, &error));
  EXPECT_EQ(error, "is not a regular file");
}

}  // namespace
}  // namespace velmora
