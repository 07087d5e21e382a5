#include "platform/serial/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace velmora {

namespace {

long PidIn(int fd) {
  char text[32] = {};
  ssize_t length = ::pread(fd, text, sizeof text - 1, 0);
  return length > 0 ? std::strtol(text, nullptr, 10) : 0;
}

bool SameFile(int fd, const std::string& path) {
  struct stat open {};
  struct stat named {};
  return ::fstat(fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 &&
         open.st_ino == named.st_ino && open.st_dev == named.st_dev;
}

}  // namespace

RunLock::~RunLock() {
  if (fd_) {
    ::unlink(lockPath_.c_str());
    fd_.Reset();
    ::rmdir(devFolder_.c_str());
  }
}

bool RunLock::Acquire(const std::string& deviceFolder, std::string* error) {
  devFolder_ = DevFolder(deviceFolder);
  lockPath_ = devFolder_ + "/.lock";
  if (::mkdir(devFolder_.c_str(), 0755) != 0 && errno != EEXIST) {
    *error = "cannot make " + devFolder_ + ": " + std::strerror(errno);
    return false;
  }
  // A run that ends removes the file; a lock taken on a file removed
  // meanwhile is no lock, so take it again on the new one.
  for (int attempt = 0; attempt < 10; ++attempt) {
    UniqueFd fd(::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644));
    if (!fd) {
      *error = "cannot open " + lockPath_ + ": " + std::strerror(errno);
      return false;
    }
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
      *error = errno == EWOULDBLOCK
                   ? "the device in " + deviceFolder + " is switched on already (process " +
                         std::to_string(PidIn(fd.get())) + ")"
                   : "cannot lock " + lockPath_ + ": " + std::strerror(errno);
      return false;
    }
    if (!SameFile(fd.get(), lockPath_)) {
      continue;
    }
    std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd.get(), 0) != 0 ||
        ::pwrite(fd.get(), pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
      *error = "cannot write " + lockPath_ + ": " + std::strerror(errno);
      return false;
    }
    fd_ = std::move(fd);
    return true;
  }
  *error = "cannot lock " + lockPath_ + ": it keeps being replaced";
  return false;
}

bool RunLock::Held(const std::string& deviceFolder, long* pid) {
  UniqueFd fd(::open((DevFolder(deviceFolder) + "/.lock").c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd || ::flock(fd.get(), LOCK_SH | LOCK_NB) == 0 || errno != EWOULDBLOCK) {
    return false;
  }
  *pid = PidIn(fd.get());
  return true;
}

}  // namespace velmora
