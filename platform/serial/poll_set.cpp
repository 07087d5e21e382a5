#include "platform/serial/poll_set.h"

#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace velmora {

Millis MonotonicMillis() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<Millis>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void PollSet::Clear() {
  fds_.clear();
  owners_.clear();
  moments_.clear();
  hasWake_ = false;
}

void PollSet::Add(int fd, short events, PollClient* client, int tag) {
  fds_.push_back(pollfd{fd, events, 0});
  owners_.push_back(Owner{client, tag});
}

void PollSet::At(Millis deadline, PollClient* client, int tag) {
  moments_.push_back(Moment{deadline, client, tag});
  WakeBy(deadline);
}

void PollSet::WakeBy(Millis deadline) {
  wakeBy_ = hasWake_ ? std::min(wakeBy_, deadline) : deadline;
  hasWake_ = true;
}

bool PollSet::Wait(Millis limit) {
  Millis until = hasWake_ ? std::min(wakeBy_, limit) : limit;
  int timeout = -1;
  if (until != Forever) {
    Millis wait = std::max<Millis>(0, until - MonotonicMillis());
    timeout = static_cast<int>(std::min<Millis>(wait, INT32_MAX));
  }
  int ready = ::poll(fds_.data(), fds_.size(), timeout);
  if (ready < 0 && errno != EINTR) {
    return false;
  }
  for (size_t i = 0; ready > 0 && i < fds_.size(); ++i) {
    if (fds_[i].revents != 0) {
      owners_[i].client->OnReady(owners_[i].tag, fds_[i].revents);
    }
  }
  Millis now = MonotonicMillis();
  for (const Moment& moment : moments_) {
    if (moment.deadline <= now) {
      moment.client->OnReady(moment.tag, 0);
    }
  }
  return true;
}

}  // namespace velmora
