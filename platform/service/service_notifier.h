// What the running device tells its service manager (systemd's notify
// protocol, through libsystemd): that it is ready, a one-line status, and
// that its event loop is alive. Without NOTIFY_SOCKET (run in a terminal)
// every call does nothing and the watchdog is off.
#pragma once

#include <string>

#include "platform/serial/poll_set.h"

namespace velmora {

class ServiceNotifier {
 public:
  // Reads NOTIFY_SOCKET, WATCHDOG_USEC and WATCHDOG_PID as systemd sets them.
  ServiceNotifier();

  // Whether a service manager listens.
  bool listening() const { return listening_; }
  // How often the loop must say it is alive: half the watchdog's time, so
  // that one late round is no restart; 0 when the watchdog is off.
  Millis watchdogInterval() const { return watchdogInterval_; }

  // READY=1 with the first status.
  void Ready(const std::string& status);
  // STATUS=, sent only when it differs from the last one.
  void Status(const std::string& status);
  // WATCHDOG=1 when due at now; the moment of the next one is nextPing().
  void PingIfDue(Millis now);
  Millis nextPing() const { return nextPing_; }
  // RELOADING=1 before the drivers' keys are read again, READY=1 after.
  void Reloading();
  void Reloaded();
  void Stopping();

 private:
  void Send(const std::string& state);

  bool listening_ = false;
  Millis watchdogInterval_ = 0;
  Millis nextPing_ = Forever;
  std::string status_;
};

}  // namespace velmora
