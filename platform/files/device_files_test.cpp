#include "platform/files/device_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

#include "platform/files/open_beneath.h"
#include "platform/text.h"
#include "tests/test_support.h"

namespace velmora {
namespace {

using testing::TempDir;
using testing::WriteFileText;

// Every case runs with the kernel's openat2 and with the component walk.
class DeviceFilesTest : public ::testing::TestWithParam<BeneathResolver> {
 protected:
  void SetUp() override {
    SetBeneathResolver(GetParam());
    ::mkdir(root_.c_str(), 0755);
    ::mkdir((root_ + "/Windows").c_str(), 0755);
    ::mkdir((root_ + "/My Documents").c_str(), 0755);
    ::mkdir((root_ + "/My Documents/.hidden").c_str(), 0755);
    WriteFileText(root_ + "/Windows/Velmora.dll", "dll");
    WriteFileText(root_ + "/My Documents/b.txt", "b");
    WriteFileText(root_ + "/My Documents/A.TXT", "a");
    WriteFileText(dir_ / "secret", "outside");
  }
  void TearDown() override { SetBeneathResolver(BeneathResolver::Auto); }

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

  std::string FileBytes(std::u16string_view path) {
    std::string bytes;
    return files_.ReadWholeFile(path, &bytes) ? bytes : "(none)";
  }

