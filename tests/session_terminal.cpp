#include "tests/session_terminal.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velmora::testing {

SessionTerminal::SessionTerminal() {
  master_.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
  char name[128] = {};
  if (!master_ || ::grantpt(master_.get()) != 0 || ::unlockpt(master_.get()) != 0 ||
      ::ptsname_r(master_.get(), name, sizeof name) != 0) {
    return;
  }
  path_ = name;
  int ready[2];
  int release[2];
  if (::pipe2(ready, O_CLOEXEC) != 0) {
    return;
  }
  if (::pipe2(release, O_CLOEXEC) != 0) {
    ::close(ready[0]);
    ::close(ready[1]);
    return;
  }
  child_ = ::fork();
  if (child_ == 0) {
    // Only async-signal-safe calls: the test process has threads.
    // Nothing else of the test's stays open in the session (a terminal's
    // master held here would never hang up).
    for (int fd = 3; fd < 4096; ++fd) {
      if (fd != ready[1] && fd != release[0]) {
        ::close(fd);
      }
    }
    ::setsid();
    int terminal = ::open(name, O_RDWR);
    char byte = (terminal >= 0 && ::ioctl(terminal, TIOCSCTTY, 0) == 0) ? 1 : 0;
    ssize_t told = ::write(ready[1], &byte, 1);
    char none = 0;
    ssize_t got = ::read(release[0], &none, 1);  // until the parent closes its end
    ::_exit(told == 1 && got >= 0 ? 0 : 1);
  }
  ::close(ready[1]);
  ::close(release[0]);
  release_.Reset(release[1]);
  char byte = 0;
  ready_ = child_ > 0 && ::read(ready[0], &byte, 1) == 1 && byte == 1;
  ::close(ready[0]);
}

SessionTerminal::~SessionTerminal() {
  release_.Reset();
  if (child_ > 0) {
    int status = 0;
    ::waitpid(child_, &status, 0);
  }
}

}  // namespace velmora::testing
