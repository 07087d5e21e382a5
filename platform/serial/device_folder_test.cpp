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

TEST_F(DeviceFolderTest, FoldersResolveIgnoringCase) {
  std::string host;
  std::string error;
  ASSERT_TRUE(HostFolderOf(files_, root_, u"\\my documents\\gps", &host, &error)) << error;
  char* real = ::realpath((root_ + "/My Documents/GPS").c_str(), nullptr);
  ASSERT_NE(real, nullptr);
  EXPECT_EQ(host, real);
  ::free(real);
  ASSERT_TRUE(HostFolderOf(files_, root_, u"\\", &host, &error)) << error;
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
    std::string host = "unchanged";
    std::string error;
    EXPECT_FALSE(HostFolderOf(files_, root_, c.path, &host, &error));
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(host, "unchanged");
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
}

}  // namespace
}  // namespace velmora
