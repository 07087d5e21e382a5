#include "platform/serial/log_writer.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <thread>

#include "platform/files/open_beneath.h"
#include "tests/test_support.h"

namespace velmora {
namespace {

using testing::ReadFileText;
using testing::TempDir;
using testing::WriteFileText;

// A device whose root/ is a folder of its own, and a folder outside it.
class LogWriterTest : public ::testing::Test {
 protected:
  LogWriterTest() : root_(dir_ / "root"), outside_(dir_ / "outside"), files_(root_) {
    ::mkdir(root_.c_str(), 0755);
    ::mkdir(outside_.c_str(), 0755);
  }
  ~LogWriterTest() override { SetBeneathResolver(BeneathResolver::Auto); }

  std::unique_ptr<LogWriter> Open(const std::u16string& folder, uint64_t limit,
                                  std::string* error) {
    return LogWriter::Open(files_, folder, "a.log", "a.old.log", limit, error);
  }

  // The names in a host folder, sorted, joined by " ".
  static std::string Names(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
      while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") {
          names.push_back(name);
        }
      }
      ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const std::string& name : names) {
      joined += (joined.empty() ? "" : " ") + name;
    }
    return joined;
  }

  TempDir dir_;
  std::string root_;
  std::string outside_;
  DeviceFiles files_;
};

TEST_F(LogWriterTest, AppendsToWhatIsThere) {
  WriteFileText(root_ + "/a.log", "earlier\n");
  std::string error;
  auto log = Open(u"\\", 0, &error);
  ASSERT_TRUE(log) << error;
  EXPECT_EQ(log->size(), 8u);
  ASSERT_TRUE(log->Append("later\n", &error)) << error;
  EXPECT_EQ(ReadFileText(root_ + "/a.log"), "earlier\nlater\n");
}

TEST_F(LogWriterTest, RotatesSoThatBothFilesHoldTheLatestBytesInOrder) {
  ::mkdir((root_ + "/Logs").c_str(), 0755);
  std::string error;
  auto log = Open(u"\\logs", 1, &error);  // raised to MinLimit; the folder matched ignoring case
  ASSERT_TRUE(log) << error;
  std::string stream;
  // Chunks of many sizes, one larger than the limit.
  for (size_t size : {100u, 3000u, 2000u, 9000u, 1u, 4096u, 50u}) {
    std::string chunk(size, static_cast<char>('a' + stream.size() % 26));
    chunk.front() = '<';
    chunk.back() = '>';
    ASSERT_TRUE(log->Append(chunk, &error)) << error;
    stream += chunk;
    std::string older = ReadFileText(root_ + "/Logs/a.old.log");
    std::string current = ReadFileText(root_ + "/Logs/a.log");
    EXPECT_LE(older.size(), LogWriter::MinLimit);
    EXPECT_LE(current.size(), LogWriter::MinLimit);
    ASSERT_GE(stream.size(), older.size() + current.size());
    EXPECT_EQ(stream.substr(stream.size() - older.size() - current.size()), older + current)
        << "after a chunk of " << size;
    if (size <= LogWriter::MinLimit) {
      // A chunk that fits a fresh file is not cut in two.
      EXPECT_TRUE(current.size() >= size && current.substr(current.size() - size) == chunk)
          << "after a chunk of " << size;
    }
  }
}

