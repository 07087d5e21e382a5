#include "platform/serial/nmea.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace velmora {

namespace {

// printf into a std::string; the sentences are short.
template <typename... Args>
std::string Format(const char* format, Args... args) {
  char buffer[128];
  int length = std::snprintf(buffer, sizeof buffer, format, args...);
  return std::string(buffer, length < 0 ? 0 : std::min<size_t>(length, sizeof buffer - 1));
}

unsigned Checksum(std::string_view body) {
  unsigned sum = 0;
  for (char c : body) {
    sum ^= static_cast<unsigned char>(c);
  }
  return sum;
}

// "ddmm.mmmm" with degreeDigits digits of degrees: rounded once, in units of
// 1/10000 minute, so 59.99999 minutes carry into the degrees.
std::string Angle(double degrees, int degreeDigits, char positive, char negative) {
  long long units = std::llround(std::fabs(degrees) * 60.0 * 10000.0);
  long long whole = units / 600000;
  long long minutes = units % 600000;
  return Format("%0*lld%02lld.%04lld,%c", degreeDigits, whole, minutes / 10000, minutes % 10000,
                degrees < 0 ? negative : positive);
}

std::tm Utc(std::time_t time) {
  std::tm parts{};
  ::gmtime_r(&time, &parts);
  return parts;
}

std::string TimeField(const GpsFix& fix) {
  std::tm t = Utc(fix.utc);
  return Format("%02d%02d%02d.00", t.tm_hour, t.tm_min, t.tm_sec);
}

int UsedCount(const GpsFix& fix) {
  int used = 0;
  for (const Satellite& satellite : fix.satellites) {
    used += satellite.used ? 1 : 0;
  }
  return used;
}

}  // namespace

std::string NmeaSentence(std::string_view body) {
  return "$" + std::string(body) + Format("*%02X\r\n", Checksum(body));
}

bool NmeaChecksumValid(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
    line.remove_suffix(1);
  }
  size_t star = line.rfind('*');
  if (line.size() < 4 || line[0] != '$' || star == std::string_view::npos ||
      star + 3 != line.size()) {
    return false;
  }
  unsigned given = 0;
  for (char c : line.substr(star + 1)) {
    int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (digit < 0) {
      return false;
    }
    given = given * 16 + static_cast<unsigned>(digit);
  }
  return given == Checksum(line.substr(1, star - 1));
}

std::string NmeaLatitude(double degrees) {
  return Angle(degrees, 2, 'N', 'S');
}
std::string NmeaLongitude(double degrees) {
  return Angle(degrees, 3, 'E', 'W');
}

std::string RmcSentence(const GpsFix& fix) {
  std::tm t = Utc(fix.utc);
  std::string date = Format("%02d%02d%02d", t.tm_mday, t.tm_mon + 1, t.tm_year % 100);
  if (!fix.valid) {
    return NmeaSentence("GPRMC," + TimeField(fix) + ",V,,,,,,," + date + ",,,N");
  }
  return NmeaSentence("GPRMC," + TimeField(fix) + ",A," + NmeaLatitude(fix.latitude) + "," +
                      NmeaLongitude(fix.longitude) + "," +
                      Format("%.1f,%.1f,", fix.speedKnots, fix.course) + date + ",,,A");
}

std::string GgaSentence(const GpsFix& fix) {
  if (!fix.valid) {
    return NmeaSentence("GPGGA," + TimeField(fix) + ",,,,,0,00,99.9,,,,,,");
  }
  return NmeaSentence(
      "GPGGA," + TimeField(fix) + "," + NmeaLatitude(fix.latitude) + "," +
      NmeaLongitude(fix.longitude) +
      Format(",1,%02d,%.1f,%.1f,M,47.0,M,,", UsedCount(fix), fix.hdop, fix.altitude));
}

std::string GsaSentence(const GpsFix& fix) {
  std::string body = fix.valid ? "GPGSA,A,3" : "GPGSA,A,1";
  int fields = 0;
  for (const Satellite& satellite : fix.satellites) {
    if (fix.valid && satellite.used && fields < 12) {
      body += Format(",%02d", satellite.prn);
      ++fields;
    }
  }
  for (; fields < 12; ++fields) {
    body += ",";
  }
  body += fix.valid ? Format(",%.1f,%.1f,%.1f", fix.pdop, fix.hdop, fix.vdop) : ",,,";
  return NmeaSentence(body);
}

std::vector<std::string> GsvSentences(const GpsFix& fix) {
  const std::vector<Satellite>& in = fix.satellites;
  size_t total = in.empty() ? 1 : (in.size() + 3) / 4;
  std::vector<std::string> sentences;
  for (size_t part = 0; part < total; ++part) {
    std::string body = Format("GPGSV,%zu,%zu,%02zu", total, part + 1, in.size());
    for (size_t i = part * 4; i < in.size() && i < part * 4 + 4; ++i) {
      body += Format(",%02d,%02d,%03d,", in[i].prn, in[i].elevation, in[i].azimuth);
      if (in[i].snr > 0) {
        body += Format("%02d", in[i].snr);
      }
    }
    sentences.push_back(NmeaSentence(body));
  }
  return sentences;
}

std::string NmeaEpoch(const GpsFix& fix) {
  std::string out = GgaSentence(fix) + GsaSentence(fix);
  for (const std::string& sentence : GsvSentences(fix)) {
    out += sentence;
  }
  return out + RmcSentence(fix);
}

}  // namespace velmora
