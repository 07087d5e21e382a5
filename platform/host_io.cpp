#include "platform/host_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace velmora {

namespace {

std::string Describe(const std::string& what, const std::string& path) {
  return what + " '" + path + "': " + std::strerror(errno);
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

std::string TooLarge(const std::string& path, size_t maxSize) {
  return "'" + path + "' is larger than " + std::to_string(maxSize >> 20) + " MiB";
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Opens a regular file of at most maxSize bytes for reading; anything else
// is refused at once (O_NONBLOCK: opening a FIFO must not wait for a
// writer). -1 and *error on failure; *size is the file's size.
int OpenRegularFile(const std::string& path, size_t maxSize, std::string* error, bool* missing,
                    size_t* size) {
  if (missing != nullptr) {
    *missing = false;
  }
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    if (missing != nullptr) {
      *missing = errno == ENOENT;
    }
    *error = Describe("cannot open", path);
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    *error = Describe("cannot examine", path);
  } else if (!S_ISREG(info.st_mode)) {
    *error = "'" + path + "' is not a regular file";
  } else if (static_cast<uint64_t>(info.st_size) > maxSize) {
    *error = TooLarge(path, maxSize);
  } else {
    *size = static_cast<size_t>(info.st_size);
    return fd;
  }
  ::close(fd);
  return -1;
}

}  // namespace

bool ReadDescriptor(int fd, size_t maxSize, std::string* bytes) {
  struct stat info {};
  size_t expected =
      ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? static_cast<size_t>(info.st_size) : 0;
  // Read straight into the string, sized by the file: one pass, no copies.
  bytes->resize(std::min(expected, maxSize) + 1);
  size_t done = 0;
  while (true) {
    if (done == bytes->size()) {
      if (done > maxSize) {
        break;
      }
      bytes->resize(std::min(std::max<size_t>(done * 2, 65536), maxSize + 1));
    }
    ssize_t n = ::read(fd, bytes->data() + done, bytes->size() - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      bytes->clear();
      return false;
    }
    if (n == 0) {
      break;
    }
    done += static_cast<size_t>(n);
  }
  bytes->resize(done);
  return true;
}

bool ReadHostFile(const std::string& path, std::string* bytes, std::string* error, bool* missing) {
  if (missing != nullptr) {
    *missing = false;
  }
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (missing != nullptr) {
      *missing = errno == ENOENT;
    }
    *error = Describe("cannot open", path);
    return false;
  }
  bool ok = ReadDescriptor(fd, std::numeric_limits<size_t>::max() - 1, bytes);
  if (!ok) {
    *error = Describe("cannot read", path);
  }
  ::close(fd);
  return ok;
}

bool ReadRegularFile(const std::string& path, size_t maxSize, std::string* bytes,
                     std::string* error, bool* missing) {
  size_t size = 0;
  int fd = OpenRegularFile(path, maxSize, error, missing, &size);
  if (fd < 0) {
    return false;
  }
  bool ok = false;
  if (!ReadDescriptor(fd, maxSize, bytes)) {
    *error = Describe("cannot read", path);
  } else if (bytes->size() > maxSize) {  // it grew while read
    bytes->clear();
    *error = TooLarge(path, maxSize);
  } else {
    ok = true;
  }
  ::close(fd);
  return ok;
}

MappedFile::~MappedFile() {
  if (data_ != nullptr) {
    ::munmap(data_, size_);
  }
}

bool MappedFile::Open(const std::string& path, size_t maxSize, std::string* error, bool* missing) {
  size_t size = 0;
  int fd = OpenRegularFile(path, maxSize, error, missing, &size);
  if (fd < 0) {
    return false;
  }
  bool ok = true;
  if (size != 0) {  // an empty file has nothing to map
    void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (data == MAP_FAILED) {
      *error = Describe("cannot map", path);
      ok = false;
    } else {
      data_ = data;
      size_ = size;
    }
  }
  ::close(fd);
  return ok;
}

void RemoveStaleTemporaries(const std::string& path) {
  std::string folder = FolderOf(path);
  std::string prefix = path.substr(path.rfind('/') + 1) + ".tmp.";
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    return;
  }
  while (dirent* entry = ::readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name.substr(0, prefix.size()) != prefix) {
      continue;
    }
    std::string_view digits = name.substr(prefix.size());
    if (digits.empty() || digits.size() > 9 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos) {
      continue;
    }
    pid_t writer = static_cast<pid_t>(std::strtol(std::string(digits).c_str(), nullptr, 10));
    if (writer == ::getpid() || (::kill(writer, 0) != 0 && errno == ESRCH)) {
      ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
  }
  ::closedir(dir);
}

bool IsReadOnlyFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && (info.st_mode & 0222) == 0;
}

bool WriteHostFileAtomically(const std::string& path, std::string_view bytes, std::string* error,
                             const WriteFault& fault) {
  auto stage = [&](std::string_view name) { return !fault || fault(name); };
  RemoveStaleTemporaries(path);
  std::string temp = path + ".tmp." + std::to_string(::getpid());
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = Describe("cannot write", path);
    return false;
  }
  bool ok = true;
  if (!stage("write")) {
    // A simulated failure part-way: half of the data reaches the disk.
    WriteAll(fd, bytes.substr(0, bytes.size() / 2));
    errno = EIO;
    ok = false;
  } else {
    ok = WriteAll(fd, bytes);
  }
  if (!ok) {
    *error = Describe("cannot write", path);
  } else if (!stage("sync") || ::fsync(fd) != 0) {
    errno = errno == 0 ? EIO : errno;
    *error = Describe("cannot flush", path);
    ok = false;
  }
  ::close(fd);
  if (ok && (!stage("rename") || ::rename(temp.c_str(), path.c_str()) != 0)) {
    *error = Describe("cannot replace", path);
    ok = false;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

FileStamp StampOf(const std::string& path) {
  struct stat info {};
  FileStamp stamp;
  if (::stat(path.c_str(), &info) != 0) {
    return stamp;
  }
  stamp.exists = true;
  stamp.inode = info.st_ino;
  stamp.size = info.st_size;
  stamp.modifiedNs =
      static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
  return stamp;
}

FileLock::FileLock(const std::string& lockPath, Mode mode) {
  fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    return;
  }
  int operation = mode == Mode::Shared ? LOCK_SH : LOCK_EX;
  while (::flock(fd_, operation) != 0) {
    if (errno != EINTR) {
      ::close(fd_);
      fd_ = -1;
      return;
    }
  }
}

FileLock::~FileLock() {
  if (fd_ >= 0) {
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
  }
}

}  // namespace velmora
