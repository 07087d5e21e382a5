#include "platform/serial/endpoint_table.h"

#include <poll.h>
#include <unistd.h>

#include <functional>

#include "platform/text.h"
#include "tests/switched_on_fixture.h"

namespace velmora::testing {
namespace {

const char16_t* const Splitter = u"Drivers\\BuiltIn\\Velmora";

std::string LinkTarget(const std::string& path) {
  char target[256] = {};
  ssize_t length = ::readlink(path.c_str(), target, sizeof target - 1);
  return length > 0 ? std::string(target, static_cast<size_t>(length)) : "";
}

// The handle of the running driver of key, 0 when none.
DeviceHandle HandleOf(PlatformRegistry& registry, const std::u16string& key) {
  for (const std::string& line : ActiveEntries(registry)) {
    if (line.find(ToUtf8(key)) != std::string::npos) {
      return static_cast<DeviceHandle>(std::stoul(line.substr(line.find(':') + 2)));
    }
  }
  return 0;
}

class EndpointTableTest : public SwitchedOnFixture {};

// Each way a person restarts the splitter: the clients that hold its
// endpoints open see a pause, then the stream again, on the same terminal.
TEST_F(EndpointTableTest, ARestartedDriverKeepsItsEndpointsAndItsClients) {
  struct Case {
    const char* what;
    std::function<void()> restart;
  };
  const Case cases[] = {
      {"deactivate and activate (the logging dialog's \"Abbrechen\")",
       [this] {
         Deactivate(HandleOf(registry(), Splitter));
         Activate(u"Velmora");
       }},
      {"a boot", [this] { device().devices().Boot(); }},
  };
  InstallSplitter(5, 4);
  Activate(u"Velmora");
  SwitchOn();
  ASSERT_EQ(WaitForLinks("COM5 COM5-2 COM5-3 COM5-4"), "COM5 COM5-2 COM5-3 COM5-4");
  std::string first = LinkTarget(Dev("COM5"));
  std::string second = LinkTarget(Dev("COM5-2"));
  UniqueFd gps = OpenClient(Dev("COM5"));
  UniqueFd raw = OpenClient(Dev("COM5-2"));
  ASSERT_NE(ReadUntil(gps.get(), "$GPRMC"), "");
  ASSERT_NE(ReadUntil(raw.get(), "$GPRMC"), "");
  int restarts = 0;
  for (const Case& c : cases) {
    c.restart();
    ++restarts;
    ASSERT_TRUE(WaitForEvents("COM5: holds COM4", restarts + 1)) << c.what << "\n" << EventsText();
    EXPECT_EQ(LinkTarget(Dev("COM5")), first) << c.what;
    EXPECT_EQ(LinkTarget(Dev("COM5-2")), second) << c.what;
    ReadAvailable(gps.get());
    EXPECT_NE(ReadUntil(gps.get(), "$GPRMC"), "") << c.what;
    EXPECT_NE(ReadUntil(raw.get(), "$GPRMC"), "") << c.what;
  }
  EXPECT_EQ(CountEvents("client closed"), 0) << EventsText();
  EXPECT_EQ(CountEvents("endpoints removed"), 0) << EventsText();

  // A port no longer served loses its endpoints once the grace has passed;
  // its clients then see the line hang up.
  Deactivate(HandleOf(registry(), Splitter));
  EXPECT_EQ(WaitForLinks("COM4"), "COM4");
  ASSERT_TRUE(WaitForEvent("COM5: endpoints removed (not served again)")) << EventsText();
  ReadAvailable(raw.get());
  pollfd hangUp{raw.get(), POLLIN, 0};
  EXPECT_EQ(::poll(&hangUp, 1, 20000), 1);
  EXPECT_NE(hangUp.revents & POLLHUP, 0);
}

// A client that leaves while its endpoint waits to be taken back is told
// closed then, and the next one to open it is told as a client of its own.
TEST_F(EndpointTableTest, AClientThatLeavesDuringARestartIsToldClosedAndTheNextOneOpened) {
  InstallSplitter(5, 4);
  Activate(u"Velmora");
  SwitchOn();
  ASSERT_EQ(WaitForLinks("COM5 COM5-2 COM5-3 COM5-4"), "COM5 COM5-2 COM5-3 COM5-4");
  UniqueFd first = OpenClient(Dev("COM5"));
  ASSERT_TRUE(WaitForEvent("COM5: dev/COM5: client opened")) << EventsText();
  Deactivate(HandleOf(registry(), Splitter));
  ASSERT_TRUE(WaitForEvent("COM5: down")) << EventsText();
  first.Reset();
  ASSERT_TRUE(WaitForEvent("COM5: dev/COM5: client closed")) << EventsText();
  UniqueFd second = OpenClient(Dev("COM5"));
  ASSERT_TRUE(WaitForEvents("COM5: dev/COM5: client opened", 2)) << EventsText();
  Activate(u"Velmora");
  ASSERT_TRUE(WaitForEvents("COM5: holds COM4", 2)) << EventsText();
  EXPECT_NE(ReadUntil(second.get(), "$GPRMC"), "");
  EXPECT_EQ(CountEvents("COM5: dev/COM5: client closed"), 1) << EventsText();
}

// A driver restarted with fewer endpoints keeps those it still has; the
// others go when the grace has passed.
TEST_F(EndpointTableTest, EndpointsNoLongerUsedAfterARestartGo) {
  InstallSplitter(5, 4);
  Activate(u"Velmora");
  SwitchOn();
  ASSERT_EQ(WaitForLinks("COM5 COM5-2 COM5-3 COM5-4"), "COM5 COM5-2 COM5-3 COM5-4");
  std::string first = LinkTarget(Dev("COM5"));
  SetNumber(registry(), Splitter, u"Endpoints", 2);
  Deactivate(HandleOf(registry(), Splitter));
  Activate(u"Velmora");
  EXPECT_EQ(WaitForLinks("COM5 COM5-2"), "COM5 COM5-2");
  EXPECT_EQ(LinkTarget(Dev("COM5")), first);
}

}  // namespace
}  // namespace velmora::testing
