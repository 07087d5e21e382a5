#include "platform/serial/route.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(Route, ParsesWaypointsSpeedAndComments) {
  Route route;
  std::string error;
  ASSERT_TRUE(
      Route::Parse("# a walk\n53.5 9.9\r\n  53.6,10.0,40.5  # top\n\nspeed 5\n", &route, &error))
      << error;
  ASSERT_EQ(route.waypoints().size(), 2u);
  EXPECT_DOUBLE_EQ(route.waypoints()[1].longitude, 10.0);
  EXPECT_DOUBLE_EQ(route.waypoints()[1].altitude, 40.5);
  EXPECT_DOUBLE_EQ(route.waypoints()[0].altitude, Route::DefaultAltitude);
  EXPECT_DOUBLE_EQ(route.speedKmh(), 5);
}

TEST(Route, RefusesWhatIsNotARouteWithTheLine) {
  struct Case {
    std::string text;
    std::string error;
  };
  const Case cases[] = {
      {"", "no waypoints"},
      {"# only a comment\n", "no waypoints"},
      {"53.5 9.9\nnorth\n", "line 2: expected 'latitude longitude [altitude]' in decimal degrees"},
      {"53.5\n", "line 1: expected 'latitude longitude [altitude]' in decimal degrees"},
      {"53.5 9.9 1 2\n", "line 1: expected 'latitude longitude [altitude]' in decimal degrees"},
      {"53.5x 9.9\n", "line 1: expected 'latitude longitude [altitude]' in decimal degrees"},
      {"nan 9.9\n", "line 1: expected 'latitude longitude [altitude]' in decimal degrees"},
      {"91 9.9\n", "line 1: latitude must lie within -90 to 90 and longitude within -180 to 180"},
      {"1 -180.5\n", "line 1: latitude must lie within -90 to 90 and longitude within -180 to 180"},
      {"1 2\nspeed fast\n", "line 2: expected 'speed KMH' with 0 to 2000 km/h"},
      {"1 2\nspeed -1\n", "line 2: expected 'speed KMH' with 0 to 2000 km/h"},
      {std::string(Route::MaxFileBytes + 1, '#'), "longer than 1048576 bytes"},
  };
  for (const Case& c : cases) {
    Route route = Route::BuiltIn();
    std::string error;
    EXPECT_FALSE(Route::Parse(c.text, &route, &error)) << c.text.substr(0, 40);
    EXPECT_EQ(error, c.error) << c.text.substr(0, 40);
    EXPECT_EQ(route.waypoints().size(), Route::BuiltIn().waypoints().size()) << "route changed";
  }
  std::string many;
  for (size_t i = 0; i <= Route::MaxWaypoints; ++i) {
    many += "1 2\n";
  }
  Route route;
  std::string error;
  EXPECT_FALSE(Route::Parse(many, &route, &error));
  EXPECT_EQ(error, "line 10001: more than 10000 waypoints");
}

TEST(Route, TravelsTheLegsAtItsSpeedAndLoops) {
  // Two points 1 km apart due north, 36 km/h: 100 s a leg.
  Route route;
  std::string error;
  ASSERT_TRUE(Route::Parse("50 8 100\n50.0089932 8 200\nspeed 36\n", &route, &error)) << error;
  EXPECT_NEAR(route.LoopLength(), 2000, 1);
  struct Case {
    double seconds;
    double latitude;
    double altitude;
    double course;
  };
  const Case cases[] = {
      {0, 50, 100, 0},          {50, 50.0044966, 150, 0},
      {99, 50.0089033, 199, 0}, {150, 50.0044966, 150, 180},
      {200, 50, 100, 0},        {250, 50.0044966, 150, 0},
  };
  for (const Case& c : cases) {
    Route::Position at = route.At(c.seconds);
    EXPECT_NEAR(at.latitude, c.latitude, 1e-6) << c.seconds;
    EXPECT_NEAR(at.longitude, 8, 1e-9) << c.seconds;
    EXPECT_NEAR(at.altitude, c.altitude, 0.5) << c.seconds;
    EXPECT_NEAR(at.course, c.course, 0.5) << c.seconds;
    EXPECT_DOUBLE_EQ(at.speedKmh, 36) << c.seconds;
  }
}

TEST(Route, EastwardCourseAndTheDateLine) {
  Route route;
  std::string error;
  ASSERT_TRUE(Route::Parse("0 179.99\n0 -179.99\nspeed 100\n", &route, &error)) << error;
  EXPECT_NEAR(route.LoopLength(), 2 * 2224, 5);  // 0.02 degrees each way, not 359.98
  Route::Position at = route.At(60);             // 1667 m on: across the date line
  EXPECT_NEAR(at.course, 90, 0.01);
  EXPECT_NEAR(at.longitude, -179.99501, 0.0001);
}

TEST(Route, OnePointOrNoSpeedStandsStill) {
  Route route;
  std::string error;
  ASSERT_TRUE(Route::Parse("48.1 11.5\n", &route, &error));
  EXPECT_DOUBLE_EQ(route.At(1000).latitude, 48.1);
  ASSERT_TRUE(Route::Parse("48.1 11.5\n48.2 11.5\nspeed 0\n", &route, &error));
  EXPECT_DOUBLE_EQ(route.At(1000).latitude, 48.1);
  EXPECT_DOUBLE_EQ(route.At(1000).speedKmh, 0);
}

TEST(Route, TheBuiltInRouteIsALoopAroundTheBinnenalster) {
  Route route = Route::BuiltIn();
  EXPECT_GT(route.LoopLength(), 1000);
  EXPECT_LT(route.LoopLength(), 3000);
  for (double seconds = 0; seconds < 600; seconds += 7) {
    Route::Position at = route.At(seconds);
    EXPECT_NEAR(at.latitude, 53.555, 0.004);
    EXPECT_NEAR(at.longitude, 9.993, 0.005);
  }
}

}  // namespace
}  // namespace velmora
