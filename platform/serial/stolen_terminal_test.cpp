// A "HostPort" on a pseudo-terminal that goes away: its number is soon
// another program's terminal. The running device must never take that
// terminal over (set its speed, read its bytes), whether the key names the
// number itself or a link that now leads to a session's terminal.
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "platform/serial/switched_on_device.h"
#include "platform/text.h"
#include "tests/session_terminal.h"
#include "tests/switched_on_fixture.h"
#include "tests/test_support.h"

namespace velmora::testing {
namespace {

const char16_t* const Mouse = u"Drivers\\BuiltIn\\Mouse";

class StolenTerminalTest : public SwitchedOnFixture {
 protected:
  void ServeMouseAt(const std::string& path) {
    AddDriver(u"Mouse", 3, u"serial.dll");
    SetString(registry(), Mouse, u"HostPort", FromUtf8(path));
    Activate(u"Mouse");
    SwitchOn();
    ASSERT_TRUE(WaitForEvent("COM3: host port " + path + " open at 4800 baud")) << EventsText();
  }

  // The shell's terminal is as its session left it: canonical, and the
  // line typed into it still waits for the shell.
  static void ExpectUntouched(const SessionTerminal& shell) {
    termios mode{};
    ASSERT_EQ(::tcgetattr(shell.master(), &mode), 0);
    EXPECT_NE(mode.c_lflag & ICANON, 0u) << "the terminal was set raw";
    UniqueFd reader = OpenClient(shell.path());
    int waiting = 0;
    ASSERT_EQ(::ioctl(reader.get(), FIONREAD, &waiting), 0);
    EXPECT_EQ(waiting, 7) << "the line typed into the terminal was read";
  }
};

TEST_F(StolenTerminalTest, ALinkThatNowLeadsToASessionsTerminalIsNotTaken) {
  std::string link = dir_ / "gps-mouse";
  HostDevice mouse;
  ASSERT_EQ(::symlink(mouse.path().c_str(), link.c_str()), 0);
  // The shell's terminal is there before the mouse goes, so it has a
  // number of its own: only its session keeps it from the device.
  SessionTerminal shell;
  ASSERT_TRUE(shell.ready());
  ServeMouseAt(link);
  mouse.Close();
  ASSERT_TRUE(WaitForEvent("COM3: host port " + link + " went away")) << EventsText();

  ASSERT_EQ(::write(shell.master(), "secret\n", 7), 7);
  ASSERT_EQ(::unlink(link.c_str()), 0);
  ASSERT_EQ(::symlink(shell.path().c_str(), link.c_str()), 0);
  ASSERT_TRUE(WaitForEvent("COM3: will not open host port " + link +
                           ": it is the controlling terminal of session " +
                           std::to_string(shell.session()) + "; trying again every second"))
      << EventsText();
  ExpectUntouched(shell);
  // Told once, however often it is tried.
  EXPECT_EQ(CountEvents("will not open"), 1);
}

TEST_F(StolenTerminalTest, APseudoTerminalNamedByItsNumberIsNotOpenedAgain) {
  auto mouse = std::make_unique<HostDevice>();
  std::string path = mouse->path();
  ServeMouseAt(path);
  mouse.reset();
  ASSERT_TRUE(WaitForEvent("COM3: host port " + path + " went away")) << EventsText();
  EXPECT_EQ(CountEvents("; will not open it again: a pseudo-terminal's number goes to another "
                        "terminal"),
            1)
      << EventsText();
  // The kernel gives the lowest free number: most often the same one.
  SessionTerminal shell;
  ASSERT_TRUE(shell.ready());
  ASSERT_EQ(::write(shell.master(), "secret\n", 7), 7);
  // Two retry intervals: a device that tried again would have taken it.
  ::usleep(2500 * 1000);
  if (shell.path() != path) {
    GTEST_SKIP() << "the kernel gave the new terminal " << shell.path() << ", not " << path;
  }
  ExpectUntouched(shell);
  EXPECT_EQ(CountEvents("open at 4800 baud"), 1);
}

}  // namespace
}  // namespace velmora::testing
