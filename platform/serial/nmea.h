// NMEA 0183 sentences of a GPS receiver: RMC, GGA, GSA and GSV, each as
// "$GP...*hh\r\n" with the checksum (the exclusive or of every character
// between "$" and "*", two upper-case hex digits).
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct Satellite {
  int prn = 0;
  int elevation = 0;  // degrees above the horizon, 0 to 90
  int azimuth = 0;    // degrees from north, 0 to 359
  int snr = 0;        // dB-Hz; 0 when not tracked
  bool used = false;  // part of the fix
};

// What the receiver knows at one moment. Without a fix only the time and
// the satellites in view are told.
struct GpsFix {
  std::time_t utc = 0;  // seconds since 1970, UTC
  bool valid = false;
  double latitude = 0;   // degrees, north positive
  double longitude = 0;  // degrees, east positive
  double altitude = 0;   // metres above mean sea level
  double speedKnots = 0;
  double course = 0;  // degrees from true north
  double hdop = 0, vdop = 0, pdop = 0;
  std::vector<Satellite> satellites;
};

// "$" + body + "*" + checksum + "\r\n".
std::string NmeaSentence(std::string_view body);
// Whether line (with or without its line end) is "$...*hh" with the right
// checksum.
bool NmeaChecksumValid(std::string_view line);

// Latitude as "ddmm.mmmm,N", longitude as "dddmm.mmmm,E".
std::string NmeaLatitude(double degrees);
std::string NmeaLongitude(double degrees);

std::string RmcSentence(const GpsFix& fix);
std::string GgaSentence(const GpsFix& fix);
std::string GsaSentence(const GpsFix& fix);
// Four satellites per sentence; one sentence even when none are in view.
std::vector<std::string> GsvSentences(const GpsFix& fix);
// One second's output in a receiver's usual order: GGA, GSA, GSV..., RMC.
std::string NmeaEpoch(const GpsFix& fix);

}  // namespace velmora
