#include "platform/serial/endpoint_guard.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/serial/endpoint_table.h"
#include "tests/test_support.h"

namespace velmora::testing {
namespace {

std::string LinkTarget(const std::string& path) {
  char target[256] = {};
  ssize_t length = ::readlink(path.c_str(), target, sizeof target - 1);
  return length > 0 ? std::string(target, static_cast<size_t>(length)) : "";
}

bool Exists(const std::string& path) {
  return !LinkTarget(path).empty();
}

// A process that holds endpoints as the running device does, until killed.
pid_t StartHolder(const std::string& devFolder, int count) {
  int ready[2];
  if (::pipe(ready) != 0) {
    return -1;
  }
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(ready[0]);
    EndpointTable table(devFolder, [](const std::string&) {});
    table.StartGuard();
    std::string error;
    for (int i = 0; i < count; ++i) {
      table.Claim("COM5", "COM5-" + std::to_string(i + 1), &error);
    }
    char pid[16];
    int length = std::snprintf(pid, sizeof pid, "%d", table.guard() ? table.guard()->pid() : 0);
    if (::write(ready[1], pid, static_cast<size_t>(length)) != length) {
      ::_exit(1);
    }
    for (;;) {
      ::pause();
    }
  }
  ::close(ready[1]);
  char guard[16] = {};
  if (pid < 0 || ::read(ready[0], guard, sizeof guard - 1) <= 0) {
    ::close(ready[0]);
    return -1;
  }
  ::close(ready[0]);
  EXPECT_NE(std::atoi(guard), 0) << "no guard";
  EXPECT_EQ(::getpgid(std::atoi(guard)), std::atoi(guard)) << "the guard has no group of its own";
  return pid;
}

TEST(EndpointGuardTest, AfterAKillTheEndpointsNeverLeadIntoATerminalOpenedLater) {
  TempDir dir;
  for (int round = 0; round < 5; ++round) {
    pid_t holder = StartHolder(dir.path(), 4);
    ASSERT_GT(holder, 0);
    std::vector<std::string> targets;
    for (int i = 1; i <= 4; ++i) {
      targets.push_back(LinkTarget(dir / ("COM5-" + std::to_string(i))));
      ASSERT_NE(targets.back(), "");
    }
    ASSERT_EQ(::kill(holder, SIGKILL), 0);
    ASSERT_EQ(::waitpid(holder, nullptr, 0), holder);
    // Terminals opened at once by someone else get other numbers, and each
    // link is either gone or still leads to its own terminal.
    std::vector<UniqueFd> others;
    for (int i = 0; i < 16; ++i) {
      others.emplace_back(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
      ASSERT_TRUE(others.back());
      std::string name = ::ptsname(others.back().get());
      for (int link = 1; link <= 4; ++link) {
        std::string path = dir / ("COM5-" + std::to_string(link));
        std::string now = LinkTarget(path);
        EXPECT_TRUE(now.empty() || now == targets[static_cast<size_t>(link - 1)]);
        EXPECT_NE(now, name) << path << " leads into a terminal opened after the kill";
      }
    }
    // The guard removes the links soon; the next round starts clean.
    for (int wait = 0; wait < 2000 && Exists(dir / "COM5-4"); ++wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    for (int link = 1; link <= 4; ++link) {
      EXPECT_FALSE(Exists(dir / ("COM5-" + std::to_string(link))));
    }
  }
}

// The guard's descriptors: its standard three, its socket, and one master
// per endpoint it holds.
size_t DescriptorsOf(pid_t pid) {
  std::filesystem::path folder = "/proc/" + std::to_string(pid) + "/fd";
  std::error_code error;
  size_t count = 0;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    ++count;
  }
  return count;
}

size_t WaitForDescriptors(pid_t pid, size_t expected) {
  size_t count = DescriptorsOf(pid);
  for (int wait = 0; wait < 2000 && count != expected; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    count = DescriptorsOf(pid);
  }
  return count;
}

TEST(EndpointGuardTest, TheGuardHoldsEveryTerminalUntilItsEndpointIsRemoved) {
  TempDir dir;
  EndpointTable table(dir.path(), [](const std::string&) {});
  table.StartGuard();
  ASSERT_NE(table.guard(), nullptr);
  pid_t guard = table.guard()->pid();
  EXPECT_EQ(WaitForDescriptors(guard, 4), 4u);
  std::string error;
  PtyEndpoint* first = table.Claim("COM5", "COM5", &error);
  PtyEndpoint* second = table.Claim("COM5", "COM5-2", &error);
  ASSERT_TRUE(first != nullptr && second != nullptr) << error;
  EXPECT_EQ(WaitForDescriptors(guard, 6), 6u);
  table.Release(first, false);
  EXPECT_FALSE(Exists(dir / "COM5"));
  EXPECT_EQ(WaitForDescriptors(guard, 5), 5u);
  // Kept for a restart: still held.
  table.Release(second, true);
  EXPECT_TRUE(Exists(dir / "COM5-2"));
  EXPECT_EQ(table.keptCount(), 1u);
  EXPECT_EQ(WaitForDescriptors(guard, 5), 5u);
  EXPECT_EQ(table.Claim("COM5", "COM5-2", &error), second);
}

}  // namespace
}  // namespace velmora::testing
