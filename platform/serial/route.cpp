#include "platform/serial/route.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace velmora {

namespace {

constexpr double EarthRadius = 6371000.0;
constexpr double Pi = 3.14159265358979323846;

double Radians(double degrees) {
  return degrees * Pi / 180.0;
}

// East and north metres from a to b.
void Offset(const Waypoint& a, const Waypoint& b, double* east, double* north) {
  double middle = Radians((a.latitude + b.latitude) / 2);
  double longitude = b.longitude - a.longitude;
  if (longitude > 180) {
    longitude -= 360;
  } else if (longitude < -180) {
    longitude += 360;
  }
  *east = Radians(longitude) * std::cos(middle) * EarthRadius;
  *north = Radians(b.latitude - a.latitude) * EarthRadius;
}

double LegLength(const Waypoint& a, const Waypoint& b) {
  double east = 0;
  double north = 0;
  Offset(a, b, &east, &north);
  return std::hypot(east, north);
}

// The numbers of one line, split at spaces, tabs and commas.
bool Numbers(std::string_view line, std::vector<double>* numbers) {
  std::string text(line);
  const char* at = text.c_str();
  while (true) {
    while (*at == ' ' || *at == '\t' || *at == ',' || *at == '\r') {
      ++at;
    }
    if (*at == 0) {
      return true;
    }
    char* end = nullptr;
    errno = 0;
    double value = std::strtod(at, &end);
    if (end == at || errno != 0 || !std::isfinite(value) ||
        (*end != 0 && *end != ' ' && *end != '\t' && *end != ',' && *end != '\r')) {
      return false;
    }
    numbers->push_back(value);
    at = end;
  }
}

}  // namespace

Route Route::BuiltIn() {
  Route route;
  route.waypoints_ = {
      {53.55270, 9.99180, 12}, {53.55430, 9.99600, 12}, {53.55760, 9.99720, 12},
      {53.55830, 9.99220, 12}, {53.55600, 9.98900, 12},
  };
  return route;
}

bool Route::Parse(std::string_view text, Route* route, std::string* error) {
  if (text.size() > MaxFileBytes) {
    *error = "longer than " + std::to_string(MaxFileBytes) + " bytes";
    return false;
  }
  Route parsed;
  size_t lineNumber = 0;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++lineNumber;
    line = line.substr(0, line.find('#'));
    std::string where = "line " + std::to_string(lineNumber) + ": ";
    size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
      continue;
    }
    line.remove_prefix(first);
    std::vector<double> numbers;
    if (line.substr(0, 6) == "speed " || line.substr(0, 6) == "speed\t") {
      if (!Numbers(line.substr(6), &numbers) || numbers.size() != 1 || numbers[0] < 0 ||
          numbers[0] > 2000) {
        *error = where + "expected 'speed KMH' with 0 to 2000 km/h";
        return false;
      }
      parsed.speedKmh_ = numbers[0];
      continue;
    }
    if (!Numbers(line, &numbers) || numbers.size() < 2 || numbers.size() > 3) {
      *error = where + "expected 'latitude longitude [altitude]' in decimal degrees";
      return false;
    }
    if (std::fabs(numbers[0]) > 90 || std::fabs(numbers[1]) > 180) {
      *error = where + "latitude must lie within -90 to 90 and longitude within -180 to 180";
      return false;
    }
    if (parsed.waypoints_.size() == MaxWaypoints) {
      *error = where + "more than " + std::to_string(MaxWaypoints) + " waypoints";
      return false;
    }
    parsed.waypoints_.push_back(
        {numbers[0], numbers[1], numbers.size() == 3 ? numbers[2] : DefaultAltitude});
  }
  if (parsed.waypoints_.empty()) {
    *error = "no waypoints";
    return false;
  }
  *route = std::move(parsed);
  return true;
}

double Route::LoopLength() const {
  double length = 0;
  for (size_t i = 0; i < waypoints_.size(); ++i) {
    length += LegLength(waypoints_[i], waypoints_[(i + 1) % waypoints_.size()]);
  }
  return length;
}

Route::Position Route::At(double seconds) const {
  Position position;
  const Waypoint& first = waypoints_.front();
  position.latitude = first.latitude;
  position.longitude = first.longitude;
  position.altitude = first.altitude;
  double loop = LoopLength();
  if (loop <= 0 || speedKmh_ <= 0) {
    return position;
  }
  double travelled = std::fmod(std::max(0.0, seconds) * speedKmh_ / 3.6, loop);
  for (size_t i = 0; i < waypoints_.size(); ++i) {
    const Waypoint& a = waypoints_[i];
    const Waypoint& b = waypoints_[(i + 1) % waypoints_.size()];
    double length = LegLength(a, b);
    if (length <= 0) {
      continue;
    }
    if (travelled <= length || i + 1 == waypoints_.size()) {
      double part = std::min(1.0, travelled / length);
      double east = 0;
      double north = 0;
      Offset(a, b, &east, &north);
      double longitude = b.longitude - a.longitude;
      longitude += longitude > 180 ? -360 : longitude < -180 ? 360 : 0;
      position.latitude = a.latitude + (b.latitude - a.latitude) * part;
      position.longitude = a.longitude + longitude * part;
      position.longitude += position.longitude > 180 ? -360 : position.longitude < -180 ? 360 : 0;
      position.altitude = a.altitude + (b.altitude - a.altitude) * part;
      double course = std::atan2(east, north) * 180.0 / Pi;
      position.course = course < 0 ? course + 360 : course;
      position.speedKmh = speedKmh_;
      return position;
    }
    travelled -= length;
  }
  return position;
}

}  // namespace velmora
