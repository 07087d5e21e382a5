#include "platform/serial/pty_endpoint.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/switched_on_fixture.h"
#include "tests/test_support.h"

namespace velmora {
namespace {

using testing::OpenClient;
using testing::ReadAvailable;
using testing::ReadCount;
using testing::TempDir;

class PtyEndpointTest : public ::testing::Test {
 protected:
  std::unique_ptr<PtyEndpoint> Make(const std::string& name = "COM5") {
    std::string error;
    auto endpoint = PtyEndpoint::Create(
        dir_ / name, "COM5: dev/" + name,
        [this](const std::string& line) { events_ += line + "\n"; }, &error);
    EXPECT_TRUE(endpoint) << error;
    return endpoint;
  }

  std::string LinkTarget(const std::string& name) {
    char target[256] = {};
    ssize_t length = ::readlink((dir_ / name).c_str(), target, sizeof target - 1);
    return length > 0 ? std::string(target, static_cast<size_t>(length)) : "";
  }

  TempDir dir_;
  std::string events_;
};

TEST_F(PtyEndpointTest, TheLinkLeadsToTheTerminalForAsLongAsTheEndpointLives) {
  ASSERT_EQ(::symlink("/dev/pts/999", (dir_ / "COM5").c_str()), 0);  // left from before
  {
    auto endpoint = Make();
    EXPECT_EQ(LinkTarget("COM5"), endpoint->slavePath());
    EXPECT_EQ(endpoint->slavePath().rfind("/dev/pts/", 0), 0u);
  }
  EXPECT_EQ(LinkTarget("COM5"), "");
  // A link someone else put there meanwhile is not taken away.
  {
    auto endpoint = Make();
    ASSERT_EQ(::unlink((dir_ / "COM5").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/null", (dir_ / "COM5").c_str()), 0);
  }
  EXPECT_EQ(LinkTarget("COM5"), "/dev/null");
  std::string error;
  EXPECT_FALSE(PtyEndpoint::Create(dir_ / "missing/COM5", "x", nullptr, &error));
  EXPECT_NE(error.find("cannot make the link"), std::string::npos) << error;
}

TEST_F(PtyEndpointTest, AClientGetsRawBytesFromWhenItOpenedAndItsWritesAreRead) {
  auto endpoint = Make();
  endpoint->Send("before anyone listened\n");
  endpoint->LookForClient();
  EXPECT_FALSE(endpoint->clientOpen());
  UniqueFd client = OpenClient(dir_ / "COM5");
  endpoint->LookForClient();
  ASSERT_TRUE(endpoint->clientOpen());
  EXPECT_EQ(ReadAvailable(client.get()), "");
  // No line discipline: every byte as it is, both ways.
  std::string all(256, '\0');
  for (int i = 0; i < 256; ++i) {
    all[static_cast<size_t>(i)] = static_cast<char>(i);
  }
  endpoint->Send(all);
  EXPECT_TRUE(ReadCount(client.get(), all.size()) == all);
  ASSERT_EQ(::write(client.get(), all.data(), all.size()), 256);
  std::string written;
  char buffer[512];
  for (int i = 0; i < 100 && written.size() < 256; ++i) {
    long count = endpoint->ReadClient(buffer, sizeof buffer);
    ASSERT_GE(count, 0);
    written.append(buffer, static_cast<size_t>(count));
    ::usleep(count == 0 ? 10000 : 0);
  }
  EXPECT_TRUE(written == all);
  client.Reset();
  EXPECT_EQ(endpoint->ReadClient(buffer, sizeof buffer), -1);
  EXPECT_FALSE(endpoint->clientOpen());
  EXPECT_EQ(events_,
            "COM5: dev/COM5: client opened\n"
            "COM5: dev/COM5: client closed (256 bytes sent, 0 dropped)\n");
}

TEST_F(PtyEndpointTest, AClientThatWroteAndClosedBeforeItWasSeenIsStillHeard) {
  auto endpoint = Make();
  {
    UniqueFd client = OpenClient(dir_ / "COM5");
    ASSERT_EQ(::write(client.get(), "$PSRF101\r\n", 10), 10);
  }
  endpoint->LookForClient();
  ASSERT_TRUE(endpoint->clientOpen());
  char buffer[64];
  long count = endpoint->ReadClient(buffer, sizeof buffer);
  ASSERT_EQ(count, 10);
  EXPECT_EQ(std::string(buffer, 10), "$PSRF101\r\n");
  EXPECT_EQ(endpoint->ReadClient(buffer, sizeof buffer), -1);
  EXPECT_FALSE(endpoint->clientOpen());
  endpoint->LookForClient();
  EXPECT_FALSE(endpoint->clientOpen());
}

TEST_F(PtyEndpointTest, AClientThatDoesNotReadLosesWhatDoesNotFitAndItIsCounted) {
  auto endpoint = Make();
  UniqueFd client = OpenClient(dir_ / "COM5");
  endpoint->LookForClient();
  const std::string chunk(1000, 'x');
  for (int i = 0; i < 300; ++i) {
    endpoint->Send(chunk);
    endpoint->Flush();
  }
  EXPECT_GT(endpoint->dropped(), 300000u - PtyEndpoint::PendingLimit - 64 * 1024);
  EXPECT_EQ(endpoint->dropped() % 1000, 0u) << "only whole chunks are dropped";
  // Once the client reads, what waited here follows.
  size_t waiting = endpoint->sent();
  std::string heard;
  for (int i = 0; i < 200 && heard.size() < waiting + PtyEndpoint::PendingLimit - 1000; ++i) {
    heard += ReadAvailable(client.get());
    endpoint->Flush();
  }
  EXPECT_GE(endpoint->sent(), waiting + PtyEndpoint::PendingLimit - 1000);
  client.Reset();
  char buffer[16];
  EXPECT_EQ(endpoint->ReadClient(buffer, sizeof buffer), -1);
  // What still waited when it closed counts as dropped.
  EXPECT_EQ(endpoint->sent() + endpoint->dropped(), 300000u);
  EXPECT_NE(events_.find("COM5: dev/COM5: client is not reading; dropping its data ("),
            std::string::npos)
      << events_;
  EXPECT_NE(events_.find("COM5: dev/COM5: client closed (" + std::to_string(endpoint->sent()) +
                         " bytes sent, " + std::to_string(endpoint->dropped()) + " dropped)"),
            std::string::npos)
      << events_;
}

}  // namespace
}  // namespace velmora
