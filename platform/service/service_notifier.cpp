#include "platform/service/service_notifier.h"

#include <systemd/sd-daemon.h>

#include <cstdint>
#include <cstdlib>

namespace velmora {

ServiceNotifier::ServiceNotifier() {
  const char* socket = std::getenv("NOTIFY_SOCKET");
  listening_ = socket != nullptr && socket[0] != '\0';
  uint64_t usec = 0;
  // Positive when the watchdog is meant for this process (WATCHDOG_PID is
  // unset or names it).
  if (listening_ && sd_watchdog_enabled(0, &usec) > 0 && usec > 0) {
    watchdogInterval_ = static_cast<Millis>(usec / 2000);
    if (watchdogInterval_ < 1) {
      watchdogInterval_ = 1;
    }
    nextPing_ = MonotonicMillis();
  }
}

void ServiceNotifier::Send(const std::string& state) {
  if (listening_) {
    // A manager that went away is no reason to stop serving.
    sd_notify(0, state.c_str());
  }
}

void ServiceNotifier::Ready(const std::string& status) {
  status_ = status;
  Send("READY=1\nSTATUS=" + status);
}

void ServiceNotifier::Status(const std::string& status) {
  if (status == status_) {
    return;
  }
  status_ = status;
  Send("STATUS=" + status);
}

void ServiceNotifier::PingIfDue(Millis now) {
  if (watchdogInterval_ == 0 || now < nextPing_) {
    return;
  }
  Send("WATCHDOG=1");
  nextPing_ = now + watchdogInterval_;
}

void ServiceNotifier::Reloading() {
  Send("RELOADING=1");
}

void ServiceNotifier::Reloaded() {
  Send("READY=1");
}

void ServiceNotifier::Stopping() {
  Send("STOPPING=1");
}

}  // namespace velmora
