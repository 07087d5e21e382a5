#include "platform/files/replace_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/files/file_limits.h"
#include "platform/unique_fd.h"

namespace velmora {

namespace {

constexpr std::string_view TemporaryPrefix = ".~velmora.";

// Removes the temporary files ".~velmora.<pid>.<n>.tmp" of an open folder
// whose writer is gone (killed half-way through a write).
void RemoveStaleTemporariesIn(int folderFd) {
  int listed = ::dup(folderFd);
  DIR* dir = listed >= 0 ? ::fdopendir(listed) : nullptr;
  if (dir == nullptr) {
    if (listed >= 0) {
      ::close(listed);
    }
    return;
  }
  ::rewinddir(dir);
  while (dirent* entry = ::readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name.substr(0, TemporaryPrefix.size()) != TemporaryPrefix) {
      continue;
    }
    pid_t writer =
        static_cast<pid_t>(std::strtol(entry->d_name + TemporaryPrefix.size(), nullptr, 10));
    if (writer > 0 && writer != ::getpid() && ::kill(writer, 0) != 0 && errno == ESRCH) {
      ::unlinkat(folderFd, entry->d_name, 0);
    }
  }
  ::closedir(dir);
}

}  // namespace

bool WriteAll(int fd, const char* data, size_t size) {
  for (size_t done = 0; done < size;) {
    ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool ReplaceFileIn(int folderFd, const std::string& name, const std::function<bool(int)>& fill) {
  RemoveStaleTemporariesIn(folderFd);
  static std::atomic<unsigned> counter{0};
  std::string temporary;
  UniqueFd file;
  for (int attempt = 0; attempt < 3 && !file.valid(); ++attempt) {
    temporary = std::string(TemporaryPrefix) + std::to_string(::getpid()) + "." +
                std::to_string(counter++) + ".tmp";
    file.Reset(::openat(folderFd, temporary.c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!file.valid() && errno != EEXIST) {
      return false;
    }
  }
  if (!file.valid()) {
    return false;
  }
  bool written = fill(file.get()) && ::fsync(file.get()) == 0;
  file.Reset();
  if (!written || ::renameat(folderFd, temporary.c_str(), folderFd, name.c_str()) != 0) {
    ::unlinkat(folderFd, temporary.c_str(), 0);
    return false;
  }
  ::fsync(folderFd);
  return true;
}

bool CopyStream(int source, int target) {
  std::vector<char> buffer(CopyBufferSize);
  uint64_t copied = 0;
  while (true) {
    ssize_t n = ::read(source, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      return false;
    }
    if (n == 0) {
      return true;
    }
    copied += static_cast<uint64_t>(n);
    if (copied > MaxDeviceFileSize || !WriteAll(target, buffer.data(), static_cast<size_t>(n))) {
      return false;
    }
  }
}

}  // namespace velmora
