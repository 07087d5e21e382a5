#include "platform/serial/splitter_holds.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/running_ports_fixture.h"

namespace velmora::testing {
namespace {

using SplitterHoldsTest = RunningPortsFixture;

TEST_F(SplitterHoldsTest, EachReasonASplitterCannotHoldItsPort) {
  Add(3, DriverKind::Unserved);
  Add(4, DriverKind::GpsReceiver);
  Add(6, DriverKind::GpsReceiver).heldBy = "COM7";
  Add(8, DriverKind::Splitter);
  Add(9, DriverKind::GpsReceiver).heldBy = "COM5";
  RunningPort& splitter = Add(5, DriverKind::Splitter);
  struct Case {
    int32_t connectTo;
    std::string reason;
  };
  const Case cases[] = {
      {-1, "no port to hold"},
      {5, "ConnectTo names its own port"},
      {2, "COM2 is not running"},
      {8, "COM8 is a splitter too"},
      {3, "COM3 has no data on this host (other.dll)"},
      {6, "COM6 is held by the splitter on COM7"},
      {9, ""},  // held by this splitter already
      {4, ""},
  };
  for (const Case& c : cases) {
    splitter.setup.connectTo = c.connectTo;
    EXPECT_EQ(CannotHold(ports_, splitter), c.reason) << c.connectTo;
  }
}

// Two splitters name one port: the one started first holds it, whatever
// their names; the other waits, told once. When the port stops, both wait.
TEST_F(SplitterHoldsTest, TheFirstStartedSplitterHoldsAPortTwoName) {
  RunningPort& gps = Add(4, DriverKind::GpsReceiver);
  std::string error;
  ASSERT_TRUE(gps.port->OpenEndpoints(1, &error)) << error;
  gps.port->Connect(gps.port->ownSource());
  RunningPort& first = Add(6, DriverKind::Splitter, 4);
  RunningPort& second = Add(5, DriverKind::Splitter, 4);
  AttachSplitters(ports_, events_);
  EXPECT_EQ(first.holds, "COM4");
  EXPECT_EQ(gps.heldBy, "COM6");
  EXPECT_EQ(first.port->connected(), gps.port->ownSource());
  EXPECT_EQ(gps.port->connected(), nullptr);
  EXPECT_TRUE(gps.port->endpoints().empty());
  EXPECT_NE(::access((dir_ / "COM4").c_str(), F_OK), 0) << "the held port's endpoint stays";
  EXPECT_EQ(second.holds, "");
  EXPECT_EQ(second.port->connected(), nullptr);
  EXPECT_EQ(Told("COM6: holds COM4 (GPS receiver, no fix)"), 1);
  EXPECT_EQ(Told("COM4: dev/COM4 removed while the splitter on COM6 holds the port"), 1);
  const std::string heldWait =
      "COM5: waiting: COM4 is held by the splitter on COM6 (what its clients write is dropped "
      "meanwhile)";
  EXPECT_EQ(Told(heldWait), 1);

  size_t toldBefore = told_.size();
  AttachSplitters(ports_, events_);
  EXPECT_EQ(told_.size(), toldBefore) << "nothing changed, nothing told";
  EXPECT_EQ(first.holds, "COM4");

  LetGoHolds(ports_, gps);
  EXPECT_EQ(first.holds, "");
  EXPECT_EQ(first.port->connected(), nullptr);
  ports_.erase("COM4");
  AttachSplitters(ports_, events_);
  for (const char* name : {"COM5", "COM6"}) {
    EXPECT_EQ(Told(std::string(name) +
                   ": waiting: COM4 is not running (what its clients write is dropped meanwhile)"),
              1)
        << name;
  }
  EXPECT_EQ(Told(heldWait), 1);
}

}  // namespace
}  // namespace velmora::testing
