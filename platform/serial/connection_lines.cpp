#include "platform/serial/connection_lines.h"

#include <algorithm>

#include "platform/serial/network_setup.h"

namespace velmora {

ConnectionLines::ConnectionLines(std::string name, EventSink events)
    : name_(std::move(name)), events_(std::move(events)) {}

bool ConnectionLines::Admitted(const std::string& label, Millis now) {
  if (toldClients_ == 0 || now - clientInterval_ >= NetworkLimits::ConnectionLineInterval) {
    TellQuiet();
    clientInterval_ = now;
    toldClients_ = 0;
  }
  if (toldClients_ >= NetworkLimits::ToldClientsPerInterval) {
    ++quietClients_;
    return false;
  }
  ++toldClients_;
  events_(label + ": client connected");
  return true;
}

void ConnectionLines::Refused(const std::string& address, const std::string& why, Millis now) {
  if (lastRefusedLine_ != 0 && now - lastRefusedLine_ < NetworkLimits::ConnectionLineInterval) {
    auto counted = std::find_if(refusedUntold_.begin(), refusedUntold_.end(),
                                [&why](const auto& reason) { return reason.first == why; });
    if (counted != refusedUntold_.end()) {
      ++counted->second;
    } else {
      refusedUntold_.emplace_back(why, 1);
    }
    return;
  }
  TellRefused();
  lastRefusedLine_ = now;
  events_(name_ + ": connection from " + address + " refused: " + why);
}

Millis ConnectionLines::Flush(Millis now) {
  Millis next = 0;
  auto waitFor = [&next](Millis moment) { next = next == 0 ? moment : std::min(next, moment); };
  if (quietClients_ != 0) {
    Millis end = clientInterval_ + NetworkLimits::ConnectionLineInterval;
    if (now >= end) {
      TellQuiet();
    } else {
      waitFor(end);
    }
  }
  if (!refusedUntold_.empty()) {
    Millis end = lastRefusedLine_ + NetworkLimits::ConnectionLineInterval;
    if (now >= end) {
      TellRefused();
      lastRefusedLine_ = now;
    } else {
      waitFor(end);
    }
  }
  return next;
}

static_assert(NetworkLimits::ConnectionLineInterval == 1000, "the line says \"a second\"");

void ConnectionLines::TellQuiet() {
  if (quietClients_ == 0) {
    return;
  }
  events_(name_ + ": " + std::to_string(quietClients_) +
          " more clients connected, not told one by one (more than " +
          std::to_string(NetworkLimits::ToldClientsPerInterval) + " a second)");
  quietClients_ = 0;
}

void ConnectionLines::TellRefused() {
  for (const auto& [why, count] : refusedUntold_) {
    events_(name_ + ": " + std::to_string(count) +
            " more connections refused since the last line: " + why);
  }
  refusedUntold_.clear();
}

}  // namespace velmora
