// The event lines about one splitter's network connections, paced so that
// a flood of connects cannot flood the log (or push the lines that matter
// out of the journal's own rate limit): in each ConnectionLineInterval the
// first ToldClientsPerInterval clients let in are told one by one
// (connected, and later closed), and the first refused connection; the
// others are counted (refusals by their reason), and the counts told in
// one line each once the interval is over. What a flood costs in lines is so bounded by time, not
// by the number of connects.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/serial/event_sink.h"
#include "platform/serial/poll_set.h"

namespace velmora {

class ConnectionLines {
 public:
  // name as "COM5".
  ConnectionLines(std::string name, EventSink events);

  // A client was let in: true when it gets lines of its own, and then its
  // "connected" line is told here (label as "COM5: tcp 127.0.0.1:40112").
  bool Admitted(const std::string& label, Millis now);
  // A connection from address was closed at once, for why.
  void Refused(const std::string& address, const std::string& why, Millis now);
  // Tells the counts of an interval that is over. The moment to call again
  // while a count waits for its interval to end; 0 when none waits.
  Millis Flush(Millis now);

 private:
  void TellQuiet();
  void TellRefused();

  std::string name_;
  EventSink events_;
  Millis clientInterval_ = 0;  // start of the interval of the clients told
  uint32_t toldClients_ = 0;   // clients told one by one in it
  uint64_t quietClients_ = 0;  // clients let in without a line, not yet counted in one
  Millis lastRefusedLine_ = 0;
  // Refusals not told one by one, by reason (a handful of reasons at most).
  std::vector<std::pair<std::string, uint64_t>> refusedUntold_;
};

}  // namespace velmora
