// Makes sure that an endpoint outliving the running device leads nowhere.
//
// An endpoint is a link dev/COMn to the slave of a pseudo-terminal whose
// master the running device holds. When the running device is killed
// (kill -9, a crash) it cannot remove its links, and once the master is
// closed the kernel gives the terminal's number to the next program that
// opens a pseudo-terminal: a GPS program opening dev/COMn would then read
// and write a stranger's terminal.
//
// The guard is a small process of its own, forked when the device is
// switched on, in a process group of its own (a kill of the running
// device's group, Ctrl+C in its terminal, does not reach it) and ignoring
// the usual stop signals. The running device passes it a duplicate of
// every master it makes, with the link and the slave's name, over a
// socket pair (SCM_RIGHTS), and tells it when an endpoint goes away
// normally. The guard's copy keeps each terminal number taken. When the
// running device dies, however it dies, its end of the socket closes; the
// guard then first removes each link that still points at one of its
// terminals and only afterwards closes the masters, so a terminal number
// is never free while a link to it exists. Then it exits.
//
// Links to /proc/PID/fd/N would vanish with the process too, but they can
// be followed only by the same user, while an endpoint must serve any user
// its mode and group admit. The next run still clears every link left in
// dev/ when it starts (in case the guard was killed as well).
//
// The guard uses no memory of its own after the fork (a fixed table, plain
// system calls), so it may be forked from a process with threads.
#pragma once

#include <sys/types.h>

#include <string>

#include "platform/unique_fd.h"

namespace velmora {

class EndpointGuard {
 public:
  // Endpoints one guard holds at most: the device's COM ports (COM0 to
  // COM9) with the splitter's most endpoints each, with room to spare.
  static constexpr size_t MaxEndpoints = 256;
  // The longest link path and slave name it keeps.
  static constexpr size_t MaxPath = 1024;

  EndpointGuard() = default;
  // Closes the socket: the guard removes what is left and exits.
  ~EndpointGuard();
  EndpointGuard(const EndpointGuard&) = delete;
  EndpointGuard& operator=(const EndpointGuard&) = delete;

  // Forks the guard. False and *error when it cannot be started.
  bool Start(std::string* error);
  bool running() const { return static_cast<bool>(socket_); }
  // The running device's end of the socket: hangs up when the guard has gone.
  int fd() const { return socket_.get(); }
  pid_t pid() const { return pid_; }

  // Gives the guard a duplicate of master, whose slave linkPath points at.
  // False when the guard has gone (it is then no longer used).
  bool Hold(int master, const std::string& slavePath, const std::string& linkPath);
  // The endpoint of slavePath went away normally: the guard closes its copy.
  bool Drop(const std::string& slavePath);

 private:
  bool Send(char operation, int fd, const std::string& slavePath, const std::string& linkPath);

  UniqueFd socket_;
  pid_t pid_ = -1;
};

}  // namespace velmora
