#include "support/registry_key.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/platform.h"
#include "platform/registry/faulty_registry.h"
#include "platform/registry/hive.h"
#include "tests/forwarding_registry.h"
#include "tests/test_support.h"

namespace velmora {
namespace {

using testing::DescribeValue;
using testing::SetBytes;
using testing::SetString;

class RegistryKeyTest : public ::testing::Test {
 protected:
  RegistryKeyTest() {
    PlatformServices services;
    services.registry = &registry_;
    platform_ = std::make_unique<ScopedPlatform>(services);
  }
  Hive hive_;
  FaultyRegistry registry_{hive_};
  std::unique_ptr<ScopedPlatform> platform_;
};

TEST_F(RegistryKeyTest, AMissingKeyGivesDefaultsAndTheFirstWriteCreatesIt) {
  RegistryKey key(u"Drivers\\BuiltIn\\Velmora", HKEY_LOCAL_MACHINE);
  EXPECT_EQ(key.heldKey(), 0u);
  EXPECT_TRUE(key.ReadFlagOr(u"ReadLog", true));
  std::u16string text = u"unchanged";
  EXPECT_FALSE(key.ReadString(u"LogDir", &text));
  EXPECT_EQ(text, u"unchanged");
  EXPECT_TRUE(key.WriteFlag(u"ReadLog", true));
  EXPECT_EQ(DescribeValue(hive_, u"Drivers\\BuiltIn\\Velmora", u"ReadLog"), "3:1:01");
  EXPECT_TRUE(key.WriteFlag(u"ReadLog", false));
  EXPECT_EQ(DescribeValue(hive_, u"Drivers\\BuiltIn\\Velmora", u"ReadLog"), "3:1:00");
}

TEST_F(RegistryKeyTest, FlagsAreOneByteAndWiderValuesCountAsMissing) {
  SetBytes(hive_, u"K", u"Two", RegBinary, {2});
  SetBytes(hive_, u"K", u"Wide", RegNumber, {1, 0, 0, 0});
  RegistryKey key(u"K", HKEY_LOCAL_MACHINE);
  EXPECT_TRUE(key.ReadFlagOr(u"Two", false));
  EXPECT_FALSE(key.ReadFlagOr(u"Wide", false));
  EXPECT_TRUE(key.ReadFlagOr(u"Wide", true));
  uint8_t byte = 9;
  EXPECT_FALSE(key.ReadByte(u"Wide", &byte));
  EXPECT_EQ(byte, 9);
  EXPECT_TRUE(key.WriteByte(u"B", 0xAB));
  EXPECT_EQ(DescribeValue(hive_, u"K", u"B"), "3:1:ab");
}

TEST_F(RegistryKeyTest, StringsAndNumbers) {
  RegistryKey key(u"K", HKEY_LOCAL_MACHINE);
  EXPECT_TRUE(key.WriteString(u"Empty", u""));
  EXPECT_EQ(DescribeValue(hive_, u"K", u"Empty"), "1:2:");
  EXPECT_TRUE(key.WriteString(u"Dir", u"\\My Documents\\Logs"));
  std::u16string text;
  EXPECT_TRUE(key.ReadString(u"Dir", &text));
  EXPECT_EQ(text, u"\\My Documents\\Logs");
  EXPECT_TRUE(key.WriteNumber(u"N", -5));
  EXPECT_EQ(DescribeValue(hive_, u"K", u"N"), "4:4:-5");
  EXPECT_EQ(key.ReadNumberOr(u"N", 0), -5);
  EXPECT_EQ(key.ReadNumberOr(u"Missing", 42), 42);
  SetBytes(hive_, u"K", u"Unterminated", RegBinary, {'a', 0, 'b', 0});
  EXPECT_TRUE(key.ReadString(u"Unterminated", &text));
  EXPECT_EQ(text, u"ab");
}

TEST_F(RegistryKeyTest, TextEncodedValuesBothWays) {
  RegistryKey key(u"K", HKEY_LOCAL_MACHINE);
  struct RectCase {
    const char16_t* text;
    Rectangle expected;
  };
  const RectCase rects[] = {
      {u"RECT(1,2,3,4)", {1, 2, 3, 4}}, {u"RECT(5,6)", {5, 6, 0, 0}}, {u"nonsense", {0, 0, 0, 0}}};
  for (const RectCase& c : rects) {
    SetString(hive_, u"K", u"R", c.text);
    Rectangle r{9, 9, 9, 9};
    EXPECT_TRUE(key.ReadRect(u"R", &r));
    EXPECT_EQ(r.left, c.expected.left);
    EXPECT_EQ(r.top, c.expected.top);
    EXPECT_EQ(r.right, c.expected.right);
    EXPECT_EQ(r.bottom, c.expected.bottom);
  }
  EXPECT_TRUE(key.WriteRect(u"R", Rectangle{-1, 0, 10, 20}));
  EXPECT_EQ(DescribeValue(hive_, u"K", u"R"), "1:34:RECT(-1,0,10,20)");

  Color color = 0;
  SetString(hive_, u"K", u"C", u"Color(255,128,0)");
  EXPECT_TRUE(key.ReadColor(u"C", &color));
  EXPECT_EQ(color, 0x0080FFu);
  SetString(hive_, u"K", u"C", u"Color(300,0,0)");
  EXPECT_TRUE(key.ReadColor(u"C", &color));
  EXPECT_EQ(color, 44u);
  EXPECT_TRUE(key.WriteColor(u"C", 86 | 52 << 8 | 18 << 16));
  EXPECT_EQ(testing::ValueData(hive_, u"K", u"C"), "Color(86,52,18)");

  struct ListCase {
    const char16_t* text;
    std::vector<int32_t> expected;
  };
  const int32_t max = std::numeric_limits<int32_t>::max();
  const int32_t min = std::numeric_limits<int32_t>::min();
  const ListCase lists[] = {{u"7,8,", {7, 8}},
                            {u"1,,2", {1, 0, 2}},
                            {u"", {}},
                            {u" -3", {-3}},
                            // Beyond 32 bits: the nearest end, never a wrapped number.
                            {u"3000000000,-3000000000", {max, min}},
                            {u"2147483647,-2147483648", {max, min}},
                            {u"99999999999999999999999,x", {max, 0}}};
  for (const ListCase& c : lists) {
    SetString(hive_, u"K", u"L", c.text);
    std::vector<int32_t> list{99};
    EXPECT_TRUE(key.ReadNumberList(u"L", &list));
    EXPECT_EQ(list, c.expected);
  }
  EXPECT_TRUE(key.WriteNumberList(u"L", {1, -2, 3}));
  EXPECT_EQ(testing::ValueData(hive_, u"K", u"L"), "1,-2,3");
  EXPECT_TRUE(key.WriteNumberList(u"L", {}));
  EXPECT_EQ(testing::ValueData(hive_, u"K", u"L"), "");

  EXPECT_TRUE(key.WriteFloat(u"F", 1.5f));
  EXPECT_EQ(testing::ValueData(hive_, u"K", u"F"), "1.500000");
  float number = 0;
  EXPECT_TRUE(key.ReadFloat(u"F", &number));
  EXPECT_EQ(number, 1.5f);
  const float infinity = std::numeric_limits<float>::infinity();
  struct FloatCase {
    const char16_t* text;
    float expected;
  };
  // Decimal text only: hexadecimal, "inf" and "nan" count as no number.
  const FloatCase floats[] = {{u"abc", 0.0f},       {u" -2.5e1", -25.0f}, {u".5", 0.5f},
                              {u"+7.25 m", 7.25f},  {u"1e300", infinity}, {u"-1e300", -infinity},
                              {u"0x10", 0.0f},      {u"0X1p3", 0.0f},     {u"inf", 0.0f},
                              {u"-Infinity", 0.0f}, {u"nan", 0.0f},       {u"NAN(1)", 0.0f},
                              {u"", 0.0f}};
  for (const FloatCase& c : floats) {
    SetString(hive_, u"K", u"F", c.text);
    number = 99.0f;
    EXPECT_TRUE(key.ReadFloat(u"F", &number));
    EXPECT_EQ(number, c.expected) << testing::ValueData(hive_, u"K", u"F");
  }
}

TEST_F(RegistryKeyTest, AccessorsRetargetToAnotherPath) {
  RegistryKey key(u"A", HKEY_LOCAL_MACHINE);
  EXPECT_TRUE(key.WriteNumber(u"N", 1, u"B\\C"));
  EXPECT_EQ(key.keyPath(), u"B\\C");
  EXPECT_EQ(DescribeValue(hive_, u"B\\C", u"N"), "4:4:1");
  EXPECT_EQ(key.ReadNumberOr(u"N", 0), 1);  // stays on B\C
  EXPECT_EQ(key.OpenPath(u"Missing"), StatusFileNotFound);
  EXPECT_EQ(key.heldKey(), 0u);
}

TEST_F(RegistryKeyTest, AnEmptyPathUsesTheRootAndLeavesItUsable) {
  {
    RegistryKey key(u"", HKEY_LOCAL_MACHINE);
    EXPECT_EQ(key.heldKey(), HKEY_LOCAL_MACHINE);
    uint32_t index = 0;
    std::u16string name;
    EXPECT_FALSE(key.NextValueName(&index, &name));
    EXPECT_EQ(index, 1u);
  }
  SetString(hive_, u"Still", u"Works", u"yes");
  EXPECT_EQ(DescribeValue(hive_, u"Still", u"Works"), "1:8:yes");
}

TEST_F(RegistryKeyTest, HeldKeyOperations) {
  RegistryKey none(HKEY_LOCAL_MACHINE);
  uint8_t buffer[4];
  uint32_t size = 4;
  EXPECT_FALSE(none.ReadBytes(u"X", buffer, &size));
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(none.WriteBytes(u"X", buffer, 1), 3);
  EXPECT_FALSE(none.RemoveValue(u"X"));

  SetString(hive_, u"K", u"First", u"1");
  SetString(hive_, u"K", u"Second", u"2");
  RegistryKey key(u"K", HKEY_LOCAL_MACHINE);
  uint32_t index = 0;
  std::u16string name;
  EXPECT_TRUE(key.NextValueName(&index, &name));
  EXPECT_EQ(name, u"First");
  EXPECT_TRUE(key.NextValueName(&index, &name));
  EXPECT_EQ(name, u"Second");
  EXPECT_FALSE(key.NextValueName(&index, &name));
  EXPECT_EQ(index, 3u);
  EXPECT_TRUE(key.RemoveValue(u"First"));
  EXPECT_FALSE(key.RemoveValue(u"First"));
}

TEST_F(RegistryKeyTest, DeleteTreeSkipsWhatItCannotDelete) {
  SetString(hive_, u"T\\Keep", u"V", u"x");
  SetString(hive_, u"T\\Go\\Deep", u"V", u"x");
  SetString(hive_, u"T\\Later", u"V", u"x");
  registry_.FailWhen("DeleteKey", u"T\\Keep");
  RegistryKey key(u"T", HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(key.DeleteTree(u"T"));  // T still holds Keep
  EXPECT_EQ(key.heldKey(), 0u);
  EXPECT_TRUE(testing::KeyExists(hive_, u"T\\Keep"));
  EXPECT_FALSE(testing::KeyExists(hive_, u"T\\Go"));
  EXPECT_FALSE(testing::KeyExists(hive_, u"T\\Later"));
  EXPECT_FALSE(key.DeleteTree(u""));  // never the root
  EXPECT_TRUE(testing::KeyExists(hive_, u"T"));
}

// A registry whose string value grows between the size query and the read,
// as when another process writes it.
class GrowingValue final : public testing::ForwardingRegistry {
 public:
  using ForwardingRegistry::ForwardingRegistry;
  int grows = 0;
  std::u16string longer = u"a much longer text than before";
  Status QueryValue(HKEY k, std::u16string_view n, uint32_t* t, uint8_t* d, uint32_t* s) override {
    if (d != nullptr && grows-- > 0) {
      longer += u'!';
      inner().SetValue(k, n, RegString, reinterpret_cast<const uint8_t*>(longer.c_str()),
                       static_cast<uint32_t>((longer.size() + 1) * 2));
    }
    return ForwardingRegistry::QueryValue(k, n, t, d, s);
  }
};

TEST_F(RegistryKeyTest, AStringThatChangesWhileReadIsNeverReturnedCut) {
  SetString(hive_, u"K", u"S", u"short");
  GrowingValue growing(hive_);
  PlatformServices services;
  services.registry = &growing;
  ScopedPlatform scoped(services);
  RegistryKey key(u"K", HKEY_LOCAL_MACHINE);
  std::u16string text;
  growing.grows = 1;
  EXPECT_TRUE(key.ReadString(u"S", &text));
  EXPECT_EQ(text, u"a much longer text than before!");
  growing.grows = 100;
  text = u"kept";
  EXPECT_FALSE(key.ReadString(u"S", &text));
  EXPECT_EQ(text, u"kept");
}

}  // namespace
}  // namespace velmora
