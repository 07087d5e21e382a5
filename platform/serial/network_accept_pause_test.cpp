// The network endpoints in a process out of descriptors. Built only
// without the sanitizers: they check memory through a pipe of their own,
// which a process without a free descriptor cannot make.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/serial/network_endpoints.h"
#include "platform/serial/poll_set.h"
#include "tests/test_support.h"

namespace velmora::testing {
namespace {

// Out of descriptors, a waiting connection cannot be taken and keeps the
// listener ready: the listeners rest (out of the poll set) for AcceptPause,
// told once, instead of waking every round; then the connection gets in.
TEST(NetworkEndpointsAcceptTest, OutOfDescriptorsTheListenersRest) {
  std::vector<std::string> said;
  NetworkSetup setup;
  setup.tcpPort = FreePort();
  std::string error;
  auto network = NetworkEndpoints::Open(
      "COM5", setup, [&said](const std::string& line) { said.push_back(line); },
      [](std::string_view) {}, &error);
  ASSERT_TRUE(network) << error;
  UniqueFd client = ConnectLoopback(setup.tcpPort);  // waits in the listener's queue
  ASSERT_TRUE(client.valid());
  PollSet set;
  network->Prepare(set, nullptr, true);
  size_t listening = set.descriptorCount();
  {
    // Every descriptor below a low limit taken, for the next rounds only.
    struct Limit {
      rlimit before{};
      std::vector<UniqueFd> taken;
      explicit Limit(int fd) {
        ::getrlimit(RLIMIT_NOFILE, &before);
        rlimit low = before;
        low.rlim_cur = std::min<rlim_t>(256, before.rlim_cur);
        lowered = ::setrlimit(RLIMIT_NOFILE, &low) == 0;
        for (int copy = 0; lowered && (copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0)) >= 0;) {
          taken.emplace_back(copy);
        }
      }
      bool lowered = false;
      ~Limit() {
        taken.clear();
        ::setrlimit(RLIMIT_NOFILE, &before);
      }
    } limit(client.get());
    ASSERT_TRUE(limit.lowered);
    // A round that fails to take it leaves the listener out of the next
    // one, which only waits for the rest to end; then it tries again.
    for (int round = 0; round < 4; ++round) {
      ASSERT_TRUE(set.Wait(MonotonicMillis() + 1000));
      set.Clear();
      network->Prepare(set, nullptr, true);
      EXPECT_EQ(set.descriptorCount(), round % 2 == 0 ? listening - 1 : listening) << round;
    }
  }
  for (int round = 0; round < 50 && network->clients().empty(); ++round) {
    ASSERT_TRUE(set.Wait(MonotonicMillis() + 1000));
    set.Clear();
    network->Prepare(set, nullptr, true);
  }
  EXPECT_EQ(network->clients().size(), 1u);
  EXPECT_EQ(std::count(said.begin(), said.end(),
                       "COM5: cannot take connections for now: Too many open files"),
            1);
  EXPECT_NE(std::find(said.begin(), said.end(), "COM5: takes connections again"), said.end());
}

}  // namespace
}  // namespace velmora::testing
