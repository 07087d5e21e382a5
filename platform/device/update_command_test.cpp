#include "platform/device/update_command.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/version/pe_image.h"
#include "tests/test_support.h"

namespace velmora {
namespace {

using testing::ReadFileText;
using testing::TempDir;
using testing::WriteFileText;

class StageUpdateTest : public ::testing::Test {
 protected:
  StageUpdateTest() : root_(dir_ / "root"), files_(root_) {
    ::mkdir(root_.c_str(), 0755);
    ::mkdir((root_ + "/windows").c_str(), 0755);
    WriteFileText(Staged(), "staged before");
  }
  std::string Staged() const { return root_ + "/windows/Velmora_tmp.dll"; }

  TempDir dir_;
  std::string root_;
  DeviceFiles files_;
};

// What is no driver image is refused before a byte is read (a FIFO without
// a writer would block, /dev/zero never ends), with the file's name and
// why; the update staged before stays.
TEST_F(StageUpdateTest, WhatIsNoDriverImageIsRefusedAndChangesNothing) {
  ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0644), 0);
  WriteFileText(dir_ / "large.dll", BuildPeImage(BuildVersionBlock(VersionSpec())));
  ASSERT_EQ(::truncate((dir_ / "large.dll").c_str(), MaxDeviceFileSize + 1), 0);
  WriteFileText(dir_ / "notes.txt", "new driver\n");
  struct Case {
    std::string path;
    std::string error;
  };
  const Case cases[] = {
      {dir_ / "missing.dll", "'" + dir_ / "missing.dll" + "': no such file"},
      {"/dev/zero", "'/dev/zero': not a regular file"},
      {dir_ / "fifo", "'" + dir_ / "fifo" + "': not a regular file"},
      {dir_.path(), "'" + dir_.path() + "': a folder, not a file"},
      {dir_ / "large.dll",
       "'" + dir_ / "large.dll" + "': larger than 16 MiB, the limit of a device file"},
      {dir_ / "notes.txt",
       "'" + dir_ / "notes.txt" + "': not a PE image (a driver DLL); --force stages it anyway"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(StageUpdate(files_, c.path, false, &error)) << c.path;
    EXPECT_EQ(error, c.error);
    if (c.path != dir_ / "notes.txt") {
      // Forcing stages any file, never one that is no file or too large.
      EXPECT_FALSE(StageUpdate(files_, c.path, true, &error)) << c.path;
      EXPECT_EQ(error, c.error);
    }
    EXPECT_EQ(ReadFileText(Staged()), "staged before");
  }
}

TEST_F(StageUpdateTest, ADriverImageIsStagedWholeAndForcingStagesAnyFile) {
  std::string image = BuildPeImage(BuildVersionBlock(VersionSpec()));
  WriteFileText(dir_ / "new.dll", image);
  std::string error;
  ASSERT_TRUE(StageUpdate(files_, dir_ / "new.dll", false, &error)) << error;
  EXPECT_EQ(ReadFileText(Staged()), image);

  WriteFileText(dir_ / "notes.txt", "new driver\n");
  ASSERT_TRUE(StageUpdate(files_, dir_ / "notes.txt", true, &error)) << error;
  EXPECT_EQ(ReadFileText(Staged()), "new driver\n");
}

// A file of exactly the limit is copied through the buffer, byte for byte.
TEST_F(StageUpdateTest, AFileOfTheLimitIsCopiedWhole) {
  std::string image = BuildPeImage(BuildVersionBlock(VersionSpec()));
  image.resize(MaxDeviceFileSize, '\0');
  for (size_t at = image.size() / 2; at < image.size(); at += 4099) {
    image[at] = static_cast<char>('a' + at % 26);
  }
  WriteFileText(dir_ / "full.dll", image);
  std::string error;
  ASSERT_TRUE(StageUpdate(files_, dir_ / "full.dll", false, &error)) << error;
  EXPECT_TRUE(ReadFileText(Staged()) == image);
}

}  // namespace
}  // namespace velmora
