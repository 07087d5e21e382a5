// The contract every PlatformRegistry keeps, run against each one: the hive
// in memory, the store on a file, and the recording wrapper around a hive.
#include <gtest/gtest.h>

#include <memory>

#include "platform/registry/faulty_registry.h"
#include "platform/registry/hive.h"
#include "platform/registry/lmdb_registry.h"
#include "tests/test_support.h"

namespace velmora {
namespace {

using testing::DescribeValue;
using testing::SetNumber;
using testing::SetString;

struct RegistryUnderTest {
  std::unique_ptr<testing::TempDir> dir;
  std::unique_ptr<Hive> hive;
  std::unique_ptr<LmdbRegistry> store;
  std::unique_ptr<FaultyRegistry> wrapper;
  PlatformRegistry* registry = nullptr;
};

RegistryUnderTest MakeRegistry(const std::string& kind);

// The parameter names the implementation, so that test names read well.
class RegistryContract : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    subject_ = MakeRegistry(GetParam());
    reg_ = subject_.registry;
  }

  HKEY Open(std::u16string_view path) {
    HKEY key = 0;
    EXPECT_EQ(reg_->OpenKey(HKEY_LOCAL_MACHINE, path, KeyAllAccess, &key), StatusSuccess);
    return key;
  }

  RegistryUnderTest subject_;
  PlatformRegistry* reg_ = nullptr;
};

TEST_P(RegistryContract, OpensCreatedKeysIgnoringCaseAndKeepsTheirCase) {
  SetString(*reg_, u"Drivers\\BuiltIn\\Serial", u"Prefix", u"COM");
  HKEY key = 0;
  ASSERT_EQ(reg_->OpenKey(HKEY_LOCAL_MACHINE, u"drivers\\BUILTIN", KeyAllAccess, &key),
            StatusSuccess);
  char16_t name[256];
  uint32_t capacity = 256;
  ASSERT_EQ(reg_->EnumSubkey(key, 0, name, &capacity), StatusSuccess);
  EXPECT_EQ(std::u16string(name), u"Serial");
  EXPECT_EQ(capacity, 6u);
  EXPECT_EQ(DescribeValue(*reg_, u"drivers\\builtin\\serial", u"PREFIX"), "1:8:COM");
  reg_->CloseKey(key);
}

TEST_P(RegistryContract, MissingKeysAndValuesAreNotFound) {
  HKEY key = 123;
  EXPECT_EQ(reg_->OpenKey(HKEY_LOCAL_MACHINE, u"Nowhere", KeyAllAccess, &key), StatusFileNotFound);
  EXPECT_EQ(key, 0u);
  testing::MakeKey(*reg_, u"Here");
  key = Open(u"Here");
  uint32_t size = 4;
  EXPECT_EQ(reg_->QueryValue(key, u"None", nullptr, nullptr, &size), StatusFileNotFound);
  EXPECT_EQ(reg_->DeleteValue(key, u"None"), StatusFileNotFound);
  reg_->CloseKey(key);
}

TEST_P(RegistryContract, QueryValueSizeRules) {
  SetString(*reg_, u"K", u"Text", u"abc");
  HKEY key = Open(u"K");
  uint32_t type = 0;
  uint32_t size = 0;
  ASSERT_EQ(reg_->QueryValue(key, u"Text", &type, nullptr, &size), StatusSuccess);
  EXPECT_EQ(type, RegString);
  EXPECT_EQ(size, 8u);

  uint8_t small[6] = {1, 2, 3, 4, 5, 6};
  size = sizeof small;
  EXPECT_EQ(reg_->QueryValue(key, u"Text", &type, small, &size), StatusMoreData);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(small[0], 1);  // left untouched
  EXPECT_EQ(small[5], 6);

  uint8_t exact[8] = {};
  size = sizeof exact;
  ASSERT_EQ(reg_->QueryValue(key, u"Text", &type, exact, &size), StatusSuccess);
  EXPECT_EQ(exact[0], 'a');
  EXPECT_EQ(exact[6], 0);
  reg_->CloseKey(key);
}

TEST_P(RegistryContract, EnumerationFailsWhenTheNameOrDataDoesNotFit) {
  SetNumber(*reg_, u"K\\LongName", u"Value", 7);
  HKEY key = Open(u"K");
  char16_t name[16] = {u'x'};
  uint32_t capacity = 8;  // "LongName" needs 9 with its terminator
  EXPECT_EQ(reg_->EnumSubkey(key, 0, name, &capacity), StatusMoreData);
  EXPECT_EQ(name[0], u'x');
  capacity = 9;
  EXPECT_EQ(reg_->EnumSubkey(key, 0, name, &capacity), StatusSuccess);
  capacity = 9;
  EXPECT_EQ(reg_->EnumSubkey(key, 1, name, &capacity), StatusNoMoreItems);
  reg_->CloseKey(key);

  key = Open(u"K\\LongName");
  uint8_t data[2];
  uint32_t dataSize = 2;
  capacity = 8;
  EXPECT_EQ(reg_->EnumValue(key, 0, name, &capacity, nullptr, data, &dataSize), StatusMoreData);
  dataSize = 4;
  uint8_t full[4];
  uint32_t type = 0;
  capacity = 8;
  ASSERT_EQ(reg_->EnumValue(key, 0, name, &capacity, &type, full, &dataSize), StatusSuccess);
  EXPECT_EQ(std::u16string(name), u"Value");
  EXPECT_EQ(type, RegNumber);
  EXPECT_EQ(full[0], 7);
  reg_->CloseKey(key);
}

