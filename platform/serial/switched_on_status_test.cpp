// The live status of a switched-on device, asked through its status socket
// as `velmora-device ports` asks it, while clients read its endpoints.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cstring>

#include "platform/serial/endpoint_status.h"
#include "platform/serial/status_server.h"
#include "platform/text.h"
#include "tests/switched_on_fixture.h"

namespace velmora::testing {
namespace {

const char16_t* const Splitter = u"Drivers\\BuiltIn\\Velmora";
const char16_t* const Mouse = u"Drivers\\BuiltIn\\Mouse";

class SwitchedOnStatusTest : public SwitchedOnFixture {
 protected:
  // The status now; fails the test when there is none.
  std::vector<EndpointStatus> Ask() {
    std::string answer;
    std::string error;
    std::vector<EndpointStatus> records;
    EXPECT_TRUE(AskStatus(folder_ + "/dev", &answer, &error)) << error;
    EXPECT_TRUE(DecodeStatus(answer, &records)) << answer;
    return records;
  }
  // The one record of kind with link (and address, for a network client).
  static const EndpointStatus* Find(const std::vector<EndpointStatus>& records,
                                    const std::string& kind, const std::string& link,
                                    const std::string& address = "") {
    const EndpointStatus* found = nullptr;
    for (const EndpointStatus& record : records) {
      if (record.kind == kind && record.link == link && record.address == address) {
        EXPECT_EQ(found, nullptr) << "two records for " << kind << " " << link;
        found = &record;
      }
    }
    return found;
  }

  HostDevice mouse_;
  uint16_t tcpPort_ = FreePort();
};

TEST_F(SwitchedOnStatusTest, TwoReadingClientsAndANetworkClientShowOpenWithTheirCounts) {
  AddDriver(u"Mouse", 3, u"serial.dll");
  SetString(registry(), Mouse, u"HostPort", FromUtf8(mouse_.path()));
  SetNumber(registry(), Mouse, u"HostBaudRate", 115200);
  InstallSplitter(5, 3);
  SetNumber(registry(), Splitter, u"Endpoints", 3);
  SetNumber(registry(), Splitter, u"TcpPort", tcpPort_);
  Activate(u"Mouse");
  Activate(u"Velmora");
  SwitchOn();
  ASSERT_TRUE(WaitForEvent("COM5: holds COM3")) << EventsText();
  std::string url = "tcp://127.0.0.1:" + std::to_string(tcpPort_);
  ASSERT_TRUE(WaitForEvent("COM5: listening on " + url)) << EventsText();

  std::vector<EndpointStatus> before = Ask();
  ASSERT_NE(Find(before, "pty", Dev("COM5")), nullptr);
  EXPECT_FALSE(Find(before, "pty", Dev("COM5"))->open);
  ASSERT_NE(Find(before, "listener", url), nullptr);
  EXPECT_FALSE(Find(before, "listener", url)->open);
  const EndpointStatus* held = Find(before, "none", "-");
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(held->port, "COM3");
  EXPECT_NE(held->driver.find("held by the splitter on COM5"), std::string::npos);

  UniqueFd first = OpenClient(Dev("COM5"));
  UniqueFd second = OpenClient(Dev("COM5-2"));
  std::string address;
  UniqueFd network = ConnectLoopback(tcpPort_, "127.0.0.1", &address);
  ASSERT_TRUE(network.valid());
  ASSERT_TRUE(WaitForEvents(": client opened", 2)) << EventsText();
  ASSERT_TRUE(WaitForEvent("COM5: tcp " + address + ": client connected")) << EventsText();

  // Everything the source sends is read by all three before asking.
  std::string source;
  for (int i = 0; i < 2000; ++i) {
    source += "$GPGGA,line " + std::to_string(i) + "\r\n";
  }
  ASSERT_TRUE(WriteAll(mouse_.fd(), source));
  for (int fd : {first.get(), second.get(), network.get()}) {
    ASSERT_EQ(ReadCount(fd, source.size()), source) << EventsText();
  }
  ASSERT_TRUE(WriteAll(first.get(), "$PMTK314*00\r\n"));
  ASSERT_EQ(ReadUntil(mouse_.fd(), "\r\n"), "$PMTK314*00\r\n");

  std::vector<EndpointStatus> now = Ask();
  for (const char* name : {"COM5", "COM5-2"}) {
    const EndpointStatus* endpoint = Find(now, "pty", Dev(name));
    ASSERT_NE(endpoint, nullptr) << name;
    EXPECT_TRUE(endpoint->open) << name;
    EXPECT_EQ(endpoint->port, "COM5");
    EXPECT_EQ(endpoint->sent, source.size()) << name;
    EXPECT_EQ(endpoint->dropped, 0u) << name;
    EXPECT_EQ(endpoint->terminal.rfind("/dev/pts/", 0), 0u) << endpoint->terminal;
  }
  EXPECT_EQ(Find(now, "pty", Dev("COM5"))->received, 13u);
  EXPECT_EQ(Find(now, "pty", Dev("COM5-2"))->received, 0u);
  EXPECT_FALSE(Find(now, "pty", Dev("COM5-3"))->open);
  EXPECT_TRUE(Find(now, "listener", url)->open);
  const EndpointStatus* client = Find(now, "tcp", url, address);
  ASSERT_NE(client, nullptr);
  EXPECT_TRUE(client->open);
  EXPECT_EQ(client->sent, source.size());
  EXPECT_EQ(client->received, 0u);
  EXPECT_EQ(client->dropped, 0u);

  // A client that left: its endpoint is closed and keeps the counts of its
  // last client; a network client that left is gone from the status.
  second.Reset();
  network.Reset();
  ASSERT_TRUE(WaitForEvent("dev/COM5-2: client closed")) << EventsText();
  ASSERT_TRUE(WaitForEvent("COM5: tcp " + address + ": client closed, it hung up (" +
                           std::to_string(source.size()) + " bytes sent, 0 dropped, 0 received)"))
      << EventsText();
  std::vector<EndpointStatus> after = Ask();
  EXPECT_FALSE(Find(after, "pty", Dev("COM5-2"))->open);
  EXPECT_EQ(Find(after, "pty", Dev("COM5-2"))->sent, source.size());
  EXPECT_EQ(Find(after, "tcp", url, address), nullptr);
  EXPECT_FALSE(Find(after, "listener", url)->open);
  EXPECT_TRUE(Find(after, "pty", Dev("COM5"))->open);
}

TEST_F(SwitchedOnStatusTest, AReaderThatNeverReadsHoldsNobodyUp) {
  SwitchOn();
  ASSERT_TRUE(WaitForLink("COM4")) << EventsText();
  // Connected and silent: the device answers into its buffer and goes on.
  std::vector<UniqueFd> silent;
  for (int i = 0; i < 20; ++i) {
    silent.emplace_back(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string path = folder_ + "/dev/.status";
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    ASSERT_EQ(::connect(silent.back().get(), reinterpret_cast<sockaddr*>(&address), sizeof address),
              0);
  }
  std::vector<EndpointStatus> records = Ask();
  ASSERT_NE(Find(records, "pty", Dev("COM4")), nullptr);
  UniqueFd gps = OpenClient(Dev("COM4"));
  EXPECT_NE(ReadUntil(gps.get(), "$GPRMC", 10).find("$GPRMC"), std::string::npos) << EventsText();
}

}  // namespace
}  // namespace velmora::testing
