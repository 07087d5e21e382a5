#include "platform/serial/run_lock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/test_support.h"

namespace velmora {
namespace {

using testing::TempDir;
using testing::WriteFileText;

bool Exists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

TEST(RunLock, OneRunPerDeviceAndNothingLeftAfterIt) {
  TempDir dir;
  long pid = 0;
  EXPECT_FALSE(RunLock::Held(dir.path(), &pid));
  {
    RunLock first;
    std::string error;
    ASSERT_TRUE(first.Acquire(dir.path(), &error)) << error;
    ASSERT_TRUE(RunLock::Held(dir.path(), &pid));
    EXPECT_EQ(pid, ::getpid());
    RunLock second;
    EXPECT_FALSE(second.Acquire(dir.path(), &error));
    EXPECT_EQ(error, "the device in " + dir.path() + " is switched on already (process " +
                         std::to_string(::getpid()) + ")");
  }
  EXPECT_FALSE(RunLock::Held(dir.path(), &pid));
  EXPECT_FALSE(Exists(dir / "dev"));
}

TEST(RunLock, ALockFileOfARunThatWasKilledDoesNotBlock) {
  TempDir dir;
  ASSERT_EQ(::mkdir((dir / "dev").c_str(), 0755), 0);
  WriteFileText(dir / "dev/.lock", "4242\n");
  WriteFileText(dir / "dev/notes.txt", "not ours\n");
  long pid = 0;
  EXPECT_FALSE(RunLock::Held(dir.path(), &pid));
  {
    RunLock lock;
    std::string error;
    ASSERT_TRUE(lock.Acquire(dir.path(), &error)) << error;
  }
  EXPECT_FALSE(Exists(dir / "dev/.lock"));
  EXPECT_TRUE(Exists(dir / "dev/notes.txt")) << "what was not made by the run stays";
}

TEST(RunLock, AFolderThatCannotHoldTheEndpointsIsTold) {
  TempDir dir;
  WriteFileText(dir / "dev", "a file where the folder goes");
  RunLock lock;
  std::string error;
  EXPECT_FALSE(lock.Acquire(dir.path(), &error));
  EXPECT_EQ(error, "cannot open " + (dir / "dev/.lock") + ": Not a directory");
}

}  // namespace
}  // namespace velmora
