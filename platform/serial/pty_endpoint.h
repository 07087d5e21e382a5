// One host end of a running port: a pseudo-terminal in raw mode whose
// slave is reached through a symbolic link (as DIR/dev/COM5), which serial
// programs open like a port. The endpoint holds the master side.
//
// A client is whoever has the slave open (all openers share one line, as on
// a real port). Bytes sent while no client is open are not kept, so a
// client that opens the port later starts with fresh data. While a client
// is open but does not read, at most PendingLimit bytes wait for it here
// (beyond what the terminal itself holds). A client that keeps taking
// bytes holds the source up rather than lose any (see HoldsUp); one that
// took nothing for StallLimit while bytes waited has fallen behind: a chunk
// that does not fit is then dropped for this client alone and counted,
// until it has caught up with everything that waits for it.
//
// The endpoint belongs to its COM name, not to one start of the driver: a
// driver restarted under the same name takes the same endpoint again (see
// EndpointTable), and its clients see a pause, not a hang-up.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/serial/byte_queue.h"
#include "platform/serial/event_sink.h"
#include "platform/serial/poll_set.h"
#include "platform/unique_fd.h"

namespace velmora {

class PtyEndpoint {
 public:
  static constexpr size_t PendingLimit = 64 * 1024;
  // A client that takes nothing for this long while bytes wait for it has
  // fallen behind and no longer holds the source up.
  static constexpr Millis StallLimit = 1000;

  // Makes a pseudo-terminal in raw mode and points linkPath at its slave
  // (replacing whatever link was there). Events are told as
  // "<label>: client opened". nullptr and *error when it cannot be made.
  static std::unique_ptr<PtyEndpoint> Create(const std::string& linkPath, std::string label,
                                             EventSink events, std::string* error);
  // Removes the link (when it still points here) and closes the terminal;
  // an open client sees the line hang up.
  ~PtyEndpoint();
  PtyEndpoint(const PtyEndpoint&) = delete;
  PtyEndpoint& operator=(const PtyEndpoint&) = delete;

  const std::string& linkPath() const { return linkPath_; }
  const std::string& slavePath() const { return slavePath_; }
  const std::string& label() const { return label_; }
  int fd() const { return master_.get(); }
  bool clientOpen() const { return clientOpen_; }

  // While no client is open: looks whether one has opened the slave since.
  void LookForClient();
  // Adds the master to the round while a client is open: for its writes
  // when wantInput, for room when bytes are waiting, for its hang-up always.
  void Prepare(PollSet& set, bool wantInput, PollClient* client, int tag) const;

  // Bytes for the client (see the class comment).
  void Send(std::string_view bytes);
  // Whether the source should wait before its next chunk of up to chunk
  // bytes: a client is open and keeping up, and the chunk would not fit.
  // A client stalled since StallLimit is marked behind here.
  bool HoldsUp(size_t chunk, Millis now);
  // When a client that holds the source up counts as stalled.
  Millis stallDeadline() const { return lastTaken_ + StallLimit; }
  // The port stopped serving it for now: what waits is dropped (counted),
  // the client stays open and hears nothing until the port is served again.
  void Pause();
  // Writes waiting bytes as far as the terminal takes them.
  void Flush();
  // Reads what the client wrote, at most capacity bytes: the count, 0 when
  // nothing is there, -1 when the client has gone (the endpoint then waits
  // for the next one).
  long ReadClient(char* buffer, size_t capacity);
  // The client hung up (poll reported it).
  void ClientGone();

  // Of the current or last client: bytes passed to the terminal, bytes
  // dropped for it, bytes it wrote.
  uint64_t sent() const { return sent_; }
  uint64_t dropped() const { return dropped_; }
  uint64_t received() const { return received_; }

 private:
  PtyEndpoint(UniqueFd master, std::string linkPath, std::string slavePath, std::string label,
              EventSink events);
  // Writes as much of bytes as the terminal takes now; -1 when the client
  // has gone.
  long WriteSome(std::string_view bytes);
  void ForgetExclusiveUse();

  UniqueFd master_;
  std::string linkPath_;
  std::string slavePath_;
  std::string label_;
  EventSink events_;
  ByteQueue pending_{PendingLimit};
  bool clientOpen_ = false;
  bool dropping_ = false;
  bool behind_ = false;
  Millis lastTaken_ = 0;
  Millis lastDropLine_ = 0;
  uint64_t sent_ = 0;
  uint64_t dropped_ = 0;
  uint64_t received_ = 0;
};

}  // namespace velmora
