#include "platform/serial/driver_setup.h"

#include <gtest/gtest.h>

#include "platform/registry/hive.h"
#include "tests/test_support.h"

namespace velmora {
namespace {

using testing::SetBytes;
using testing::SetNumber;
using testing::SetString;

const char16_t* const Key = u"Drivers\\BuiltIn\\X";

std::string Problems(const DriverSetup& setup) {
  std::string text;
  for (const std::string& problem : setup.problems) {
    text += problem + "\n";
  }
  return text;
}

TEST(DriverSetup, TheDllAndTheHostPortChooseWhatIsServed) {
  struct Case {
    const char16_t* dll;
    bool hostPort;
    DriverKind kind;
  };
  const Case cases[] = {
      {u"Velmora.dll", false, DriverKind::Splitter},
      {u"VELMORA.DLL", true, DriverKind::Splitter},  // the splitter is never a pass-through
      {u"gpsdrv.dll", false, DriverKind::GpsReceiver},
      {u"GpsDrv.Dll", true, DriverKind::HostPort},  // a real GPS mouse on the GPS port
      {u"serial.dll", true, DriverKind::HostPort},
      {u"serial.dll", false, DriverKind::Unserved},
      {u"velmora.dll.bak", false, DriverKind::Unserved},
  };
  for (const Case& c : cases) {
    Hive hive;
    SetString(hive, Key, u"Dll", c.dll);
    if (c.hostPort) {
      SetString(hive, Key, u"HostPort", u"/dev/ttyUSB0");
    }
    DriverSetup setup = ReadDriverSetup(hive, Key);
    EXPECT_EQ(setup.kind, c.kind) << testing::ValueData(hive, Key, u"Dll");
  }
}

TEST(DriverSetup, SplitterValuesAsVelmoraCfgStoresThem) {
  Hive hive;
  SetString(hive, Key, u"Dll", u"Velmora.dll");
  SetNumber(hive, Key, u"ConnectTo", 4);
  SetNumber(hive, Key, u"Endpoints", 6);
  SetBytes(hive, Key, u"ReadLog", RegBinary, {1});
  SetBytes(hive, Key, u"WriteLog", RegBinary, {0});
  SetString(hive, Key, u"LogDir", u"\\Temp");
  SetNumber(hive, Key, u"LogLimit", 65536);
  DriverSetup setup = ReadDriverSetup(hive, Key);
  EXPECT_EQ(setup.connectTo, 4);
  EXPECT_EQ(setup.endpoints, 6u);
  EXPECT_TRUE(setup.readLog);
  EXPECT_FALSE(setup.writeLog);
  EXPECT_EQ(setup.logDir, u"\\Temp");
  EXPECT_EQ(setup.logLimit, 65536u);
  EXPECT_EQ(Problems(setup), "");
}

TEST(DriverSetup, NetworkValuesOfTheSplitter) {
  Hive hive;
  SetString(hive, Key, u"Dll", u"Velmora.dll");
  SetNumber(hive, Key, u"ConnectTo", 4);
  DriverSetup setup = ReadDriverSetup(hive, Key);
  EXPECT_FALSE(setup.network.any());  // nothing listens unless asked
  EXPECT_EQ(setup.network.listenAddress, "127.0.0.1");
  EXPECT_EQ(setup.network.maxClients, NetworkLimits::DefaultMaxClients);

  SetNumber(hive, Key, u"TcpPort", 4001);
  SetNumber(hive, Key, u"Rfc2217Port", 4002);
  SetString(hive, Key, u"ListenAddress", u"::1");
  std::u16string list = u"10.0.0.0/8";
  list += u'\0';
  list += u"::1/128";
  list += u'\0';
  list += u'\0';
  std::vector<uint8_t> bytes;
  for (char16_t c : list) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  SetBytes(hive, Key, u"AllowFrom", RegMultiString, bytes);
  SetNumber(hive, Key, u"MaxClients", 3);
  setup = ReadDriverSetup(hive, Key);
  EXPECT_EQ(setup.network.tcpPort, 4001);
  EXPECT_EQ(setup.network.rfc2217Port, 4002);
  EXPECT_EQ(setup.network.listenAddress, "::1");
  EXPECT_EQ(setup.network.allowFrom, "10.0.0.0/8 ::1/128  ");
  EXPECT_EQ(setup.network.maxClients, 3u);
  EXPECT_EQ(Problems(setup), "");

  SetNumber(hive, Key, u"TcpPort", 70000);
  SetNumber(hive, Key, u"MaxClients", 0);
  setup = ReadDriverSetup(hive, Key);
  EXPECT_EQ(setup.network.tcpPort, 0);
  EXPECT_EQ(setup.network.maxClients, NetworkLimits::DefaultMaxClients);
  EXPECT_EQ(Problems(setup),
            "\"TcpPort\" 70000 is not a TCP port; nothing listens there\n"
            "\"MaxClients\" 0 is not within 1 to 256; 16 are allowed\n");
}

TEST(DriverSetup, SplitterDefaultsAndValuesThatCannotBeUsed) {
  Hive hive;
  SetString(hive, Key, u"Dll", u"Velmora.dll");
  DriverSetup setup = ReadDriverSetup(hive, Key);
  EXPECT_EQ(setup.connectTo, -1);
  EXPECT_EQ(setup.endpoints, 4u);
  EXPECT_FALSE(setup.readLog);
  EXPECT_EQ(setup.logDir, u"\\My Documents");
  EXPECT_EQ(Problems(setup), "\"ConnectTo\" is missing; the splitter holds no port\n");

  SetNumber(hive, Key, u"ConnectTo", 0xFFFFFFFFu);
  SetNumber(hive, Key, u"Endpoints", 0);
  // A flag stored as a 32-bit number counts as 0, as the logging dialog
  // reads it; a LogDir that is no string is left out.
  SetNumber(hive, Key, u"ReadLog", 1);
  SetNumber(hive, Key, u"LogDir", 7);
  SetString(hive, Key, u"LogLimit", u"big");
  setup = ReadDriverSetup(hive, Key);
  EXPECT_EQ(setup.connectTo, -1);
  EXPECT_EQ(setup.endpoints, 4u);
  EXPECT_FALSE(setup.readLog);
  EXPECT_EQ(setup.logDir, u"\\My Documents");
  EXPECT_EQ(Problems(setup),
            "\"ConnectTo\" -1 is not a port from 0 to 9; the splitter holds no port\n"
            "\"Endpoints\" 0 is not within 1 to 16; 4 are made\n"
            "\"LogDir\" is not a string; it is left out\n"
            "\"LogLimit\" is not a number; it is left out\n");
}

TEST(DriverSetup, HostPortAndReceiverValues) {
  Hive hive;
  SetString(hive, Key, u"Dll", u"serial.dll");
  SetString(hive, Key, u"HostPort", u"/dev/ttyUSB0");
  SetNumber(hive, Key, u"HostBaudRate", 9600);
  DriverSetup setup = ReadDriverSetup(hive, Key);
  EXPECT_EQ(setup.hostPort, "/dev/ttyUSB0");
  EXPECT_EQ(setup.baudRate, 9600u);
  SetBytes(hive, Key, u"HostBaudRate", RegBinary, {0x80, 0x25});
  setup = ReadDriverSetup(hive, Key);
  EXPECT_EQ(setup.baudRate, 4800u);
  EXPECT_EQ(Problems(setup), "\"HostBaudRate\" is not a number; it is left out\n");

  SetString(hive, u"Drivers\\BuiltIn\\GPS", u"Dll", u"gpsdrv.dll");
  SetString(hive, u"Drivers\\BuiltIn\\GPS", u"Route", u"\\route.txt");
  SetString(hive, u"Drivers\\BuiltIn\\GPS", u"Replay", u"\\track.nmea");
  setup = ReadDriverSetup(hive, u"Drivers\\BuiltIn\\GPS");
  EXPECT_EQ(setup.route, u"\\route.txt");
  EXPECT_EQ(setup.replay, u"\\track.nmea");
}

TEST(DriverSetup, AMissingKeyIsNotServed) {
  Hive hive;
  DriverSetup setup = ReadDriverSetup(hive, u"Drivers\\BuiltIn\\Gone");
  EXPECT_EQ(setup.kind, DriverKind::Unserved);
  EXPECT_EQ(Problems(setup), "its driver key \"Drivers\\BuiltIn\\Gone\" cannot be opened\n");
  // An active entry without "Key" never reaches the registry's root.
  setup = ReadDriverSetup(hive, u"");
  EXPECT_EQ(setup.kind, DriverKind::Unserved);
  EXPECT_EQ(Problems(setup), "its driver key \"\" cannot be opened\n");
}

}  // namespace
}  // namespace velmora
