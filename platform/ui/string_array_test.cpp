#include "platform/ui/string_array.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace velmora::ui {
namespace {

// Inserts at random places and appends, across many block splits, against
// a plain vector: the same count and the same string at every index.
TEST(StringArray, BehavesAsOneArrayAcrossItsBlocks) {
  std::mt19937 random(7);
  StringArray array;
  std::vector<std::u16string> model;
  for (int i = 0; i < 6000; ++i) {
    std::u16string text = u"s" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) +
                          std::u16string(static_cast<size_t>(i % 5), u'x');
    if (i % 3 == 0) {
      ASSERT_EQ(array.Add(text), static_cast<int>(model.size()));
      model.push_back(text);
    } else {
      int at = static_cast<int>(random() % (model.size() + 1));
      array.InsertAt(at, text);
      model.insert(model.begin() + at, text);
    }
  }
  ASSERT_EQ(array.GetSize(), static_cast<int>(model.size()));
  for (int i = 0; i < array.GetSize(); ++i) {
    ASSERT_EQ(array[i], model[static_cast<size_t>(i)]) << i;
  }
  array.RemoveAll();
  EXPECT_EQ(array.GetSize(), 0);
  EXPECT_EQ(array.Add(u"again"), 0);
  EXPECT_EQ(array.GetAt(0), u"again");
}

TEST(StringArray, FrontInsertsAndAppendsKeepTheirOrder) {
  StringArray array;
  const int count = 3 * static_cast<int>(StringArray::MaxBlock) + 5;
  for (int i = 0; i < count; ++i) {
    array.InsertAt(0, std::u16string(1, static_cast<char16_t>(0x100 + i)));
    array.Add(std::u16string(1, static_cast<char16_t>(0x4000 + i)));
  }
  ASSERT_EQ(array.GetSize(), 2 * count);
  for (int i = 0; i < count; ++i) {
    ASSERT_EQ(array[i][0], 0x100 + count - 1 - i);
    ASSERT_EQ(array[count + i][0], 0x4000 + i);
  }
}

}  // namespace
}  // namespace velmora::ui
