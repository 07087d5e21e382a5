#include "platform/serial/switched_on_device.h"

#include <sys/stat.h>
#include <unistd.h>

#include <random>

#include "platform/serial/nmea.h"
#include "platform/serial/route.h"
#include "platform/text.h"
#include "tests/switched_on_fixture.h"

namespace velmora::testing {
namespace {

const char16_t* const Splitter = u"Drivers\\BuiltIn\\Velmora";
const char16_t* const Mouse = u"Drivers\\BuiltIn\\Mouse";

std::string RandomBytes(size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(count, '\0');
  for (char& c : bytes) {
    c = static_cast<char>(random() & 0xFF);
  }
  return bytes;
}

// The "N bytes sent, M dropped" of a client's closing line.
bool ClosingCounts(const std::vector<std::string>& lines, const std::string& endpoint,
                   unsigned long long* sent, unsigned long long* dropped) {
  for (const std::string& line : lines) {
    size_t at = line.find(endpoint + ": client closed (");
    if (at != std::string::npos) {
      return std::sscanf(line.c_str() + at + endpoint.size(),
                         ": client closed (%llu bytes sent, %llu", sent, dropped) == 2;
    }
  }
  return false;
}

// The sentences of one second, from GGA to the end of RMC; empty when they
// did not come.
std::string ReadSecond(int fd) {
  std::string heard;
  for (int i = 0; i < 4; ++i) {
    heard += ReadUntil(fd, "\r\n", 5);
    size_t gga = heard.find("$GPGGA");
    size_t rmc = heard.find("$GPRMC", gga == std::string::npos ? heard.size() : gga);
    size_t end = heard.find("\r\n", rmc == std::string::npos ? heard.size() : rmc);
    if (end != std::string::npos) {
      return heard.substr(gga, end + 2 - gga);
    }
  }
  return {};
}

class SwitchedOnTest : public SwitchedOnFixture {
 protected:
  // A host serial device on COM3 and the splitter on COM5 holding it.
  void SplitterOnHostDevice(uint32_t endpoints = 4) {
    AddDriver(u"Mouse", 3, u"serial.dll");
    SetString(registry(), Mouse, u"HostPort", FromUtf8(mouse_.path()));
    SetNumber(registry(), Mouse, u"HostBaudRate", 115200);
    InstallSplitter(5, 3);
    SetNumber(registry(), Splitter, u"Endpoints", endpoints);
    Activate(u"Mouse");
    Activate(u"Velmora");
  }

