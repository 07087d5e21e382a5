#include "platform/terminal/query_silencer.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace velmora::terminal {

namespace {

void Interrupt(int) {}

// Writes all of data to fd (the terminal), going on after interruptions.
void WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n <= 0) {
      return;  // a terminal that is gone takes nothing
    }
    done += static_cast<size_t>(n);
  }
}

void RemoveAll(std::string& text, const std::string& part) {
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at)) {
    text.erase(at, part.size());
  }
}

}  // namespace

std::string QuerySilencer::WithoutQueries(std::string output) {
  // Secondary and primary device attributes, the answerback request and
  // the blank it writes over an echoed answer.
  for (const char* query : {"\x1b[>c", "\x1b[c", "\r \b", "\x05"}) {
    RemoveAll(output, query);
  }
  // Colour queries: OSC 4 ; index ; ? BEL.
  for (size_t at = output.find("\x1b]4;"); at != std::string::npos;
       at = output.find("\x1b]4;", at)) {
    size_t end = output.find('\a', at);
    if (end != std::string::npos && output.compare(end - 2, 2, ";?") == 0 &&
        output.find_first_not_of("0123456789", at + 4) == end - 2) {
      output.erase(at, end + 1 - at);
    } else {
      at += 4;  // setting a colour, not asking: it stays
    }
  }
  return output;
}

QuerySilencer::QuerySilencer(std::chrono::microseconds wait) : signal_(SIGRTMIN + 3) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    return;
  }
  slave_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) {
    return;
  }
  termios raw{};
  winsize size{};
  ::tcgetattr(slave_, &raw);
  ::cfmakeraw(&raw);  // the bytes go on as they were written
  ::tcsetattr(slave_, TCSANOW, &raw);
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0) {
    ::ioctl(slave_, TIOCSWINSZ, &size);
  }
  std::fflush(stdout);
  savedOutput_ = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  if (savedOutput_ < 0 || ::dup2(slave_, STDOUT_FILENO) < 0) {
    return;
  }
  ArmTimer(wait);
}

QuerySilencer::~QuerySilencer() {
  DisarmTimer();
  if (savedOutput_ >= 0) {
    std::fflush(stdout);
    ::dup2(savedOutput_, STDOUT_FILENO);
    ::close(savedOutput_);
    // What the toolkit wrote waits in the private terminal: a few hundred
    // bytes, read without waiting.
    std::string output;
    ::fcntl(master_, F_SETFL, O_NONBLOCK);
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(master_, buffer, sizeof buffer)) > 0) {
      output.append(buffer, static_cast<size_t>(n));
    }
    WriteAll(STDOUT_FILENO, WithoutQueries(std::move(output)));
  }
  if (slave_ >= 0) {
    ::close(slave_);
  }
  if (master_ >= 0) {
    ::close(master_);
  }
}

void QuerySilencer::ArmTimer(std::chrono::microseconds wait) {
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
  long nanoseconds = static_cast<long>(wait.count()) * 1000;
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

void QuerySilencer::DisarmTimer() {
  if (!armed_) {
    return;
  }
  timer_delete(timer_);
  // A signal of the timer may still be queued: ignoring the signal
  // discards it, so the previous disposition never meets it.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(signal_, &ignore, nullptr);
  sigaction(signal_, &previous_, nullptr);
  armed_ = false;
}

}  // namespace velmora::terminal
