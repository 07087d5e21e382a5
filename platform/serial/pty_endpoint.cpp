#include "platform/serial/pty_endpoint.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace velmora {

namespace {

// Drop lines of one client come at most this often; the totals are told
// when the client closes.
constexpr Millis DropLineInterval = 5000;

std::string Why(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

}  // namespace

std::unique_ptr<PtyEndpoint> PtyEndpoint::Create(const std::string& linkPath, std::string label,
                                                 EventSink events, std::string* error) {
  UniqueFd master(::open("/dev/ptmx", O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  char name[128] = {};
  if (!master || ::grantpt(master.get()) != 0 || ::unlockpt(master.get()) != 0 ||
      ::ptsname_r(master.get(), name, sizeof name) != 0) {
    *error = Why("cannot make a pseudo-terminal");
    return nullptr;
  }
  // Raw mode once on the slave; the terminal keeps it between clients.
  // Closing the slave again leaves the master in the "no client" state.
  {
    UniqueFd slave(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    termios mode{};
    if (!slave || ::tcgetattr(slave.get(), &mode) != 0) {
      *error = Why(std::string("cannot open ") + name);
      return nullptr;
    }
    ::cfmakeraw(&mode);
    ::cfsetspeed(&mode, B4800);
    if (::tcsetattr(slave.get(), TCSANOW, &mode) != 0) {
      *error = Why(std::string("cannot set raw mode on ") + name);
      return nullptr;
    }
  }
  // Replace the link in one step, so a program never sees it missing.
  std::string temporary = linkPath + ".new";
  ::unlink(temporary.c_str());
  if (::symlink(name, temporary.c_str()) != 0 ||
      ::rename(temporary.c_str(), linkPath.c_str()) != 0) {
    *error = Why("cannot make the link " + linkPath);
    ::unlink(temporary.c_str());
    return nullptr;
  }
  return std::unique_ptr<PtyEndpoint>(
      new PtyEndpoint(std::move(master), linkPath, name, std::move(label), std::move(events)));
}

PtyEndpoint::PtyEndpoint(UniqueFd master, std::string linkPath, std::string slavePath,
                         std::string label, EventSink events)
    : master_(std::move(master)),
      linkPath_(std::move(linkPath)),
      slavePath_(std::move(slavePath)),
      label_(std::move(label)),
      events_(std::move(events)) {}

PtyEndpoint::~PtyEndpoint() {
  char target[128] = {};
  ssize_t length = ::readlink(linkPath_.c_str(), target, sizeof target - 1);
  if (length > 0 && slavePath_ == std::string_view(target, static_cast<size_t>(length))) {
    ::unlink(linkPath_.c_str());
  }
}

void PtyEndpoint::LookForClient() {
  if (clientOpen_) {
    return;
  }
  // The master reports a hang-up for as long as nobody has the slave open.
  // A client that wrote and closed again in between (`echo ... > COM5`)
  // still counts: what it wrote waits to be read.
  pollfd probe{master_.get(), POLLIN, 0};
  if (::poll(&probe, 1, 0) < 0 ||
      ((probe.revents & POLLHUP) != 0 && (probe.revents & POLLIN) == 0)) {
    return;
  }
  clientOpen_ = true;
  dropping_ = false;
  sent_ = 0;
  dropped_ = 0;
  received_ = 0;
  events_(label_ + ": client opened");
}

void PtyEndpoint::Prepare(PollSet& set, bool wantInput, PollClient* client, int tag) const {
  if (!clientOpen_) {
    return;
  }
  short events = static_cast<short>((wantInput ? POLLIN : 0) | (pending_.empty() ? 0 : POLLOUT));
  set.Add(master_.get(), events, client, tag);
}

long PtyEndpoint::WriteSome(std::string_view bytes) {
  ssize_t written = ::write(master_.get(), bytes.data(), bytes.size());
  if (written >= 0) {
    sent_ += static_cast<uint64_t>(written);
    if (written > 0) {
      lastTaken_ = MonotonicMillis();
    }
    return written;
  }
  if (errno == EAGAIN || errno == EINTR) {
    return 0;
  }
  ClientGone();
  return -1;
}

void PtyEndpoint::Send(std::string_view bytes) {
  if (!clientOpen_ || bytes.empty()) {
    return;
  }
  if (pending_.empty()) {
    long written = WriteSome(bytes);
    if (written < 0) {
      return;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
    if (bytes.empty()) {
      return;
    }
  }
  if (pending_.empty()) {
    lastTaken_ = MonotonicMillis();  // a backlog's stall is counted from its start
  }
  if (pending_.Push(bytes)) {
    return;
  }
  dropped_ += bytes.size();
  if (!dropping_) {
    dropping_ = true;
    Millis now = MonotonicMillis();
    if (lastDropLine_ == 0 || now - lastDropLine_ >= DropLineInterval) {
      lastDropLine_ = now;
      events_(label_ + ": client is not reading; dropping its data (" + std::to_string(dropped_) +
              " bytes so far)");
    }
  }
}

void PtyEndpoint::Flush() {
  while (clientOpen_ && !pending_.empty()) {
    long written = WriteSome(pending_.Front());
    if (written <= 0) {
      return;
    }
    pending_.Pop(static_cast<size_t>(written));
  }
  if (pending_.empty()) {
    dropping_ = false;
    behind_ = false;
  }
}

bool PtyEndpoint::HoldsUp(size_t chunk, Millis now) {
  if (!clientOpen_ || behind_ || pending_.room() >= chunk) {
    return false;
  }
  if (now >= stallDeadline()) {
    behind_ = true;
    return false;
  }
  return true;
}

void PtyEndpoint::Pause() {
  dropped_ += pending_.size();
  pending_.Clear();
  dropping_ = false;
  behind_ = false;
}

long PtyEndpoint::ReadClient(char* buffer, size_t capacity) {
  if (!clientOpen_) {
    return -1;
  }
  ssize_t count = ::read(master_.get(), buffer, capacity);
  if (count > 0) {
    received_ += static_cast<uint64_t>(count);
    return count;
  }
  if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
    return 0;
  }
  ClientGone();
  return -1;
}

void PtyEndpoint::ForgetExclusiveUse() {
  // A client's TIOCEXCL (pyserial's exclusive=True, a Windows program's
  // exclusive COM port) stays on a terminal whose master stays open, where
  // a real port forgets it at its last close: the next client is let in.
  // Opening a terminal held exclusively takes root (the service); a `run`
  // without it leaves the terminal as its last client left it.
  UniqueFd slave(::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (slave) {
    ::ioctl(slave.get(), TIOCNXCL);
  }
}

void PtyEndpoint::ClientGone() {
  if (!clientOpen_) {
    return;
  }
  clientOpen_ = false;
  behind_ = false;
  ForgetExclusiveUse();
  dropped_ += pending_.size();
  pending_.Clear();
  events_(label_ + ": client closed (" + std::to_string(sent_) + " bytes sent, " +
          std::to_string(dropped_) + " dropped)");
}

}  // namespace velmora
