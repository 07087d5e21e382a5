#include "platform/serial/driver_setup.h"

#include "platform/registry/key_handle.h"
#include "platform/text.h"

namespace velmora {

namespace {

// A number value: false when missing; a value of another shape is a problem.
bool Number(const KeyHandle& key, const char16_t* name, uint32_t* value, DriverSetup* setup) {
  uint32_t type = 0;
  uint32_t size = 0;
  if (key.registry().QueryValue(key.get(), name, &type, nullptr, &size) != StatusSuccess) {
    return false;
  }
  uint32_t number = 0;
  size = sizeof number;
  if (type != RegNumber ||
      key.registry().QueryValue(key.get(), name, &type, reinterpret_cast<uint8_t*>(&number),
                                &size) != StatusSuccess ||
      size != sizeof number) {
    setup->problems.push_back("\"" + ToUtf8(name) + "\" is not a number; it is left out");
    return false;
  }
  *value = number;
  return true;
}

bool Text(const KeyHandle& key, const char16_t* name, std::u16string* value, DriverSetup* setup) {
  uint32_t size = 0;
  if (key.registry().QueryValue(key.get(), name, nullptr, nullptr, &size) != StatusSuccess) {
    return false;
  }
  if (!key.ReadString(name, value)) {
    setup->problems.push_back("\"" + ToUtf8(name) + "\" is not a string; it is left out");
    return false;
  }
  return true;
}

// A one-byte flag, read as the logging dialog stores it: a value that
// does not fit in one byte counts as 0.
bool Flag(const KeyHandle& key, const char16_t* name) {
  uint8_t byte = 0;
  return key.Read(name, &byte, 1) && byte != 0;
}

// A list of strings (type 7) joined by blanks, or a string as it is.
bool TextList(const KeyHandle& key, const char16_t* name, std::string* value, DriverSetup* setup) {
  uint32_t type = 0;
  uint32_t size = 0;
  if (key.registry().QueryValue(key.get(), name, &type, nullptr, &size) != StatusSuccess) {
    return false;
  }
  if (type != RegMultiString) {
    std::u16string text;
    if (!Text(key, name, &text, setup)) {
      return false;
    }
    *value = ToUtf8(text);
    return true;
  }
  std::string bytes(size, '\0');
  if (key.registry().QueryValue(key.get(), name, &type, reinterpret_cast<uint8_t*>(bytes.data()),
                                &size) != StatusSuccess) {
    return false;
  }
  std::u16string text;
  for (size_t i = 0; i + 1 < size; i += 2) {
    char16_t c = static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                       (static_cast<uint8_t>(bytes[i + 1]) << 8));
    text += c == 0 ? u' ' : c;
  }
  *value = ToUtf8(text);
  return true;
}

void ReadNetwork(const KeyHandle& key, DriverSetup* setup) {
  NetworkSetup& network = setup->network;
  uint32_t number = 0;
  for (auto [name, port] :
       {std::pair{u"TcpPort", &network.tcpPort}, std::pair{u"Rfc2217Port", &network.rfc2217Port}}) {
    if (Number(key, name, &number, setup)) {
      if (number <= 65535) {
        *port = static_cast<uint16_t>(number);
      } else {
        setup->problems.push_back("\"" + ToUtf8(name) + "\" " + std::to_string(number) +
                                  " is not a TCP port; nothing listens there");
      }
    }
  }
  std::u16string address;
  if (Text(key, u"ListenAddress", &address, setup)) {
    network.listenAddress = ToUtf8(address);
  }
  TextList(key, u"AllowFrom", &network.allowFrom, setup);
  if (Number(key, u"MaxClients", &number, setup)) {
    if (number >= 1 && number <= NetworkLimits::MaxMaxClients) {
      network.maxClients = number;
    } else {
      setup->problems.push_back("\"MaxClients\" " + std::to_string(number) +
                                " is not within 1 to " +
                                std::to_string(NetworkLimits::MaxMaxClients) + "; " +
                                std::to_string(NetworkLimits::DefaultMaxClients) + " are allowed");
    }
  }
}

void ReadSplitter(const KeyHandle& key, DriverSetup* setup) {
  uint32_t number = 0;
  if (!Number(key, u"ConnectTo", &number, setup)) {
    setup->problems.push_back("\"ConnectTo\" is missing; the splitter holds no port");
  } else if (number > 9) {
    setup->problems.push_back("\"ConnectTo\" " + std::to_string(static_cast<int32_t>(number)) +
                              " is not a port from 0 to 9; the splitter holds no port");
  } else {
    setup->connectTo = static_cast<int32_t>(number);
  }
  if (Number(key, u"Endpoints", &number, setup)) {
    if (number >= 1 && number <= DriverSetup::MaxEndpoints) {
      setup->endpoints = number;
    } else {
      setup->problems.push_back("\"Endpoints\" " + std::to_string(number) + " is not within 1 to " +
                                std::to_string(DriverSetup::MaxEndpoints) + "; " +
                                std::to_string(DriverSetup::DefaultEndpoints) + " are made");
    }
  }
  setup->readLog = Flag(key, u"ReadLog");
  setup->writeLog = Flag(key, u"WriteLog");
  Text(key, u"LogDir", &setup->logDir, setup);
  if (Number(key, u"LogLimit", &number, setup)) {
    setup->logLimit = number;
  }
  ReadNetwork(key, setup);
}

void ReadEndpointAccess(const KeyHandle& key, DriverSetup* setup) {
  std::u16string group;
  if (Text(key, u"EndpointGroup", &group, setup)) {
    setup->endpointGroup = ToUtf8(group);
  }
  uint32_t mode = 0;
  if (Number(key, u"EndpointMode", &mode, setup)) {
    if (mode <= DriverSetup::MaxEndpointMode) {
      setup->endpointMode = mode;
    } else {
      setup->problems.push_back("\"EndpointMode\" " + std::to_string(mode) +
                                " is not a mode from 0 to 0777; endpoints get 0660");
    }
  }
}

}  // namespace

DriverSetup ReadDriverSetup(PlatformRegistry& registry, std::u16string_view keyPath) {
  DriverSetup setup;
  KeyHandle key(registry);
  if (keyPath.empty() || key.Open(HKEY_LOCAL_MACHINE, keyPath) != StatusSuccess) {
    setup.problems.push_back("its driver key \"" + ToUtf8(keyPath) + "\" cannot be opened");
    return setup;
  }
  Text(key, u"Dll", &setup.dll, &setup);
  std::u16string hostPort;
  if (EqualsIgnoringCase(setup.dll, u"Velmora.dll")) {
    setup.kind = DriverKind::Splitter;
    ReadSplitter(key, &setup);
  } else if (Text(key, u"HostPort", &hostPort, &setup)) {
    setup.kind = DriverKind::HostPort;
    setup.hostPort = ToUtf8(hostPort);
    Number(key, u"HostBaudRate", &setup.baudRate, &setup);
  } else if (EqualsIgnoringCase(setup.dll, u"gpsdrv.dll")) {
    setup.kind = DriverKind::GpsReceiver;
    Text(key, u"Route", &setup.route, &setup);
    Text(key, u"Replay", &setup.replay, &setup);
  }
  ReadEndpointAccess(key, &setup);
  return setup;
}

}  // namespace velmora
