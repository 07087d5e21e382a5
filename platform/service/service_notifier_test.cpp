#include "platform/service/service_notifier.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/unique_fd.h"

namespace velmora {
namespace {

// A datagram socket in a folder of its own, named in NOTIFY_SOCKET for as
// long as it lives, as systemd offers one to a Type=notify service.
class NotifySocket {
 public:
  explicit NotifySocket(const char* watchdogUsec) {
    char folder[] = "/tmp/velmora-notify.XXXXXX";
    folder_ = ::mkdtemp(folder);
    path_ = folder_ + "/notify";
    socket_ = UniqueFd(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path_.copy(address.sun_path, sizeof address.sun_path - 1);
    bound_ = ::bind(socket_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::setenv("NOTIFY_SOCKET", path_.c_str(), 1);
    ::unsetenv("WATCHDOG_PID");
    if (watchdogUsec != nullptr) {
      ::setenv("WATCHDOG_USEC", watchdogUsec, 1);
    } else {
      ::unsetenv("WATCHDOG_USEC");
    }
  }
  ~NotifySocket() {
    ::unsetenv("NOTIFY_SOCKET");
    ::unsetenv("WATCHDOG_USEC");
    ::unlink(path_.c_str());
    ::rmdir(folder_.c_str());
  }
  bool bound() const { return bound_; }

  // The messages waiting now.
  std::vector<std::string> Received() {
    std::vector<std::string> messages;
    pollfd ready{socket_.get(), POLLIN, 0};
    while (::poll(&ready, 1, 0) == 1) {
      char buffer[4096];
      ssize_t got = ::recv(socket_.get(), buffer, sizeof buffer, 0);
      if (got < 0) {
        break;
      }
      messages.emplace_back(buffer, static_cast<size_t>(got));
    }
    return messages;
  }

 private:
  std::string folder_;
  std::string path_;
  UniqueFd socket_;
  bool bound_ = false;
};

TEST(ServiceNotifierTest, WithoutAManagerNothingIsSentAndTheWatchdogIsOff) {
  ::unsetenv("NOTIFY_SOCKET");
  ::setenv("WATCHDOG_USEC", "1000000", 1);
  ServiceNotifier notifier;
  EXPECT_FALSE(notifier.listening());
  EXPECT_EQ(notifier.watchdogInterval(), 0);
  EXPECT_EQ(notifier.nextPing(), Forever);
  ::unsetenv("WATCHDOG_USEC");
}

TEST(ServiceNotifierTest, ReadyCarriesTheStatusAndAStatusIsSentOnlyWhenItChanges) {
  NotifySocket socket(nullptr);
  ASSERT_TRUE(socket.bound());
  ServiceNotifier notifier;
  EXPECT_TRUE(notifier.listening());
  EXPECT_EQ(notifier.watchdogInterval(), 0) << "no watchdog asked for";
  notifier.Ready("1 port served");
  notifier.Status("1 port served");
  notifier.Status("2 ports served");
  notifier.PingIfDue(MonotonicMillis());
  notifier.Reloading();
  notifier.Reloaded();
  notifier.Stopping();
  EXPECT_EQ(socket.Received(),
            (std::vector<std::string>{"READY=1\nSTATUS=1 port served", "STATUS=2 ports served",
                                      "RELOADING=1", "READY=1", "STOPPING=1"}));
}

TEST(ServiceNotifierTest, TheWatchdogIsFedAtHalfItsTime) {
  NotifySocket socket("3000000");
  ASSERT_TRUE(socket.bound());
  ServiceNotifier notifier;
  ASSERT_EQ(notifier.watchdogInterval(), 1500);
  Millis start = notifier.nextPing();
  notifier.PingIfDue(start);
  EXPECT_EQ(notifier.nextPing(), start + 1500);
  notifier.PingIfDue(start + 1499);  // not yet due
  notifier.PingIfDue(start + 1500);
  EXPECT_EQ(notifier.nextPing(), start + 3000);
  EXPECT_EQ(socket.Received(), (std::vector<std::string>{"WATCHDOG=1", "WATCHDOG=1"}));
}

TEST(ServiceNotifierTest, AWatchdogMeantForAnotherProcessIsNotFed) {
  NotifySocket socket("3000000");
  ::setenv("WATCHDOG_PID", std::to_string(::getpid() + 1).c_str(), 1);
  ServiceNotifier notifier;
  ::unsetenv("WATCHDOG_PID");
  EXPECT_EQ(notifier.watchdogInterval(), 0);
}

}  // namespace
}  // namespace velmora
