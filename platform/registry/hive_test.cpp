// What the hive adds to the registry contract: its file.
#include "platform/registry/hive.h"

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace velmora {
namespace {

using testing::DescribeValue;
using testing::ReadFileText;
using testing::SetNumber;
using testing::SetString;
using testing::TempDir;
using testing::WriteFileText;

class HiveFile : public ::testing::Test {
 protected:
  std::unique_ptr<Hive> OpenHive() {
    std::string error;
    auto hive = Hive::Open(path_, &error);
    EXPECT_NE(hive, nullptr) << error;
    return hive;
  }
  TempDir dir_;
  std::string path_ = dir_ / "registry.reg";
};

TEST_F(HiveFile, EveryChangeIsOnDiskAndSurvivesReloadInOrder) {
  auto hive = OpenHive();
  SetString(*hive, u"Drivers\\BuiltIn\\Zeta", u"Dll", u"zeta.dll");
  SetString(*hive, u"Drivers\\BuiltIn\\Alpha", u"Dll", u"alpha.dll");
  SetNumber(*hive, u"Drivers\\BuiltIn\\Alpha", u"Order", 3);
  std::string onDisk = ReadFileText(path_);
  EXPECT_NE(onDisk.find("\"Order\"=dword:00000003"), std::string::npos);

  auto reloaded = OpenHive();
  EXPECT_EQ(reloaded->ExportText(), hive->ExportText());
  HKEY key = 0;
  ASSERT_EQ(reloaded->OpenKey(HKEY_LOCAL_MACHINE, u"Drivers\\BuiltIn", KeyAllAccess, &key), 0);
  char16_t name[256];
  uint32_t capacity = 256;
  ASSERT_EQ(reloaded->EnumSubkey(key, 0, name, &capacity), 0);
  EXPECT_EQ(std::u16string(name), u"Zeta");  // creation order, not alphabetical
}

TEST_F(HiveFile, TwoHivesOnOneFileKeepEachOthersChanges) {
  auto first = OpenHive();
  auto second = OpenHive();
  SetNumber(*first, u"K", u"A", 1);
  SetNumber(*second, u"K", u"B", 2);
  SetNumber(*first, u"K", u"C", 3);
  auto third = OpenHive();
  EXPECT_EQ(testing::ValueNames(*third, u"K"), "A,B,C");
  EXPECT_EQ(DescribeValue(*second, u"K", u"C"), "4:4:3");

  // A handle follows its key across the other hive's rewrite...
  HKEY key = 0;
  ASSERT_EQ(first->OpenKey(HKEY_LOCAL_MACHINE, u"K", KeyAllAccess, &key), 0);
  SetNumber(*second, u"K", u"D", 4);
  uint32_t size = 0;
  EXPECT_EQ(first->QueryValue(key, u"D", nullptr, nullptr, &size), StatusSuccess);
  // ...and fails once the other hive deleted it.
  HKEY byOther = 0;
  ASSERT_EQ(second->OpenKey(HKEY_LOCAL_MACHINE, u"", KeyAllAccess, &byOther), 0);
  ASSERT_EQ(second->DeleteKey(HKEY_LOCAL_MACHINE, u"K"), StatusSuccess);
  EXPECT_EQ(first->QueryValue(key, u"D", nullptr, nullptr, &size), StatusKeyDeleted);
}

TEST_F(HiveFile, ASaveCutShortLeavesTheOldFileAndReportsFailure) {
  auto hive = OpenHive();
  SetNumber(*hive, u"K", u"Kept", 1);
  std::string before = ReadFileText(path_);
  for (const char* stage : {"write", "sync", "rename"}) {
    hive->SetWriteFaultForTesting([stage](std::string_view s) { return s != stage; });
    HKEY key = 0;
    ASSERT_EQ(hive->OpenKey(HKEY_LOCAL_MACHINE, u"K", KeyAllAccess, &key), 0);
    uint8_t data[4] = {2, 0, 0, 0};
    EXPECT_EQ(hive->SetValue(key, u"Lost", RegNumber, data, 4), StatusRegistryIoFailed) << stage;
    EXPECT_EQ(ReadFileText(path_), before) << stage;
    // The hive itself went back to what the file holds.
    uint32_t size = 0;
    EXPECT_EQ(hive->QueryValue(key, u"Lost", nullptr, nullptr, &size), StatusFileNotFound);
    EXPECT_EQ(hive->QueryValue(key, u"Kept", nullptr, nullptr, &size), StatusSuccess);
    hive->CloseKey(key);
  }
  hive->SetWriteFaultForTesting(nullptr);
  SetNumber(*hive, u"K", u"Later", 3);
  EXPECT_EQ(testing::ValueNames(*OpenHive(), u"K"), "Kept,Later");
}

TEST_F(HiveFile, AnUnparsableFileIsReportedWithItsLineAndNeverOverwritten) {
  std::string broken = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\K]\n"
                       "\"A\"=dword:xyz\n";
  WriteFileText(path_, broken);
  std::string error;
  EXPECT_EQ(Hive::Open(path_, &error), nullptr);
  EXPECT_EQ(error, path_ + ": line 4: a dword needs 1 to 8 hex digits");

  // Broken by someone else while open: calls fail, the file stays as it is.
  WriteFileText(path_, "Windows Registry Editor Version 5.00\n");
  auto hive = OpenHive();
  WriteFileText(path_, broken);
  HKEY key = 0;
  EXPECT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"New", KeyAllAccess, &key),
            StatusRegistryCorrupt);
  EXPECT_EQ(hive->lastError(), error);
  EXPECT_EQ(ReadFileText(path_), broken);
}

TEST_F(HiveFile, ImportIsAllOrNothing) {
  auto hive = OpenHive();
  SetNumber(*hive, u"K", u"A", 1);
  std::string error;
  EXPECT_FALSE(hive->ImportText("REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"B\"=dword:2\nbad\n",
                                &error));
  EXPECT_EQ(error, "line 4: unexpected text \"bad\"");
  EXPECT_EQ(testing::ValueNames(*hive, u"K"), "A");
  EXPECT_TRUE(hive->ImportText("REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"B\"=dword:2\n\"A\"=-\n",
                               &error));
  EXPECT_EQ(testing::ValueNames(*OpenHive(), u"K"), "B");
}

TEST(Hive, RefusesNamesTheFileCouldNotCarry) {
  Hive hive;
  HKEY key = 0;
  EXPECT_EQ(hive.CreateKey(HKEY_LOCAL_MACHINE, u"A\\\\B", KeyAllAccess, &key),
            StatusInvalidParameter);
  EXPECT_EQ(hive.CreateKey(HKEY_LOCAL_MACHINE, u"Line\nBreak", KeyAllAccess, &key),
            StatusInvalidParameter);
  ASSERT_EQ(hive.CreateKey(HKEY_LOCAL_MACHINE, u"Fine", KeyAllAccess, &key), StatusSuccess);
  uint8_t byte = 1;
  EXPECT_EQ(hive.SetValue(key, u"Bad\rName", RegBinary, &byte, 1), StatusInvalidParameter);
}

}  // namespace
}  // namespace velmora
