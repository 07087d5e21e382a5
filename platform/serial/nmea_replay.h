// An NMEA log (a capture of a receiver, such as the splitter's read log)
// cut into the bursts the receiver sent together, for replaying it with
// its own pacing, over and over.
//
// A burst begins at each RMC, GGA, GNS, ZDA or GLL sentence whose time
// differs from the burst before; the pause after a burst is the time
// between the two (when it is more than 0 and at most MaxPause, else
// DefaultPause). A log without such times is sent as a 4800 baud line
// would carry it: UntimedBurst bytes a second, cut after a line end where
// one is. Bytes are replayed exactly as they are in the log.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/serial/poll_set.h"

namespace velmora {

class NmeaReplay {
 public:
  static constexpr size_t MaxFileBytes = 16 * 1024 * 1024;
  static constexpr Millis DefaultPause = 1000;
  static constexpr Millis MaxPause = 10000;
  static constexpr size_t UntimedBurst = 480;

  explicit NmeaReplay(std::string log);

  bool empty() const { return bursts_.empty(); }
  size_t burstCount() const { return bursts_.size(); }
  // The next burst (after the last one the first again) and the pause
  // before the one after it.
  std::string_view Next(Millis* pause);

  // The time of day of a sentence in milliseconds, -1 when it has none.
  static long long SentenceTime(std::string_view line);

 private:
  struct Burst {
    size_t begin;
    size_t end;
    Millis pause;
  };
  void CutByTime();
  void CutBySize();

  std::string log_;
  std::vector<Burst> bursts_;
  size_t next_ = 0;
};

}  // namespace velmora
