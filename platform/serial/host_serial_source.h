// A serial device of the host (a USB serial adapter, a GPS mouse, any
// terminal device) passed through to a port in both directions: opened
// raw at the port's baud rate (8 data bits, no parity, one stop bit, no
// flow control), held exclusively, its stale input discarded.
//
// When it cannot be opened or goes away (unplugged), that is told once and
// it is tried again every RetryInterval until it is back; the port and its
// endpoints stay meanwhile. Bytes written to it wait up to WriteLimit
// while it is slower than its clients; bytes written while it is away are
// dropped and their number is told when it is back.
#pragma once

#include <termios.h>

#include <cstdint>
#include <string>

#include "platform/serial/byte_queue.h"
#include "platform/serial/event_sink.h"
#include "platform/serial/host_port_identity.h"
#include "platform/serial/port_source.h"
#include "platform/unique_fd.h"

namespace velmora {

// The host's speed constant for a baud rate, B0 when it has none.
speed_t BaudConstant(uint32_t baudRate);

// Opens path as described above. False and *error ("<path>: <why>").
// With identity, a terminal it refuses is closed before anything is set or
// read, and *refused is true.
bool OpenHostSerial(const std::string& path, uint32_t baudRate, UniqueFd* fd, std::string* error,
                    HostPortIdentity* identity = nullptr, bool* refused = nullptr);

class HostSerialSource final : public PortSource {
 public:
  static constexpr Millis RetryInterval = 1000;
  static constexpr size_t WriteLimit = 64 * 1024;

  // Events are told as "<label>: host port <path> ...". The first attempt
  // to open is made in the first round.
  HostSerialSource(std::string path, uint32_t baudRate, std::string label, EventSink events);

  void Prepare(PollSet& set) override;
  void OnReady(int tag, short revents) override;
  size_t WriteRoom() const override;
  void Write(std::string_view bytes) override;
  std::string Describe() const override;
  // Speed, frame and flow control through termios, DTR and RTS through the
  // modem lines where the device has them (a pseudo-terminal has none:
  // they are kept as asked), break through TIOCSBRK/TIOCCBRK. Kept for the
  // next open too.
  bool SetLine(const LineSettings& wanted, std::string* error) override;
  void Purge(bool input, bool output) override;

  bool isOpen() const { return static_cast<bool>(fd_); }

 private:
  enum Tag { Device, Retry };
  void TryOpen();
  void Lost(const std::string& why);
  void ReadDevice();
  void FlushWrites();
  bool ApplyLine(const LineSettings& wanted, std::string* error);

  std::string path_;
  uint32_t baudRate_;
  std::string label_;
  EventSink events_;
  UniqueFd fd_;
  ByteQueue writes_{WriteLimit};
  Millis retryAt_ = 0;
  bool failureTold_ = false;
  uint64_t droppedWrites_ = 0;
  HostPortIdentity identity_;
  std::string refusalTold_;
};

}  // namespace velmora
