#include "platform/serial/nmea_replay.h"

#include <gtest/gtest.h>

#include "platform/serial/nmea.h"

namespace velmora {
namespace {

TEST(NmeaReplay, TimeOfASentence) {
  struct Case {
    std::string line;
    long long millis;
  };
  const Case cases[] = {
      {"$GPRMC,101530.00,A,...", 36930000},
      {"$GNGGA,000001.250,...", 1250},
      {"$GPZDA,235959,09,03,2024", 86399000},
      {"$GPGLL,5333.16,N,00959.51,E,101531.5,A", 36931500},
      {"$GPGSV,3,1,12", -1},
      {"$GPRMC,,V", -1},
      {"$GPRMC,2515,A", -1},
      {"$GPRMC,250000.00,A", -1},
      {"GPRMC,101530.00", -1},
      {"garbage", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NmeaReplay::SentenceTime(c.line), c.millis) << c.line;
  }
}

TEST(NmeaReplay, CutsAtEachNewTimeAndPausesForTheTimeBetween) {
  std::string first = "$GPGGA,101530.00,x\r\n$GPGSA,A,3\r\n$GPRMC,101530.00,A\r\n";
  std::string second = "$GPGGA,101530.20,x\r\n$GPRMC,101530.20,A\r\n";
  std::string third = "$GPGGA,101545.20,x\r\n";  // 15 s later: more than MaxPause
  std::string fourth = "$GPGGA,101546.20,x";     // no line end at the end of the log
  NmeaReplay replay(first + second + third + fourth);
  ASSERT_EQ(replay.burstCount(), 4u);
  Millis pause = 0;
  EXPECT_EQ(replay.Next(&pause), first);
  EXPECT_EQ(pause, 200);
  EXPECT_EQ(replay.Next(&pause), second);
  EXPECT_EQ(pause, NmeaReplay::DefaultPause);
  EXPECT_EQ(replay.Next(&pause), third);
  EXPECT_EQ(pause, 1000);
  EXPECT_EQ(replay.Next(&pause), fourth);
  EXPECT_EQ(pause, NmeaReplay::DefaultPause);
  EXPECT_EQ(replay.Next(&pause), first);  // round again
}

TEST(NmeaReplay, LinesBeforeTheFirstTimeGoWithTheFirstBurst) {
  std::string log = "$GPTXT,01,01,02,start\r\n$GPGGA,101530.00\r\n$GPGGA,101531.00\r\n";
  NmeaReplay replay(log);
  Millis pause = 0;
  EXPECT_EQ(replay.Next(&pause), "$GPTXT,01,01,02,start\r\n$GPGGA,101530.00\r\n");
  EXPECT_EQ(pause, 1000);
}

TEST(NmeaReplay, WithoutTimesItGoesAtTheSpeedOfA4800BaudLine) {
  std::string log;
  for (int i = 0; i < 40; ++i) {
    log += NmeaSentence("GPGSV,3,1,12,01,02,003,04");
  }
  log += std::string(1000, 'x');  // binary without line ends: cut at the size
  NmeaReplay replay(log);
  std::string joined;
  Millis pause = 0;
  for (size_t i = 0; i < replay.burstCount(); ++i) {
    std::string_view burst = replay.Next(&pause);
    EXPECT_LE(burst.size(), NmeaReplay::UntimedBurst);
    EXPECT_EQ(pause, 1000);
    if (joined.size() + burst.size() <= 40 * 37) {
      EXPECT_EQ(burst.back(), '\n') << "cut inside a sentence";
    }
    joined += burst;
  }
  EXPECT_EQ(joined, log);
}

TEST(NmeaReplay, AnEmptyLogHasNothing) {
  NmeaReplay replay("");
  EXPECT_TRUE(replay.empty());
  Millis pause = 0;
  EXPECT_EQ(replay.Next(&pause), "");
}

}  // namespace
}  // namespace velmora
