// Loopback TCP for the benchmarks of the network endpoints: a free port
// and a connected client.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cstdint>

#include "platform/unique_fd.h"

namespace velmora::bench {

inline uint16_t FreePort() {
  UniqueFd probe(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(probe.get(), reinterpret_cast<sockaddr*>(&address), length);
  ::getsockname(probe.get(), reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.sin_port);
}

// A non-blocking client of 127.0.0.1:port without Nagle's delay; invalid
// when nobody listens there.
inline UniqueFd ConnectTo(uint16_t port) {
  UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(port);
  server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
    return UniqueFd();
  }
  int on = 1;
  ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  ::fcntl(fd.get(), F_SETFL, O_NONBLOCK);
  return fd;
}

}  // namespace velmora::bench
