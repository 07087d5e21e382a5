// The way the simulated GPS receiver travels: waypoints passed in a loop
// (after the last one it heads back to the first) at a constant speed.
//
// A route file is text, one item per line; "#" starts a comment:
//   53.5530 9.9905          a waypoint: latitude longitude (decimal degrees,
//   53.5541,9.9958,12.5     north and east positive), optionally altitude
//                           in metres; numbers apart by spaces or commas
//   speed 18                the speed in km/h (default DefaultSpeedKmh)
// Limits: MaxFileBytes, MaxWaypoints; speed 0 to 2000 km/h.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct Waypoint {
  double latitude = 0;
  double longitude = 0;
  double altitude = 0;
};

class Route {
 public:
  static constexpr size_t MaxFileBytes = 1024 * 1024;
  static constexpr size_t MaxWaypoints = 10000;
  static constexpr double DefaultSpeedKmh = 18;
  static constexpr double DefaultAltitude = 12;

  // A loop around the Binnenalster in Hamburg.
  static Route BuiltIn();
  // False and *error ("line 3: ...") when text is not a route.
  static bool Parse(std::string_view text, Route* route, std::string* error);

  struct Position {
    double latitude = 0;
    double longitude = 0;
    double altitude = 0;
    double course = 0;  // degrees from true north
    double speedKmh = 0;
  };
  // Where the receiver is after travelling for seconds from the first
  // waypoint. Distances are reckoned on a sphere locally flat around each
  // leg, which is close enough for routes of a few hundred kilometres.
  Position At(double seconds) const;

  const std::vector<Waypoint>& waypoints() const { return waypoints_; }
  double speedKmh() const { return speedKmh_; }
  // Length of one loop in metres.
  double LoopLength() const;

 private:
  std::vector<Waypoint> waypoints_;
  double speedKmh_ = DefaultSpeedKmh;
};

}  // namespace velmora
