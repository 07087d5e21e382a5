// Any bytes as a route file and as an NMEA log to replay (both are files a
// person puts on the device): no crash; a route that is accepted has
// waypoints and positions within range; a replay gives back every byte of
// the log once per round, in order.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/serial/nmea.h"
#include "platform/serial/nmea_replay.h"
#include "platform/serial/route.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  velmora::Route route;
  std::string error;
  if (velmora::Route::Parse(bytes, &route, &error)) {
    if (route.waypoints().empty()) {
      std::abort();
    }
    for (double seconds : {0.0, 1.0, 3600.0, 1e9}) {
      velmora::Route::Position at = route.At(seconds);
      if (!(std::fabs(at.latitude) <= 90) || !(std::fabs(at.longitude) <= 180) ||
          !(at.course >= 0 && at.course <= 360)) {
        std::abort();
      }
    }
  }
  velmora::NmeaReplay replay(bytes);
  std::string again;
  velmora::Millis pause = 0;
  for (size_t i = 0; i < replay.burstCount(); ++i) {
    again += replay.Next(&pause);
    if (pause <= 0 || pause > velmora::NmeaReplay::MaxPause) {
      std::abort();
    }
  }
  if (again != bytes) {
    std::abort();
  }
  velmora::NmeaChecksumValid(bytes);
  return 0;
}
