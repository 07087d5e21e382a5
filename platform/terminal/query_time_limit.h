// Bounds how long the terminal toolkit waits for answers to its
// terminal-detection queries (answerback, secondary device attributes,
// colour queries). FINAL CUT 0.8 waits up to 150 ms or 600 ms for each
// answer, and its option to skip the detection is reset before the
// detection runs, so a terminal that answers nothing (script, a pipe
// through ssh, several emulators) took a second to show anything.
//
// While a QueryTimeLimit lives, a timer signal arrives every `interval`.
// Its handler does nothing and is installed with SA_RESTART: reads and
// writes carry on, but select(), which is never restarted, returns early,
// and the toolkit takes that as "no answer". A terminal that answers
// within the interval is still heard.
#pragma once

#include <chrono>
#include <csignal>
#include <ctime>

namespace velmora::terminal {

class QueryTimeLimit {
 public:
  explicit QueryTimeLimit(std::chrono::microseconds interval);
  ~QueryTimeLimit();
  QueryTimeLimit(const QueryTimeLimit&) = delete;
  QueryTimeLimit& operator=(const QueryTimeLimit&) = delete;

 private:
  int signal_;
  struct sigaction previous_ {};
  timer_t timer_{};
  bool armed_ = false;
};

}  // namespace velmora::terminal
