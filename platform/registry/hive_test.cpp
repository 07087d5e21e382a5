// What the registry in memory adds to the registry contract: its limits
// and changes inside changes.
#include "platform/registry/hive.h"

#include <gtest/gtest.h>

#include "platform/registry/registry_limits.h"
#include "tests/test_support.h"

namespace velmora {
namespace {

using testing::SetNumber;

TEST(Hive, RefusesWhatTheRegistryCannotHold) {
  Hive hive;
  HKEY key = 0;
  EXPECT_EQ(hive.CreateKey(HKEY_LOCAL_MACHINE, u"A\\\\B", KeyAllAccess, &key),
            StatusInvalidParameter);
  EXPECT_EQ(hive.CreateKey(HKEY_LOCAL_MACHINE, u"Line\nBreak", KeyAllAccess, &key),
            StatusInvalidParameter);
  EXPECT_EQ(hive.CreateKey(HKEY_LOCAL_MACHINE, u"Lone\xD800", KeyAllAccess, &key),
            StatusInvalidParameter);
  EXPECT_EQ(hive.CreateKey(HKEY_LOCAL_MACHINE, std::u16string(256, u'n'), KeyAllAccess, &key),
            StatusInvalidParameter);
  std::u16string deep = u"d";
  for (size_t i = 1; i < MaxKeyDepth; ++i) {
    deep += u"\\d";
  }
  ASSERT_EQ(hive.CreateKey(HKEY_LOCAL_MACHINE, deep, KeyAllAccess, &key), StatusSuccess);
  HKEY deeper = 0;
  EXPECT_EQ(hive.CreateKey(key, u"one more", KeyAllAccess, &deeper), StatusInvalidParameter);
  hive.CloseKey(key);
  ASSERT_EQ(hive.CreateKey(HKEY_LOCAL_MACHINE, u"Fine", KeyAllAccess, &key), StatusSuccess);
  uint8_t byte = 1;
  EXPECT_EQ(hive.SetValue(key, u"Bad\rName", RegBinary, &byte, 1), StatusInvalidParameter);
  std::vector<uint8_t> big(MaxValueSize + 1);
  EXPECT_EQ(hive.SetValue(key, u"Big", RegBinary, big.data(), MaxValueSize + 1),
            StatusInvalidParameter);
  EXPECT_EQ(hive.SetValue(key, u"Big", RegBinary, big.data(), MaxValueSize), StatusSuccess);
  hive.CloseKey(key);
}

TEST(Hive, AFailedPartOfAChangeIsUndoneAlone) {
  Hive hive;
  Status status = hive.Atomically([&] {
    SetNumber(hive, u"Kept", u"N", 1);
    Status inner = hive.Atomically([&] {
      SetNumber(hive, u"Undone", u"N", 2);
      return StatusAccessDenied;
    });
    EXPECT_EQ(inner, StatusAccessDenied);
    return StatusSuccess;
  });
  EXPECT_EQ(status, StatusSuccess);
  EXPECT_TRUE(testing::KeyExists(hive, u"Kept"));
  EXPECT_FALSE(testing::KeyExists(hive, u"Undone"));

  HKEY kept = 0;
  ASSERT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, u"Kept", KeyAllAccess, &kept), StatusSuccess);
  status = hive.Atomically([&] {
    EXPECT_EQ(hive.DeleteKey(HKEY_LOCAL_MACHINE, u"Kept"), StatusSuccess);
    SetNumber(hive, u"New", u"N", 3);
    return StatusAccessDenied;
  });
  EXPECT_EQ(status, StatusAccessDenied);
  EXPECT_FALSE(testing::KeyExists(hive, u"New"));
  uint32_t size = 0;
  EXPECT_EQ(hive.QueryValue(kept, u"N", nullptr, nullptr, &size), StatusSuccess);
  hive.CloseKey(kept);
}

}  // namespace
}  // namespace velmora
