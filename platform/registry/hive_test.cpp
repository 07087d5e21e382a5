// What the hive adds to the registry contract: its files.
#include "platform/registry/hive.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

#include "platform/registry/journal_format.h"
#include "platform/registry/registry_limits.h"
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

class HiveFile : public ::testing::Test {
 protected:
  std::unique_ptr<Hive> OpenHive() {
    std::string error;
    auto hive = Hive::Open(path_, &error);
    EXPECT_NE(hive, nullptr) << error;
    return hive;
  }
  std::string Exported() { return OpenHive()->ExportText(); }

  TempDir dir_;
  std::string path_ = dir_ / "registry.reg";
  std::string journal_ = dir_ / "registry.journal";
};

TEST_F(HiveFile, EveryChangeIsStoredAtOnceAndSurvivesReloadInOrder) {
  auto hive = OpenHive();
  SetString(*hive, u"Drivers\\BuiltIn\\Zeta", u"Dll", u"zeta.dll");
  SetString(*hive, u"Drivers\\BuiltIn\\Alpha", u"Dll", u"alpha.dll");
  SetNumber(*hive, u"Drivers\\BuiltIn\\Alpha", u"Order", 3);
  // Each change is one readable .reg record in the journal.
  std::string journal = ReadFileText(journal_);
  EXPECT_NE(journal.find("[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\Alpha]\n\"Order\"=dword:00000003"),
            std::string::npos)
      << journal;

  auto reloaded = OpenHive();
  EXPECT_EQ(reloaded->ExportText(), hive->ExportText());
  HKEY key = 0;
  ASSERT_EQ(reloaded->OpenKey(HKEY_LOCAL_MACHINE, u"Drivers\\BuiltIn", KeyAllAccess, &key), 0);
  char16_t name[256];
  uint32_t capacity = 256;
  ASSERT_EQ(reloaded->EnumSubkey(key, 0, name, &capacity), 0);
  EXPECT_EQ(std::u16string(name), u"Zeta");  // creation order, not alphabetical

  // Compacting writes it all into registry.reg and starts an empty journal.
  std::string error;
  ASSERT_TRUE(hive->Compact(&error)) << error;
  EXPECT_NE(ReadFileText(path_).find("\"Order\"=dword:00000003"), std::string::npos);
  std::string emptied = ReadFileText(journal_);
  EXPECT_EQ(journal::HeaderLength(emptied), emptied.size()) << emptied;
  EXPECT_EQ(Exported(), hive->ExportText());
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

  // A handle follows its key across the other hive's changes and a fold...
  HKEY key = 0;
  ASSERT_EQ(first->OpenKey(HKEY_LOCAL_MACHINE, u"K", KeyAllAccess, &key), 0);
  SetNumber(*second, u"K", u"D", 4);
  std::string error;
  ASSERT_TRUE(second->Compact(&error)) << error;
  SetNumber(*second, u"K", u"E", 5);
  uint32_t size = 0;
  EXPECT_EQ(first->QueryValue(key, u"D", nullptr, nullptr, &size), StatusSuccess);
  EXPECT_EQ(first->QueryValue(key, u"E", nullptr, nullptr, &size), StatusSuccess);
  // ...and fails once the other hive deleted it.
  ASSERT_EQ(second->DeleteKey(HKEY_LOCAL_MACHINE, u"K"), StatusSuccess);
  EXPECT_EQ(first->QueryValue(key, u"D", nullptr, nullptr, &size), StatusKeyDeleted);
  EXPECT_EQ(first->ExportText(), second->ExportText());
}

