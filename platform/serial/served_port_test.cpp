#include "platform/serial/served_port.h"

#include <poll.h>

#include <random>
#include <thread>

#include "platform/text.h"
#include "tests/switched_on_fixture.h"

namespace velmora::testing {
namespace {

const char16_t* const Splitter = u"Drivers\\BuiltIn\\Velmora";
const char16_t* const Mouse = u"Drivers\\BuiltIn\\Mouse";

class ServedPortTest : public SwitchedOnFixture {
 protected:
  // A host serial device on COM3 and the splitter on COM5 holding it.
  void SplitterOnHostDevice(uint32_t endpoints) {
    AddDriver(u"Mouse", 3, u"serial.dll");
    SetString(registry(), Mouse, u"HostPort", FromUtf8(mouse_.path()));
    SetNumber(registry(), Mouse, u"HostBaudRate", 115200);
    InstallSplitter(5, 3);
    SetNumber(registry(), Splitter, u"Endpoints", endpoints);
    Activate(u"Mouse");
    Activate(u"Velmora");
    SwitchOn();
    ASSERT_TRUE(WaitForEvent("COM3: host port " + mouse_.path() + " open")) << EventsText();
    ASSERT_TRUE(WaitForEvent("COM5: holds COM3")) << EventsText();
  }

  HostDevice mouse_;
};

// A source that writes as fast as it can, clients that read as fast as they
// can (not in step with it), and one that never reads: every reading client
// gets every byte in order; only the silent one loses, and only its own.
TEST_F(ServedPortTest, ClientsThatKeepUpLoseNothingOfASourceAsFastAsItCanWrite) {
  SplitterOnHostDevice(5);
  std::vector<UniqueFd> readers;
  for (const char* name : {"COM5", "COM5-2", "COM5-3", "COM5-4"}) {
    readers.push_back(OpenClient(Dev(name)));
  }
  UniqueFd silent = OpenClient(Dev("COM5-5"));
  for (const char* name : {"COM5", "COM5-2", "COM5-3", "COM5-4", "COM5-5"}) {
    ASSERT_TRUE(WaitForEvent(std::string("dev/") + name + ": client opened")) << EventsText();
  }
  std::string source(8 * 1024 * 1024, '\0');
  std::mt19937 random(5);
  for (char& c : source) {
    c = static_cast<char>(random() & 0xFF);
  }
  bool written = false;
  std::thread writer([&] { written = WriteAll(mouse_.fd(), source, 60); });
  std::vector<std::string> received(readers.size());
  std::vector<pollfd> wait;
  for (const UniqueFd& reader : readers) {
    wait.push_back(pollfd{reader.get(), POLLIN, 0});
  }
  auto done = [&] {
    for (const std::string& got : received) {
      if (got.size() < source.size()) {
        return false;
      }
    }
    return true;
  };
  for (int rounds = 0; !done() && rounds < 200000; ++rounds) {
    if (::poll(wait.data(), wait.size(), 100) == 0 && written) {
      break;  // everything sent and nothing more comes
    }
    for (size_t i = 0; i < readers.size(); ++i) {
      received[i] += ReadAvailable(readers[i].get());
    }
  }
  writer.join();
  ASSERT_TRUE(written);
  for (size_t i = 0; i < readers.size(); ++i) {
    EXPECT_EQ(received[i].size(), source.size()) << "client " << i << "\n" << EventsText();
    EXPECT_TRUE(received[i] == source) << "client " << i << " got other bytes";
  }
  EXPECT_EQ(CountEvents("dropping"), CountEvents("dev/COM5-5: client is not reading"))
      << EventsText();
  EXPECT_EQ(CountEvents("dev/COM5-5: client is not reading"), 1) << EventsText();
}

}  // namespace
}  // namespace velmora::testing
