#include "platform/serial/com_port_session.h"

namespace velmora {

namespace {

constexpr uint8_t Se = 240;
constexpr uint8_t Sb = 250;
constexpr uint8_t Will = 251;
constexpr uint8_t Wont = 252;
constexpr uint8_t Do = 253;
constexpr uint8_t Dont = 254;
constexpr uint8_t Iac = 255;

constexpr uint8_t Binary = 0;
constexpr uint8_t SuppressGoAhead = 3;
constexpr uint8_t ComPortOption = 44;

// Client to server; the server answers with the code + 100.
enum Command : uint8_t {
  Signature = 0,
  SetBaudRate = 1,
  SetDataSize = 2,
  SetParity = 3,
  SetStopSize = 4,
  SetControl = 5,
  NotifyLineState = 6,
  NotifyModemState = 7,
  FlowControlSuspend = 8,
  FlowControlResume = 9,
  SetLineStateMask = 10,
  SetModemStateMask = 11,
  PurgeData = 12,
};

std::string Bytes(std::initializer_list<uint8_t> bytes) {
  std::string text;
  for (uint8_t byte : bytes) {
    text += static_cast<char>(byte);
  }
  return text;
}

std::string Byte(uint8_t value) {
  return std::string(1, static_cast<char>(value));
}

}  // namespace

std::string ComPortSession::Greeting() {
  return Bytes({Iac, Will, Binary, Iac, Do, Binary});
}

void ComPortSession::Escape(std::string_view bytes, std::string* out) {
  size_t at = 0;
  while (at < bytes.size()) {
    size_t iac = bytes.find(static_cast<char>(Iac), at);
    if (iac == std::string_view::npos) {
      out->append(bytes.substr(at));
      return;
    }
    out->append(bytes.substr(at, iac + 1 - at));
    out->push_back(static_cast<char>(Iac));
    at = iac + 1;
  }
}

void ComPortSession::Answer(uint8_t command, std::string_view value, std::string* reply) {
  reply->append(Bytes({Iac, Sb, ComPortOption, static_cast<uint8_t>(command + 100)}));
  Escape(value, reply);
  reply->append(Bytes({Iac, Se}));
}

void ComPortSession::Receive(std::string_view bytes, ComPortControl& control, std::string* data,
                             std::string* reply) {
  for (char c : bytes) {
    auto byte = static_cast<uint8_t>(c);
    switch (state_) {
      case State::Data:
        if (byte == Iac) {
          state_ = State::Iac;
        } else {
          data->push_back(c);
        }
        break;
      case State::Iac:
        state_ = State::Data;
        if (byte == Iac) {
          data->push_back(c);
        } else if (byte >= Will && byte <= Dont) {
          command_ = byte;
          state_ = State::Option;
        } else if (byte == Sb) {
          state_ = State::Sb;
        }  // NOP, AYT, GA and the other commands mean nothing to a serial line
        break;
      case State::Option:
        Negotiate(command_, byte, reply);
        state_ = State::Data;
        break;
      case State::Sb:
        sbOption_ = byte;
        sb_.clear();
        sbTooLong_ = false;
        state_ = State::SbData;
        break;
      case State::SbData:
        if (byte == Iac) {
          state_ = State::SbIac;
        } else if (sb_.size() < MaxSubnegotiation) {
          sb_.push_back(c);
        } else {
          sbTooLong_ = true;
        }
        break;
      case State::SbIac:
        if (byte == Iac) {
          state_ = State::SbData;
          if (sb_.size() < MaxSubnegotiation) {
            sb_.push_back(c);
          } else {
            sbTooLong_ = true;
          }
        } else if (byte == Se) {
          state_ = State::Data;
          if (sbTooLong_) {
            ++droppedSubnegotiations_;
          } else if (sbOption_ == ComPortOption) {
            Subnegotiation(control, reply);
          }
          sb_.clear();
        } else {
          // IAC and anything but SE or IAC ends a broken subnegotiation;
          // the byte is read again as a command.
          state_ = State::Iac;
          sb_.clear();
          ++droppedSubnegotiations_;
          Receive(std::string_view(&c, 1), control, data, reply);
        }
        break;
    }
  }
}

void ComPortSession::Negotiate(uint8_t command, uint8_t option, std::string* reply) {
  bool* us = option == Binary            ? &binaryUs_
             : option == SuppressGoAhead ? &sgaUs_
             : option == ComPortOption   ? &comPortUs_
                                         : nullptr;
  bool* them = option == Binary            ? &binaryThem_
               : option == SuppressGoAhead ? &sgaThem_
               : option == ComPortOption   ? &comPortThem_
                                           : nullptr;
  bool wasAgreed = comPortAgreed();
  switch (command) {
    case Do:
      if (us == nullptr) {
        reply->append(Bytes({Iac, Wont, option}));
      } else if (!*us) {
        *us = true;
        reply->append(Bytes({Iac, Will, option}));
      }
      break;
    case Will:
      if (them == nullptr) {
        reply->append(Bytes({Iac, Dont, option}));
      } else if (!*them) {
        *them = true;
        reply->append(Bytes({Iac, Do, option}));
      }
      break;
    case Dont:
      if (us != nullptr && *us) {
        *us = false;
        reply->append(Bytes({Iac, Wont, option}));
      }
      break;
    case Wont:
      if (them != nullptr && *them) {
        *them = false;
        reply->append(Bytes({Iac, Dont, option}));
      }
      break;
    default:
      break;
  }
  if (!wasAgreed && comPortAgreed()) {
    Answer(NotifyModemState, Byte(ModemState & modemStateMask_), reply);
  }
}

void ComPortSession::Subnegotiation(ComPortControl& control, std::string* reply) {
  if (sb_.empty()) {
    return;
  }
  auto command = static_cast<uint8_t>(sb_[0]);
  std::string_view value = std::string_view(sb_).substr(1);
  uint8_t first = value.empty() ? 0 : static_cast<uint8_t>(value[0]);
  LineSettings line = control.Line();
  switch (command) {
    case Signature:
      if (value.empty()) {
        Answer(Signature, "Velmora splitter", reply);
      }
      break;
    case SetBaudRate: {
      if (value.size() != 4) {
        return;
      }
      uint32_t baud = 0;
      for (char c : value) {
        baud = (baud << 8) | static_cast<uint8_t>(c);
      }
      if (baud != 0) {
        line.baudRate = baud;
        line = control.Change(line);
      }
      uint32_t now = line.baudRate;
      Answer(SetBaudRate,
             Bytes({static_cast<uint8_t>(now >> 24), static_cast<uint8_t>(now >> 16),
                    static_cast<uint8_t>(now >> 8), static_cast<uint8_t>(now)}),
             reply);
      break;
    }
    case SetDataSize:
      if (first >= 5 && first <= 8) {
        line.dataBits = first;
        line = control.Change(line);
      }
      Answer(SetDataSize, Byte(line.dataBits), reply);
      break;
    case SetParity:
      if (first >= 1 && first <= 5) {
        line.parity = static_cast<Parity>(first);
        line = control.Change(line);
      }
      Answer(SetParity, Byte(static_cast<uint8_t>(line.parity)), reply);
      break;
    case SetStopSize:
      if (first >= 1 && first <= 3) {
        line.stopBits = static_cast<StopBits>(first);
        line = control.Change(line);
      }
      Answer(SetStopSize, Byte(static_cast<uint8_t>(line.stopBits)), reply);
      break;
    case SetControl:
      Control(first, control, reply);
      break;
    case NotifyLineState:
      Answer(NotifyLineState, Byte(0), reply);
      break;
    case NotifyModemState:
      Answer(NotifyModemState, Byte(ModemState & modemStateMask_), reply);
      break;
    case FlowControlSuspend:
      suspended_ = true;
      break;
    case FlowControlResume:
      suspended_ = false;
      break;
    case SetLineStateMask:
      lineStateMask_ = first;
      Answer(SetLineStateMask, Byte(first), reply);
      break;
    case SetModemStateMask:
      modemStateMask_ = first;
      Answer(SetModemStateMask, Byte(first), reply);
      break;
    case PurgeData:
      if (first >= 1 && first <= 3) {
        control.Purge(first != 2, first != 1);
        Answer(PurgeData, Byte(first), reply);
      }
      break;
    default:
      break;  // not a command of the option: ignored, as the RFC asks
  }
}

void ComPortSession::Control(uint8_t value, ComPortControl& control, std::string* reply) {
  LineSettings line = control.Line();
  uint8_t answer = value;
  switch (value) {
    case 0:
      answer = static_cast<uint8_t>(line.flow);
      break;
    case 1:
    case 2:
    case 3:
      line.flow = static_cast<FlowControl>(value);
      answer = static_cast<uint8_t>(control.Change(line).flow);
      break;
    case 4:
      answer = line.breakOn ? 5 : 6;
      break;
    case 5:
    case 6:
      line.breakOn = value == 5;
      answer = control.Change(line).breakOn ? 5 : 6;
      break;
    case 7:
      answer = line.dtr ? 8 : 9;
      break;
    case 8:
    case 9:
      line.dtr = value == 8;
      answer = control.Change(line).dtr ? 8 : 9;
      break;
    case 10:
      answer = line.rts ? 11 : 12;
      break;
    case 11:
    case 12:
      line.rts = value == 11;
      answer = control.Change(line).rts ? 11 : 12;
      break;
    case 13:
      answer = 14;  // inbound flow control follows the outbound setting
      break;
    case 14:
    case 15:
    case 16:
    case 17:
    case 18:
    case 19:
      break;  // accepted as asked
    default:
      return;
  }
  Answer(SetControl, Byte(answer), reply);
}

}  // namespace velmora
