// What the store adds to the registry contract: registries sharing one
// file, and damage that is refused, named and never written over.
#include "platform/registry/lmdb_registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/registry/store_check.h"
#include "platform/text.h"
#include "tests/test_support.h"

namespace velmora {
namespace {

using testing::DescribeValue;
using testing::ReadFileText;
using testing::SetNumber;
using testing::SetString;
using testing::TempDir;
using testing::WriteFileText;

std::unique_ptr<LmdbRegistry> OpenStore(const std::string& path, bool create = false) {
  std::string error;
  std::unique_ptr<LmdbRegistry> registry = LmdbRegistry::Open(path, create, &error);
  EXPECT_NE(registry, nullptr) << error;
  return registry;
}

TEST(LmdbRegistry, RegistriesOnOneFileSeeEachOthersChangesAtOnce) {
  TempDir dir;
  std::string path = dir / "registry.mdb";
  auto first = OpenStore(path, true);
  auto second = OpenStore(path);
  SetString(*first, u"Drivers\\BuiltIn\\Zeta", u"Dll", u"zeta.dll");
  EXPECT_EQ(DescribeValue(*second, u"drivers\\builtin\\zeta", u"DLL"), "1:18:zeta.dll");
  HKEY key = 0;
  ASSERT_EQ(first->OpenKey(HKEY_LOCAL_MACHINE, u"Drivers\\BuiltIn\\Zeta", KeyAllAccess, &key), 0);
  ASSERT_EQ(second->DeleteKey(HKEY_LOCAL_MACHINE, u"Drivers\\BuiltIn\\Zeta"), 0);
  EXPECT_EQ(first->SetValue(key, u"X", RegNumber, reinterpret_cast<const uint8_t*>("abcd"), 4),
            StatusKeyDeleted);
  // A key made again under the same name is another key.
  SetNumber(*second, u"Drivers\\BuiltIn\\Zeta", u"N", 1);
  uint32_t size = 0;
  EXPECT_EQ(first->QueryValue(key, u"N", nullptr, nullptr, &size), StatusKeyDeleted);
  first->CloseKey(key);
}

TEST(LmdbRegistry, EveryChangeIsStoredAtOnceAndSurvivesReopeningInOrder) {
  TempDir dir;
  std::string path = dir / "registry.mdb";
  std::string exported;
  {
    auto registry = OpenStore(path, true);
    SetString(*registry, u"Drivers\\BuiltIn\\Zeta", u"Dll", u"zeta.dll");
    SetString(*registry, u"Drivers\\BuiltIn\\Alpha", u"Dll", u"alpha.dll");
    SetNumber(*registry, u"Drivers\\BuiltIn\\Alpha", u"Order", 3);
    exported = registry->ExportText();
  }
  auto reopened = OpenStore(path);
  EXPECT_EQ(reopened->ExportText(), exported);
  EXPECT_LT(exported.find("Zeta"), exported.find("Alpha"));  // creation order
}

TEST(LmdbRegistry, ImportIsAllOrNothing) {
  TempDir dir;
  auto registry = OpenStore(dir / "registry.mdb", true);
  SetNumber(*registry, u"K", u"A", 1);
  std::string error;
  EXPECT_FALSE(
      registry->ImportText("REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"B\"=dword:2\nbad\n", &error));
  EXPECT_EQ(error, "line 4: unexpected text \"bad\"");
  EXPECT_EQ(testing::ValueNames(*registry, u"K"), "A");
  EXPECT_TRUE(
      registry->ImportText("REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"B\"=dword:2\n\"A\"=-\n", &error));
  EXPECT_EQ(testing::ValueNames(*OpenStore(dir / "registry.mdb"), u"K"), "B");
}

TEST(LmdbRegistry, AReadOnlyStoreIsNeverChanged) {
  TempDir dir;
  std::string path = dir / "registry.mdb";
  SetNumber(*OpenStore(path, true), u"K", u"A", 1);
  std::string before = ReadFileText(path);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  auto registry = OpenStore(path);
  HKEY key = 0;
  ASSERT_EQ(registry->OpenKey(HKEY_LOCAL_MACHINE, u"K", KeyAllAccess, &key), StatusSuccess);
  uint8_t data[4] = {2, 0, 0, 0};
  EXPECT_EQ(registry->SetValue(key, u"A", RegNumber, data, 4), StatusRegistryIoFailed);
  EXPECT_NE(registry->lastError().find("read-only"), std::string::npos) << registry->lastError();
  EXPECT_EQ(DescribeValue(*registry, u"K", u"A"), "4:4:1");
  EXPECT_EQ(ReadFileText(path), before);
  registry->CloseKey(key);
}

TEST(LmdbRegistry, EnumeratesManySubkeysInCreationOrder) {
  TempDir dir;
  auto registry = OpenStore(dir / "registry.mdb", true);
  std::string text = "REGEDIT4\n";
  for (int i = 2000; i > 0; --i) {
    text += "[HKEY_LOCAL_MACHINE\\List\\K" + std::to_string(i) + "]\n";
  }
  std::string error;
  ASSERT_TRUE(registry->ImportText(text, &error)) << error;
  HKEY list = 0;
  ASSERT_EQ(registry->OpenKey(HKEY_LOCAL_MACHINE, u"List", KeyAllAccess, &list), 0);
  for (uint32_t index = 0;; ++index) {
    char16_t name[32];
    uint32_t capacity = 32;
    Status status = registry->EnumSubkey(list, index, name, &capacity);
    if (status == StatusNoMoreItems) {
      EXPECT_EQ(index, 2000u);
      break;
    }
    ASSERT_EQ(status, StatusSuccess);
    ASSERT_EQ(std::u16string(name), u"K" + FromUtf8(std::to_string(2000 - index)));
  }
  registry->CloseKey(list);
}

// The bytes of text as the store keeps names and strings (UTF-16LE).
std::string Utf16Bytes(std::u16string_view text) {
  std::string bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

void FlipByteOf(const std::string& path, std::u16string_view marker) {
  std::string bytes = ReadFileText(path);
  size_t at = bytes.find(Utf16Bytes(marker));
  ASSERT_NE(at, std::string::npos);
  ASSERT_EQ(bytes.find(Utf16Bytes(marker), at + 1), std::string::npos) << "not one record";
  bytes[at + 4] ^= 0x20;
  WriteFileText(path, bytes);
}

struct DamageCase {
  const char* name;
  void (*damage)(const std::string& path);
  const char* expected;  // in the error, after the file's name
};

const DamageCase DamageCases[] = {
    {"a flipped byte in a value", [](const std::string& p) { FlipByteOf(p, u"MarkedValueText"); },
     "of the table \"values\" is damaged"},
    {"a flipped byte in a key's name",
     [](const std::string& p) { FlipByteOf(p, u"MarkedKeyName"); },
     "of the table \"keys\" is damaged"},
    {"a file cut short", [](const std::string& p) { ::truncate(p.c_str(), 3 * 4096); },
     "the file is cut short"},
    {"not a store at all",
     [](const std::string& p) {
       std::string bytes = ReadFileText(p);
       bytes.replace(0, 8192, std::string(8192, 'x'));
       WriteFileText(p, bytes);
     },
     "MDB_INVALID"},
};

// Reads what a program reads, then changes something else.
Status Use(LmdbRegistry& registry) {
  uint32_t size = 0;
  HKEY key = 0;
  Status status = registry.OpenKey(HKEY_LOCAL_MACHINE, u"MarkedKeyName", KeyAllAccess, &key);
  if (status == StatusSuccess) {
    status = registry.QueryValue(key, u"Marked", nullptr, nullptr, &size);
    registry.CloseKey(key);
  }
  return status;
}

TEST(LmdbRegistry, DamageIsRefusedWithFileAndRecordAndNeverWrittenOver) {
  for (const DamageCase& c : DamageCases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::string path = dir / "registry.mdb";
    {
      auto registry = OpenStore(path, true);
      std::string error;
      ASSERT_TRUE(
          registry->ImportText("REGEDIT4\n[HKEY_LOCAL_MACHINE\\MarkedKeyName]\n"
                               "\"Marked\"=\"MarkedValueText\"\n"
                               "[HKEY_LOCAL_MACHINE\\Other]\n\"N\"=dword:1\n",
                               &error))
          << error;
    }
    c.damage(path);
    const std::string damaged = ReadFileText(path);

    std::string error;
    std::unique_ptr<LmdbRegistry> registry = LmdbRegistry::Open(path, false, &error);
    if (registry) {
      EXPECT_EQ(Use(*registry), StatusRegistryCorrupt);
      error = registry->lastError();
      // Once refused, always refused: a change of something else too.
      uint32_t one = 1;
      HKEY other = 0;
      EXPECT_EQ(registry->CreateKey(HKEY_LOCAL_MACHINE, u"Other", KeyAllAccess, &other),
                StatusRegistryCorrupt);
      EXPECT_EQ(registry->SetValue(HKEY_LOCAL_MACHINE, u"New", RegNumber,
                                   reinterpret_cast<const uint8_t*>(&one), 4),
                StatusRegistryCorrupt);
    }
    EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << error;
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;

    // Another registry (another process) is refused too, and changes nothing.
    std::string again;
    std::unique_ptr<LmdbRegistry> other = LmdbRegistry::Open(path, false, &again);
    if (other) {
      uint32_t one = 1;
      EXPECT_NE(other->SetValue(HKEY_LOCAL_MACHINE, u"New", RegNumber,
                                reinterpret_cast<const uint8_t*>(&one), 4),
                StatusSuccess);
    }
    EXPECT_NE(again.find(path), std::string::npos) << again;
    EXPECT_TRUE(ReadFileText(path) == damaged) << "the damaged file was written";

    StoreReport report = CheckStore(path, nullptr);
    ASSERT_FALSE(report.damage.empty());
    EXPECT_NE(report.damage.front().find(path), std::string::npos);
  }
}

TEST(LmdbRegistry, RepairKeepsEveryRecordThatCanBeRead) {
  TempDir dir;
  std::string path = dir / "registry.mdb";
  {
    auto registry = OpenStore(path, true);
    std::string error;
    ASSERT_TRUE(
        registry->ImportText("REGEDIT4\n[HKEY_LOCAL_MACHINE\\MarkedKeyName]\n"
                             "\"Kept\"=dword:7\n\"Marked\"=\"MarkedValueText\"\n"
                             "[HKEY_LOCAL_MACHINE\\Other]\n\"N\"=dword:1\n",
                             &error))
        << error;
  }
  FlipByteOf(path, u"MarkedValueText");
  KeyNode salvaged;
  StoreReport report = CheckStore(path, &salvaged);
  ASSERT_EQ(report.damage.size(), 1u);
  EXPECT_NE(report.damage[0].find("the record 2/2 of the table \"values\""), std::string::npos)
      << report.damage[0];
  ASSERT_NE(salvaged.FindSubkey(u"MarkedKeyName"), nullptr);
  EXPECT_NE(salvaged.FindSubkey(u"MarkedKeyName")->FindValue(u"Kept"), nullptr);
  EXPECT_EQ(salvaged.FindSubkey(u"MarkedKeyName")->FindValue(u"Marked"), nullptr);
  EXPECT_NE(salvaged.FindSubkey(u"Other"), nullptr);
}

}  // namespace
}  // namespace velmora
