#include "platform/serial/served_port_making.h"

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace velmora::testing {
namespace {

// A GPS receiver's replay log that cannot be replayed leaves the receiver
// without a fix, told once; a port with nothing of its own gets no source.
TEST(ServedPortMaking, TheSourceOfEachKindOfPort) {
  TempDir root;
  DeviceFiles files(root.path());
  ASSERT_TRUE(files.WriteWholeFile(u"\\empty.nmea", ""));
  ASSERT_TRUE(files.WriteWholeFile(u"\\drive.nmea", "$GPRMC,101530.00,A\r\n"));
  struct Case {
    DriverKind kind;
    std::u16string replay;
    std::string source;  // Describe(); empty: no source
    std::string told;    // the one event line; empty: none
  };
  const Case cases[] = {
      {DriverKind::GpsReceiver, u"", "GPS receiver, built-in route", ""},
      {DriverKind::GpsReceiver, u"\\drive.nmea", "GPS receiver replaying \"\\drive.nmea\"", ""},
      {DriverKind::GpsReceiver, u"\\empty.nmea", "GPS receiver, no fix",
       "COM4: the replay log \"\\empty.nmea\" is empty; the receiver has no fix"},
      {DriverKind::GpsReceiver, u"\\missing.nmea", "GPS receiver, no fix",
       "COM4: the replay log \"\\missing.nmea\" does not exist; the receiver has no fix"},
      {DriverKind::Splitter, u"", "", ""},
      {DriverKind::Unserved, u"", "", ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> told;
    DriverSetup setup;
    setup.kind = c.kind;
    setup.replay = c.replay;
    std::unique_ptr<PortSource> source = MakePortSource(
        files, "COM4", setup, [&](const std::string& line) { told.push_back(line); });
    EXPECT_EQ(source ? source->Describe() : "", c.source) << c.source;
    EXPECT_EQ(told, c.told.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.told})
        << c.source;
  }
}

}  // namespace
}  // namespace velmora::testing
