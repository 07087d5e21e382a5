#include "platform/registry/registry_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

namespace velmora {

namespace {

// Written (each pwrite or append), closed after writing, made, or renamed
// into the folder: every way a store's file can come to hold new data.
constexpr uint32_t ChangeEvents = IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_CREATE | IN_MOVED_TO;

bool IsStoreFile(const inotify_event& event) {
  if (event.len == 0) {
    return false;  // the folder itself
  }
  std::string_view name(event.name, ::strnlen(event.name, event.len));
  return name.starts_with(RegistryWatch::StorePrefix);
}

}  // namespace

bool RegistryWatch::Open(const std::string& deviceFolder, std::string* error) {
  UniqueFd fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  if (!fd) {
    *error = std::string("cannot watch for registry changes: ") + std::strerror(errno);
    return false;
  }
  if (::inotify_add_watch(fd.get(), deviceFolder.c_str(), ChangeEvents | IN_ONLYDIR) < 0) {
    *error = "cannot watch " + deviceFolder + " for registry changes: " + std::strerror(errno);
    return false;
  }
  fd_ = std::move(fd);
  return true;
}

bool RegistryWatch::Drain() {
  if (!fd_) {
    return false;
  }
  bool changed = false;
  alignas(inotify_event) char buffer[8192];
  for (;;) {
    ssize_t count = ::read(fd_.get(), buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count <= 0) {
      return changed;
    }
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= count;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      // A lost event may have been ours: look again to be sure.
      changed = changed || (event->mask & IN_Q_OVERFLOW) != 0 || IsStoreFile(*event);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
}

}  // namespace velmora