TEST_F(HiveFile, AFollowerTakesInChangesAndFoldsWithoutRereading) {
  auto writer = OpenHive();
  auto reader = OpenHive();
  std::string error;
  for (int i = 0; i < 60; ++i) {
    SetNumber(*writer, u"Many\\K" + FromUtf8(std::to_string(i)), u"N", static_cast<uint32_t>(i));
    if (i % 20 == 0) {
      EXPECT_EQ(DescribeValue(*reader, u"Many\\K" + FromUtf8(std::to_string(i)), u"N"),
                "4:4:" + std::to_string(i));
    }
    if (i == 30) {
      ASSERT_TRUE(writer->Compact(&error)) << error;
    }
  }
  EXPECT_EQ(reader->ExportText(), writer->ExportText());
  EXPECT_EQ(Exported(), writer->ExportText());
}

TEST_F(HiveFile, AStoreCutShortLeavesTheOldStateAndReportsFailure) {
  auto hive = OpenHive();
  SetNumber(*hive, u"K", u"Kept", 1);
  std::string before = Exported();
  for (const char* stage : {"append", "sync"}) {
    hive->SetWriteFaultForTesting([stage](std::string_view s) { return s != stage; });
    HKEY key = 0;
    ASSERT_EQ(hive->OpenKey(HKEY_LOCAL_MACHINE, u"K", KeyAllAccess, &key), 0);
    uint8_t data[4] = {2, 0, 0, 0};
    EXPECT_EQ(hive->SetValue(key, u"Lost", RegNumber, data, 4), StatusRegistryIoFailed) << stage;
    EXPECT_NE(hive->lastError().find("cannot write"), std::string::npos) << hive->lastError();
    EXPECT_EQ(Exported(), before) << stage;
    // The hive itself went back to what the files hold.
    uint32_t size = 0;
    EXPECT_EQ(hive->QueryValue(key, u"Lost", nullptr, nullptr, &size), StatusFileNotFound);
    EXPECT_EQ(hive->QueryValue(key, u"Kept", nullptr, nullptr, &size), StatusSuccess);
    hive->CloseKey(key);
  }
  for (const char* stage : {"write", "sync", "rename"}) {
    hive->SetWriteFaultForTesting([stage](std::string_view s) { return s != stage; });
    std::string error;
    EXPECT_FALSE(hive->Compact(&error)) << stage;
    EXPECT_EQ(Exported(), before) << stage;
  }
  hive->SetWriteFaultForTesting(nullptr);
  SetNumber(*hive, u"K", u"Later", 3);
  EXPECT_EQ(testing::ValueNames(*OpenHive(), u"K"), "Kept,Later");
}

// A crash while a record is appended leaves any prefix of it behind: each
// reads as the state before, and the next writer cuts it off.
TEST_F(HiveFile, ATornLastRecordIsIgnoredAtEveryLength) {
  auto hive = OpenHive();
  SetNumber(*hive, u"K", u"A", 1);
  testing::MakeKey(*hive, u"K\\Sub");
  std::string before = Exported();
  std::string journal = ReadFileText(journal_);
  SetString(*hive, u"K\\Sub", u"B", u"two");
  std::string whole = ReadFileText(journal_);
  std::string after = Exported();
  ASSERT_GT(whole.size(), journal.size());
  for (size_t cut = journal.size(); cut < whole.size(); ++cut) {
    WriteFileText(journal_, whole.substr(0, cut));
    auto reader = OpenHive();
    ASSERT_EQ(reader->ExportText(), before) << "cut at " << cut;
    if (cut % 7 == 0) {
      SetNumber(*reader, u"K", u"C", 3);  // cuts the torn end off first
      EXPECT_EQ(testing::ValueNames(*OpenHive(), u"K"), "A,C") << "cut at " << cut;
      WriteFileText(journal_, whole.substr(0, cut));
    }
  }
  WriteFileText(journal_, whole);
  EXPECT_EQ(Exported(), after);
}

