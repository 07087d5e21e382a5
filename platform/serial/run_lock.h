// The claim of one `velmora-device run` on a device: the folder DIR/dev
// (where the endpoints live) and the lock file DIR/dev/.lock in it, locked
// for the life of the run and holding its process id. The lock goes with
// the process, so a run that was killed never blocks the next one.
#pragma once

#include <string>

#include "platform/unique_fd.h"

namespace velmora {

class RunLock {
 public:
  RunLock() = default;
  // Lets go and removes the lock file, and DIR/dev when it is empty.
  ~RunLock();
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

  // Makes DIR/dev when missing and takes the lock. False and *error when
  // another run holds it ("... is switched on already (process 1234)") or
  // the folder cannot be made.
  bool Acquire(const std::string& deviceFolder, std::string* error);

  // Whether a run holds the device now, and its process id.
  static bool Held(const std::string& deviceFolder, long* pid);

  static std::string DevFolder(const std::string& deviceFolder) { return deviceFolder + "/dev"; }

 private:
  std::string devFolder_;
  std::string lockPath_;
  UniqueFd fd_;
};

}  // namespace velmora
