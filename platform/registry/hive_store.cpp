#include "platform/registry/hive_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/registry/journal_format.h"
#include "platform/registry/reg_reader.h"
#include "platform/registry/reg_writer.h"
#include "platform/registry/registry_limits.h"

namespace velmora {

namespace {

// The journal is folded once it holds more than half the snapshot's bytes,
// but never before it holds this much.
constexpr size_t FoldMinimum = size_t{256} << 10;

std::string JournalPathFor(const std::string& snapshot) {
  std::string base = snapshot;
  if (base.size() > 4 && base.compare(base.size() - 4, 4, ".reg") == 0) {
    base.resize(base.size() - 4);
  }
  return base + ".journal";
}

std::string SystemError(const std::string& what, const std::string& path) {
  return what + " '" + path + "': " + std::strerror(errno);
}

bool ReadAllAt(int fd, size_t offset, size_t size, std::string* out) {
  out->resize(size);
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::pread(fd, out->data() + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      out->resize(done);
      return n == 0;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool WriteAllAt(int fd, std::string_view bytes, size_t offset) {
  while (!bytes.empty()) {
    ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      if (n == 0) {
        errno = ENOSPC;
      }
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
    offset += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

HiveStore::HiveStore(std::string snapshotPath)
    : snapshotPath_(std::move(snapshotPath)),
      journalPath_(JournalPathFor(snapshotPath_)),
      lockPath_(snapshotPath_ + ".lock") {
  OpenLockFile();
}

HiveStore::~HiveStore() {
  if (counter_ != nullptr) {
    ::munmap(const_cast<uint64_t*>(counter_), sizeof(uint64_t));
  }
  if (lockFd_ >= 0) {
    ::close(lockFd_);
  }
  if (journalFd_ >= 0) {
    ::close(journalFd_);
  }
}

bool HiveStore::OpenLockFile() {
  lockFd_ = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  bool writable = lockFd_ >= 0;
  if (!writable) {
    lockFd_ = ::open(lockPath_.c_str(), O_RDONLY | O_CLOEXEC);  // a read-only device
    if (lockFd_ < 0) {
      return false;
    }
  }
  struct stat info {};
  if (::fstat(lockFd_, &info) == 0 && info.st_size < static_cast<off_t>(sizeof(uint64_t)) &&
      writable) {
    // Real bytes, not a hole: reading the counter must never need a block
    // that a full disk could not give.
    uint64_t zero = 0;
    if (WriteAllAt(lockFd_, std::string_view(reinterpret_cast<const char*>(&zero), sizeof zero),
                   0)) {
      info.st_size = sizeof zero;
    }
  }
  if (info.st_size >= static_cast<off_t>(sizeof(uint64_t))) {
    void* mapped = ::mmap(nullptr, sizeof(uint64_t), PROT_READ, MAP_SHARED, lockFd_, 0);
    if (mapped != MAP_FAILED) {
      counter_ = static_cast<const volatile uint64_t*>(mapped);
    }
  }
  return true;
}

bool HiveStore::Lock(int operation) {
  if (lockFd_ < 0) {
    return false;
  }
  while (::flock(lockFd_, operation) != 0) {
    if (errno != EINTR) {
      return false;
    }
  }
  locked_ = true;
  return true;
}

bool HiveStore::LockShared() {
  return Lock(LOCK_SH);
}

bool HiveStore::LockExclusive() {
  if (!Lock(LOCK_EX)) {
    return false;
  }
  if (!cleaned_) {
    // Writers killed half-way through a snapshot leave their temporary
    // file; this process may be the first writer since.
    RemoveStaleTemporaries(snapshotPath_);
    RemoveStaleTemporaries(journalPath_);
    cleaned_ = true;
  }
  return true;
}

void HiveStore::Unlock() {
  if (locked_) {
    ::flock(lockFd_, LOCK_UN);
    locked_ = false;
  }
}

uint64_t HiveStore::Counter() const {
  return counter_ != nullptr ? *counter_ : 0;
}

bool HiveStore::MayHaveChanged() const {
  return counter_ == nullptr || *counter_ != seenCounter_;
}

void HiveStore::RaiseCounter() {
  uint64_t next = Counter() + 1;
  // Written through the file, not the (read-only) mapping: a failed write
  // is an error here instead of a signal.
  WriteAllAt(lockFd_, std::string_view(reinterpret_cast<const char*>(&next), sizeof next), 0);
  seenCounter_ = Counter();
}

bool HiveStore::Load(KeyNode& root, std::string* error) {
  seenCounter_ = Counter();
  bool missing = false;
  snapshotStamp_ = StampOf(snapshotPath_);
  generation_ = 0;
  {
    MappedFile snapshot;
    if (!snapshot.Open(snapshotPath_, MaxRegFileSize, error, &missing) && !missing) {
      return false;
    }
    if (!missing) {
      journal::ReadGeneration(snapshot.bytes(), &generation_);
      TreeChange load(TreeChange::Options{});
      if (!ReadRegText(snapshot.bytes(), root, load, error)) {
        *error = snapshotPath_ + ": " + *error;
        return false;
      }
    }
  }
  if (journalFd_ >= 0) {
    ::close(journalFd_);
    journalFd_ = -1;
  }
  journalStale_ = true;
  journalEnd_ = 0;
  if (!OpenJournal(error)) {
    return false;
  }
  TreeChange replay(TreeChange::Options{});
  return ApplyJournal(root, replay, error);
}

// Opens the journal of this generation, if there is one; a journal of
// another generation (or without a whole header) is stale.
bool HiveStore::OpenJournal(std::string* error) {
  int fd = ::open(journalPath_.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
    fd = ::open(journalPath_.c_str(), O_RDONLY | O_CLOEXEC);
  }
  if (fd < 0) {
    if (errno == ENOENT) {
      return true;
    }
    *error = SystemError("cannot open", journalPath_);
    return false;
  }
  struct stat info {};
  std::string head;
  uint64_t generation = 0;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    *error = "'" + journalPath_ + "' is not a regular file";
    ::close(fd);
    return false;
  }
  ReadAllAt(fd, 0, std::min<size_t>(static_cast<size_t>(info.st_size), 512), &head);
  size_t headerLength = journal::HeaderLength(head);
  if (headerLength == 0 || !journal::ReadGeneration(head, &generation) ||
      generation != generation_) {
    ::close(fd);  // stale: the snapshot already holds what it says
    return true;
  }
  journalFd_ = fd;
  journalInode_ = info.st_ino;
  journalStale_ = false;
  journalEnd_ = headerLength;
  return true;
}

bool HiveStore::ApplyJournal(KeyNode& root, TreeChange& change, std::string* error) {
  if (journalStale_) {
    return true;
  }
  struct stat info {};
  if (::fstat(journalFd_, &info) != 0) {
    *error = SystemError("cannot examine", journalPath_);
    return false;
  }
  size_t size = static_cast<size_t>(info.st_size);
  if (size > MaxRegFileSize) {
    *error =
        "'" + journalPath_ + "' is larger than " + std::to_string(MaxRegFileSize >> 20) + " MiB";
    return false;
  }
  if (size <= journalEnd_) {
    return true;
  }
  std::string text;
  if (!ReadAllAt(journalFd_, journalEnd_, size - journalEnd_, &text)) {
    *error = SystemError("cannot read", journalPath_);
    return false;
  }
  journal::Scan scan = journal::ScanRecords(
      text, journalEnd_, [&](std::string_view body, size_t offset, std::string* why) {
        if (ReadRegLines(body, root, change, why)) {
          return true;
        }
        *why = "the record at byte " + std::to_string(offset) + ": " + *why;
        return false;
      });
  journalEnd_ += scan.end;
  if (scan.damaged) {
    *error = journalPath_ + ": " + scan.error;
    return false;
  }
  return true;
}

bool HiveStore::ReadSnapshotGeneration(uint64_t* generation) {
  int fd = ::open(snapshotPath_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    return false;
  }
  std::string head;
  bool ok = ReadAllAt(fd, 0, 512, &head) && journal::ReadGeneration(head, generation);
  ::close(fd);
  return ok;
}

HiveStore::CatchUp HiveStore::CatchUpWith(KeyNode& root, TreeChange& change, std::string* error) {
  uint64_t counter = Counter();
  FileStamp snapshot = StampOf(snapshotPath_);
  if (snapshot != snapshotStamp_) {
    // A fold by another process gives the next generation, whose snapshot
    // is this one plus the whole old journal: finish the old journal and go
    // on with the new one instead of reading everything again.
    uint64_t generation = 0;
    if (journalStale_ || !ReadSnapshotGeneration(&generation) || generation != generation_ + 1) {
      return CatchUp::NeedsReload;
    }
    if (!ApplyJournal(root, change, error)) {
      return CatchUp::Failed;
    }
    ::close(journalFd_);
    journalFd_ = -1;
    journalStale_ = true;
    generation_ = generation;
    snapshotStamp_ = snapshot;
    if (!OpenJournal(error)) {
      return CatchUp::Failed;
    }
  } else if (journalStale_ || StampOf(journalPath_).inode != journalInode_) {
    // A journal came (or came back) for this generation.
    if (!journalStale_) {
      return CatchUp::NeedsReload;
    }
    if (!OpenJournal(error)) {
      return CatchUp::Failed;
    }
  }
  if (!ApplyJournal(root, change, error)) {
    return CatchUp::Failed;
  }
  seenCounter_ = counter;
  return CatchUp::Done;
}

bool HiveStore::FoldDue() const {
  size_t snapshotSize = static_cast<size_t>(snapshotStamp_.size);
  return journalEnd_ > std::max(FoldMinimum, snapshotSize / 2) && journalEnd_ >= nextFoldAttempt_;
}

bool HiveStore::Writable(std::string* error) const {
  if (IsReadOnlyFile(snapshotPath_) || IsReadOnlyFile(journalPath_)) {
    *error = "'" + snapshotPath_ + "' is read-only: the registry cannot be changed";
    return false;
  }
  return true;
}

bool HiveStore::Store(std::string_view record, const KeyNode& root, std::string* error,
                      const WriteFault& fault) {
  if (!Writable(error)) {
    return false;
  }
  std::string framed = journal::FrameRecord(record);
  if (!snapshotStamp_.exists || journalEnd_ + framed.size() > MaxRegFileSize) {
    // No snapshot yet (a new device), or a journal that cannot grow:
    // the change goes into a new snapshot instead.
    return Fold(root, error, fault);
  }
  if (journalStale_) {
    // A fresh journal for this generation, whole or not at all.
    if (!WriteHostFileAtomically(journalPath_, journal::JournalHeader(generation_), error, fault) ||
        !OpenJournal(error)) {
      return false;
    }
    if (journalStale_) {
      *error = "cannot start '" + journalPath_ + "'";
      return false;
    }
  }
  struct stat info {};
  if (::fstat(journalFd_, &info) == 0 && static_cast<size_t>(info.st_size) > journalEnd_) {
    // The tail of a writer that was killed mid-record.
    if (::ftruncate(journalFd_, static_cast<off_t>(journalEnd_)) != 0) {
      *error = SystemError("cannot cut off the torn end of", journalPath_);
      return false;
    }
  }
  bool ok;
  if (fault && !fault("append")) {
    // A simulated failure part-way: half of the record reaches the disk.
    WriteAllAt(journalFd_, std::string_view(framed).substr(0, framed.size() / 2), journalEnd_);
    errno = ENOSPC;
    ok = false;
  } else {
    ok = WriteAllAt(journalFd_, framed, journalEnd_);
  }
  if (ok && ((fault && !fault("sync")) || ::fdatasync(journalFd_) != 0)) {
    errno = errno == 0 ? EIO : errno;
    ok = false;
  }
  if (!ok) {
    *error = SystemError("cannot write", journalPath_);
    int saved = errno;
    if (::ftruncate(journalFd_, static_cast<off_t>(journalEnd_)) == 0) {
      ::fdatasync(journalFd_);
    }
    errno = saved;
    return false;
  }
  journalEnd_ += framed.size();
  RaiseCounter();
  if (FoldDue()) {
    std::string ignored;
    if (!Fold(root, &ignored, fault)) {
      // The change is stored in the journal; try again when it has grown.
      nextFoldAttempt_ = journalEnd_ + std::max(FoldMinimum, journalEnd_ / 4);
    }
  }
  return true;
}

bool HiveStore::Fold(const KeyNode& root, std::string* error, const WriteFault& fault) {
  if (!Writable(error)) {
    return false;
  }
  uint64_t next = generation_ + 1;
  std::string text = FormatRegText(root, journal::SnapshotComment(next));
  if (text.size() > MaxRegFileSize) {
    *error = "the registry would be larger than " + std::to_string(MaxRegFileSize >> 20) + " MiB";
    return false;
  }
  if (!WriteHostFileAtomically(snapshotPath_, text, error, fault)) {
    return false;
  }
  // The snapshot holds everything now; the old journal is stale from here.
  generation_ = next;
  snapshotStamp_ = StampOf(snapshotPath_);
  if (journalFd_ >= 0) {
    ::close(journalFd_);
    journalFd_ = -1;
  }
  journalStale_ = true;
  journalEnd_ = 0;
  nextFoldAttempt_ = 0;
  std::string ignored;
  if (WriteHostFileAtomically(journalPath_, journal::JournalHeader(next), &ignored, fault)) {
    OpenJournal(&ignored);
  }
  RaiseCounter();
  return true;
}

}  // namespace velmora
