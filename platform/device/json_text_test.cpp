#include "platform/device/json_text.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(JsonString, QuotesEscapesAndReplacesWhatIsNotUtf8) {
  struct Case {
    std::string text;
    std::string json;
  };
  const Case cases[] = {
      {"", "\"\""},
      {"/home/gps/dev/COM5", "\"/home/gps/dev/COM5\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"C:\\windows", "\"C:\\\\windows\""},
      {"a\nb\rc\td\be\ff", "\"a\\nb\\rc\\td\\be\\ff\""},
      {std::string("nul\0x", 5), "\"nul\\u0000x\""},
      {"\x01\x1f\x7f", "\"\\u0001\\u001f\\u007f\""},
      {"/", "\"/\""},
      {"Gerät \xe2\x82\xac \xf0\x9f\x93\xa1", "\"Gerät \xe2\x82\xac \xf0\x9f\x93\xa1\""},
      {"latin-1 \xe4!", "\"latin-1 \\ufffd!\""},
      {"cut \xe2\x82", "\"cut \\ufffd\\ufffd\""},
      {"stray \x80\xbf", "\"stray \\ufffd\\ufffd\""},
      {"overlong \xc0\xaf \xe0\x80\xaf", "\"overlong \\ufffd\\ufffd \\ufffd\\ufffd\\ufffd\""},
      {"surrogate \xed\xa0\x80", "\"surrogate \\ufffd\\ufffd\\ufffd\""},
      {"too high \xf4\x90\x80\x80", "\"too high \\ufffd\\ufffd\\ufffd\\ufffd\""},
      {"highest \xf4\x8f\xbf\xbf", "\"highest \xf4\x8f\xbf\xbf\""},
  };
  for (const Case& each : cases) {
    EXPECT_EQ(JsonString(each.text), each.json) << each.text;
  }
}

}  // namespace
}  // namespace velmora
