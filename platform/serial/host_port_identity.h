// Which terminals a "HostPort" path may lead to when it is opened again, so
// that reopening never takes over another program's terminal. A
// pseudo-terminal's number (/dev/pts/N) is soon reused by an unrelated
// terminal once the one the device read goes away. The rules:
// - a terminal that is some session's controlling terminal is never taken;
// - a pseudo-terminal that went away is never opened again under its
//   number (that number now belongs to another terminal) through the same
//   path: the device node itself, or the same link (one made anew, as a
//   program like socat does for its new terminal, is followed);
// - a path that names a device itself (not a link) must name the same
//   device number as when it was first opened; a link (as the names in
//   /dev/serial/by-id/ that udev points at an adapter wherever it comes
//   back) is followed to what it names now.
#pragma once

#include <sys/types.h>
#include <time.h>

#include <string>
#include <vector>

namespace velmora {

class HostPortIdentity {
 public:
  // At most this many pseudo-terminals that went away are remembered.
  static constexpr size_t MaxLost = 64;

  // Empty when fd, just opened from path with O_NOCTTY and before anything
  // is set or read, may be taken; else why not ("is ...").
  std::string Refusal(const std::string& path, int fd);
  // The terminal taken last went away.
  void Lost();
  // Whether trying again can never succeed: the path names a lost
  // pseudo-terminal itself.
  bool gone() const { return gone_; }

 private:
  bool known_ = false;  // a terminal was taken
  bool direct_ = false;
  dev_t first_ = 0;    // what a direct path named when first taken
  dev_t current_ = 0;  // the terminal taken last
  std::vector<dev_t> lost_;
  // The link taken last (when the path is one): made anew, it may lead to
  // a reused number.
  dev_t linkDevice_ = 0;
  ino_t linkInode_ = 0;
  timespec linkTime_{};
  bool gone_ = false;
};

// Whether a character device number is a pseudo-terminal's slave side.
bool IsPseudoTerminal(dev_t device);

}  // namespace velmora
