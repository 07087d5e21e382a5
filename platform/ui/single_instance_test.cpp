#include "platform/ui/single_instance.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "tests/test_support.h"

namespace velmora::ui {
namespace {

using namespace std::chrono_literals;

// Starts a process that holds the instance lock for folder; it exits 0 when
// it was asked to come to the front within two seconds. Returns its pid once
// the lock is held.
pid_t StartFirstInstance(const std::string& folder) {
  int ready[2];
  EXPECT_EQ(::pipe(ready), 0);
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(ready[0]);
    SingleInstance instance(folder);
    char ok = instance.IsFirst() ? 'y' : 'n';
    (void)!::write(ready[1], &ok, 1);
    for (int i = 0; i < 200; ++i) {
      if (TakeBringToFrontRequest()) {
        ::_exit(0);
      }
      std::this_thread::sleep_for(10ms);
    }
    ::_exit(3);
  }
  ::close(ready[1]);
  char ok = 0;
  EXPECT_EQ(::read(ready[0], &ok, 1), 1);
  EXPECT_EQ(ok, 'y');
  ::close(ready[0]);
  return pid;
}

int ExitCode(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

TEST(SingleInstance, ASecondStartBringsTheFirstToTheFront) {
  testing::TempDir device;
  pid_t first = StartFirstInstance(device.path());
  {
    SingleInstance second(device.path());
    EXPECT_FALSE(second.IsFirst());
    EXPECT_TRUE(second.BringRunningInstanceToFront(3, 50ms));
  }
  EXPECT_EQ(ExitCode(first), 0);
  SingleInstance later(device.path());  // the first one has ended
  EXPECT_TRUE(later.IsFirst());
}

TEST(SingleInstance, EachOfThreeUnsuccessfulAttemptsIsFollowedByAPause) {
  testing::TempDir device;
  SingleInstance first(device.path());  // this process: never its own front
  SingleInstance second(device.path());
  ASSERT_FALSE(second.IsFirst());
  std::vector<std::chrono::milliseconds> pauses;
  EXPECT_FALSE(second.BringRunningInstanceToFront(
      3, 1s, [&](std::chrono::milliseconds pause) { pauses.push_back(pause); }));
  EXPECT_EQ(pauses, (std::vector<std::chrono::milliseconds>{1s, 1s, 1s}));
}

TEST(SingleInstance, AKilledInstanceNeverBlocksTheNextStart) {
  testing::TempDir device;
  pid_t first = StartFirstInstance(device.path());
  ::kill(first, SIGKILL);
  EXPECT_EQ(ExitCode(first), -SIGKILL);
  SingleInstance next(device.path());
  EXPECT_TRUE(next.IsFirst());
}

TEST(SingleInstance, TwoDevicesAreTwoHandhelds) {
  testing::TempDir one;
  testing::TempDir two;
  SingleInstance a(one.path());
  SingleInstance b(two.path());
  EXPECT_TRUE(a.IsFirst());
  EXPECT_TRUE(b.IsFirst());
  EXPECT_NE(a.lockPath(), b.lockPath());
}

}  // namespace
}  // namespace velmora::ui
