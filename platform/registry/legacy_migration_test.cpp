// Device folders of the text registry are read once into the store, and
// strictly: damage in the old journal stops the migration, names the file
// and the record, and leaves every file as it was.
#include "platform/registry/legacy_migration.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/registry/journal_format.h"
#include "platform/registry/lmdb_registry.h"
#include "tests/test_support.h"

namespace velmora {
namespace {

using testing::ReadFileText;
using testing::TempDir;
using testing::WriteFileText;

bool Exists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

const std::string Header = "Windows Registry Editor Version 5.00\n";

std::string Snapshot(uint64_t generation, const std::string& device = "") {
  return Header + journal::SnapshotComment(generation).substr(0) +
         (device.empty() ? "" : "; device " + device + "\n") +
         "\n[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\Serial]\n\"Prefix\"=\"COM\"\n";
}

std::string Journal(uint64_t generation, const std::string& device = "") {
  std::string text = journal::JournalHeader(generation);
  if (!device.empty()) {
    text += "; device " + device + "\n";
  }
  text += journal::FrameRecord("[HKEY_LOCAL_MACHINE\\One]\n\"A\"=dword:00000001\n");
  text += journal::FrameRecord("[HKEY_LOCAL_MACHINE\\Two]\n\"B\"=dword:00000002\n");
  return text;
}

std::string ExportOf(const std::string& folder) {
  std::string error;
  auto registry = LmdbRegistry::Open(folder + "/registry.mdb", false, &error);
  return registry ? registry->ExportText() : error;
}

TEST(Migration, ReadsTheOldFilesOnceAndKeepsThemAsABackup) {
  TempDir dir;
  std::string folder = dir / "device";
  ::mkdir(folder.c_str(), 0755);
  WriteFileText(folder + "/registry.reg", Snapshot(3));
  WriteFileText(folder + "/registry.journal", Journal(3));
  WriteFileText(folder + "/device.state", "next-handle 1500\nnext-entry 40\n");
  // Two processes at once: one migrates, the other finds the store made.
  pid_t children[2];
  for (pid_t& child : children) {
    child = ::fork();
    if (child == 0) {
      bool migrated = false;
      std::string error;
      ::_exit(MigrateTextRegistry(folder, &migrated, &error) ? (migrated ? 10 : 11) : 1);
    }
  }
  int migrations = 0;
  for (pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) >= 10);
    migrations += WEXITSTATUS(status) == 10;
  }
  EXPECT_EQ(migrations, 1);
  std::string text = ExportOf(folder);
  EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\Two]\n\"B\"=dword:00000002"), std::string::npos)
      << text;
  EXPECT_TRUE(Exists(folder + "/registry.reg.migrated"));
  EXPECT_TRUE(Exists(folder + "/registry.journal.migrated"));
  EXPECT_FALSE(Exists(folder + "/registry.reg"));
  std::string error;
  auto registry = LmdbRegistry::Open(folder + "/registry.mdb", false, &error);
  uint32_t handle = 0;
  ASSERT_EQ(registry->NextNumber("next-handle", 1001, &handle), StatusSuccess);
  EXPECT_GE(handle, 1500u);  // the counters go on, never back
}

struct JournalCase {
  const char* name;
  std::string snapshot;
  std::string journal;
  const char* expected;  // after "<journal>: "
};

TEST(Migration, JournalDamageIsRefusedWithFileAndRecordAndChangesNothing) {
  std::string whole = Journal(3);
  std::string badCrc = whole;
  badCrc[whole.find("\"A\"") + 1] = 'X';
  std::string longer = whole;
  longer.insert(whole.find(";@ ") + 3, "9");  // the first record's length, raised
  const JournalCase cases[] = {
      {"a bad CRC with records after it", Snapshot(3), badCrc, ": a damaged record at byte "},
      {"an impossible length", Snapshot(3), longer, "claims more bytes than it has"},
      {"a generation from the future", Snapshot(3), Journal(4), "of generation 4, newer"},
      {"the journal of another device", Snapshot(3, "aaaa"), Journal(3, "bbbb"),
       "the journal of another device"},
  };
  for (const JournalCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::string folder = dir / "device";
    ::mkdir(folder.c_str(), 0755);
    WriteFileText(folder + "/registry.reg", c.snapshot);
    WriteFileText(folder + "/registry.journal", c.journal);
    bool migrated = false;
    std::string error;
    EXPECT_FALSE(MigrateTextRegistry(folder, &migrated, &error));
    EXPECT_EQ(error.rfind(folder + "/registry.journal: ", 0), 0u) << error;
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    // Refused again, and nothing written: no store, the old files as they were.
    EXPECT_FALSE(MigrateTextRegistry(folder, &migrated, &error));
    EXPECT_FALSE(Exists(folder + "/registry.mdb"));
    EXPECT_EQ(ReadFileText(folder + "/registry.journal"), c.journal);
    EXPECT_EQ(ReadFileText(folder + "/registry.reg"), c.snapshot);
    // A repair on purpose takes what can be read and keeps the old files.
    std::string lost;
    ASSERT_TRUE(MigrateTextRegistry(folder, &migrated, &error, &lost)) << error;
    EXPECT_NE(lost.find(c.expected), std::string::npos) << lost;
    EXPECT_EQ(ReadFileText(folder + "/registry.journal.migrated"), c.journal);
    EXPECT_NE(ExportOf(folder).find("Drivers\\BuiltIn\\Serial"), std::string::npos);
  }
}

TEST(Migration, ATornLastRecordIsStillTorn) {
  std::string whole = Journal(3);
  size_t last = whole.rfind(";@");
  for (size_t cut : {last + 2, last + 10, whole.size() - 3}) {
    TempDir dir;
    std::string folder = dir / "device";
    ::mkdir(folder.c_str(), 0755);
    WriteFileText(folder + "/registry.reg", Snapshot(3));
    WriteFileText(folder + "/registry.journal", whole.substr(0, cut));
    bool migrated = false;
    std::string error;
    ASSERT_TRUE(MigrateTextRegistry(folder, &migrated, &error)) << error;
    std::string text = ExportOf(folder);
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\One]"), std::string::npos);
    EXPECT_EQ(text.find("[HKEY_LOCAL_MACHINE\\Two]"), std::string::npos);
  }
}

}  // namespace
}  // namespace velmora
