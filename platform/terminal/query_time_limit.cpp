#include "platform/terminal/query_time_limit.h"

namespace velmora::terminal {

namespace {

void Interrupt(int) {}

}  // namespace

QueryTimeLimit::QueryTimeLimit(std::chrono::microseconds interval) : signal_(SIGRTMIN + 3) {
  struct sigaction action {};
  action.sa_handler = Interrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  if (sigaction(signal_, &action, &previous_) != 0) {
    return;
  }
  sigevent event{};
  event.sigev_notify = SIGEV_SIGNAL;
  event.sigev_signo = signal_;
  if (timer_create(CLOCK_MONOTONIC, &event, &timer_) != 0) {
    sigaction(signal_, &previous_, nullptr);
    return;
  }
  long nanoseconds = static_cast<long>(interval.count()) * 1000;
  itimerspec every{};
  every.it_value.tv_sec = nanoseconds / 1000000000;
  every.it_value.tv_nsec = nanoseconds % 1000000000;
  every.it_interval = every.it_value;
  armed_ = timer_settime(timer_, 0, &every, nullptr) == 0;
  if (!armed_) {
    timer_delete(timer_);
    sigaction(signal_, &previous_, nullptr);
  }
}

QueryTimeLimit::~QueryTimeLimit() {
  if (armed_) {
    timer_delete(timer_);
    // A signal of the timer may still be queued: ignoring the signal
    // discards it, so the previous disposition never meets it.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(signal_, &ignore, nullptr);
    sigaction(signal_, &previous_, nullptr);
  }
}

}  // namespace velmora::terminal
