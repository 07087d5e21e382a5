#include "platform/serial/nmea_replay.h"

#include <algorithm>

namespace velmora {

namespace {

bool Digits(std::string_view text) {
  for (char c : text) {
    if (c < '0' || c > '9') {
      return false;
    }
  }
  return true;
}

// The comma-separated field number index of a sentence.
std::string_view Field(std::string_view line, size_t index) {
  for (size_t i = 0; i < index; ++i) {
    size_t comma = line.find(',');
    if (comma == std::string_view::npos) {
      return {};
    }
    line.remove_prefix(comma + 1);
  }
  return line.substr(0, line.find_first_of(",*\r\n"));
}

}  // namespace

long long NmeaReplay::SentenceTime(std::string_view line) {
  if (line.size() < 7 || line[0] != '$') {
    return -1;
  }
  std::string_view kind = line.substr(3, 3);
  size_t index = kind == "RMC" || kind == "GGA" || kind == "GNS" || kind == "ZDA" ? 1
                 : kind == "GLL"                                                  ? 5
                                                                                  : 0;
  std::string_view time = index == 0 ? std::string_view() : Field(line, index);
  if (time.size() < 6 || !Digits(time.substr(0, 6))) {
    return -1;
  }
  long long hours = (time[0] - '0') * 10 + (time[1] - '0');
  long long minutes = (time[2] - '0') * 10 + (time[3] - '0');
  long long seconds = (time[4] - '0') * 10 + (time[5] - '0');
  long long millis = 0;
  if (time.size() > 7 && time[6] == '.') {
    std::string_view fraction = time.substr(7, 3);
    if (!Digits(fraction)) {
      return -1;
    }
    for (size_t i = 0; i < 3; ++i) {
      millis = millis * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
    }
  }
  if (hours > 23 || minutes > 59 || seconds > 60) {
    return -1;
  }
  return ((hours * 60 + minutes) * 60 + seconds) * 1000 + millis;
}

NmeaReplay::NmeaReplay(std::string log) : log_(std::move(log)) {
  CutByTime();
  if (bursts_.empty()) {
    CutBySize();
  }
}

void NmeaReplay::CutByTime() {
  std::vector<long long> times;
  size_t begin = 0;
  long long current = -1;
  bool timed = false;
  for (size_t at = 0; at < log_.size();) {
    size_t end = log_.find('\n', at);
    end = end == std::string::npos ? log_.size() : end + 1;
    long long time = SentenceTime(std::string_view(log_).substr(at, end - at));
    if (time >= 0 && current >= 0 && time != current) {
      bursts_.push_back(Burst{begin, at, DefaultPause});
      times.push_back(current);
      begin = at;
    }
    if (time >= 0) {
      current = time;
      timed = true;
    }
    at = end;
  }
  if (!timed) {
    bursts_.clear();
    return;
  }
  bursts_.push_back(Burst{begin, log_.size(), DefaultPause});
  times.push_back(current);
  for (size_t i = 0; i + 1 < bursts_.size(); ++i) {
    long long pause = times[i + 1] - times[i];
    if (pause > 0 && pause <= MaxPause) {
      bursts_[i].pause = pause;
    }
  }
}

void NmeaReplay::CutBySize() {
  for (size_t at = 0; at < log_.size();) {
    size_t end = std::min(log_.size(), at + UntimedBurst);
    size_t lineEnd = std::string_view(log_).substr(at, end - at).rfind('\n');
    if (end < log_.size() && lineEnd != std::string_view::npos) {
      end = at + lineEnd + 1;
    }
    bursts_.push_back(Burst{at, end, DefaultPause});
    at = end;
  }
}

std::string_view NmeaReplay::Next(Millis* pause) {
  if (bursts_.empty()) {
    *pause = DefaultPause;
    return {};
  }
  const Burst& burst = bursts_[next_];
  next_ = (next_ + 1) % bursts_.size();
  *pause = burst.pause;
  return std::string_view(log_).substr(burst.begin, burst.end - burst.begin);
}

}  // namespace velmora
