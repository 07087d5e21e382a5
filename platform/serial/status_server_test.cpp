#include "platform/serial/status_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <atomic>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace velmora::testing {
namespace {

// One round of the device's loop with the server alone.
void Round(StatusServer& server, Millis limit) {
  PollSet set;
  set.Clear();
  server.Prepare(set);
  ASSERT_TRUE(set.Wait(limit));
}

// A client that connects and reads nothing (yet).
UniqueFd Connect(const std::string& devFolder) {
  UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::string path = devFolder + "/" + StatusLimits::SocketName;
  if (path.size() >= sizeof address.sun_path ||
      ::connect(fd.get(), reinterpret_cast<sockaddr*>(&address),
                (std::memcpy(address.sun_path, path.c_str(), path.size() + 1), sizeof address)) !=
          0) {
    return UniqueFd();
  }
  return fd;
}

// What fd gets until the server closes it; *cut when the server closed it
// by a reset rather than at the end.
std::string ReadToEnd(int fd) {
  std::string text;
  char buffer[65536];
  while (true) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, 10000) <= 0) {
      return text + "<no end>";
    }
    ssize_t count = ::recv(fd, buffer, sizeof buffer, 0);
    if (count <= 0) {
      return text;
    }
    text.append(buffer, static_cast<size_t>(count));
  }
}

TEST(StatusServer, AnswersEveryAskerThroughAFolderDeeperThanASocketPath) {
  TempDir dir;
  std::string folder = dir.path();
  while (folder.size() < 200) {
    folder += "/a-rather-long-folder-name";
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  }
  const std::string snapshot = "velmora-status 1\npty\tCOM5\n";
  StatusServer server([&] { return snapshot; });
  std::string error;
  ASSERT_TRUE(server.Open(folder, &error)) << error;
  struct stat info {};
  ASSERT_EQ(::lstat((folder + "/.status").c_str(), &info), 0);
  EXPECT_TRUE(S_ISSOCK(info.st_mode));
  EXPECT_EQ(info.st_mode & 07777, 0660u);

  int stop[2];
  ASSERT_EQ(::pipe2(stop, O_CLOEXEC), 0);
  UniqueFd stopRead(stop[0]);
  UniqueFd stopWrite(stop[1]);
  std::thread loop([&] {
    pollfd stopped{stopRead.get(), POLLIN, 0};
    while (::poll(&stopped, 1, 0) == 0) {
      Round(server, MonotonicMillis() + 20);
    }
  });
  for (int i = 0; i < 3; ++i) {
    std::string answer;
    EXPECT_TRUE(AskStatus(folder, &answer, &error)) << error;
    EXPECT_EQ(answer, snapshot);
  }
  ASSERT_EQ(::write(stopWrite.get(), "x", 1), 1);
  loop.join();
}

TEST(StatusServer, TakesTheSocketOfAKilledRunButNothingElse) {
  TempDir dir;
  std::string path = dir / ".status";
  {
    // A socket left behind, nobody listening.
    UniqueFd stale(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    ASSERT_EQ(::bind(stale.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  }
  std::string error;
  {
    StatusServer server([] { return std::string("velmora-status 1\n"); });
    ASSERT_TRUE(server.Open(dir.path(), &error)) << error;
    EXPECT_TRUE(Connect(dir.path()).valid());
  }
  struct stat info {};
  EXPECT_NE(::lstat(path.c_str(), &info), 0) << "the socket outlived its server";

  WriteFileText(path, "not a socket");
  StatusServer server([] { return std::string(); });
  EXPECT_FALSE(server.Open(dir.path(), &error));
  EXPECT_NE(error.find(".status"), std::string::npos) << error;
  EXPECT_EQ(ReadFileText(path), "not a socket");
  std::string answer;
  EXPECT_FALSE(AskStatus(dir.path(), &answer, &error));
}

TEST(StatusServer, ReadersThatDoNotReadAreBoundedAndDropped) {
  TempDir dir;
  // Larger than any socket buffer: no answer fits at once.
  const std::string big(8 * 1024 * 1024, 'x');
  int made = 0;
  StatusServer server([&] {
    ++made;
    return big;
  });
  std::string error;
  ASSERT_TRUE(server.Open(dir.path(), &error)) << error;

  // Every round returns (writes never wait); the readers beyond the bound
  // are closed unanswered, without an answer being made for them.
  std::vector<UniqueFd> silent;
  for (size_t i = 0; i < StatusLimits::MaxWaitingReaders + 4; ++i) {
    silent.push_back(Connect(dir.path()));
    ASSERT_TRUE(silent.back().valid());
    Round(server, MonotonicMillis() + 1000);
  }
  EXPECT_EQ(server.waiting(), StatusLimits::MaxWaitingReaders);
  EXPECT_EQ(made, static_cast<int>(StatusLimits::MaxWaitingReaders));
  for (size_t i = StatusLimits::MaxWaitingReaders; i < silent.size(); ++i) {
    EXPECT_EQ(ReadToEnd(silent[i].get()), "") << "reader " << i;
  }
  // Past the deadline they are dropped, each having had only a part.
  Millis end = MonotonicMillis() + StatusLimits::WriteDeadline * 5;
  while (server.waiting() != 0 && MonotonicMillis() < end) {
    Round(server, end);
  }
  EXPECT_EQ(server.waiting(), 0u);
  std::string part = ReadToEnd(silent[0].get());
  EXPECT_LT(part.size(), big.size());
  EXPECT_EQ(part.find("<no end>"), std::string::npos);
}

}  // namespace
}  // namespace velmora::testing
