#include "platform/serial/log_writer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include "tests/test_support.h"

namespace velmora {
namespace {

using testing::ReadFileText;
using testing::TempDir;
using testing::WriteFileText;

TEST(LogWriter, AppendsToWhatIsThere) {
  TempDir dir;
  WriteFileText(dir / "a.log", "earlier\n");
  std::string error;
  auto log = LogWriter::Open(dir / "a.log", dir / "a.old.log", 0, &error);
  ASSERT_TRUE(log) << error;
  EXPECT_EQ(log->size(), 8u);
  ASSERT_TRUE(log->Append("later\n", &error)) << error;
  EXPECT_EQ(ReadFileText(dir / "a.log"), "earlier\nlater\n");
}

TEST(LogWriter, RotatesSoThatBothFilesHoldTheLatestBytesInOrder) {
  TempDir dir;
  std::string error;
  auto log = LogWriter::Open(dir / "a.log", dir / "a.old.log", 1, &error);  // raised to MinLimit
  ASSERT_TRUE(log) << error;
  std::string stream;
  // Chunks of many sizes, one larger than the limit.
  for (size_t size : {100u, 3000u, 2000u, 9000u, 1u, 4096u, 50u}) {
    std::string chunk(size, static_cast<char>('a' + stream.size() % 26));
    chunk.front() = '<';
    chunk.back() = '>';
    ASSERT_TRUE(log->Append(chunk, &error)) << error;
    stream += chunk;
    std::string older = ReadFileText(dir / "a.old.log");
    std::string current = ReadFileText(dir / "a.log");
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

TEST(LogWriter, RefusesALinkOrAFolderWhereTheLogGoes) {
  TempDir dir;
  ASSERT_EQ(::symlink("/etc/passwd", (dir / "link.log").c_str()), 0);
  ASSERT_EQ(::mkdir((dir / "folder.log").c_str(), 0755), 0);
  std::string error;
  EXPECT_FALSE(LogWriter::Open(dir / "link.log", dir / "x", 0, &error));
  EXPECT_NE(error.find("cannot open " + (dir / "link.log")), std::string::npos) << error;
  EXPECT_FALSE(LogWriter::Open(dir / "folder.log", dir / "x", 0, &error));
  EXPECT_NE(error.find("folder.log"), std::string::npos) << error;
}

TEST(LogWriter, AFileThatCannotGrowIsToldNotHidden) {
  TempDir dir;
  std::string error;
  auto log = LogWriter::Open(dir / "a.log", dir / "a.old.log", 0, &error);
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
  EXPECT_EQ(error, "cannot write " + (dir / "a.log") + ": File too large");
}

}  // namespace
}  // namespace velmora
