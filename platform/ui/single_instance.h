// The single-instance rule of the framework's start-up. The lock is named
// from the executable's full path (every "\" made "/") and the device
// folder, since one device folder is one handheld: two instances on two
// devices do not meet. The lock is an advisory file lock, so it goes with
// its process and a crashed instance never blocks the next start.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace velmora::ui {

class SingleInstance {
 public:
  explicit SingleInstance(const std::string& deviceFolder);
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // True when no other instance held the lock.
  bool IsFirst() const { return first_; }

  // Looks for the running instance (same executable path, compared ignoring
  // case) and asks it to show itself; up to attempts tries, each
  // unsuccessful one (the last too) followed by a pause. wait sleeps for a
  // pause; tests pass their own.
  using Wait = std::function<void(std::chrono::milliseconds)>;
  bool BringRunningInstanceToFront(int attempts = 3,
                                   std::chrono::milliseconds pause = std::chrono::seconds(1),
                                   const Wait& wait = nullptr);

  const std::string& lockPath() const { return lockPath_; }

 private:
  std::string lockPath_;
  int fd_ = -1;
  bool first_ = false;
};

// True once after a second start asked this instance to come to the front;
// the front ends poll it.
bool TakeBringToFrontRequest();

}  // namespace velmora::ui
