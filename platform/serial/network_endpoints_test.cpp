// The splitter's network endpoints, switched on as `velmora-device run`
// does, with clients on loopback addresses only.
#include "platform/serial/network_endpoints.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>

#include <random>

#include "platform/text.h"
#include "tests/switched_on_fixture.h"

namespace velmora::testing {
namespace {

const char16_t* const Splitter = u"Drivers\\BuiltIn\\Velmora";
const char16_t* const Mouse = u"Drivers\\BuiltIn\\Mouse";

// Whether the server closed fd within seconds (reading whatever came).
bool ClosedByServer(int fd, int seconds = 10) {
  char buffer[4096];
  for (int waited = 0; waited < seconds * 10; ++waited) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, 100) > 0) {
      ssize_t count = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
      if (count == 0 || (count < 0 && errno != EAGAIN)) {
        return true;
      }
    }
  }
  return false;
}

std::string RandomBytes(size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(count, '\0');
  for (char& c : bytes) {
    c = static_cast<char>(random() & 0xFF);
  }
  return bytes;
}

class NetworkEndpointsTest : public SwitchedOnFixture {
 protected:
  // A host serial device on COM3 and the splitter on COM5 holding it, with
  // a raw and an RFC 2217 endpoint.
  void SplitterOnTheNetwork() {
    AddDriver(u"Mouse", 3, u"serial.dll");
    SetString(registry(), Mouse, u"HostPort", FromUtf8(mouse_.path()));
    SetNumber(registry(), Mouse, u"HostBaudRate", 115200);
    InstallSplitter(5, 3);
    SetNumber(registry(), Splitter, u"Endpoints", 1);
    SetNumber(registry(), Splitter, u"TcpPort", tcpPort_);
    SetNumber(registry(), Splitter, u"Rfc2217Port", rfc2217Port_);
  }
  void Start() {
    Activate(u"Mouse");
    Activate(u"Velmora");
    SwitchOn();
    ASSERT_TRUE(WaitForEvent("COM5: holds COM3")) << EventsText();
    ASSERT_TRUE(
        WaitForEvent("COM5: listening on rfc2217://127.0.0.1:" + std::to_string(rfc2217Port_)))
        << EventsText();
  }

  HostDevice mouse_;
  uint16_t tcpPort_ = FreePort();
  uint16_t rfc2217Port_ = FreePort();
};

TEST_F(NetworkEndpointsTest, RawClientsGetTheWholeStreamAndTheirWritesReachThePort) {
  SplitterOnTheNetwork();
  Start();
  std::vector<UniqueFd> readers;
  for (int i = 0; i < 3; ++i) {
    readers.push_back(ConnectLoopback(tcpPort_));
    ASSERT_TRUE(readers.back().valid());
  }
  UniqueFd silent = ConnectLoopback(tcpPort_);  // never reads
  ASSERT_TRUE(WaitForEvents(": client connected", 4)) << EventsText();

  const std::string source = RandomBytes(4 * 1024 * 1024, 23);
  std::vector<std::string> received(readers.size());
  std::mt19937 sizes(5);
  for (size_t at = 0; at < source.size();) {
    size_t chunk = std::min<size_t>(source.size() - at, 1 + sizes() % (32 * 1024));
    ASSERT_TRUE(WriteAll(mouse_.fd(), std::string_view(source).substr(at, chunk)));
    at += chunk;
    for (size_t i = 0; i < readers.size(); ++i) {
      received[i] += ReadCount(readers[i].get(), at - received[i].size());
      ASSERT_EQ(received[i].size(), at) << "client " << i << "\n" << EventsText();
    }
  }
  for (size_t i = 0; i < readers.size(); ++i) {
    EXPECT_TRUE(received[i] == source) << "client " << i << " got other bytes";
  }

  ASSERT_TRUE(WriteAll(readers[1].get(), "$PMTK314*00\r\n"));
  EXPECT_EQ(ReadUntil(mouse_.fd(), "\r\n", 10), "$PMTK314*00\r\n");

  readers[2].Reset();
  EXPECT_TRUE(WaitForEvent("client closed, it hung up (" + std::to_string(source.size()) +
                           " bytes sent, 0 dropped"))
      << EventsText();

  // The silent client held nobody up for long, and lost what did not fit,
  // counted: every byte is either sent to it or dropped.
  EXPECT_GE(CountEvents("client is not reading; dropping its data"), 1) << EventsText();
  silent.Reset();
  ASSERT_TRUE(WaitForEvents("client closed, it ", 2)) << EventsText();
  unsigned long long sent = 0;
  unsigned long long dropped = 0;
  for (const std::string& line : Events()) {
    size_t counts = line.find(" bytes sent, ");
    size_t at = line.find("client closed, it ") == std::string::npos || counts == std::string::npos
                    ? std::string::npos
                    : line.rfind('(', counts);
    if (at != std::string::npos &&
        std::sscanf(line.c_str() + at, "(%llu bytes sent, %llu", &sent, &dropped) == 2 &&
        dropped != 0) {
      break;
    }
  }
  EXPECT_EQ(sent + dropped, source.size()) << EventsText();
  // What waits for it: its queue and the host's buffers on both ends.
  EXPECT_GE(dropped, source.size() - 2 * NetworkLimits::PendingLimit -
                         8 * static_cast<size_t>(NetworkLimits::SocketBuffer));
}