TEST_P(RegistryContract, DeletingWhileEnumeratingMovesTheNextKeyIntoPlace) {
  for (auto name : {u"a", u"b", u"c", u"d"}) {
    testing::MakeKey(*reg_, std::u16string(u"List\\") + name);
  }
  HKEY list = Open(u"List");
  std::u16string seen;
  uint32_t index = 0;
  while (true) {
    char16_t name[256];
    uint32_t capacity = 256;
    if (reg_->EnumSubkey(list, index, name, &capacity) != StatusSuccess) {
      break;
    }
    seen += name;
    if (name[0] == u'a' || name[0] == u'c') {
      ASSERT_EQ(reg_->DeleteKey(list, name), StatusSuccess);  // index stays
    } else {
      ++index;
    }
  }
  EXPECT_EQ(seen, u"abcd");
  char16_t name[256];
  uint32_t capacity = 256;
  ASSERT_EQ(reg_->EnumSubkey(list, 1, name, &capacity), StatusSuccess);
  EXPECT_EQ(std::u16string(name), u"d");
  reg_->CloseKey(list);
}

TEST_P(RegistryContract, HandleRules) {
  EXPECT_EQ(reg_->CloseKey(HKEY_LOCAL_MACHINE), StatusSuccess);
  testing::MakeKey(*reg_, u"A\\B");
  HKEY a = Open(u"A");
  HKEY again = 0;
  ASSERT_EQ(reg_->OpenKey(a, u"", KeyAllAccess, &again), StatusSuccess);
  EXPECT_NE(again, a);
  SetNumber(*reg_, u"A", u"N", 1);
  uint32_t size = 0;
  EXPECT_EQ(reg_->QueryValue(again, u"N", nullptr, nullptr, &size), StatusSuccess);
  EXPECT_EQ(reg_->CloseKey(again), StatusSuccess);
  EXPECT_NE(reg_->CloseKey(again), StatusSuccess);
  EXPECT_EQ(reg_->QueryValue(0x7777, u"N", nullptr, nullptr, &size), StatusInvalidHandle);

  HKEY b = Open(u"A\\B");
  EXPECT_EQ(reg_->DeleteKey(a, u"B"), StatusSuccess);
  EXPECT_EQ(reg_->SetValue(b, u"X", RegNumber, reinterpret_cast<const uint8_t*>("abcd"), 4),
            StatusKeyDeleted);
  HKEY child = 0;
  EXPECT_NE(reg_->CreateKey(b, u"C", KeyAllAccess, &child), StatusSuccess);
  EXPECT_EQ(reg_->CloseKey(b), StatusSuccess);
  reg_->CloseKey(a);
}

TEST_P(RegistryContract, DeleteKeyRefusesKeysWithSubkeysTheRootAndTheEmptyPath) {
  SetNumber(*reg_, u"P\\C", u"N", 1);
  SetNumber(*reg_, u"P", u"N", 1);
  EXPECT_EQ(reg_->DeleteKey(HKEY_LOCAL_MACHINE, u"P"), StatusAccessDenied);
  EXPECT_EQ(reg_->DeleteKey(HKEY_LOCAL_MACHINE, u""), StatusAccessDenied);
  HKEY p = Open(u"P");
  EXPECT_EQ(reg_->DeleteKey(p, u""), StatusAccessDenied);
  EXPECT_EQ(reg_->DeleteKey(HKEY_LOCAL_MACHINE, u"P\\C"), StatusSuccess);
  EXPECT_EQ(reg_->DeleteKey(HKEY_LOCAL_MACHINE, u"P\\C"), StatusFileNotFound);
  EXPECT_EQ(reg_->DeleteKey(HKEY_LOCAL_MACHINE, u"P"), StatusSuccess);  // values go with it
  EXPECT_FALSE(testing::KeyExists(*reg_, u"P"));
  reg_->CloseKey(p);
}

TEST_P(RegistryContract, ReplacedValuesKeepTheirPlaceAndNewCase) {
  SetNumber(*reg_, u"K", u"First", 1);
  SetNumber(*reg_, u"K", u"Second", 2);
  SetString(*reg_, u"K", u"FIRST", u"x");
  EXPECT_EQ(testing::ValueNames(*reg_, u"K"), "First,Second");
  EXPECT_EQ(DescribeValue(*reg_, u"K", u"first"), "1:4:x");
}

RegistryUnderTest InMemory() {
  RegistryUnderTest subject;
  subject.hive = std::make_unique<Hive>();
  subject.registry = subject.hive.get();
  return subject;
}

RegistryUnderTest OnFile() {
  RegistryUnderTest subject;
  subject.dir = std::make_unique<testing::TempDir>();
  std::string error;
  subject.store = LmdbRegistry::Open(*subject.dir / "registry.mdb", true, &error);
  EXPECT_NE(subject.store, nullptr) << error;
  subject.registry = subject.store.get();
  return subject;
}

RegistryUnderTest Wrapped() {
  RegistryUnderTest subject = InMemory();
  subject.wrapper = std::make_unique<FaultyRegistry>(*subject.hive);
  subject.registry = subject.wrapper.get();
  return subject;
}

RegistryUnderTest MakeRegistry(const std::string& kind) {
  if (kind == "OnFile") {
    return OnFile();
  }
  return kind == "Wrapped" ? Wrapped() : InMemory();
}

INSTANTIATE_TEST_SUITE_P(Registries, RegistryContract,
                         ::testing::Values("InMemory", "OnFile", "Wrapped"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace velmora
