// Where a served port's bytes come from: the simulated GPS receiver or a
// serial device of the host. A source runs in the device's loop (it adds
// its descriptors and moments to each round) and hands every byte it reads
// to its sink: the port it belongs to, or a splitter holding that port.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/serial/line_settings.h"
#include "platform/serial/poll_set.h"

namespace velmora {

class ByteSink {
 public:
  virtual void FromSource(std::string_view bytes) = 0;
  // Whether a source that can wait (a host device: its bytes wait in the
  // host's driver meanwhile) should read its next chunk now.
  virtual bool Takes() { return true; }

 protected:
  ~ByteSink() = default;
};

class PortSource : public PollClient {
 public:
  // A source that can wait hands at most this many bytes at once.
  static constexpr size_t MaxChunk = 16 * 1024;

  virtual ~PortSource() = default;

  void SetSink(ByteSink* sink) { sink_ = sink; }

  // Adds what the source waits on to this round.
  virtual void Prepare(PollSet& set) = 0;
  // How many bytes Write takes now; a client's writes wait while it is 0.
  virtual size_t WriteRoom() const = 0;
  // Bytes for the device (at most WriteRoom()).
  virtual void Write(std::string_view bytes) = 0;
  // What the source is, for the event lines: "GPS receiver (built-in route)".
  virtual std::string Describe() const = 0;

  // The line's settings as a network client sees them. SetLine applies
  // what the source can and keeps the rest as asked: by default (the
  // simulated receiver) everything is accepted and nothing changes. False
  // and *error when the host refused; the settings then stay as they were.
  const LineSettings& line() const { return line_; }
  virtual bool SetLine(const LineSettings& wanted, std::string* error) {
    (void)error;
    line_ = wanted;
    return true;
  }
  // Discards what waits to be read from (input) or written to (output) the
  // line.
  virtual void Purge(bool input, bool output) {
    (void)input;
    (void)output;
  }

 protected:
  bool SinkTakes() const { return sink_ == nullptr || sink_->Takes(); }
  void Deliver(std::string_view bytes) {
    if (sink_ != nullptr && !bytes.empty()) {
      sink_->FromSource(bytes);
    }
  }

 protected:
  LineSettings line_;

 private:
  ByteSink* sink_ = nullptr;
};

}  // namespace velmora
