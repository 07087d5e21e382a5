#include "platform/terminal/terminal_session.h"

#include <final/final.h>
#include <langinfo.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace velmora::terminal {

namespace {

constexpr int EndingSignals[] = {SIGTERM, SIGHUP, SIGINT};
// Signals of a fault in the program itself: the process cannot go on, but
// the terminal is given back before it dies.
constexpr int FatalSignals[] = {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGQUIT};

// The bytes that give the terminal back (attributes off, no mouse
// reports, normal screen, keypad off, cursor shown), made ready when the
// toolkit takes the terminal so that a fault handler only writes them.
constexpr size_t MaxGiveBack = 512;
char giveBack[MaxGiveBack];
std::atomic<size_t> giveBackLength{0};

// The mouse reports any xterm-like terminal may have been asked for.
constexpr char MouseReportsOff[] =
    "\033[?1006l\033[?1015l\033[?1005l\033[?1003l\033[?1002l\033[?1000l";

// A stack overflow leaves no stack for a handler: faults are handled on a
// stack of their own.
constexpr size_t FaultStackSize = 64 * 1024;
alignas(16) char faultStack[FaultStackSize];

std::atomic<int> pendingSignal{0};
std::atomic<bool> toolkitRunning{false};
// The terminal's modes as found; written once in Open, before any handler.
termios foundModes{};
std::atomic<bool> haveFoundModes{false};

void RestoreModes() {
  if (haveFoundModes.load()) {
    ::tcsetattr(STDIN_FILENO, TCSADRAIN, &foundModes);  // async-signal-safe
  }
}

[[noreturn]] void DieBy(int signal) {
  std::signal(signal, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  std::raise(signal);
  _exit(128 + signal);  // only if the signal did not end the process
}

void WriteAll(const char* data, size_t length) {
  while (length > 0) {
    ssize_t written = ::write(STDOUT_FILENO, data, length);  // async-signal-safe
    if (written <= 0) {
      return;
    }
    data += written;
    length -= static_cast<size_t>(written);
  }
}

// Only async-signal-safe calls: write, tcsetattr, signal, sigprocmask, raise.
void OnFatalSignal(int signal) {
  WriteAll(giveBack, giveBackLength.load());
  RestoreModes();
  DieBy(signal);  // with the default action: the status (and core) tell the fault
}

void OnEndingSignal(int signal) {
  if (!toolkitRunning.load()) {
    // Nothing was drawn yet; the toolkit may have changed the modes.
    RestoreModes();
    DieBy(signal);
  }
  pendingSignal.store(signal);
}

void InstallHandlers() {
  struct sigaction action {};
  action.sa_handler = OnEndingSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no restart: a waiting read returns and the loop runs
  for (int signal : EndingSignals) {
    sigaction(signal, &action, nullptr);
  }
}

void InstallFaultHandlers() {
  stack_t stack{};
  stack.ss_sp = faultStack;
  stack.ss_size = FaultStackSize;
  ::sigaltstack(&stack, nullptr);
  struct sigaction action {};
  action.sa_handler = OnFatalSignal;
  sigemptyset(&action.sa_mask);
  // A second fault inside the handler ends the process at once.
  action.sa_flags = SA_ONSTACK | SA_RESETHAND | SA_NODEFER;
  for (int signal : FatalSignals) {
    sigaction(signal, &action, nullptr);
  }
}

void Append(std::string& bytes, const char* capability) {
  if (capability != nullptr) {
    bytes += capability;
  }
}

// Fills giveBack from the terminal's capabilities (known once the toolkit
// has read the terminfo entry).
void PrepareGiveBack() {
  using finalcut::FTermcap;
  using finalcut::Termcap;
  std::string bytes;
  Append(bytes, FTermcap::strings[int(Termcap::t_exit_attribute_mode)].string);
  bytes += MouseReportsOff;
  Append(bytes, FTermcap::strings[int(Termcap::t_exit_ca_mode)].string);
  Append(bytes, FTermcap::strings[int(Termcap::t_keypad_local)].string);
  Append(bytes, FTermcap::strings[int(Termcap::t_cursor_normal)].string);
  size_t length = std::min(bytes.size(), MaxGiveBack);
  std::memcpy(giveBack, bytes.data(), length);
  giveBackLength.store(length);
}

bool IsUtf8Locale() {
  return std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
}

void Put(const char* capability) {
  if (capability != nullptr) {
    std::fputs(capability, stdout);
  }
}

}  // namespace

bool TerminalSession::Open(std::string* error) {
  if (::isatty(STDIN_FILENO) == 0) {
    *error = "standard input is not a terminal; start the program in a terminal";
    return false;
  }
  if (::isatty(STDOUT_FILENO) == 0) {
    *error = "standard output is not a terminal; start the program in a terminal";
    return false;
  }
  haveFoundModes.store(::tcgetattr(STDIN_FILENO, &foundModes) == 0);
  // The screen shows umlauts and line symbols: without a UTF-8 locale
  // (LC_ALL=C, a locale that is not installed) the toolkit would drop
  // them, so the front end takes the always present C.UTF-8 then. The
  // toolkit reads the locale from the environment itself.
  if (std::setlocale(LC_ALL, "") == nullptr || !IsUtf8Locale()) {
    if (std::setlocale(LC_ALL, "C.UTF-8") != nullptr) {
      ::setenv("LC_ALL", "C.UTF-8", 1);
    }
  }
  InstallHandlers();
  return true;
}

void TerminalSession::ToolkitStarted() {
  toolkitStarted_ = true;
  toolkitRunning.store(true);
  PrepareGiveBack();
  InstallHandlers();  // in place of the toolkit's own, which abort
  InstallFaultHandlers();
}

int TerminalSession::TakePendingSignal() {
  return pendingSignal.exchange(0);
}

void TerminalSession::EndBySignal(int signal) {
  if (toolkitStarted_) {
    using finalcut::FTermcap;
    using finalcut::Termcap;
    std::shared_ptr<finalcut::FOutput> output = finalcut::FVTerm::getFOutput();
    output->finishTerminal();  // colours, cursor shown, screen cleared
    output->flush();
    finalcut::FMouseControl::getInstance().disable();
    Put(FTermcap::strings[int(Termcap::t_exit_attribute_mode)].string);
    Put(FTermcap::strings[int(Termcap::t_exit_ca_mode)].string);
    Put(FTermcap::strings[int(Termcap::t_keypad_local)].string);
    Put(FTermcap::strings[int(Termcap::t_cursor_normal)].string);
    std::fflush(stdout);
  }
  RestoreModes();
  DieBy(signal);
}

}  // namespace velmora::terminal
