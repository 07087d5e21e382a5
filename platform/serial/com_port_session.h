// The server's side of one Telnet connection with the COM Port Control
// option (RFC 2217), as pyserial's rfc2217://, ser2net and hub4com speak
// it: option negotiation, IAC doubling both ways, and the option's
// subnegotiations, answered with their command code + 100.
//
// Options: BINARY (both ways), SUPPRESS-GO-AHEAD and COM-PORT-OPTION are
// agreed to; every other option is refused (DONT / WONT). The server asks
// for BINARY both ways when the connection opens and tells the modem state
// once COM-PORT-OPTION is agreed. The parse keeps its state between
// chunks, so a command may arrive a byte at a time; a subnegotiation
// longer than MaxSubnegotiation is dropped whole (counted), so no input
// makes it hold more than that.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/serial/line_settings.h"

namespace velmora {

// What a session asks of the port it controls.
class ComPortControl {
 public:
  virtual LineSettings Line() const = 0;
  // Applies wanted as far as the port can; the settings in force after.
  virtual LineSettings Change(const LineSettings& wanted) = 0;
  virtual void Purge(bool input, bool output) = 0;

 protected:
  ~ComPortControl() = default;
};

class ComPortSession {
 public:
  static constexpr size_t MaxSubnegotiation = 64;
  // The modem state told to clients: DSR, CTS and carrier present.
  static constexpr uint8_t ModemState = 0xB0;

  // What the server sends first.
  static std::string Greeting();
  // Appends bytes to out with every IAC doubled.
  static void Escape(std::string_view bytes, std::string* out);

  // Parses what the client sent: data for the port goes to *data, answers
  // for the client (already encoded) to *reply.
  void Receive(std::string_view bytes, ComPortControl& control, std::string* data,
               std::string* reply);

  // FLOWCONTROL-SUSPEND asked the server to hold its data back.
  bool suspended() const { return suspended_; }
  bool comPortAgreed() const { return comPortUs_ || comPortThem_; }
  uint64_t droppedSubnegotiations() const { return droppedSubnegotiations_; }

 private:
  enum class State : uint8_t { Data, Iac, Option, Sb, SbData, SbIac };
  void Negotiate(uint8_t command, uint8_t option, std::string* reply);
  void Subnegotiation(ComPortControl& control, std::string* reply);
  void Control(uint8_t value, ComPortControl& control, std::string* reply);
  static void Answer(uint8_t command, std::string_view value, std::string* reply);

  State state_ = State::Data;
  uint8_t command_ = 0;
  uint8_t sbOption_ = 0;
  std::string sb_;
  bool sbTooLong_ = false;
  // Our side (WILL) and theirs (DO) of each agreed option; set while asked
  // for too, so an answer to our own request is not answered again.
  bool binaryUs_ = true;
  bool binaryThem_ = true;
  bool sgaUs_ = false;
  bool sgaThem_ = false;
  bool comPortUs_ = false;
  bool comPortThem_ = false;
  bool suspended_ = false;
  uint8_t lineStateMask_ = 0;
  uint8_t modemStateMask_ = 0xFF;
  uint64_t droppedSubnegotiations_ = 0;
};

}  // namespace velmora
