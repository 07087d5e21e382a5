// The live state of the running device's endpoints, as `velmora-device
// ports` shows it: one record per pseudo-terminal endpoint, per network
// listener and per network client, with the bytes of its current (or last)
// client. The running process sends the records over its status socket
// (see StatusServer) as text: a first line naming the format, then one
// record a line, its fields separated by tabs, a backslash, tab or line
// break inside a field escaped as \\, \t, \n.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class ServedPort;

struct EndpointStatus {
  // "pty" (DIR/dev/COMn), "none" (a served port without an endpoint now),
  // "listener" (tcp:// or rfc2217:// where clients connect), "tcp" and
  // "rfc2217" (a client connected there).
  std::string kind;
  std::string port;       // "COM5"
  std::string link;       // the endpoint's link, the listener's URL, or "-"
  std::string terminal;   // a pty's /dev/pts/N; empty for the others
  std::string driver;     // what the port serves
  std::string address;    // a network client's address and port
  bool open = false;      // a program has the pty open, the client is connected
  uint64_t sent = 0;      // bytes passed to the client
  uint64_t received = 0;  // bytes the client wrote
  uint64_t dropped = 0;   // bytes dropped for it (not reading, or the port paused)

  bool operator==(const EndpointStatus&) const = default;
};

// The records of one served port, appended to *records: its endpoints (or
// one "none" record), then per network listener the listener and its
// clients. listenHost is the "ListenAddress" the listeners were made with.
void AddPortStatus(const ServedPort& port, const std::string& driver, const std::string& listenHost,
                   std::vector<EndpointStatus>* records);

// The records as the status socket sends them, and back. Decoding is
// strict: false for anything the encoder does not write.
std::string EncodeStatus(const std::vector<EndpointStatus>& records);
bool DecodeStatus(std::string_view text, std::vector<EndpointStatus>* records);

}  // namespace velmora
