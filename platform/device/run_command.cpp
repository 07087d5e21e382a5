#include "platform/device/run_command.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <string>

#include "platform/device/device.h"
#include "platform/serial/run_lock.h"
#include "platform/serial/switched_on_device.h"
#include "platform/service/event_lines.h"
#include "platform/service/service_notifier.h"
#include "platform/unique_fd.h"

namespace velmora {

namespace {

// The signal that ended a round, 0 when none could be read.
uint32_t TakeSignal(int fd) {
  signalfd_siginfo info{};
  if (::read(fd, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) {
    return 0;
  }
  return info.ssi_signo;
}

}  // namespace

int RunSwitchOn(Device& device) {
  EventLines lines;
  auto tell = [&lines](const std::string& line) { lines.Write(line); };
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  ::sigprocmask(SIG_BLOCK, &signals, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  UniqueFd signalFd(::signalfd(-1, &signals, SFD_CLOEXEC));
  if (!signalFd.valid()) {
    tell("cannot watch for signals");
    return 1;
  }
  std::string error;
  RunLock lock;
  if (!lock.Acquire(device.folder(), &error)) {
    tell(error);
    return 1;
  }
  ServiceNotifier notifier;
  bool ok = true;
  {
    SwitchedOnDevice running(device.registry(), device.files(), device.folder(), tell);
    tell("switched on: " + device.folder() +
         (notifier.listening() ? " (as a service)" : " (Ctrl+C switches it off)"));
    running.Start();
    // Every endpoint is up (Start serves the running ports at once).
    notifier.Ready(running.Summary());
    while (true) {
      // The watchdog alone may wake an idle loop, and only when it is on.
      Millis limit = notifier.watchdogInterval() > 0 ? notifier.nextPing() : Forever;
      if (!running.RunOnce(limit, signalFd.get())) {
        ok = false;
        break;
      }
      if (running.stopped()) {
        uint32_t signal = TakeSignal(signalFd.get());
        if (signal != SIGHUP) {
          break;
        }
        notifier.Reloading();
        running.Reload();
        running.Resume();
        notifier.Reloaded();
      }
      notifier.PingIfDue(MonotonicMillis());
      notifier.Status(running.Summary());
    }
    notifier.Stopping();
  }
  tell(ok ? "switched off" : "stopped: waiting for events failed");
  return ok ? 0 : 1;
}

}  // namespace velmora
