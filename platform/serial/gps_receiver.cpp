#include "platform/serial/gps_receiver.h"

#include <time.h>

namespace velmora {

namespace {

constexpr double KnotsPerKmh = 1 / 1.852;

struct SkyPlace {
  int prn;
  int elevation;
  int azimuth;
};

// The satellites in view; they turn slowly across the sky (half a degree
// of azimuth a minute). Those above 10 degrees are used for the fix.
const SkyPlace Sky[] = {
    {3, 64, 45},   {6, 38, 112},  {9, 22, 190}, {12, 51, 260},
    {17, 15, 310}, {19, 71, 160}, {22, 30, 20}, {25, 8, 230},
};

long long RealMillis() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace

std::unique_ptr<GpsReceiver> GpsReceiver::AlongRoute(Route route, std::string what) {
  return std::unique_ptr<GpsReceiver>(
      new GpsReceiver(std::move(route), std::nullopt, std::move(what)));
}

std::unique_ptr<GpsReceiver> GpsReceiver::WithoutFix() {
  return std::unique_ptr<GpsReceiver>(new GpsReceiver(std::nullopt, std::nullopt, "no fix"));
}

std::unique_ptr<GpsReceiver> GpsReceiver::Replaying(NmeaReplay replay, std::string what) {
  return std::unique_ptr<GpsReceiver>(
      new GpsReceiver(std::nullopt, std::move(replay), std::move(what)));
}

GpsReceiver::GpsReceiver(std::optional<Route> route, std::optional<NmeaReplay> replay,
                         std::string what)
    : route_(std::move(route)),
      replay_(std::move(replay)),
      what_(std::move(what)),
      started_(MonotonicMillis()) {
  if (!replay_) {
    next_ = started_ + (1000 - RealMillis() % 1000);
  }
}

std::string GpsReceiver::Describe() const {
  return std::string(replay_ ? "GPS receiver replaying " : "GPS receiver, ") + what_;
}

void GpsReceiver::Prepare(PollSet& set) {
  set.At(next_, this, 0);
}

void GpsReceiver::OnReady(int, short) {
  Millis now = MonotonicMillis();
  if (replay_) {
    Millis pause = NmeaReplay::DefaultPause;
    std::string_view burst = replay_->Next(&pause);
    Deliver(burst);
    next_ = now + pause;
    return;
  }
  // A wake-up a little before the second still belongs to it; a second
  // already told is not told again.
  long long real = RealMillis();
  long long second = (real + 50) / 1000;
  if (second > lastSecond_) {
    lastSecond_ = second;
    Deliver(NmeaEpoch(
        FixAt(static_cast<std::time_t>(second), static_cast<double>(now - started_) / 1000.0)));
  }
  next_ = now + ((second + 1) * 1000 - real);
}

GpsFix GpsReceiver::FixAt(std::time_t utc, double seconds) const {
  GpsFix fix;
  fix.utc = utc;
  for (const SkyPlace& place : Sky) {
    Satellite satellite;
    satellite.prn = place.prn;
    satellite.elevation = place.elevation;
    satellite.azimuth = static_cast<int>((place.azimuth + utc / 120) % 360);
    satellite.snr = place.elevation >= 10 ? 20 + place.elevation / 3 : 0;
    satellite.used = route_.has_value() && place.elevation >= 10;
    fix.satellites.push_back(satellite);
  }
  if (!route_) {
    return fix;
  }
  Route::Position position = route_->At(seconds);
  fix.valid = true;
  fix.latitude = position.latitude;
  fix.longitude = position.longitude;
  fix.altitude = position.altitude;
  fix.speedKnots = position.speedKmh * KnotsPerKmh;
  fix.course = position.course;
  fix.hdop = 0.9;
  fix.vdop = 1.4;
  fix.pdop = 1.7;
  return fix;
}

}  // namespace velmora
