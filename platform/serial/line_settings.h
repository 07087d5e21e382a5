// The settings of a serial line as a network client may change them
// (RFC 2217's COM Port Control): speed, frame, flow control and the
// control lines. A port source applies what it can; the simulated GPS
// receiver accepts everything and changes nothing.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

enum class Parity : uint8_t { None = 1, Odd = 2, Even = 3, Mark = 4, Space = 5 };
enum class StopBits : uint8_t { One = 1, Two = 2, OneAndHalf = 3 };
enum class FlowControl : uint8_t { None = 1, XonXoff = 2, Hardware = 3 };

struct LineSettings {
  uint32_t baudRate = 4800;
  uint8_t dataBits = 8;  // 5 to 8
  Parity parity = Parity::None;
  StopBits stopBits = StopBits::One;
  FlowControl flow = FlowControl::None;
  bool dtr = true;
  bool rts = true;
  bool breakOn = false;

  bool operator==(const LineSettings&) const = default;
};

// "9600 8N1", for the event lines.
std::string ShowLine(const LineSettings& line);

}  // namespace velmora
