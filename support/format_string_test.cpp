#include "support/format_string.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(FormatString, FormatsThePortLabelsAndMessages) {
  EXPECT_EQ(FormatString(u"COM%d", 3), u"COM3");
  EXPECT_EQ(FormatString(u"auf COM%d umkonfiguriert", 0), u"auf COM0 umkonfiguriert");
  EXPECT_EQ(FormatString(u"Übernehmen ohne Platzhalter"), u"Übernehmen ohne Platzhalter");
  EXPECT_EQ(FormatString(u"%04x%04x", 0x409, 0x4E4), u"040904e4");
  EXPECT_EQ(FormatString(u"%d|%5d|%-3d|%03d", -12, 42, 7, -4), u"-12|   42|7  |-04");
  EXPECT_EQ(FormatString(u"%s=%u %X %c %%", u"Wert", 4000000000u, 255, 'x'),
            u"Wert=4000000000 FF x %");
  EXPECT_EQ(FormatString(u"%q stays, and so does a % at the end %"),
            u"%q stays, and so does a % at the end %");
}

}  // namespace
}  // namespace velmora