TEST_F(LogWriterTest, RefusesALinkAFolderOrAFifoWhereTheLogGoes) {
  ASSERT_EQ(::symlink("/etc/passwd", (root_ + "/link.log").c_str()), 0);
  ASSERT_EQ(::symlink("inside.log", (root_ + "/inner.log").c_str()), 0);
  ASSERT_EQ(::mkdir((root_ + "/folder.log").c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo((root_ + "/fifo.log").c_str(), 0644), 0);
  struct Case {
    const char* name;
    const char* error;
  };
  const Case cases[] = {
      {"link.log", "cannot open \\link.log: Too many levels of symbolic links"},
      {"inner.log", "cannot open \\inner.log: Too many levels of symbolic links"},
      {"folder.log", "cannot open \\folder.log: Is a directory"},
      {"fifo.log", "cannot open \\fifo.log: No such device or address"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(LogWriter::Open(files_, u"\\", c.name, "x", 0, &error));
    EXPECT_EQ(error, c.error);
  }
  std::string error;
  EXPECT_FALSE(LogWriter::Open(files_, u"\\Missing", "a.log", "x", 0, &error));
  EXPECT_EQ(error, "cannot open \\Missing\\a.log: the folder is not on the device");
  EXPECT_FALSE(Names(root_).find("inside.log") != std::string::npos);
}

TEST_F(LogWriterTest, AFileThatCannotGrowIsToldNotHidden) {
  std::string error;
  auto log = Open(u"\\", 0, &error);
  ASSERT_TRUE(log) << error;
  // The file size limit of this process stands in for a full disk.
  rlimit before{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
  rlimit small = before;
  small.rlim_cur = 10;
  auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  bool first = log->Append("0123456789", &error);
  bool second = log->Append("more", &error);
  ::setrlimit(RLIMIT_FSIZE, &before);
  ::signal(SIGXFSZ, oldHandler);
  EXPECT_TRUE(first);
  EXPECT_FALSE(second);
  EXPECT_EQ(error, "cannot write \\a.log: File too large");
}

// The log folder swapped for a link that leads out of the device while the
// log is written: the next rotation finds no folder on the device and the
// log stops; a file outside with the older generation's name stays as it
// was. Both ways of resolving below root/, both kinds of link.
TEST_F(LogWriterTest, AFolderSwappedForALinkLeadingOutIsNeverWrittenThrough) {
  WriteFileText(outside_ + "/a.old.log", "untouched");
  WriteFileText(outside_ + "/a.log", "also untouched");
  const std::string links[] = {outside_, "../outside"};
  for (BeneathResolver resolver : {BeneathResolver::Auto, BeneathResolver::ComponentWalk}) {
    SetBeneathResolver(resolver);
    for (const std::string& target : links) {
      ASSERT_EQ(::mkdir((root_ + "/logs").c_str(), 0755), 0);
      std::string error;
      auto log = Open(u"\\logs", LogWriter::MinLimit, &error);
      ASSERT_TRUE(log) << error;
      ASSERT_TRUE(log->Append(std::string(4000, 'x'), &error)) << error;
      // Swap in one step, as a race would: the folder becomes logs.real.
      ASSERT_EQ(::symlink(target.c_str(), (root_ + "/swap").c_str()), 0);
      ASSERT_EQ(::renameat2(AT_FDCWD, (root_ + "/swap").c_str(), AT_FDCWD,
                            (root_ + "/logs").c_str(), RENAME_EXCHANGE),
                0);
      EXPECT_FALSE(log->Append(std::string(200, 'y'), &error)) << target;
      EXPECT_EQ(error, "cannot rotate \\logs\\a.log: the folder is not on the device");
      EXPECT_FALSE(Open(u"\\logs", 0, &error)) << target;
      EXPECT_EQ(ReadFileText(outside_ + "/a.old.log"), "untouched");
      EXPECT_EQ(ReadFileText(outside_ + "/a.log"), "also untouched");
      EXPECT_EQ(Names(outside_), "a.log a.old.log");
      EXPECT_EQ(ReadFileText(root_ + "/swap/a.log"), std::string(4000, 'x'));
      ASSERT_EQ(::unlink((root_ + "/logs").c_str()), 0);
      std::error_code failed;
      std::filesystem::remove_all(root_ + "/swap", failed);
      ASSERT_FALSE(failed) << failed.message();
    }
  }
}

// The same swap racing with the writer: a thread swaps the folder and the
// link back and forth while logs are opened (a restart) and rotated again
// and again. Nothing outside is ever touched.
TEST_F(LogWriterTest, AFolderSwappedBackAndForthDuringRestartsAndRotationsStaysInside) {
  WriteFileText(outside_ + "/a.old.log", "untouched");
  ASSERT_EQ(::mkdir((root_ + "/logs").c_str(), 0755), 0);
  ASSERT_EQ(::symlink(outside_.c_str(), (root_ + "/swap").c_str()), 0);
  for (BeneathResolver resolver : {BeneathResolver::Auto, BeneathResolver::ComponentWalk}) {
    SetBeneathResolver(resolver);
    std::atomic<bool> done{false};
    std::atomic<int> swaps{0};
    std::thread swapper([&] {
      while (!done) {
        ::renameat2(AT_FDCWD, (root_ + "/swap").c_str(), AT_FDCWD, (root_ + "/logs").c_str(),
                    RENAME_EXCHANGE);
        ++swaps;
        ::usleep(100);  // leaves the writer whole rounds in either state too
      }
    });
    int opened = 0;
    int rotated = 0;
    for (int restart = 0; restart < 20000 && (opened < 100 || rotated < 100); ++restart) {
      std::string error;
      auto log = Open(u"\\logs", LogWriter::MinLimit, &error);
      if (!log) {
        continue;
      }
      ++opened;
      for (int i = 0; i < 20 && log->Append(std::string(1500, 'r'), &error); ++i) {
        rotated += log->size() == 1500 ? 1 : 0;
      }
    }
    done = true;
    swapper.join();
    EXPECT_GT(opened, 0);
    EXPECT_GT(rotated, 0);
    EXPECT_GT(swaps.load(), 0);
    EXPECT_EQ(Names(outside_), "a.old.log");
    EXPECT_EQ(ReadFileText(outside_ + "/a.old.log"), "untouched");
  }
}

}  // namespace
}  // namespace velmora
