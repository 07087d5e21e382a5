#include "platform/text.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(Text, FoldsLettersOfEveryCoveredScript) {
  EXPECT_TRUE(EqualsIgnoringCase(u"Übernehmen", u"üBERNEHMEN"));
  EXPECT_TRUE(EqualsIgnoringCase(u"ÿ", u"Ÿ"));
  EXPECT_TRUE(EqualsIgnoringCase(u"łódź", u"ŁÓDŹ"));
  EXPECT_TRUE(EqualsIgnoringCase(u"ωмега", u"ΩМЕГА"));
  EXPECT_FALSE(EqualsIgnoringCase(u"ß", u"SS"));
  EXPECT_FALSE(EqualsIgnoringCase(u"a", u"ab"));
  EXPECT_LT(CompareIgnoringCase(u"apple", u"Banana"), 0);
  EXPECT_GT(CompareIgnoringCase(u"b", u"A"), 0);
  EXPECT_LT(CompareIgnoringCase(u"ab", u"ABC"), 0);
}

TEST(Text, Utf8RoundTripsAndMarksBadInput) {
  std::u16string text = u"Verfügb. € \U0001F600";
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
  bool valid = true;
  EXPECT_EQ(FromUtf8("a\xFF"
                     "b",
                     &valid),
            u"a\uFFFDb");
  EXPECT_FALSE(valid);
  EXPECT_EQ(FromUtf8("\xE2\x82", &valid), u"\uFFFD\uFFFD");
  EXPECT_EQ(ToUtf8(u"\xD800"), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace velmora
