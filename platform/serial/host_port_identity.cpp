#include "platform/serial/host_port_identity.h"

#include <dirent.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace velmora {

namespace {

// Linux gives the slaves of Unix 98 pseudo-terminals the majors 136 to 143.
constexpr unsigned FirstPtyMajor = 136;
constexpr unsigned LastPtyMajor = 143;

std::string DeviceName(dev_t device) {
  return std::to_string(major(device)) + ":" + std::to_string(minor(device));
}

// A process's controlling terminal as /proc/PID/stat gives it (tty_nr).
unsigned EncodedTerminal(dev_t device) {
  unsigned minorNumber = minor(device);
  return (minorNumber & 0xffu) | (major(device) << 8) | ((minorNumber & ~0xffu) << 12);
}

// The session whose controlling terminal device is, -1 when none. A
// terminal is asked only for the session of the asker's own controlling
// terminal, so the processes are looked through: a session leader that
// holds it as its controlling terminal.
pid_t ControllingSession(dev_t device) {
  std::unique_ptr<DIR, int (*)(DIR*)> processes(::opendir("/proc"), ::closedir);
  if (!processes) {
    return -1;
  }
  unsigned wanted = EncodedTerminal(device);
  while (dirent* entry = ::readdir(processes.get())) {
    if (entry->d_name[0] < '1' || entry->d_name[0] > '9') {
      continue;
    }
    std::string path = std::string("/proc/") + entry->d_name + "/stat";
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "re"), std::fclose);
    char line[1024] = {};
    if (!file || std::fgets(line, sizeof line, file.get()) == nullptr) {
      continue;  // gone meanwhile
    }
    // The name in parentheses may hold anything; the fields follow the last ')'.
    const char* rest = std::strrchr(line, ')');
    char state = 0;
    int parent = 0;
    int group = 0;
    int session = 0;
    int terminal = 0;
    if (rest != nullptr &&
        std::sscanf(rest + 1, " %c %d %d %d %d", &state, &parent, &group, &session, &terminal) ==
            5 &&
        terminal != 0 && static_cast<unsigned>(terminal) == wanted) {
      return session;
    }
  }
  return -1;
}

}  // namespace

bool IsPseudoTerminal(dev_t device) {
  return major(device) >= FirstPtyMajor && major(device) <= LastPtyMajor;
}

std::string HostPortIdentity::Refusal(const std::string& path, int fd) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) {
    return std::string("cannot be examined (") + std::strerror(errno) + ")";
  }
  if (!S_ISCHR(status.st_mode)) {
    return "is no character device";
  }
  struct stat named {};
  bool direct = ::lstat(path.c_str(), &named) == 0 && !S_ISLNK(named.st_mode);
  dev_t device = status.st_rdev;
  // A link made anew (a program such as socat that makes a new terminal
  // and points its link there) may lead to a reused number; the link that
  // led to the lost terminal may not.
  bool sameLink = !direct && known_ && named.st_dev == linkDevice_ && named.st_ino == linkInode_ &&
                  named.st_mtim.tv_sec == linkTime_.tv_sec &&
                  named.st_mtim.tv_nsec == linkTime_.tv_nsec;
  if ((direct || sameLink) && std::find(lost_.begin(), lost_.end(), device) != lost_.end()) {
    gone_ = direct;
    return "is pseudo-terminal " + DeviceName(device) +
           " again, whose terminal went away; its number now belongs to another terminal";
  }
  if (known_ && direct_ && direct && device != first_) {
    return "now names device " + DeviceName(device) + ", not device " + DeviceName(first_) +
           " that it named when first opened";
  }
  pid_t session = 0;
  if (::ioctl(fd, TIOCGSID, &session) == 0 || (session = ControllingSession(device)) > 0) {
    return "is the controlling terminal of session " + std::to_string(session);
  }
  if (!known_) {
    known_ = true;
    direct_ = direct;
    first_ = device;
  }
  current_ = device;
  linkDevice_ = named.st_dev;
  linkInode_ = named.st_ino;
  linkTime_ = named.st_mtim;
  return {};
}

void HostPortIdentity::Lost() {
  if (!known_ || !IsPseudoTerminal(current_)) {
    return;
  }
  if (lost_.size() == MaxLost) {
    lost_.erase(lost_.begin());
  }
  lost_.push_back(current_);
  // A path that names this terminal itself cannot lead anywhere else.
  gone_ = direct_ && current_ == first_;
}

}  // namespace velmora
