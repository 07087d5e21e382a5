// The sample device's GPS receiver on the host. Once a second, at each
// whole second of the host's clock, it sends the NMEA sentences of a
// receiver travelling along its route (GGA, GSA, GSV, RMC; time from the
// host's clock, a simulated sky of satellites), or, without a usable route,
// the same sentences without a fix. Replaying a log instead, it sends the
// log's bursts with the log's own pacing, over and over. What is written to
// it is taken and ignored, as a receiver ignores commands it does not know.
#pragma once

#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "platform/serial/nmea.h"
#include "platform/serial/nmea_replay.h"
#include "platform/serial/port_source.h"
#include "platform/serial/route.h"

namespace velmora {

class GpsReceiver final : public PortSource {
 public:
  // what describes the route or the log: "built-in route".
  static std::unique_ptr<GpsReceiver> AlongRoute(Route route, std::string what);
  static std::unique_ptr<GpsReceiver> WithoutFix();
  static std::unique_ptr<GpsReceiver> Replaying(NmeaReplay replay, std::string what);

  void Prepare(PollSet& set) override;
  void OnReady(int tag, short revents) override;
  size_t WriteRoom() const override { return 64 * 1024; }
  void Write(std::string_view) override {}
  std::string Describe() const override;

  // What the receiver tells at utc after travelling for seconds.
  GpsFix FixAt(std::time_t utc, double seconds) const;

 private:
  GpsReceiver(std::optional<Route> route, std::optional<NmeaReplay> replay, std::string what);

  std::optional<Route> route_;
  std::optional<NmeaReplay> replay_;
  std::string what_;
  Millis started_;
  Millis next_ = 0;
  long long lastSecond_ = 0;
};

}  // namespace velmora
