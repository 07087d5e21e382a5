#include "platform/files/open_beneath.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <deque>
#include <string>
#include <vector>

namespace velmora {

namespace {

std::atomic<BeneathResolver> resolverInForce{BeneathResolver::Auto};
std::atomic<bool> kernelLacksOpenat2{false};

// The kernel's way: one openat2 call. False in *unavailable when the kernel
// (or a sandbox in front of it) does not offer openat2.
UniqueFd KernelBeneath(int rootFd, std::string_view relative, int flags, bool* unavailable) {
  std::string path = relative.empty() ? "." : std::string(relative);
  open_how how{};
  how.flags = static_cast<uint64_t>(flags | O_CLOEXEC);
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
  *unavailable = false;
  // EAGAIN: a rename elsewhere meant the kernel could not be sure that a
  // ".." stayed inside; it asks for another try.
  for (int attempt = 0; attempt <= MaxLinksFollowed; ++attempt) {
    long fd = ::syscall(SYS_openat2, rootFd, path.c_str(), &how, sizeof how);
    if (fd >= 0) {
      return UniqueFd(static_cast<int>(fd));
    }
    if (errno == ENOSYS || errno == EPERM) {
      *unavailable = true;
      return UniqueFd();
    }
    if (errno != EAGAIN) {
      return UniqueFd();
    }
  }
  return UniqueFd();
}

void PrependComponents(std::string_view path, std::deque<std::string>* pending) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string_view::npos) {
      slash = path.size();
    }
    parts.emplace_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  pending->insert(pending->begin(), parts.begin(), parts.end());
}

// The target of the link that dirFd/name (or, with name "", dirFd itself)
// is; false when it is none any more or leads to an absolute path.
bool LinkTarget(int dirFd, const char* name, std::string* target) {
  char buffer[PATH_MAX];
  ssize_t n = ::readlinkat(dirFd, name, buffer, sizeof buffer);
  if (n <= 0 || static_cast<size_t>(n) >= sizeof buffer) {
    errno = n < 0 ? errno : ENAMETOOLONG;
    return false;
  }
  if (buffer[0] == '/') {
    errno = EXDEV;
    return false;
  }
  target->assign(buffer, static_cast<size_t>(n));
  return true;
}

// The walk: every component opened on its own with O_NOFOLLOW below the
// folder reached so far; a link is read and its target's components take
// its place, ".." goes back one folder and never above the root.
UniqueFd WalkBeneath(int rootFd, std::string_view relative, int flags) {
  std::vector<UniqueFd> folders;
  folders.emplace_back(::fcntl(rootFd, F_DUPFD_CLOEXEC, 0));
  if (!folders.back().valid()) {
    return UniqueFd();
  }
  std::deque<std::string> pending;
  if (!relative.empty()) {
    PrependComponents(relative, &pending);
  }
  const bool followLast = (flags & O_NOFOLLOW) == 0;
  int links = 0;
  auto followed = [&]() {
    if (++links > MaxLinksFollowed) {
      errno = ELOOP;
      return false;
    }
    return true;
  };
  while (!pending.empty()) {
    std::string name = std::move(pending.front());
    pending.pop_front();
    if (name == "..") {
      if (folders.size() == 1) {
        errno = EXDEV;
        return UniqueFd();
      }
      folders.pop_back();
      name = ".";
    }
    if (name.empty()) {
      name = ".";
    }
    const int folder = folders.back().get();
    if (!pending.empty()) {
      if (name == ".") {
        continue;
      }
      UniqueFd entry(::openat(folder, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
      struct stat info {};
      if (!entry.valid() || ::fstat(entry.get(), &info) != 0) {
        return UniqueFd();
      }
      if (S_ISLNK(info.st_mode)) {
        std::string target;
        if (!followed() || !LinkTarget(entry.get(), "", &target)) {
          return UniqueFd();
        }
        PrependComponents(target, &pending);
        continue;
      }
      if (!S_ISDIR(info.st_mode)) {
        errno = ENOTDIR;
        return UniqueFd();
      }
      folders.push_back(std::move(entry));
      continue;
    }
    // The last component: opened with the caller's flags, never through a
    // link; a link (also one swapped in meanwhile) is followed by hand.
    UniqueFd last(::openat(folder, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (last.valid()) {
      if ((flags & O_PATH) == 0 || !followLast || ::fstat(last.get(), &info) != 0 ||
          !S_ISLNK(info.st_mode)) {
        return last;
      }
    } else if (!followLast || (errno != ELOOP && errno != ENOTDIR) ||
               ::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
               !S_ISLNK(info.st_mode)) {
      return UniqueFd();
    }
    std::string target;
    if (!followed()) {
      return UniqueFd();
    }
    if (!LinkTarget(folder, name.c_str(), &target)) {
      if (errno != EINVAL) {
        return UniqueFd();
      }
      pending.push_front(name);  // no link any more: look at it again
      continue;
    }
    PrependComponents(target, &pending);
  }
  // A path that ends in a folder reached by "..", "." or a link to it.
  return UniqueFd(::openat(folders.back().get(), ".", flags | O_CLOEXEC));
}

}  // namespace

UniqueFd OpenBeneath(int rootFd, std::string_view relative, int flags) {
  if (resolverInForce.load() == BeneathResolver::Auto && !kernelLacksOpenat2.load()) {
    bool unavailable = false;
    UniqueFd fd = KernelBeneath(rootFd, relative, flags, &unavailable);
    if (!unavailable) {
      return fd;
    }
    kernelLacksOpenat2 = true;
  }
  return WalkBeneath(rootFd, relative, flags);
}

void SetBeneathResolver(BeneathResolver resolver) {
  resolverInForce = resolver;
}

}  // namespace velmora
