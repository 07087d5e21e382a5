#include "platform/registry/legacy_migration.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>

#include "platform/host_io.h"
#include "platform/registry/journal_format.h"
#include "platform/registry/lmdb_registry.h"
#include "platform/registry/reg_reader.h"
#include "platform/registry/reg_writer.h"
#include "platform/registry/registry_limits.h"
#include "platform/registry/store_text.h"
#include "platform/registry/tree_change.h"

namespace velmora {

namespace {

constexpr std::string_view DevicePrefix = "; device ";

bool Exists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

// The device named on the third line ("" when none).
std::string DeviceOf(std::string_view text) {
  size_t header = journal::HeaderLength(text);
  if (header == 0) {
    return "";
  }
  std::string_view rest = text.substr(header);
  if (rest.substr(0, DevicePrefix.size()) != DevicePrefix) {
    return "";
  }
  rest.remove_prefix(DevicePrefix.size());
  return std::string(rest.substr(0, rest.find('\n')));
}

std::string JournalPathOf(const std::string& snapshotPath) {
  std::string base = snapshotPath;
  if (base.size() > 4 && base.compare(base.size() - 4, 4, ".reg") == 0) {
    base.resize(base.size() - 4);
  }
  return base + ".journal";
}

// Applies the journal's whole records. With lost given, damage stops the
// journal there instead of failing: what it kept out goes into *lost.
bool ApplyJournal(const std::string& path, uint64_t generation, const std::string& device,
                  KeyNode& root, std::string* error, std::string* lost) {
  if (lost != nullptr) {
    if (!ApplyJournal(path, generation, device, root, error, nullptr)) {
      *lost = *error;
      error->clear();
    }
    return true;
  }
  std::string text;
  bool missing = false;
  if (!ReadRegularFile(path, MaxRegFileSize, &text, error, &missing)) {
    return missing;
  }
  size_t header = journal::HeaderLength(text);
  uint64_t journalGeneration = 0;
  if (header == 0 || !journal::ReadGeneration(text, &journalGeneration)) {
    *error = path + ": not a journal (no generation line)";
    return false;
  }
  if (journalGeneration > generation) {
    *error = path + ": of generation " + std::to_string(journalGeneration) +
             ", newer than the snapshot's " + std::to_string(generation);
    return false;
  }
  std::string journalDevice = DeviceOf(text);
  if (journalDevice != device) {
    *error = path + ": the journal of another device (" +
             (journalDevice.empty() ? "none named" : journalDevice) + ", the snapshot's is " +
             (device.empty() ? "none named" : device) + ")";
    return false;
  }
  if (journalGeneration < generation) {
    return true;  // stale: a fold put its changes into the snapshot already
  }
  size_t start = header;
  if (!journalDevice.empty()) {
    start = text.find('\n', header) + 1;
  }
  TreeChange replay(TreeChange::Options{});
  std::string_view records = std::string_view(text).substr(start);
  journal::Scan scan = journal::ScanRecords(
      records, start, [&](std::string_view body, size_t offset, std::string* why) {
        if (ReadRegLines(body, root, replay, why)) {
          return true;
        }
        *why = "the record at byte " + std::to_string(offset) + ": " + *why;
        return false;
      });
  if (scan.damaged) {
    *error = path + ": " + scan.error;
    return false;
  }
  if (scan.torn) {
    // Cut short only when nothing follows: a length that runs over whole
    // records after it is damage, not a write that stopped.
    std::string_view tail = records.substr(scan.end);
    size_t next = tail.find("\n;@ ");
    if (next != std::string_view::npos) {
      *error = path + ": the record at byte " + std::to_string(start + scan.end) +
               " claims more bytes than it has before the next record";
      return false;
    }
  }
  return true;
}

}  // namespace

bool ReadTextRegistry(const std::string& snapshotPath, KeyNode& root, std::string* error,
                      std::string* lost) {
  std::string text;
  if (!ReadRegularFile(snapshotPath, MaxRegFileSize, &text, error)) {
    return false;
  }
  uint64_t generation = 0;
  journal::ReadGeneration(text, &generation);
  std::string device = DeviceOf(text);
  if (!ReadRegText(text, root, error)) {
    *error = snapshotPath + ": " + *error;
    return false;
  }
  return ApplyJournal(JournalPathOf(snapshotPath), generation, device, root, error, lost);
}

bool MigrateTextRegistry(const std::string& folder, bool* migrated, std::string* error,
                         std::string* lost) {
  *migrated = false;
  const std::string store = folder + "/registry.mdb";
  const std::string snapshot = folder + "/registry.reg";
  if (Exists(store) || !Exists(snapshot)) {
    return true;
  }
  FileLock lock(folder + "/registry.migrate.lock", FileLock::Mode::Exclusive);
  if (!lock.held()) {
    *error = "cannot lock '" + folder + "/registry.migrate.lock'";
    return false;
  }
  if (Exists(store)) {
    return true;  // another process migrated meanwhile
  }
  KeyNode root;
  if (!ReadTextRegistry(snapshot, root, error, lost)) {
    return false;
  }
  // Built beside, then put in place whole: a crash leaves no half store.
  const std::string temporary = store + ".new";
  ::unlink(temporary.c_str());
  ::unlink((temporary + "-lock").c_str());
  {
    std::unique_ptr<LmdbRegistry> registry = LmdbRegistry::Open(temporary, true, error);
    if (!registry) {
      return false;
    }
    std::string counters;
    std::string ignored;
    ReadHostFile(folder + "/device.state", &counters, &ignored);
    std::string text = FormatRegText(root);
    auto read = [&](std::string* out, bool* eof, std::string*) {
      out->swap(text);
      *eof = true;
      return true;
    };
    ImportOptions options;
    options.then = [&] {
      std::istringstream in(counters);
      std::string word;
      while (in >> word) {
        uint32_t value = 0;
        uint32_t taken = 0;
        in >> value;
        if (word == "next-handle" || word == "next-entry") {
          // The counter starts where the old file left it.
          Status status = registry->NextNumber(word, value, &taken);
          if (status != StatusSuccess) {
            return status;
          }
        }
      }
      return StatusSuccess;
    };
    ImportResult result;
    if (!ImportRegStream(*registry, read, options, &result, error)) {
      *error = snapshot + ": cannot be migrated: " + *error;
      return false;
    }
  }
  if (::rename(temporary.c_str(), store.c_str()) != 0) {
    *error = "cannot create '" + store + "'";
    return false;
  }
  ::unlink((temporary + "-lock").c_str());
  for (const char* old : {"/registry.reg", "/registry.journal", "/device.state"}) {
    std::string path = folder + old;
    if (Exists(path)) {
      ::rename(path.c_str(), (path + ".migrated").c_str());
    }
  }
  *migrated = true;
  return true;
}

}  // namespace velmora
