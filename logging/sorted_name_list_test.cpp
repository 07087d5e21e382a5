#include "logging/sorted_name_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "platform/text.h"

namespace velmora {
namespace {

std::vector<std::u16string> Contents(const SortedNameList& list) {
  std::vector<std::u16string> out;
  for (int i = 0; i < list.GetSize(); ++i) {
    out.push_back(list[i]);
  }
  return out;
}

TEST(SortedNameList, InsertsInOrderAndRefusesCaseDuplicates) {
  SortedNameList list;
  EXPECT_EQ(list.Find(u"a"), -1);
  EXPECT_EQ(list.Insert(u"b"), 0);
  EXPECT_EQ(list.Insert(u"A"), 0);
  EXPECT_EQ(list.Insert(u"c"), 2);  // greater than all: the old count
  EXPECT_EQ(list.Insert(u"B"), -1);
  EXPECT_EQ(Contents(list), (std::vector<std::u16string>{u"A", u"b", u"c"}));
  EXPECT_EQ(list.Find(u"C"), 2);
  EXPECT_EQ(list.Find(u"a"), 0);
  EXPECT_EQ(list.Find(u"d"), -1);
  EXPECT_EQ(list.Insert(u"Ä"), 3);
  EXPECT_EQ(list.Insert(u"ä"), -1);  // the device's folding covers umlauts
}

// Against a model: a set ordered by the same folding, for many counts.
TEST(SortedNameList, MatchesASortedFoldedModelForManyCounts) {
  std::mt19937 random(20261210);
  const std::u16string letters = u"aAbBcCäÄzZ_.0";
  for (int count : {0, 1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 100, 1000, 3000}) {
    SortedNameList list;
    auto less = [](const std::u16string& a, const std::u16string& b) {
      return CompareIgnoringCase(a, b) < 0;
    };
    std::set<std::u16string, decltype(less)> model(less);
    for (int i = 0; i < count; ++i) {
      std::u16string name;
      for (size_t n = 1 + random() % 4; n > 0; --n) {
        name.push_back(letters[random() % letters.size()]);
      }
      bool fresh = model.insert(name).second;
      int32_t index = list.Insert(name);
      ASSERT_EQ(index >= 0, fresh) << count;
      if (fresh) {
        ASSERT_EQ(index, std::distance(model.begin(), model.find(name)));
      }
    }
    ASSERT_EQ(list.GetSize(), static_cast<int>(model.size()));
    int i = 0;
    for (const std::u16string& name : model) {
      ASSERT_TRUE(EqualsIgnoringCase(list[i], name));
      ASSERT_EQ(list.Find(FoldCase(name)), i);
      ++i;
    }
    ASSERT_EQ(list.Find(u"not in the list"), -1);
  }
}

}  // namespace
}  // namespace velmora
