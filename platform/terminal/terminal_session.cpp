#include "platform/terminal/terminal_session.h"

#include <final/final.h>
#include <langinfo.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace velmora::terminal {

namespace {

constexpr int EndingSignals[] = {SIGTERM, SIGHUP, SIGINT};

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
  InstallHandlers();  // in place of the toolkit's own, which abort
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