TEST_F(HiveFile, DamagedFilesAreReportedWithTheirPlaceAndNeverOverwritten) {
  std::string broken =
      "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\K]\n"
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
  EXPECT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"New", KeyAllAccess, &key), StatusRegistryCorrupt);
  EXPECT_EQ(hive->lastError(), error);
  EXPECT_EQ(ReadFileText(path_), broken);
  EXPECT_FALSE(std::ifstream(journal_).good());

  // A damaged record with more after it is damage, not a torn write.
  WriteFileText(path_, "Windows Registry Editor Version 5.00\n");
  auto writer = OpenHive();
  SetNumber(*writer, u"K", u"A", 1);
  SetNumber(*writer, u"K", u"B", 2);
  std::string journal = ReadFileText(journal_);
  size_t first = journal.find("\"A\"=dword:00000001");
  journal[first + 1] = 'X';
  WriteFileText(journal_, journal);
  EXPECT_EQ(Hive::Open(path_, &error), nullptr);
  EXPECT_EQ(error,
            journal_ + ": a damaged record at byte " + std::to_string(journal.rfind(";@", first)));
  EXPECT_EQ(ReadFileText(journal_), journal);
}

// A fold that stopped after the new snapshot but before the new journal
// leaves the old journal behind; its changes are in the snapshot already.
TEST_F(HiveFile, AStaleJournalIsNotAppliedTwice) {
  auto hive = OpenHive();
  SetNumber(*hive, u"List\\q", u"N", 1);
  std::string error;
  ASSERT_TRUE(hive->Compact(&error)) << error;
  ASSERT_EQ(hive->DeleteKey(HKEY_LOCAL_MACHINE, u"List\\q"), StatusSuccess);
  testing::MakeKey(*hive, u"List\\q");
  testing::MakeKey(*hive, u"List\\p");  // replaying this record twice would reorder q and p
  std::string stale = ReadFileText(journal_);
  std::string expected = hive->ExportText();
  ASSERT_TRUE(hive->Compact(&error)) << error;
  WriteFileText(journal_, stale);
  EXPECT_EQ(Exported(), expected);
  SetNumber(*OpenHive(), u"List", u"After", 1);  // replaces the stale journal
  EXPECT_EQ(testing::ValueNames(*OpenHive(), u"List"), "After");
  EXPECT_EQ(testing::SubkeyNames(*OpenHive(), u"List"), "q,p");
}

TEST_F(HiveFile, ImportIsAllOrNothing) {
  auto hive = OpenHive();
  SetNumber(*hive, u"K", u"A", 1);
  std::string error;
  EXPECT_FALSE(hive->ImportText("REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"B\"=dword:2\nbad\n", &error));
  EXPECT_EQ(error, "line 4: unexpected text \"bad\"");
  EXPECT_EQ(testing::ValueNames(*hive, u"K"), "A");
  EXPECT_TRUE(
      hive->ImportText("REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"B\"=dword:2\n\"A\"=-\n", &error));
  EXPECT_EQ(testing::ValueNames(*OpenHive(), u"K"), "B");
}

TEST_F(HiveFile, AReadOnlyRegistryIsNeverReplaced) {
  auto hive = OpenHive();
  SetNumber(*hive, u"K", u"A", 1);
  std::string error;
  ASSERT_TRUE(hive->Compact(&error));
  std::string before = ReadFileText(path_);
  ASSERT_EQ(::chmod(path_.c_str(), 0444), 0);
  HKEY key = 0;
  ASSERT_EQ(hive->OpenKey(HKEY_LOCAL_MACHINE, u"K", KeyAllAccess, &key), StatusSuccess);
  uint8_t data[4] = {2, 0, 0, 0};
  EXPECT_EQ(hive->SetValue(key, u"A", RegNumber, data, 4), StatusRegistryIoFailed);
  EXPECT_NE(hive->lastError().find("read-only"), std::string::npos) << hive->lastError();
  EXPECT_FALSE(hive->Compact(&error));
  EXPECT_EQ(DescribeValue(*hive, u"K", u"A"), "4:4:1");
  EXPECT_EQ(ReadFileText(path_), before);
  hive->CloseKey(key);
}

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
