// One round of waiting of the running device's single loop: every part
// names the descriptors it waits on and the moment it wants to be woken,
// then one poll() waits for all of them and each ready part is called.
// The set is rebuilt every round, so nothing is registered for longer than
// one wait and a part that goes away between rounds leaves nothing behind.
#pragma once

#include <poll.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora {

// Milliseconds of the host's monotonic clock.
using Millis = int64_t;
Millis MonotonicMillis();
// A limit of a wait that never comes: only a descriptor ends it.
constexpr Millis Forever = INT64_MAX;

class PollClient {
 public:
  // A descriptor added with tag is ready (revents as poll() gives them), or
  // the moment asked for with tag has come (revents 0).
  virtual void OnReady(int tag, short revents) = 0;

 protected:
  ~PollClient() = default;
};

class PollSet {
 public:
  // Starts a round: no descriptors, no moments.
  void Clear();
  // Waits for fd; events may be 0 (then only a hang-up or an error wakes).
  void Add(int fd, short events, PollClient* client, int tag);
  // Calls client with tag once the monotonic clock reaches deadline.
  void At(Millis deadline, PollClient* client, int tag);
  // Wakes the wait by deadline without calling anyone.
  void WakeBy(Millis deadline);

  // Waits until a descriptor is ready or the earliest moment has come (at
  // most until limit; with Forever and no moment, without a timeout), then calls the ready
  // descriptors' clients in the order they were added and after them the clients whose moment has
  // come. False when poll() failed for another reason than a signal.
  bool Wait(Millis limit);

  size_t descriptorCount() const { return fds_.size(); }

 private:
  struct Owner {
    PollClient* client;
    int tag;
  };
  struct Moment {
    Millis deadline;
    PollClient* client;
    int tag;
  };
  std::vector<pollfd> fds_;
  std::vector<Owner> owners_;
  std::vector<Moment> moments_;
  Millis wakeBy_ = 0;
  bool hasWake_ = false;
};

}  // namespace velmora
