// The process's side of running in a terminal, apart from drawing: standard
// input and output must be a terminal, the output is UTF-8 whatever the
// locale's character set, and SIGTERM, SIGHUP and SIGINT (and Ctrl+C, which
// the raw terminal mode delivers as a key) end the program with the terminal
// given back as it was found: modes, cursor, normal screen, no mouse
// reports. The process then dies of that signal, so its parent sees the
// usual status (128 + signal number in a shell).
//
// A signal handler only notes the signal; the front end polls
// TakePendingSignal from its event loop and calls EndBySignal there, where
// writing to the terminal is safe. Before the toolkit has drawn anything,
// a signal ends the process at once with the terminal's modes as they
// were found (nothing else of the terminal has changed yet).
//
// A fault (SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGQUIT) cannot wait
// for the event loop: its handler, on a stack of its own, writes the bytes
// made ready when the toolkit took the terminal, restores the modes (only
// async-signal-safe calls) and lets the signal's default action end the
// process, so that the status and a core file tell the fault as before.
#pragma once

#include <string>

namespace velmora::terminal {

class TerminalSession {
 public:
  TerminalSession() = default;
  TerminalSession(const TerminalSession&) = delete;
  TerminalSession& operator=(const TerminalSession&) = delete;

  // Checks the terminal, chooses UTF-8 and installs the signal handlers.
  // False and *error (one line, no program name) when standard input or
  // output is not a terminal.
  bool Open(std::string* error);

  // The terminal toolkit has taken the terminal (and installed handlers of
  // its own for some of the signals): from now on signals are noted for the
  // event loop.
  void ToolkitStarted();

  // The signal noted since the last call, or 0.
  static int TakePendingSignal();

  // Gives the terminal back and ends the process by signal; does not return.
  [[noreturn]] void EndBySignal(int signal);

 private:
  bool toolkitStarted_ = false;
};

}  // namespace velmora::terminal
