#include "platform/serial/connection_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/serial/network_setup.h"

namespace velmora {
namespace {

constexpr Millis Interval = NetworkLimits::ConnectionLineInterval;
constexpr uint32_t Told = NetworkLimits::ToldClientsPerInterval;

class ConnectionLinesTest : public ::testing::Test {
 protected:
  std::vector<std::string> said;
  ConnectionLines lines{"COM5", [this](const std::string& line) { said.push_back(line); }};
};

// However many connect within an interval, the first ToldClientsPerInterval
// are told one by one and the others in one line once the interval is over.
TEST_F(ConnectionLinesTest, AFloodOfClientsCostsALineAnInterval) {
  struct Case {
    uint32_t clients;
    size_t lines;  // told by the end of the interval
  } cases[] = {{1, 1}, {Told, Told}, {Told + 1, Told + 1}, {10000, Told + 1}};
  Millis start = 1000;
  for (const Case& c : cases) {
    said.clear();
    uint32_t admittedWithLine = 0;
    for (uint32_t i = 0; i < c.clients; ++i) {
      admittedWithLine += lines.Admitted("COM5: tcp 127.0.0.1:" + std::to_string(i), start) ? 1 : 0;
      if (Millis next = lines.Flush(start); next != 0) {
        EXPECT_EQ(next, start + Interval);  // the count waits for the interval's end
      }
    }
    EXPECT_EQ(admittedWithLine, std::min(c.clients, Told)) << c.clients;
    EXPECT_EQ(lines.Flush(start + Interval), 0);  // nothing waits any more
    EXPECT_EQ(said.size(), c.lines) << c.clients;
    EXPECT_EQ(said.front(), "COM5: tcp 127.0.0.1:0: client connected");
    if (c.clients > Told) {
      EXPECT_EQ(said.back(), "COM5: " + std::to_string(c.clients - Told) +
                                 " more clients connected, not told one by one (more than " +
                                 std::to_string(Told) + " a second)");
    }
    start += 10 * Interval;
  }
}

// A client in a new interval is told again, after the count of the last.
TEST_F(ConnectionLinesTest, ANewIntervalTellsTheLastCountFirst) {
  for (uint32_t i = 0; i < Told + 3; ++i) {
    lines.Admitted("COM5: tcp 127.0.0.1:1", 0 + i);
  }
  EXPECT_TRUE(lines.Admitted("COM5: rfc2217 127.0.0.1:2", Interval + 5));
  ASSERT_EQ(said.size(), Told + 2);
  EXPECT_EQ(said[Told], "COM5: 3 more clients connected, not told one by one (more than " +
                            std::to_string(Told) + " a second)");
  EXPECT_EQ(said[Told + 1], "COM5: rfc2217 127.0.0.1:2: client connected");
}

// Refusals: the first of an interval is told; the rest are counted by
// reason, told once the interval is over, or before the next refusal told.
TEST_F(ConnectionLinesTest, RefusalsAreToldOnceAnIntervalWithTheirCount) {
  lines.Refused("127.0.0.2:1", "not from a network in \"AllowFrom\"", 100);
  for (int i = 0; i < 500; ++i) {
    lines.Refused("127.0.0.2:2", "not from a network in \"AllowFrom\"", 100 + i);
  }
  EXPECT_EQ(lines.Flush(200), 100 + Interval);
  EXPECT_EQ(lines.Flush(100 + Interval), 0);
  lines.Refused("127.0.0.1:3", "already 2 clients (\"MaxClients\")", 150 + Interval);
  lines.Refused("127.0.0.2:4", "not from a network in \"AllowFrom\"", 160 + Interval);
  lines.Refused("127.0.0.1:5", "already 2 clients (\"MaxClients\")", 170 + Interval);
  lines.Refused("127.0.0.1:6", "already 2 clients (\"MaxClients\")", 100 + 2 * Interval);
  EXPECT_EQ(said, (std::vector<std::string>{
                      "COM5: connection from 127.0.0.2:1 refused: not from a network in "
                      "\"AllowFrom\"",
                      "COM5: 500 more connections refused since the last line: not from a "
                      "network in \"AllowFrom\"",
                      "COM5: 2 more connections refused since the last line: already 2 clients "
                      "(\"MaxClients\")",
                      "COM5: 1 more connections refused since the last line: not from a network "
                      "in \"AllowFrom\"",
                      "COM5: connection from 127.0.0.1:6 refused: already 2 clients "
                      "(\"MaxClients\")",
                  }));
}

}  // namespace
}  // namespace velmora
