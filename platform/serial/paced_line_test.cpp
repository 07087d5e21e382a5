#include "platform/serial/paced_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

constexpr Millis Interval = 1000;

// Lines asked for at moments (ms), and what is told by the end.
TEST(PacedLineTest, AStormCostsALineAnIntervalAndTheLastWordIsKept) {
  struct Case {
    const char* what;
    std::vector<Millis> moments;
    std::vector<std::string> told;
  } cases[] = {
      {"one", {10}, {"line 0"}},
      {"apart", {10, 10 + Interval, 10 + 3 * Interval}, {"line 0", "line 1", "line 2"}},
      {"two close", {10, 20}, {"line 0", "line 1"}},
      {"a storm", {10, 11, 12, 13, 14}, {"line 0", "line 4 (the last of 4 since the last line)"}},
      {"a storm and one after",
       {10, 11, 12, 10 + Interval, 20 + 2 * Interval},
       {"line 0", "line 2 (the last of 2 since the last line)", "line 3", "line 4"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> said;
    PacedLine line(Interval, [&said](const std::string& text) { said.push_back(text); });
    Millis now = 0;
    for (size_t i = 0; i < c.moments.size(); ++i) {
      now = c.moments[i];
      // The loop flushes every round; a kept line asks to be woken.
      if (Millis next = line.Flush(now); next != 0) {
        EXPECT_GT(next, now) << c.what;
      }
      line.Tell("line " + std::to_string(i), now);
    }
    Millis next = line.Flush(now);
    if (next != 0) {
      EXPECT_EQ(line.Flush(next), 0) << c.what;
    }
    EXPECT_EQ(said, c.told) << c.what;
  }
}

}  // namespace
}  // namespace velmora
