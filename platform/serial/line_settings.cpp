#include "platform/serial/line_settings.h"

namespace velmora {

std::string ShowLine(const LineSettings& line) {
  static const char Parities[] = "?NOEMS";
  static const char* const Stops[] = {"?", "1", "2", "1.5"};
  static const char* const Flows[] = {"?", "", " XON/XOFF", " RTS/CTS"};
  std::string text = std::to_string(line.baudRate) + " " + std::to_string(line.dataBits) +
                     Parities[static_cast<int>(line.parity) % 6] +
                     Stops[static_cast<int>(line.stopBits) % 4] +
                     Flows[static_cast<int>(line.flow) % 4];
  text += line.dtr ? ", DTR on" : ", DTR off";
  text += line.rts ? ", RTS on" : ", RTS off";
  if (line.breakOn) {
    text += ", break";
  }
  return text;
}

}  // namespace velmora
