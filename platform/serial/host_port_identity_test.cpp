#include "platform/serial/host_port_identity.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/unique_fd.h"
#include "tests/session_terminal.h"
#include "tests/switched_on_fixture.h"
#include "tests/test_support.h"

namespace velmora::testing {
namespace {

UniqueFd OpenPort(const std::string& path) {
  return UniqueFd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
}

TEST(HostPortIdentityTest, AnotherSessionsControllingTerminalIsNeverTaken) {
  SessionTerminal shell;
  ASSERT_TRUE(shell.ready());
  UniqueFd fd = OpenPort(shell.path());
  ASSERT_TRUE(fd);
  HostPortIdentity identity;
  EXPECT_EQ(identity.Refusal(shell.path(), fd.get()),
            "is the controlling terminal of session " + std::to_string(shell.session()));
}

TEST(HostPortIdentityTest, APseudoTerminalThatWentAwayIsNeverOpenedAgainUnderItsNumber) {
  HostDevice port;
  UniqueFd fd = OpenPort(port.path());
  ASSERT_TRUE(fd);
  HostPortIdentity identity;
  EXPECT_EQ(identity.Refusal(port.path(), fd.get()), "");
  EXPECT_FALSE(identity.gone());
  identity.Lost();
  EXPECT_TRUE(identity.gone()) << "the path names the lost terminal itself";
  // The same number again (here the same terminal, as the next program's
  // terminal would be): refused.
  EXPECT_NE(identity.Refusal(port.path(), fd.get()).find("whose terminal went away"),
            std::string::npos);
}

TEST(HostPortIdentityTest, ALinkIsFollowedToAnotherTerminalButNeverBackToALostOne) {
  TempDir dir;
  std::string link = dir / "by-id-name";
  HostDevice first;
  HostDevice second;
  ASSERT_EQ(::symlink(first.path().c_str(), link.c_str()), 0);
  HostPortIdentity identity;
  UniqueFd fd = OpenPort(link);
  ASSERT_EQ(identity.Refusal(link, fd.get()), "");
  identity.Lost();
  EXPECT_FALSE(identity.gone()) << "a link may lead elsewhere next time";
  EXPECT_NE(identity.Refusal(link, fd.get()), "");
  ASSERT_EQ(::unlink(link.c_str()), 0);
  ASSERT_EQ(::symlink(second.path().c_str(), link.c_str()), 0);
  UniqueFd again = OpenPort(link);
  EXPECT_EQ(identity.Refusal(link, again.get()), "") << "the adapter came back elsewhere";
}

TEST(HostPortIdentityTest, ADevicePathThatNowNamesAnotherDeviceIsRefused) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "making device nodes needs root";
  }
  TempDir dir;
  std::string path = dir / "ttyX";
  struct stat null {};
  struct stat zero {};
  ASSERT_EQ(::stat("/dev/null", &null), 0);
  ASSERT_EQ(::stat("/dev/zero", &zero), 0);
  ASSERT_EQ(::mknod(path.c_str(), S_IFCHR | 0600, null.st_rdev), 0);
  HostPortIdentity identity;
  UniqueFd fd = OpenPort(path);
  ASSERT_EQ(identity.Refusal(path, fd.get()), "");
  ASSERT_EQ(::unlink(path.c_str()), 0);
  ASSERT_EQ(::mknod(path.c_str(), S_IFCHR | 0600, zero.st_rdev), 0);
  UniqueFd other = OpenPort(path);
  EXPECT_EQ(identity.Refusal(path, other.get()),
            "now names device 1:5, not device 1:3 that it named when first opened");
  EXPECT_EQ(identity.Refusal("/etc/hostname", OpenPort("/etc/hostname").get()),
            "is no character device");
}

}  // namespace
}  // namespace velmora::testing
