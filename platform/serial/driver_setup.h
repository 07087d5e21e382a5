// What the running device does with a driver, read from the driver's key
// when the driver starts. The choice follows the key's "Dll" (ignoring
// case) and these values of the key, the simulation's own settings, kept
// in the registry like every other driver setting:
//
//   Dll "Velmora.dll"      the splitter:
//     "ConnectTo"          number: the port it holds, 0 to 9
//     "Endpoints"          number: its endpoints, 1 to MaxEndpoints
//                          (default DefaultEndpoints)
//     "ReadLog", "WriteLog"  one-byte binary: 1 logs the bytes read from
//                          the port, resp. written by the clients
//     "LogDir"             string: device folder of the logs
//                          (default "\My Documents")
//     "LogLimit"           number: bytes per log file before it is rotated
//                          (LogWriter's limits; default 16 MiB)
//     "TcpPort", "Rfc2217Port", "ListenAddress", "AllowFrom", "MaxClients"
//                          its network endpoints (see NetworkSetup)
//   "HostPort" present     pass-through of a host serial device (any Dll):
//     "HostPort"           string: its host path, as "/dev/ttyUSB0"
//     "HostBaudRate"       number: its baud rate (default 4800)
//   Dll "gpsdrv.dll"       the sample GPS receiver:
//     "Route"              string: device path of a route file (Route)
//     "Replay"             string: device path of an NMEA log to replay
//                          instead (wins over "Route")
//   anything else          not served on the host
//
// A number is type 4, four bytes; a value of another shape counts as
// missing and is told as a problem.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "platform/serial/network_setup.h"

namespace velmora {

enum class DriverKind { Unserved, Splitter, HostPort, GpsReceiver };

struct DriverSetup {
  static constexpr uint32_t DefaultEndpoints = 4;
  static constexpr uint32_t MaxEndpoints = 16;
  static constexpr uint32_t DefaultBaudRate = 4800;

  DriverKind kind = DriverKind::Unserved;
  std::u16string dll;

  std::string hostPort;
  uint32_t baudRate = DefaultBaudRate;

  std::u16string route;
  std::u16string replay;

  int32_t connectTo = -1;
  uint32_t endpoints = DefaultEndpoints;
  bool readLog = false;
  bool writeLog = false;
  std::u16string logDir = u"\\My Documents";
  uint64_t logLimit = 0;  // 0: LogWriter's default
  NetworkSetup network;

  // Every endpoint's terminal gets this group (empty: left as the host
  // made it) and mode, as udev gives real serial devices.
  static constexpr uint32_t DefaultEndpointMode = 0660;
  static constexpr uint32_t MaxEndpointMode = 0777;
  std::string endpointGroup = "dialout";
  uint32_t endpointMode = DefaultEndpointMode;

  // Values that could not be used, one sentence each, told when the
  // driver starts.
  std::vector<std::string> problems;

  // Same settings: a reload leaves such a port alone.
  bool operator==(const DriverSetup&) const = default;
};

DriverSetup ReadDriverSetup(PlatformRegistry& registry, std::u16string_view keyPath);

}  // namespace velmora