  TempDir dir_;
  std::string root_ = dir_ / "root";
  DeviceFiles files_{root_};
};

TEST_P(DeviceFilesTest, ResolvesEveryComponentIgnoringCase) {
  EXPECT_EQ(files_.FileAttributes(u"\\windows\\velmora.DLL"), FileAttributeArchive);
  EXPECT_EQ(files_.FileAttributes(u"/WINDOWS"), FileAttributeDirectory);
  EXPECT_EQ(files_.FileAttributes(u"\\windows\\missing.dll"), InvalidFileAttributes);
  EXPECT_EQ(files_.FileAttributes(u"\\"), FileAttributeDirectory);
}

TEST_P(DeviceFilesTest, ListsAFolderWithItsPattern) {
  EXPECT_EQ(List(u"\\*.*"), (std::vector<std::string>{"My Documents/", "Windows/"}));
  EXPECT_EQ(List(u"\\my documents\\*.*"), (std::vector<std::string>{".hidden/", "A.TXT", "b.txt"}));
  EXPECT_EQ(List(u"\\my documents\\*.txt"), (std::vector<std::string>{"A.TXT", "b.txt"}));
  EXPECT_TRUE(List(u"\\nowhere\\*.*").empty());
}

TEST_P(DeviceFilesTest, NamesDifferingOnlyInCaseShowAsOne) {
  WriteFileText(root_ + "/Windows/velmora.dll", "other");
  EXPECT_EQ(List(u"\\windows\\*.*"), (std::vector<std::string>{"Velmora.dll"}));
  std::string bytes;
  ASSERT_TRUE(files_.ReadWholeFile(u"\\windows\\VELMORA.dll", &bytes));
  EXPECT_EQ(bytes, "dll");  // "Velmora.dll" comes first in byte order
}

TEST_P(DeviceFilesTest, RenameRefusesAnExistingTargetAndKeepsNewCase) {
  WriteFileText(root_ + "/Windows/Velmora_tmp.dll", "new");
  EXPECT_FALSE(files_.RenameFile(u"\\windows\\velmora_tmp.dll", u"\\windows\\VELMORA.DLL"));
  EXPECT_TRUE(files_.RemoveFile(u"\\windows\\velmora.dll"));
  EXPECT_TRUE(files_.RenameFile(u"\\windows\\velmora_tmp.dll", u"\\windows\\Velmora.dll"));
  std::string bytes;
  EXPECT_TRUE(testing::ReadFileText(root_ + "/Windows/Velmora.dll") == "new");
  EXPECT_FALSE(files_.RemoveFile(u"\\windows"));  // folders are not files
}

TEST_P(DeviceFilesTest, MakeDirectoryCreatesOneFolder) {
  EXPECT_TRUE(files_.MakeDirectory(u"\\My Documents\\Logs"));
  EXPECT_FALSE(files_.MakeDirectory(u"\\my documents\\LOGS"));  // exists
  EXPECT_FALSE(files_.MakeDirectory(u"\\Missing\\Logs"));       // no parent
  EXPECT_EQ(files_.FileAttributes(u"\\My Documents\\logs"), FileAttributeDirectory);
}

TEST_P(DeviceFilesTest, NothingOutsideTheRootCanBeReached) {
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

TEST_P(DeviceFilesTest, LinksThatStayInsideAreFollowed) {
  ASSERT_EQ(::symlink("Windows", (root_ + "/System").c_str()), 0);
  ASSERT_EQ(::symlink("../Windows/Velmora.dll", (root_ + "/My Documents/driver").c_str()), 0);
  EXPECT_EQ(files_.FileAttributes(u"\\system\\velmora.dll"), FileAttributeArchive);
  EXPECT_EQ(FileBytes(u"\\My Documents\\DRIVER"), "dll");
  EXPECT_EQ(List(u"\\*.*"), (std::vector<std::string>{"My Documents/", "System/", "Windows/"}));
  EXPECT_TRUE(files_.WriteWholeFile(u"\\System\\new.dll", "new"));
  EXPECT_EQ(testing::ReadFileText(root_ + "/Windows/new.dll"), "new");
  EXPECT_TRUE(files_.MakeDirectory(u"\\System\\Made"));
  EXPECT_TRUE(files_.RenameFile(u"\\System\\new.dll", u"\\System\\Made\\moved.dll"));
  EXPECT_EQ(testing::ReadFileText(root_ + "/Windows/Made/moved.dll"), "new");
  EXPECT_TRUE(files_.RemoveFile(u"\\System\\made\\MOVED.dll"));
  EXPECT_EQ(List(u"\\windows\\*.*"), (std::vector<std::string>{"Made/", "Velmora.dll"}));
}

TEST_P(DeviceFilesTest, WholeFilesAreReplacedAndOnlyRegularFilesRead) {
  EXPECT_TRUE(files_.WriteWholeFile(u"\\WINDOWS\\velmora.dll", "replaced"));
  EXPECT_EQ(testing::ReadFileText(root_ + "/Windows/Velmora.dll"), "replaced");  // its own name
  EXPECT_TRUE(files_.WriteWholeFile(u"\\Windows\\New.DLL", ""));
  EXPECT_EQ(FileBytes(u"\\windows\\new.dll"), "");
  EXPECT_FALSE(files_.WriteWholeFile(u"\\Windows", "over a folder"));
  EXPECT_FALSE(files_.WriteWholeFile(u"\\", "the root"));
  ASSERT_EQ(::mkfifo((root_ + "/Windows/fifo").c_str(), 0644), 0);
  EXPECT_EQ(FileBytes(u"\\windows\\fifo"), "(none)");  // neither read nor waited for
  EXPECT_EQ(FileBytes(u"\\windows"), "(none)");
  EXPECT_EQ(List(u"\\windows\\*.*"), (std::vector<std::string>{"New.DLL", "Velmora.dll", "fifo"}));
}

// The device's tools read regular files of at most MaxDeviceFileSize
// bytes; everything else is refused before a byte is read.
TEST_P(DeviceFilesTest, OnlyRegularFilesUpToTheLimitAreRead) {
  ASSERT_EQ(::mkfifo((root_ + "/My Documents/fifo").c_str(), 0644), 0);
  WriteFileText(root_ + "/Windows/huge.dll", "MZ");
  ASSERT_EQ(::truncate((root_ + "/Windows/huge.dll").c_str(), MaxDeviceFileSize + 1), 0);
  WriteFileText(root_ + "/Windows/limit.dll", "MZ");
  ASSERT_EQ(::truncate((root_ + "/Windows/limit.dll").c_str(), MaxDeviceFileSize), 0);
  struct Case {
    std::u16string path;
    FileRefusal why;
  };
  const Case cases[] = {
      {u"\\Windows\\Velmora.dll", FileRefusal::None},
      {u"\\Windows\\limit.dll", FileRefusal::None},
      {u"\\Windows\\none.dll", FileRefusal::Missing},
      {u"\\Windows", FileRefusal::Folder},
      {u"\\My Documents\\fifo", FileRefusal::NotRegular},
      {u"\\Windows\\huge.dll", FileRefusal::TooLarge},
  };
  for (const Case& c : cases) {
    FileRefusal why = FileRefusal::Unreadable;
    uint64_t size = 0;
    UniqueFd file = files_.OpenForReading(c.path, MaxDeviceFileSize, &why, &size);
    EXPECT_EQ(why, c.why) << ToUtf8(c.path);
    EXPECT_EQ(file.valid(), c.why == FileRefusal::None) << ToUtf8(c.path);
    std::string bytes;
    EXPECT_EQ(files_.ReadWholeFile(c.path, &bytes, MaxDeviceFileSize, &why),
              c.why == FileRefusal::None);
    EXPECT_EQ(why, c.why) << ToUtf8(c.path);
  }
  std::string bytes;
  FileRefusal why = FileRefusal::None;
  EXPECT_FALSE(files_.ReadWholeFile(u"\\Windows\\Velmora.dll", &bytes, 2, &why));
  EXPECT_EQ(why, FileRefusal::TooLarge);
  EXPECT_EQ(bytes, "");
}

TEST_P(DeviceFilesTest, AFileIsWrittenFromAnOpenFileStreamed) {
  WriteFileText(dir_ / "source", std::string(300000, 's'));
  UniqueFd source(::open((dir_ / "source").c_str(), O_RDONLY | O_CLOEXEC));
  ASSERT_TRUE(files_.WriteFileFrom(u"\\windows\\copy.dll", source.get()));
  EXPECT_EQ(FileBytes(u"\\Windows\\copy.dll"), std::string(300000, 's'));
  // More than a device file may hold: refused, nothing left behind.
  UniqueFd zero(::open("/dev/zero", O_RDONLY | O_CLOEXEC));
  EXPECT_FALSE(files_.WriteFileFrom(u"\\windows\\copy.dll", zero.get()));
  EXPECT_EQ(FileBytes(u"\\Windows\\copy.dll"), std::string(300000, 's'));
  EXPECT_EQ(List(u"\\windows\\*.*"), (std::vector<std::string>{"Velmora.dll", "copy.dll"}));
}

TEST_P(DeviceFilesTest, AWriteClearsTheTemporaryFilesOfKilledWriters) {
  pid_t gone = ::fork();
  if (gone == 0) {
    ::_exit(0);
  }
  ::waitpid(gone, nullptr, 0);
  std::string stale = ".~velmora." + std::to_string(gone) + ".0.tmp";
  std::string live = ".~velmora." + std::to_string(::getppid()) + ".0.tmp";
  WriteFileText(root_ + "/Windows/" + stale, "half");
  WriteFileText(root_ + "/Windows/" + live, "being written");
  EXPECT_TRUE(files_.WriteWholeFile(u"\\Windows\\Velmora_tmp.dll", "update"));
  EXPECT_EQ(List(u"\\windows\\*.*"),
            (std::vector<std::string>{live, "Velmora.dll", "Velmora_tmp.dll"}));
}

// A thread swaps "box" between a folder inside the root and a link to a
// folder outside, as fast as it can, while the device reads, writes, lists,
// creates, renames and removes below "\box". Whatever the timing, nothing
// outside is ever read, listed or changed.
TEST_P(DeviceFilesTest, ALinkSwappedInMeanwhileNeverLeadsOutside) {
  const std::string outside = dir_ / "outside";
  ::mkdir(outside.c_str(), 0755);
  WriteFileText(outside + "/f", "outside");
  WriteFileText(outside + "/only-outside", "");
  ::mkdir((root_ + "/box").c_str(), 0755);
  WriteFileText(root_ + "/box/f", "inside");
  ASSERT_EQ(::symlink(outside.c_str(), (root_ + "/spare").c_str()), 0);
  std::atomic<bool> stop{false};
  std::atomic<int> swaps{0};
  std::thread swapper([&] {
    const std::string box = root_ + "/box";
    const std::string spare = root_ + "/spare";
    while (!stop) {
      ::renameat2(AT_FDCWD, box.c_str(), AT_FDCWD, spare.c_str(), RENAME_EXCHANGE);
      ++swaps;
    }
  });
  int outsideReads = 0;
  int outsideListings = 0;
  for (int i = 0; i < 2000; ++i) {
    std::string bytes;
    if (files_.ReadWholeFile(u"\\box\\f", &bytes) && bytes != "inside") {
      ++outsideReads;
    }
    for (const std::string& name : List(u"\\box\\*.*")) {
      outsideListings += name == "only-outside";
    }
    std::u16string name = FromUtf8(std::to_string(i));
    if (i % 10 == 0 && files_.WriteWholeFile(u"\\box\\w" + name, "x")) {
      files_.RenameFile(u"\\box\\w" + name, u"\\box\\r" + name);
      files_.RemoveFile(u"\\box\\r" + name);
    }
    files_.MakeDirectory(u"\\box\\d" + name);
  }
  stop = true;
  swapper.join();
  EXPECT_GT(swaps.load(), 0);
  EXPECT_EQ(outsideReads, 0);
  EXPECT_EQ(outsideListings, 0);
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(outside)) {
    left.push_back(entry.path().filename().string());
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"f", "only-outside"}));
  EXPECT_EQ(testing::ReadFileText(outside + "/f"), "outside");
}

INSTANTIATE_TEST_SUITE_P(Resolvers, DeviceFilesTest,
                         ::testing::Values(BeneathResolver::Auto, BeneathResolver::ComponentWalk),
                         [](const ::testing::TestParamInfo<BeneathResolver>& info) {
                           return info.param == BeneathResolver::Auto ? "Openat2" : "ComponentWalk";
                         });

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
