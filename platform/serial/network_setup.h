// A splitter's network endpoints as its driver key asks for them, and
// every limit they keep, in one place:
//
//   "TcpPort"        number: TCP port of the raw endpoint (the bytes as
//                    they are, as gpsd's tcp:// and socat read them);
//                    absent or 0: none
//   "Rfc2217Port"    number: TCP port of the RFC 2217 endpoint (Telnet COM
//                    Port Control, pyserial's rfc2217://); absent or 0: none
//   "ListenAddress"  string: the IPv4 or IPv6 address to listen on
//                    (default 127.0.0.1, this host only)
//   "AllowFrom"      multi-string, or a string separated by commas or
//                    blanks: the networks clients may connect from, as
//                    CIDR ("10.0.0.0/8", "::1/128"); default: loopback
//                    only (127.0.0.0/8 and ::1)
//   "MaxClients"     number: connections at once over both endpoints,
//                    1 to MaxMaxClients (default DefaultMaxClients)
#pragma once

#include <cstdint>
#include <string>

#include "platform/serial/poll_set.h"

namespace velmora {

struct NetworkLimits {
  static constexpr uint32_t DefaultMaxClients = 16;
  static constexpr uint32_t MaxMaxClients = 256;
  // Bytes waiting for one client that does not read (after the socket's
  // own buffer), as for a pseudo-terminal client.
  static constexpr size_t PendingLimit = 64 * 1024;
  // A client that takes nothing this long while bytes wait has fallen
  // behind: it no longer holds the source up, and loses what does not fit.
  static constexpr Millis StallLimit = 1000;
  // The host's send buffer of one client's socket: with PendingLimit, all
  // that waits for a client that does not read.
  static constexpr int SocketBuffer = 128 * 1024;
  // One read from a client takes at most this much.
  static constexpr size_t ReadChunk = 4096;
  // Connections taken from one listener per round; the rest wait in the
  // host's queue (of ListenBacklog) for the next round.
  static constexpr int AcceptsPerRound = 64;
  static constexpr int ListenBacklog = 64;
  // When the host has no descriptor (or memory) for a waiting connection,
  // the listeners rest this long instead of waking every round at once.
  static constexpr Millis AcceptPause = 100;
  // Lines about connections (ConnectionLines): per interval, a line for the
  // first refused connection, and lines of their own for the first
  // ToldClientsPerInterval clients let in; the others are counted, and told
  // in one line when the interval is over.
  static constexpr Millis ConnectionLineInterval = 1000;
  static constexpr uint32_t ToldClientsPerInterval = 10;
  // Lines about RFC 2217 settings changed (and refused) by clients
  // (PacedLine): the first of an interval at once, the last of the others
  // when it is over, with their count.
  static constexpr Millis SettingLineInterval = 1000;
  // Networks in "AllowFrom".
  static constexpr size_t MaxNetworks = 64;
};

struct NetworkSetup {
  uint16_t tcpPort = 0;
  uint16_t rfc2217Port = 0;
  std::string listenAddress = "127.0.0.1";
  std::string allowFrom = "127.0.0.0/8 ::1/128";
  uint32_t maxClients = NetworkLimits::DefaultMaxClients;

  bool any() const { return tcpPort != 0 || rfc2217Port != 0; }
  // A reload restarts a port whose network settings changed.
  bool operator==(const NetworkSetup&) const = default;
};

}  // namespace velmora
