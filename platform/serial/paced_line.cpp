#include "platform/serial/paced_line.h"

namespace velmora {

PacedLine::PacedLine(Millis interval, EventSink events)
    : interval_(interval), events_(std::move(events)) {}

void PacedLine::Tell(std::string line, Millis now) {
  if (told_ && now - lastTold_ < interval_) {
    kept_ = std::move(line);
    ++keptCount_;
    return;
  }
  Flush(now);
  told_ = true;
  lastTold_ = now;
  events_(line);
}

Millis PacedLine::Flush(Millis now) {
  if (keptCount_ == 0) {
    return 0;
  }
  if (now - lastTold_ < interval_) {
    return lastTold_ + interval_;
  }
  if (keptCount_ > 1) {
    kept_ += " (the last of " + std::to_string(keptCount_) + " since the last line)";
  }
  events_(kept_);
  kept_.clear();
  keptCount_ = 0;
  lastTold_ = now;
  return 0;
}

}  // namespace velmora