  HostDevice mouse_;
};

TEST_F(SwitchedOnTest, EveryReadingClientGetsTheWholeStreamAndASilentOneLosesOnlyItsOwn) {
  SplitterOnHostDevice();
  SetBytes(registry(), Splitter, u"ReadLog", RegBinary, {1});
  SwitchOn();
  ASSERT_TRUE(WaitForEvent("COM3: host port " + mouse_.path() + " open at 115200 baud"))
      << EventsText();
  ASSERT_TRUE(WaitForEvent("COM5: holds COM3")) << EventsText();
  EXPECT_EQ(WaitForLinks("COM4 COM5 COM5-2 COM5-3 COM5-4"), "COM4 COM5 COM5-2 COM5-3 COM5-4");

  std::vector<UniqueFd> readers;
  for (const char* name : {"COM5", "COM5-2", "COM5-3"}) {
    readers.push_back(OpenClient(Dev(name)));
  }
  UniqueFd silent = OpenClient(Dev("COM5-4"));
  for (const char* name : {"COM5", "COM5-2", "COM5-3", "COM5-4"}) {
    ASSERT_TRUE(WaitForEvent(std::string("dev/") + name + ": client opened")) << EventsText();
  }

  // Every byte value, in chunks of changing size; each chunk is read by
  // every reading client before the next is sent, so what they get does
  // not depend on how fast this test runs. The silent client falls behind
  // by the whole stream.
  const std::string source = RandomBytes(4 * 1024 * 1024, 7);
  std::vector<std::string> received(readers.size());
  std::mt19937 sizes(11);
  for (size_t at = 0; at < source.size();) {
    size_t chunk = std::min<size_t>(source.size() - at, 1 + sizes() % (32 * 1024));
    ASSERT_TRUE(WriteAll(mouse_.fd(), std::string_view(source).substr(at, chunk)));
    at += chunk;
    for (size_t i = 0; i < readers.size(); ++i) {
      received[i] += ReadCount(readers[i].get(), at - received[i].size());
      ASSERT_EQ(received[i].size(), at) << "client " << i << "\n" << EventsText();
    }
  }
  for (size_t i = 0; i < readers.size(); ++i) {
    EXPECT_TRUE(received[i] == source) << "client " << i << " got other bytes";
  }

  silent.Reset();
  ASSERT_TRUE(WaitForEvent("dev/COM5-4: client closed")) << EventsText();
  unsigned long long sent = 0;
  unsigned long long dropped = 0;
  ASSERT_TRUE(ClosingCounts(Events(), "dev/COM5-4", &sent, &dropped)) << EventsText();
  EXPECT_EQ(sent + dropped, source.size());
  EXPECT_GE(dropped, source.size() - 256 * 1024);
  EXPECT_GE(CountEvents("dev/COM5-4: client is not reading; dropping its data"), 1);
  EXPECT_EQ(CountEvents("dropping"), CountEvents("dev/COM5-4: client is not reading"));

  EXPECT_TRUE(ReadFileText(Root("My Documents/Velmora-COM5-read.log")) == source)
      << "the read log differs from what the source sent";
}

TEST_F(SwitchedOnTest, WhatClientsWriteReachesTheSourceAndTheWriteLog) {
  SplitterOnHostDevice(2);
  SetBytes(registry(), Splitter, u"WriteLog", RegBinary, {1});
  SwitchOn();
  ASSERT_TRUE(WaitForEvent("COM3: host port")) << EventsText();
  ASSERT_TRUE(WaitForEvent("COM5: logging writes to \\My Documents\\Velmora-COM5-write.log"))
      << EventsText();
  ASSERT_TRUE(WaitForEvent("COM5: holds COM3")) << EventsText();
  UniqueFd first = OpenClient(Dev("COM5"));
  UniqueFd second = OpenClient(Dev("COM5-2"));
  ASSERT_TRUE(WaitForEvent("dev/COM5-2: client opened")) << EventsText();

  const std::string command = "$PSRF103,00,00,01,01*25\r\n";
  const std::string bulk = RandomBytes(200 * 1024, 3);
  ASSERT_TRUE(WriteAll(first.get(), command));
  EXPECT_EQ(ReadCount(mouse_.fd(), command.size()), command);
  // More than every buffer on the way holds: it arrives whole because the
  // device reads it only as fast as the host device takes it.
  std::string arrived;
  for (size_t at = 0; at < bulk.size(); at += 16 * 1024) {
    ASSERT_TRUE(WriteAll(second.get(), std::string_view(bulk).substr(at, 16 * 1024)));
    arrived += ReadAvailable(mouse_.fd());
  }
  arrived += ReadCount(mouse_.fd(), bulk.size() - arrived.size());
  EXPECT_TRUE(arrived == bulk) << arrived.size() << " bytes arrived";
  EXPECT_TRUE(ReadFileText(Root("My Documents/Velmora-COM5-write.log")) == command + bulk);
  // The other client hears the device, not its neighbour.
  EXPECT_EQ(ReadAvailable(first.get()), "");
}

TEST_F(SwitchedOnTest, AHostDeviceThatGoesAwayIsToldAndOpenedAgainWhenItComesBack) {
  // The key names a link the test points at one terminal and then another,
  // as a USB adapter comes back as the same /dev/serial/by-id name.
  std::string link = dir_ / "gps-mouse";
  ASSERT_EQ(::symlink(mouse_.path().c_str(), link.c_str()), 0);
  AddDriver(u"Mouse", 3, u"serial.dll");
  SetString(registry(), Mouse, u"HostPort", FromUtf8(link));
  Activate(u"Mouse");
  SwitchOn();
  ASSERT_TRUE(WaitForEvent("COM3: host port " + link + " open at 4800 baud")) << EventsText();
  ASSERT_TRUE(WaitForLink("COM3"));
  UniqueFd client = OpenClient(Dev("COM3"));
  ASSERT_TRUE(WaitForEvent("dev/COM3: client opened"));
  ASSERT_TRUE(WriteAll(mouse_.fd(), "before\n"));
  EXPECT_EQ(ReadCount(client.get(), 7), "before\n");

  mouse_.Close();
  ASSERT_TRUE(WaitForEvent("COM3: host port " + link + " went away")) << EventsText();
  EXPECT_TRUE(WaitForLink("COM3"));
  HostDevice again;
  ASSERT_EQ(::unlink(link.c_str()), 0);
  ASSERT_EQ(::symlink(again.path().c_str(), link.c_str()), 0);
  ASSERT_TRUE(WaitForEvents("COM3: host port " + link + " open at 4800 baud", 2)) << EventsText();
  ASSERT_TRUE(WriteAll(again.fd(), "after\n"));
  EXPECT_EQ(ReadCount(client.get(), 6), "after\n");
  EXPECT_EQ(CountEvents("went away"), 1);
}

TEST_F(SwitchedOnTest, EndpointsFollowActivationDeactivationAndBoot) {
  SwitchOn();
  EXPECT_EQ(WaitForLinks("COM4"), "COM4");
  InstallSplitter(5, 4);
  DeviceHandle splitter = Activate(u"Velmora");
  EXPECT_EQ(WaitForLinks("COM5 COM5-2 COM5-3 COM5-4"), "COM5 COM5-2 COM5-3 COM5-4");

  Deactivate(splitter);
  EXPECT_EQ(WaitForLinks("COM4"), "COM4");

  // Boot loads the splitter (Order 1) before the GPS driver (Order 2).
  device().devices().Boot();
  ASSERT_TRUE(WaitForEvent("COM5: holds COM4")) << EventsText();
  EXPECT_EQ(WaitForLinks("COM5 COM5-2 COM5-3 COM5-4"), "COM5 COM5-2 COM5-3 COM5-4");

  // Every port of the sample device stopped: nothing is left.
  for (const std::string& line : ActiveEntries(registry())) {
    Deactivate(static_cast<DeviceHandle>(std::stoul(line.substr(line.find(':') + 2))));
  }
  EXPECT_EQ(WaitForLinks(""), "");
}

TEST_F(SwitchedOnTest, TheSplitterReadsItsLoggingSettingsWhenItStarts) {
  InstallSplitter(5, 4);
  DeviceHandle splitter = Activate(u"Velmora");
  SwitchOn();
  ASSERT_TRUE(WaitForEvent("COM5: holds COM4"));
  UniqueFd client = OpenClient(Dev("COM5"));
  EXPECT_NE(ReadUntil(client.get(), "$GPRMC"), "");
  // Ticking the box changes nothing until the driver is restarted, as the
  // logging dialog's "Abbrechen" does.
  SetBytes(registry(), Splitter, u"ReadLog", RegBinary, {1});
  SetString(registry(), Splitter, u"LogDir", u"\\temp");
  EXPECT_NE(ReadUntil(client.get(), "$GPRMC"), "");
  EXPECT_EQ(CountEvents("logging"), 0);
  Deactivate(splitter);
  Activate(u"Velmora");
  ASSERT_TRUE(WaitForEvent("COM5: logging reads to \\temp\\Velmora-COM5-read.log")) << EventsText();
  client = OpenClient(Dev("COM5"));
  std::string heard = ReadUntil(client.get(), "$GPRMC");
  heard += ReadUntil(client.get(), "$GPRMC");
  std::string logged = ReadFileText(Root("Temp/Velmora-COM5-read.log"));
  EXPECT_NE(logged.find("$GPRMC"), std::string::npos);
  EXPECT_TRUE(logged.find(heard.substr(heard.find("$GPGGA"), 40)) != std::string::npos)
      << "heard: " << heard << "\nlogged: " << logged;
}

TEST_F(SwitchedOnTest, AnUnusableLogFolderTurnsLoggingOffAndTheSplitterRuns) {
  struct Case {
    std::u16string logDir;
    std::string told;
  };
  const Case cases[] = {
      {u"\\Missing", "COM5: LogDir \"\\Missing\" does not exist; logging is off"},
      {u"\\My Documents\\Notes.txt",
       "COM5: LogDir \"\\My Documents\\Notes.txt\" is not a folder; logging is off"},
      {u"\\..\\..", "COM5: LogDir \"\\..\\..\" does not exist; logging is off"},
  };
  InstallSplitter(5, 4);
  SetBytes(registry(), Splitter, u"ReadLog", RegBinary, {1});
  SetBytes(registry(), Splitter, u"WriteLog", RegBinary, {1});
  SwitchOn();
  for (const Case& c : cases) {
    SetString(registry(), Splitter, u"LogDir", c.logDir);
    DeviceHandle handle = Activate(u"Velmora");
    ASSERT_TRUE(WaitForEvent(c.told)) << EventsText();
    UniqueFd client = OpenClient(Dev("COM5"));
    EXPECT_NE(ReadUntil(client.get(), "$GPRMC").find("$GPRMC"), std::string::npos);
    Deactivate(handle);
    ASSERT_EQ(WaitForLinks("COM4"), "COM4");
  }
  EXPECT_EQ(CountEvents("logging reads"), 0);
}

TEST_F(SwitchedOnTest, TheReadLogIsRotatedAtItsLimitKeepingOneOlderGeneration) {
  SplitterOnHostDevice(1);
  SetBytes(registry(), Splitter, u"ReadLog", RegBinary, {1});
  SetNumber(registry(), Splitter, u"LogLimit", 4096);
  SwitchOn();
  // Bytes written before the host device is open are not the port's.
  ASSERT_TRUE(WaitForEvent("COM3: host port " + mouse_.path() + " open")) << EventsText();
  ASSERT_TRUE(WaitForEvent("COM5: holds COM3")) << EventsText();
  UniqueFd client = OpenClient(Dev("COM5"));
  ASSERT_TRUE(WaitForEvent("dev/COM5: client opened"));
  std::string source;
  for (int i = 0; i < 300; ++i) {
    std::string sentence = NmeaSentence("GPTXT,01,01,02,line " + std::to_string(i));
    ASSERT_TRUE(WriteAll(mouse_.fd(), sentence));
    source += sentence;
    ASSERT_EQ(ReadCount(client.get(), sentence.size()), sentence);
  }
  std::string current = ReadFileText(Root("My Documents/Velmora-COM5-read.log"));
  std::string older = ReadFileText(Root("My Documents/Velmora-COM5-read.old.log"));
  EXPECT_LE(current.size(), 4096u);
  EXPECT_LE(older.size(), 4096u);
  EXPECT_GT(older.size(), 3000u);
  EXPECT_TRUE(source.size() >= older.size() + current.size() &&
              source.substr(source.size() - older.size() - current.size()) == older + current);
}

TEST_F(SwitchedOnTest, BadSettingsAreToldOnceEachAndTheRestKeepsRunning) {
  AddDriver(u"Missing", 3, u"serial.dll");
  SetString(registry(), u"Drivers\\BuiltIn\\Missing", u"HostPort", u"/dev/velmora-no-such-port");
  AddDriver(u"Odd", 6, u"serial.dll");
  SetString(registry(), u"Drivers\\BuiltIn\\Odd", u"HostPort", FromUtf8(mouse_.path()));
  SetNumber(registry(), u"Drivers\\BuiltIn\\Odd", u"HostBaudRate", 12345);
  InstallSplitter(5, 8);
  SetNumber(registry(), Splitter, u"Endpoints", 40);
  SetString(registry(), u"Drivers\\BuiltIn\\GPS", u"Route", u"\\My Documents\\route.txt");
  ASSERT_TRUE(
      device().files().WriteWholeFile(u"\\My Documents\\route.txt", "53.55 9.99\nnorth of here\n"));
  for (const char16_t* name : {u"Missing", u"Odd", u"Velmora"}) {
    Activate(name);
  }
  device().devices().Boot();  // the GPS driver reads its route when it starts
  SwitchOn();
  const char* const told[] = {
      "COM3: cannot open host port /dev/velmora-no-such-port: No such file or directory; trying "
      "again every second",
      "is not a baud rate of this host; trying again every second",
      "COM5: \"Endpoints\" 40 is not within 1 to 16; 4 are made",
      "COM5: waiting: COM8 is not running (what its clients write is dropped meanwhile)",
      "COM4: the route file \"\\My Documents\\route.txt\": line 2: expected 'latitude longitude "
      "[altitude]' in decimal degrees; the receiver has no fix",
  };
  for (const char* line : told) {
    EXPECT_TRUE(WaitForEvent(line)) << line << "\n" << EventsText();
  }
  const std::string all = "COM3 COM4 COM5 COM5-2 COM5-3 COM5-4 COM6";
  EXPECT_EQ(WaitForLinks(all), all);
  // The receiver without a route still talks, without a fix.
  UniqueFd gps = OpenClient(Dev("COM4"));
  std::string heard = ReadUntil(gps.get(), "$GPRMC");
  heard += ReadUntil(gps.get(), "\r\n");
  size_t rmc = heard.find("$GPRMC");
  ASSERT_NE(rmc, std::string::npos) << heard;
  EXPECT_EQ(heard.substr(rmc + 16, 3), ",V,") << heard.substr(rmc);
  // Told once, however often the port is tried again (every second: two
  // more seconds of the receiver see two more attempts).
  ASSERT_NE(ReadSecond(gps.get()), "");
  ASSERT_NE(ReadSecond(gps.get()), "");
  EXPECT_EQ(CountEvents("cannot open host port /dev/velmora-no-such-port"), 1);
  EXPECT_EQ(CountEvents("waiting"), 1);
}

TEST_F(SwitchedOnTest, TheGpsReceiverSendsCheckedSentencesOnItsRoute) {
  SwitchOn();
  ASSERT_TRUE(WaitForLink("COM4"));
  UniqueFd gps = OpenClient(Dev("COM4"));
  std::string second = ReadSecond(gps.get());
  ASSERT_NE(second, "");
  int lines = 0;
  for (size_t at = 0; at < second.size();) {
    size_t end = second.find("\r\n", at);
    ASSERT_NE(end, std::string::npos) << second;
    EXPECT_TRUE(NmeaChecksumValid(second.substr(at, end - at))) << second.substr(at, end - at);
    at = end + 2;
    ++lines;
  }
  EXPECT_EQ(lines, 5);  // GGA, GSA, two GSV, RMC
  // Within the built-in route's corners.
  double latitude = std::stod(second.substr(17, 2)) + std::stod(second.substr(19, 7)) / 60;
  double longitude = std::stod(second.substr(29, 3)) + std::stod(second.substr(32, 7)) / 60;
  EXPECT_NEAR(latitude, 53.555, 0.004) << second;
  EXPECT_NEAR(longitude, 9.993, 0.005) << second;
}

TEST_F(SwitchedOnTest, TheGpsReceiverReplaysALogWithItsOwnPacing) {
  std::string log = NmeaSentence("GPGGA,101500.00,4807.0380,N,01131.0000,E,1,08,0.9,545.4,M,,M,,") +
                    NmeaSentence("GPRMC,101500.00,A,4807.0380,N,01131.0000,E,0.0,0.0,010124,,,A") +
                    NmeaSentence("GPGGA,101500.50,4807.0390,N,01131.0000,E,1,08,0.9,545.4,M,,M,,");
  ASSERT_TRUE(device().files().WriteWholeFile(u"\\My Documents\\Capture.nmea", log));
  SetString(registry(), u"Drivers\\BuiltIn\\GPS", u"Replay", u"\\my documents\\capture.NMEA");
  device().devices().Boot();
  SwitchOn();
  ASSERT_TRUE(WaitForLink("COM4"));
  UniqueFd gps = OpenClient(Dev("COM4"));
  std::string heard = ReadUntil(gps.get(), "101500.50");
  heard = ReadUntil(gps.get(), "101500.50");
  EXPECT_NE(heard.find(log.substr(log.find("$GPRMC"))), std::string::npos) << heard;
  EXPECT_NE(heard.find(log), std::string::npos) << "the log came round again:\n" << heard;
  EXPECT_TRUE(WaitForEvent("COM4: up, GPS receiver replaying \"\\my documents\\capture.NMEA\""))
      << EventsText();
}

TEST_F(SwitchedOnTest, SwitchingOffRemovesEverythingItMade) {
  InstallSplitter(5, 4);
  Activate(u"Velmora");
  ASSERT_EQ(::mkdir(Dev("").c_str(), 0755), 0);
  ASSERT_EQ(::symlink("/dev/pts/999", Dev("COM9").c_str()), 0);  // left by a run that was killed
  SwitchOn();
  EXPECT_EQ(WaitForLinks("COM5 COM5-2 COM5-3 COM5-4"), "COM5 COM5-2 COM5-3 COM5-4");
  UniqueFd client = OpenClient(Dev("COM5"));
  SwitchOff();
  struct stat info {};
  EXPECT_NE(::lstat(Dev("").c_str(), &info), 0) << "dev/ is still there: " << Links();
  EXPECT_NE(EventsText().find("COM5: down"), std::string::npos);
}

}  // namespace
}  // namespace velmora::testing
