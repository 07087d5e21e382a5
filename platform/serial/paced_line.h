// One kind of event line that a client can cause at will (an RFC 2217
// setting changed or refused), paced so that a storm of them costs a line
// an interval, not a line each: the first of an interval is told at once;
// the others are kept, and once the interval is over the last of them is
// told, with the count of those it stands for. The last word (the
// setting in force) is so never lost.
#pragma once

#include <cstdint>
#include <string>

#include "platform/serial/event_sink.h"
#include "platform/serial/poll_set.h"

namespace velmora {

class PacedLine {
 public:
  PacedLine(Millis interval, EventSink events);

  void Tell(std::string line, Millis now);
  // Tells the kept line of an interval that is over. The moment to call
  // again while a line waits for its interval to end; 0 when none waits.
  Millis Flush(Millis now);

 private:
  Millis interval_;
  EventSink events_;
  Millis lastTold_ = 0;
  bool told_ = false;
  std::string kept_;
  uint64_t keptCount_ = 0;
};

}  // namespace velmora
