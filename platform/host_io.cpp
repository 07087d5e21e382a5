#include "platform/host_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

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

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

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
  bytes->clear();
  char buffer[65536];
  while (true) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      *error = Describe("cannot read", path);
      ::close(fd);
      return false;
    }
    if (n == 0) {
      break;
    }
    bytes->append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}

bool ReadRegularFile(const std::string& path, size_t maxSize, std::string* bytes,
                     std::string* error, bool* missing) {
  if (missing != nullptr) {
    *missing = false;
  }
  // O_NONBLOCK: opening a FIFO must not wait for a writer.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    if (missing != nullptr) {
      *missing = errno == ENOENT;
    }
    *error = Describe("cannot open", path);
    return false;
  }
  struct stat info {};
  bool ok = false;
  if (::fstat(fd, &info) != 0) {
    *error = Describe("cannot examine", path);
  } else if (!S_ISREG(info.st_mode)) {
    *error = "'" + path + "' is not a regular file";
  } else if (static_cast<uint64_t>(info.st_size) > maxSize) {
    *error = "'" + path + "' is larger than " + std::to_string(maxSize >> 20) + " MiB";
  } else {
    ok = true;
  }
  ::close(fd);
  if (!ok) {
    return false;
  }
  // Read by name again with the size bound in force: the file may grow.
  if (!ReadHostFile(path, bytes, error)) {
    return false;
  }
  if (bytes->size() > maxSize) {
    bytes->clear();
    *error = "'" + path + "' is larger than " + std::to_string(maxSize >> 20) + " MiB";
    return false;
  }
  return true;
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
    *error = Describe("cannot create", temp);
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
    *error = Describe("cannot write", temp);
  } else if (!stage("sync") || ::fsync(fd) != 0) {
    errno = errno == 0 ? EIO : errno;
    *error = Describe("cannot flush", temp);
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
