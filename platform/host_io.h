// Small helpers over the host's file system for the stand-ins that keep
// their state in the device folder (the hive, the device manager's
// counters): whole-file reads, atomic replacement, advisory locks.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>

namespace velmora {

// Reads a whole file. A missing file gives false with *missing set.
bool ReadHostFile(const std::string& path, std::string* bytes, std::string* error,
                  bool* missing = nullptr);

// Reads what is left of an open file, sized by the file when it is a
// regular one; stops after maxSize + 1 bytes (so that a caller can tell a
// file that is too large). False on a read error.
bool ReadDescriptor(int fd, size_t maxSize, std::string* bytes);

// Reads a whole regular file of at most maxSize bytes. Anything else - a
// FIFO, a device such as /dev/zero, a folder, a larger file - is refused
// at once with a clear *error, without blocking or reading it.
bool ReadRegularFile(const std::string& path, size_t maxSize, std::string* bytes,
                     std::string* error, bool* missing = nullptr);

// A whole regular file of at most maxSize bytes mapped read-only, its pages
// read in at once: a large registry file is parsed where it lies, without
// a copy on the heap. The same refusals and errors as ReadRegularFile.
class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  bool Open(const std::string& path, size_t maxSize, std::string* error, bool* missing = nullptr);
  std::string_view bytes() const { return {static_cast<const char*>(data_), size_}; }

 private:
  void* data_ = nullptr;
  size_t size_ = 0;
};

// Called at each stage of an atomic write ("write", "sync", "rename");
// returning false makes that stage fail. Tests use it to cut a save short.
using WriteFault = std::function<bool(std::string_view stage)>;

// Replaces path with bytes so that a crash leaves either the old or the new
// content: write a temporary file "<path>.tmp.<pid>" beside it, flush it,
// rename it over path, flush the folder. On failure the temporary file is
// removed, path is untouched and *error says what failed, naming path (the
// temporary file means nothing to the user). Temporary files
// of path that writers killed half-way left behind are removed first.
bool WriteHostFileAtomically(const std::string& path, std::string_view bytes, std::string* error,
                             const WriteFault& fault = nullptr);

// Removes the temporary files "<path>.tmp.<pid>" whose writer process is
// gone (killed during a write); those of running processes stay.
void RemoveStaleTemporaries(const std::string& path);

// Whether path exists and nobody may write it (no write permission bits):
// a file the user made read-only, which the stand-ins never replace.
bool IsReadOnlyFile(const std::string& path);

// Identity of a file's current content, to notice that another process
// replaced it (an atomic write always gives a new inode).
struct FileStamp {
  bool exists = false;
  ino_t inode = 0;
  off_t size = 0;
  long long modifiedNs = 0;
  bool operator==(const FileStamp&) const = default;
};
FileStamp StampOf(const std::string& path);

// An advisory lock on a lock file, held for the object's life. The lock
// goes with the process, so a crashed holder never blocks anyone.
class FileLock {
 public:
  enum class Mode { Shared, Exclusive };
  FileLock(const std::string& lockPath, Mode mode);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace velmora