TEST_F(NetworkEndpointsTest, OnlyAllowedNetworksAndAtMostMaxClientsGetIn) {
  SplitterOnTheNetwork();
  SetString(registry(), Splitter, u"AllowFrom", u"127.0.0.1/32");
  SetNumber(registry(), Splitter, u"MaxClients", 2);
  Start();

  UniqueFd outsider = ConnectLoopback(tcpPort_, "127.0.0.2");
  ASSERT_TRUE(outsider.valid());
  EXPECT_TRUE(ClosedByServer(outsider.get()));
  EXPECT_TRUE(WaitForEvent("COM5: connection from 127.0.0.2:")) << EventsText();
  EXPECT_TRUE(WaitForEvent("refused: not from a network in \"AllowFrom\"")) << EventsText();

  UniqueFd first = ConnectLoopback(tcpPort_);
  UniqueFd second = ConnectLoopback(rfc2217Port_);
  ASSERT_TRUE(WaitForEvents(": client connected", 2)) << EventsText();
  // Lines about refusals come at most once a second.
  std::this_thread::sleep_for(std::chrono::milliseconds(NetworkLimits::ConnectionLineInterval));
  UniqueFd third = ConnectLoopback(tcpPort_);
  ASSERT_TRUE(third.valid());
  EXPECT_TRUE(ClosedByServer(third.get()));
  EXPECT_TRUE(WaitForEvent("refused: already 2 clients (\"MaxClients\")")) << EventsText();

  // The two inside still hear the stream.
  ASSERT_TRUE(WriteAll(mouse_.fd(), "$GPGGA,1*00\r\n"));
  EXPECT_EQ(ReadUntil(first.get(), "\r\n", 10), "$GPGGA,1*00\r\n");
}

// A flood of clients that connect and go costs lines by the second, not by
// the client: the first few of an interval are told one by one, the rest
// in one line once the interval is over, also when no client comes after.
TEST_F(NetworkEndpointsTest, AFloodOfClientsIsToldInABoundedNumberOfLines) {
  SplitterOnTheNetwork();
  Start();
  auto start = std::chrono::steady_clock::now();
  int connected = 0;
  for (int i = 0; i < 300; ++i) {
    UniqueFd client = ConnectLoopback(i % 2 == 0 ? tcpPort_ : rfc2217Port_);
    connected += client.valid() ? 1 : 0;
    std::this_thread::sleep_for(std::chrono::microseconds(200));  // let the splitter take it
  }
  ASSERT_GT(connected, 0);
  EXPECT_TRUE(WaitForEvent(" more clients connected, not told one by one")) << EventsText();
  auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start)
          .count();
  int told = CountEvents(": client connected");
  EXPECT_LE(told, static_cast<int>(NetworkLimits::ToldClientsPerInterval) * (seconds + 1))
      << EventsText();
  // A client told connected is told closed; the others are not.
  EXPECT_TRUE(WaitForEvents(": client closed, ", told)) << EventsText();
  EXPECT_EQ(CountEvents(": client closed, "), told) << EventsText();
}

// Whether this host's pseudo-terminals take parity and 7 data bits (some
// kernels refuse both with EINVAL).
bool PtyTakesParity(int fd) {
  termios mode{};
  ::tcgetattr(fd, &mode);
  termios parity = mode;
  parity.c_cflag = (parity.c_cflag & ~CSIZE) | CS7 | PARENB;
  bool takes = ::tcsetattr(fd, TCSANOW, &parity) == 0;
  ::tcsetattr(fd, TCSANOW, &mode);
  return takes;
}

