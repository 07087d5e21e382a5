// A splitter's endpoints on the network (see NetworkSetup for the values
// of its key): a raw TCP listener, an RFC 2217 listener, or both, and the
// clients connected to them, each one more reader of the splitter's whole
// stream (TcpClient). What a client writes goes to the connected source.
//
// Who may connect: a client from outside "AllowFrom" is closed at once, so
// is one over "MaxClients" (counted over both listeners). The lines about
// connections are paced (ConnectionLines), so a flood of connects costs a
// bounded number of lines. The listeners take at most AcceptsPerRound
// connections a round, so a flood of connects cannot starve the stream,
// and rest for AcceptPause when the host has no descriptor for one.
//
// RFC 2217 settings go to the connected source (PortSource::SetLine): the
// port has one line, so the last client to change a setting wins, told in
// an event line (paced: PacedLine); a query answers with the settings in
// force.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/serial/address_filter.h"
#include "platform/serial/com_port_session.h"
#include "platform/serial/connection_lines.h"
#include "platform/serial/event_sink.h"
#include "platform/serial/network_setup.h"
#include "platform/serial/paced_line.h"
#include "platform/serial/poll_set.h"
#include "platform/serial/port_source.h"
#include "platform/serial/tcp_client.h"
#include "platform/unique_fd.h"

namespace velmora {

class NetworkEndpoints final : public PollClient, public ComPortControl {
 public:
  using Writer = std::function<void(std::string_view bytes)>;

  // Listens as setup says; name as "COM5". writes takes what clients write
  // (at most the room the last Prepare was given). nullptr and *error when
  // an address is not valid or a port cannot be listened on (a listener
  // made before is closed again).
  static std::unique_ptr<NetworkEndpoints> Open(const std::string& name, const NetworkSetup& setup,
                                                EventSink events, Writer writes,
                                                std::string* error);
  ~NetworkEndpoints();
  NetworkEndpoints(const NetworkEndpoints&) = delete;
  NetworkEndpoints& operator=(const NetworkEndpoints&) = delete;

  // Adds the listeners and the clients to this round. source is the
  // connected source (or null) until the next round; clients are read only
  // while wantInput.
  void Prepare(PollSet& set, PortSource* source, bool wantInput);
  void OnReady(int tag, short revents) override;

  // The splitter's stream, for every client.
  void Send(std::string_view bytes);
  // Whether a client that keeps up has no room for the next chunk.
  bool HoldsUp(size_t chunk, Millis now);

  // "tcp://127.0.0.1:4001" and "rfc2217://127.0.0.1:4002"; 0 when none.
  uint16_t tcpPort() const { return tcpPort_; }
  uint16_t rfc2217Port() const { return rfc2217Port_; }
  const std::vector<std::unique_ptr<TcpClient>>& clients() const { return clients_; }

  LineSettings Line() const override;
  LineSettings Change(const LineSettings& wanted) override;
  void Purge(bool input, bool output) override;

 private:
  NetworkEndpoints(std::string name, EventSink events, Writer writes, uint32_t maxClients);
  bool Listen(const std::string& address, uint16_t port, UniqueFd* fd, uint16_t* bound,
              std::string* error);
  void Accept(int listener, bool rfc2217);
  void ReadFrom(TcpClient& client);

  enum Tag { RawListener = 0, Rfc2217Listener = 1, FirstClient = 2 };

  std::string name_;
  EventSink events_;
  Writer writes_;
  uint32_t maxClients_;
  AddressFilter allowed_;
  UniqueFd raw_;
  UniqueFd rfc2217_;
  uint16_t tcpPort_ = 0;
  uint16_t rfc2217Port_ = 0;
  std::vector<std::unique_ptr<TcpClient>> clients_;
  PortSource* source_ = nullptr;
  size_t room_ = 0;
  LineSettings line_;  // while no source is connected
  TcpClient* changing_ = nullptr;
  ConnectionLines lines_;
  PacedLine settings_;
  PacedLine refusedSettings_;
  // While the host has no descriptor for a new connection (AcceptPause).
  Millis acceptPausedUntil_ = 0;
  bool acceptFailing_ = false;
};

}  // namespace velmora
