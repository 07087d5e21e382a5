// Where a file-backed hive keeps the registry, and how several processes
// share it (the program, velmora-device, the running device):
//
// - "registry.reg", the snapshot: the whole registry as of one generation.
// - "registry.journal": every change since, appended as one record each
//   and flushed before the change is reported done (journal_format.h). A
//   change costs what it writes, not what the registry holds.
// - "registry.reg.lock": the lock (shared to read, exclusive to change)
//   and, in its first 8 bytes, a counter that every change raises. Other
//   processes read it through a shared mapping, so knowing whether anything
//   changed costs no system call; when it did, they read only the records
//   added since.
//
// When the journal has grown past half the snapshot, a change folds it
// into a new snapshot of the next generation (written atomically) and
// starts a new journal. A crash at any point leaves the old or the new
// state: a record cut short is ignored (and cut off by the next writer), a
// journal of an older generation than the snapshot is stale and ignored.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "platform/host_io.h"
#include "platform/registry/key_tree.h"
#include "platform/registry/tree_change.h"

namespace velmora {

class HiveStore {
 public:
  explicit HiveStore(std::string snapshotPath);
  ~HiveStore();
  HiveStore(const HiveStore&) = delete;
  HiveStore& operator=(const HiveStore&) = delete;

  const std::string& snapshotPath() const { return snapshotPath_; }
  const std::string& journalPath() const { return journalPath_; }

  // The lock of the registry files, held until Unlock. False when it
  // cannot be had (no lock file can be opened).
  bool LockShared();
  bool LockExclusive();
  void Unlock();

  // Reads snapshot and journal into root (a fresh tree), under a lock.
  // *error is "<file>: line N: ..." when a file cannot be read or parsed.
  bool Load(KeyNode& root, std::string* error);

  // Whether another process may have changed the registry since this store
  // last loaded or caught up: a read of the shared counter.
  bool MayHaveChanged() const;

  enum class CatchUp { Done, NeedsReload, Failed };
  // Applies what others appended since, through change, under a lock.
  // NeedsReload when the files were replaced in a way that takes a Load.
  CatchUp CatchUpWith(KeyNode& root, TreeChange& change, std::string* error);

  // Stores one change (the .reg lines of its record), under the exclusive
  // lock after catching up; root already holds the change. Durable when it
  // returns true; on failure the files are as before.
  bool Store(std::string_view record, const KeyNode& root, std::string* error,
             const WriteFault& fault);

  // Writes root as the next generation's snapshot and starts a new journal.
  bool Fold(const KeyNode& root, std::string* error, const WriteFault& fault);

  // The journal bytes in use (for tests and benchmarks).
  size_t journalSize() const { return journalEnd_; }

 private:
  bool OpenLockFile();
  bool Lock(int operation);
  uint64_t Counter() const;
  void RaiseCounter();
  bool OpenJournal(std::string* error);
  bool ApplyJournal(KeyNode& root, TreeChange& change, std::string* error);
  bool ReadSnapshotGeneration(uint64_t* generation);
  bool FoldDue() const;
  // False (and why) when the user made the registry read-only.
  bool Writable(std::string* error) const;

  std::string snapshotPath_;
  std::string journalPath_;
  std::string lockPath_;
  int lockFd_ = -1;
  const volatile uint64_t* counter_ = nullptr;  // mapped from the lock file
  uint64_t seenCounter_ = 0;
  bool locked_ = false;
  bool cleaned_ = false;  // stale temporary files removed

  FileStamp snapshotStamp_;
  uint64_t generation_ = 0;
  int journalFd_ = -1;
  ino_t journalInode_ = 0;
  bool journalStale_ = true;  // missing, or of another generation: ignored
  size_t journalEnd_ = 0;     // after the last whole record applied
  size_t nextFoldAttempt_ = 0;
};

}  // namespace velmora