// A setting an RFC 2217 client makes reaches the host device's termios;
// one the host refuses is told, and the answer carries the setting in
// force.
TEST_F(NetworkEndpointsTest, Rfc2217SettingsReachTheHostDevice) {
  SplitterOnTheNetwork();
  Start();
  ASSERT_TRUE(WaitForEvent("COM3: host port " + mouse_.path() + " open")) << EventsText();
  bool parity = PtyTakesParity(mouse_.fd());
  UniqueFd client = ConnectLoopback(rfc2217Port_);
  ASSERT_TRUE(client.valid());
  auto sub = [](std::initializer_list<int> body) {
    std::string text = "\xFF\xFA\x2C";
    for (int byte : body) {
      text += static_cast<char>(byte);
    }
    return text + "\xFF\xF0";
  };
  std::string asks = std::string("\xFF\xFB\x2C") + sub({1, 0, 0, 0x25, 0x80}) + sub({4, 2}) +
                     sub({5, 3}) + sub({3, 3}) + sub({2, 7}) + sub({5, 9});
  ASSERT_TRUE(WriteAll(client.get(), asks));
  std::string answers = ReadUntil(client.get(), sub({105, 9}), 10);
  EXPECT_NE(answers.find(sub({101, 0, 0, 0x25, 0x80})), std::string::npos);
  EXPECT_NE(answers.find(sub({104, 2})), std::string::npos);
  EXPECT_NE(answers.find(sub({105, 3})), std::string::npos);
  EXPECT_NE(answers.find(sub({103, parity ? 3 : 1})), std::string::npos);
  EXPECT_NE(answers.find(sub({102, parity ? 7 : 8})), std::string::npos);
  ASSERT_TRUE(WaitForEvent(parity ? "set the line to 9600 7E2 RTS/CTS, DTR off"
                                  : "set the line to 9600 8N2 RTS/CTS, DTR off"))
      << EventsText();
  if (!parity) {
    EXPECT_TRUE(WaitForEvent("asked for 9600 8E2 RTS/CTS, DTR on, RTS on; refused: "))
        << EventsText();
  }
  termios mode{};
  ASSERT_EQ(::tcgetattr(mouse_.fd(), &mode), 0);
  EXPECT_EQ(::cfgetospeed(&mode), static_cast<speed_t>(B9600));
  EXPECT_NE(mode.c_cflag & CSTOPB, 0u);
  EXPECT_NE(mode.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(mode.c_cflag & CSIZE, static_cast<tcflag_t>(parity ? CS7 : CS8));
  EXPECT_EQ(mode.c_cflag & (PARENB | PARODD), static_cast<tcflag_t>(parity ? PARENB : 0));

  // Data both ways, with the IAC byte doubled on the wire.
  ASSERT_TRUE(WriteAll(mouse_.fd(),
                       "a\xFF"
                       "b"));
  EXPECT_NE(ReadUntil(client.get(),
                      "a\xFF\xFF"
                      "b",
                      10)
                .find("a\xFF\xFF"
                      "b"),
            std::string::npos);
  ASSERT_TRUE(WriteAll(client.get(), "x\xFF\xFFy"));
  EXPECT_EQ(ReadCount(mouse_.fd(), 3, 10), "x\xFFy");
}

// Hostile clients cost bounded memory and time: many connects a second
// over the cap, clients that never finish a subnegotiation or flood IAC,
// and the stream still reaches a client that reads.
TEST_F(NetworkEndpointsTest, HostileClientsCostBoundedMemoryAndTime) {
  SplitterOnTheNetwork();
  SetNumber(registry(), Splitter, u"MaxClients", 4);
  Start();
  UniqueFd reader = ConnectLoopback(tcpPort_);
  UniqueFd endless = ConnectLoopback(rfc2217Port_);
  UniqueFd flood = ConnectLoopback(rfc2217Port_);
  UniqueFd slow = ConnectLoopback(rfc2217Port_);
  ASSERT_TRUE(WaitForEvents(": client connected", 4)) << EventsText();

  // 2000 connects as fast as they come (for at most 5 seconds on a busy
  // machine), all over the cap.
  auto start = std::chrono::steady_clock::now();
  int refused = 0;
  for (int i = 0; i < 2000 && std::chrono::steady_clock::now() - start < std::chrono::seconds(5);
       ++i) {
    UniqueFd extra = ConnectLoopback(tcpPort_);
    refused += extra.valid() ? 1 : 0;
  }
  EXPECT_GT(refused, 0);
  std::string endlessBytes = "\xFF\xFA\x2C\x01";
  std::string iacs;
  for (int i = 0; i < 32 * 1024; ++i) {
    iacs += "\xFF\xF1";  // IAC NOP
  }
  std::string filler(64 * 1024, '\x01');
  ASSERT_TRUE(WriteAll(endless.get(), endlessBytes));
  ASSERT_TRUE(WriteAll(slow.get(), "\xFF"));  // half a command, then nothing
  for (int i = 0; i < 64; ++i) {
    ASSERT_TRUE(WriteAll(endless.get(), filler));
    ASSERT_TRUE(WriteAll(flood.get(), iacs));
  }
  ASSERT_TRUE(WriteAll(mouse_.fd(), "$GPRMC,2*00\r\n"));
  EXPECT_EQ(ReadUntil(reader.get(), "\r\n", 10), "$GPRMC,2*00\r\n");
  // Nothing of the hostile input reached the port.
  EXPECT_EQ(ReadAvailable(mouse_.fd()), "");
  // Refusals are told in a line a second at most, not one per connect.
  auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start)
          .count();
  EXPECT_LE(CountEvents("refused"), seconds + 2) << EventsText();
  EXPECT_GE(CountEvents("refused"), 1) << EventsText();
}

}  // namespace
}  // namespace velmora::testing
