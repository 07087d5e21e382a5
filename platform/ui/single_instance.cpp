#include "platform/ui/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <thread>

#include "platform/files.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace velmora::ui {

namespace {

std::atomic<bool> frontRequested{false};

void OnFrontRequest(int) {
  frontRequested = true;
}

std::string OwnPathUtf8() {
  char16_t path[4096] = {};
  OwnModulePath(path, 4096);
  return ToUtf8(path);
}

std::string LockFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  return (runtime != nullptr && *runtime != 0) ? runtime : "/tmp";
}

// The lock's name, made from the executable path (with "\" as "/") and the
// device folder, folded into a file name.
std::string LockName(std::string exePath, const std::string& deviceFolder) {
  for (char& c : exePath) {
    if (c == '\\') {
      c = '/';
    }
  }
  uint64_t hash = 1469598103934665603ULL;
  for (char c : exePath + '\n' + deviceFolder) {
    hash = (hash ^ static_cast<uint8_t>(c)) * 1099511628211ULL;
  }
  char name[64];
  std::snprintf(name, sizeof name, "velmora-%016llx.lock", static_cast<unsigned long long>(hash));
  return name;
}

std::string ExeOf(pid_t pid) {
  char path[4096];
  std::string link = "/proc/" + std::to_string(pid) + "/exe";
  ssize_t n = ::readlink(link.c_str(), path, sizeof path - 1);
  return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

}  // namespace

SingleInstance::SingleInstance(const std::string& deviceFolder) {
  lockPath_ = LockFolder() + "/" + LockName(OwnPathUtf8(), deviceFolder);
  fd_ = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) {
    first_ = true;  // no lock to be had: nothing to meet either
    return;
  }
  if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
    first_ = true;
    std::signal(SIGUSR1, OnFrontRequest);
    std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd_, 0) == 0) {
      ::pwrite(fd_, pid.data(), pid.size(), 0);
    }
  }
}

SingleInstance::~SingleInstance() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

bool SingleInstance::BringRunningInstanceToFront(int attempts, std::chrono::milliseconds pause,
                                                 const Wait& wait) {
  std::u16string ownExe = FromUtf8(OwnPathUtf8());
  for (int attempt = 0; attempt < attempts; ++attempt) {
    char buffer[32] = {};
    ssize_t n = fd_ >= 0 ? ::pread(fd_, buffer, sizeof buffer - 1, 0) : -1;
    pid_t pid = n > 0 ? static_cast<pid_t>(std::atol(buffer)) : 0;
    if (pid > 0 && pid != ::getpid() && EqualsIgnoringCase(FromUtf8(ExeOf(pid)), ownExe) &&
        ::kill(pid, SIGUSR1) == 0) {
      return true;
    }
    if (wait) {
      wait(pause);
    } else {
      std::this_thread::sleep_for(pause);
    }
  }
  return false;
}

bool TakeBringToFrontRequest() {
  return frontRequested.exchange(false);
}

}  // namespace velmora::ui
