#include "platform/serial/nmea.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

// 2024-03-09 10:15:30 UTC.
constexpr std::time_t Moment = 1709979330;

GpsFix SampleFix() {
  GpsFix fix;
  fix.utc = Moment;
  fix.valid = true;
  fix.latitude = 53.5527;
  fix.longitude = 9.9918;
  fix.altitude = 12;
  fix.speedKnots = 9.72;
  fix.course = 57.25;
  fix.hdop = 0.9;
  fix.vdop = 1.4;
  fix.pdop = 1.7;
  fix.satellites = {{3, 64, 45, 41, true},
                    {6, 38, 112, 32, true},
                    {9, 22, 190, 27, true},
                    {12, 51, 260, 37, true},
                    {25, 8, 230, 0, false}};
  return fix;
}

TEST(Nmea, ChecksumIsTheExclusiveOrBetweenDollarAndStar) {
  // The textbook sentence of the NMEA 0183 descriptions.
  EXPECT_TRUE(
      NmeaChecksumValid("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"));
  EXPECT_EQ(NmeaSentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"),
            "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n");
  for (const char* bad :
       {"$GPGGA,123519*48", "GPGGA,123519*47", "$GPGGA,123519*4", "$GPGGA", "$GPGGA,123519*4g"}) {
    EXPECT_FALSE(NmeaChecksumValid(bad)) << bad;
  }
}

TEST(Nmea, AnglesAreDegreesAndMinutesRoundedOnce) {
  struct Case {
    double degrees;
    std::string latitude;
    std::string longitude;
  };
  const Case cases[] = {
      {53.5527, "5333.1620,N", "05333.1620,E"},   {-33.8688, "3352.1280,S", "03352.1280,W"},
      {9.9999999, "1000.0000,N", "01000.0000,E"},  // 59.999994 minutes carry
      {0, "0000.0000,N", "00000.0000,E"},         {-0.00001, "0000.0006,S", "00000.0006,W"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NmeaLatitude(c.degrees), c.latitude) << c.degrees;
    EXPECT_EQ(NmeaLongitude(c.degrees), c.longitude) << c.degrees;
  }
  EXPECT_EQ(NmeaLongitude(-179.5), "17930.0000,W");
}

TEST(Nmea, SentencesOfAFix) {
  GpsFix fix = SampleFix();
  EXPECT_EQ(RmcSentence(fix),
            NmeaSentence("GPRMC,101530.00,A,5333.1620,N,00959.5080,E,9.7,57.2,090324,,,A"));
  EXPECT_EQ(GgaSentence(fix),
            NmeaSentence("GPGGA,101530.00,5333.1620,N,00959.5080,E,1,04,0.9,12.0,M,47.0,M,,"));
  EXPECT_EQ(GsaSentence(fix), NmeaSentence("GPGSA,A,3,03,06,09,12,,,,,,,,,1.7,0.9,1.4"));
  std::vector<std::string> gsv = GsvSentences(fix);
  ASSERT_EQ(gsv.size(), 2u);
  EXPECT_EQ(gsv[0],
            NmeaSentence("GPGSV,2,1,05,03,64,045,41,06,38,112,32,09,22,190,27,12,51,260,37"));
  EXPECT_EQ(gsv[1], NmeaSentence("GPGSV,2,2,05,25,08,230,"));
  EXPECT_EQ(NmeaEpoch(fix),
            GgaSentence(fix) + GsaSentence(fix) + gsv[0] + gsv[1] + RmcSentence(fix));
}

TEST(Nmea, WithoutAFixOnlyTimeAndSkyAreTold) {
  GpsFix fix;
  fix.utc = Moment;
  EXPECT_EQ(RmcSentence(fix), NmeaSentence("GPRMC,101530.00,V,,,,,,,090324,,,N"));
  EXPECT_EQ(GgaSentence(fix), NmeaSentence("GPGGA,101530.00,,,,,0,00,99.9,,,,,,"));
  EXPECT_EQ(GsaSentence(fix), NmeaSentence("GPGSA,A,1,,,,,,,,,,,,,,,"));
  EXPECT_EQ(GsvSentences(fix), std::vector<std::string>{NmeaSentence("GPGSV,1,1,00")});
}

TEST(Nmea, GsaNamesAtMostTwelveSatellites) {
  GpsFix fix = SampleFix();
  fix.satellites.clear();
  for (int prn = 1; prn <= 14; ++prn) {
    fix.satellites.push_back({prn, 45, 90, 40, true});
  }
  EXPECT_EQ(GsaSentence(fix),
            NmeaSentence("GPGSA,A,3,01,02,03,04,05,06,07,08,09,10,11,12,1.7,0.9,1.4"));
  EXPECT_EQ(GsvSentences(fix).size(), 4u);
}

}  // namespace
}  // namespace velmora
