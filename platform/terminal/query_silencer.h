// Lets the terminal toolkit start without asking the terminal anything.
//
// FINAL CUT 0.8 detects the terminal by sending queries (answerback,
// secondary device attributes, colour queries) and waiting up to 150 ms
// or 600 ms for each answer, and its option to skip the detection is reset
// before the detection runs. A terminal that answers nothing (script, a
// pipe through ssh, several emulators) took a second to show anything, and
// an answer that came after the toolkit stopped waiting reached the key
// reader and swallowed the next key.
//
// While a QuerySilencer lives, standard output is a private
// pseudo-terminal of the same size: the toolkit's start-up writes there,
// its waits for answers on standard input are cut short by a timer signal
// (its handler does nothing and restarts reads and writes; select() is
// never restarted, and the toolkit takes that as "no answer"), and no
// answer can come since the terminal never saw a query. When it ends,
// everything the toolkit wrote except the queries goes on to the
// terminal, in order. What the front end needs of the terminal comes from
// the environment and the terminfo entry instead.
#pragma once

#include <chrono>
#include <csignal>
#include <ctime>
#include <string>

namespace velmora::terminal {

class QuerySilencer {
 public:
  explicit QuerySilencer(std::chrono::microseconds wait);
  ~QuerySilencer();
  QuerySilencer(const QuerySilencer&) = delete;
  QuerySilencer& operator=(const QuerySilencer&) = delete;

  // The toolkit's output without its queries (exposed for the tests).
  static std::string WithoutQueries(std::string output);

 private:
  void ArmTimer(std::chrono::microseconds wait);
  void DisarmTimer();

  int savedOutput_ = -1;  // the terminal, while standard output is private
  int master_ = -1;
  int slave_ = -1;
  int signal_;
  struct sigaction previous_ {};
  timer_t timer_{};
  bool armed_ = false;
};

}  // namespace velmora::terminal
