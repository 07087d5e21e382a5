// A pseudo-terminal that a child process holds as the controlling terminal
// of a session of its own (as a shell's terminal is), until destroyed.
#pragma once

#include <sys/types.h>

#include <string>

#include "platform/unique_fd.h"

namespace velmora::testing {

class SessionTerminal {
 public:
  SessionTerminal();
  ~SessionTerminal();
  SessionTerminal(const SessionTerminal&) = delete;
  SessionTerminal& operator=(const SessionTerminal&) = delete;

  bool ready() const { return ready_; }
  const std::string& path() const { return path_; }
  int master() const { return master_.get(); }
  pid_t session() const { return child_; }

 private:
  UniqueFd master_;
  UniqueFd release_;
  std::string path_;
  pid_t child_ = -1;
  bool ready_ = false;
};

}  // namespace velmora::testing
