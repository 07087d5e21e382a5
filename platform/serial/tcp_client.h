// One client of a splitter's network endpoint: a connected, non-blocking
// TCP socket that hears the splitter's whole stream, with the guarantees
// of a pseudo-terminal client (see PtyEndpoint): in order, nothing lost
// while it keeps up; one that took nothing for StallLimit while bytes
// waited has fallen behind and loses, alone, the chunks that do not fit in
// its PendingLimit, counted. On the RFC 2217 endpoint the bytes travel
// inside Telnet (ComPortSession): data escaped, replies in between.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/serial/byte_queue.h"
#include "platform/serial/com_port_session.h"
#include "platform/serial/event_sink.h"
#include "platform/serial/network_setup.h"
#include "platform/unique_fd.h"

namespace velmora {

class TcpClient {
 public:
  // label as "COM5: tcp 127.0.0.1:40112", for the event lines; told: its
  // connecting was told, so its closing is too (see ConnectionLines).
  TcpClient(UniqueFd socket, std::string address, bool rfc2217, std::string label, bool told,
            EventSink events);
  // Tells the closing line when it was still open (and is told).
  ~TcpClient();
  TcpClient(const TcpClient&) = delete;
  TcpClient& operator=(const TcpClient&) = delete;

  int fd() const { return socket_.get(); }
  const std::string& address() const { return address_; }
  bool rfc2217() const { return session_ != nullptr; }
  ComPortSession* session() { return session_.get(); }
  bool open() const { return open_; }
  bool hasPending() const { return !pending_.empty(); }

  // Stream bytes for the client (escaped on RFC 2217).
  void Send(std::string_view bytes);
  // Telnet answers: kept whole when they fit, else dropped (a client that
  // floods commands and reads nothing loses its answers, not the stream).
  void SendReply(std::string_view bytes);
  // Whether the source should wait before its next chunk (see PtyEndpoint).
  bool HoldsUp(size_t chunk, Millis now);
  Millis stallDeadline() const { return lastTaken_ + NetworkLimits::StallLimit; }
  // Writes waiting bytes as far as the socket takes them (none while the
  // client asked to suspend).
  void Flush();
  // What the client sent, at most capacity bytes: the count, 0 when
  // nothing is there, -1 when it has gone.
  long Read(char* buffer, size_t capacity);
  // Closes the connection (a hang-up seen, or the splitter stops).
  void Close(const std::string& why);

  uint64_t sent() const { return sent_; }
  uint64_t dropped() const { return dropped_; }
  uint64_t received() const { return received_; }

 private:
  long WriteSome(std::string_view bytes);

  UniqueFd socket_;
  std::string address_;
  std::string label_;
  EventSink events_;
  std::unique_ptr<ComPortSession> session_;
  ByteQueue pending_{NetworkLimits::PendingLimit};
  std::string escaped_;
  bool told_;
  bool open_ = true;
  bool dropping_ = false;
  bool behind_ = false;
  Millis lastTaken_ = 0;
  Millis lastDropLine_ = 0;
  uint64_t sent_ = 0;
  uint64_t dropped_ = 0;
  uint64_t received_ = 0;
};

}  // namespace velmora
