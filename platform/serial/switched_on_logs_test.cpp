// The splitter's logs while the device runs: they stay inside root/ even
// when their folder is swapped for a link that leads out, once or again
// and again while the splitter restarts and its logs rotate.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "platform/serial/nmea.h"
#include "platform/serial/switched_on_device.h"
#include "platform/text.h"
#include "tests/switched_on_fixture.h"

namespace velmora::testing {
namespace {

const char16_t* const Splitter = u"Drivers\\BuiltIn\\Velmora";
const char16_t* const Mouse = u"Drivers\\BuiltIn\\Mouse";

class SwitchedOnLogsTest : public SwitchedOnFixture {
 protected:
  // A host serial device on COM3, the splitter on COM5 holding it and
  // logging what it reads to \My Documents\logs, rotated at 4096 bytes; a
  // folder outside the device with a file of the older log's name.
  SwitchedOnLogsTest() : outside_(dir_ / "outside") {
    ::mkdir(outside_.c_str(), 0755);
    WriteFileText(outside_ + "/Velmora-COM5-read.old.log", "untouched");
    ::mkdir(Root("My Documents/logs").c_str(), 0755);
    ::symlink(outside_.c_str(), Root("My Documents/swap").c_str());
    AddDriver(u"Mouse", 3, u"serial.dll");
    SetString(registry(), Mouse, u"HostPort", FromUtf8(mouse_.path()));
    SetNumber(registry(), Mouse, u"HostBaudRate", 115200);
    InstallSplitter(5, 3);
    SetNumber(registry(), Splitter, u"Endpoints", 1);
    SetBytes(registry(), Splitter, u"ReadLog", RegBinary, {1});
    SetString(registry(), Splitter, u"LogDir", u"\\My Documents\\logs");
    SetNumber(registry(), Splitter, u"LogLimit", 4096);
    Activate(u"Mouse");
  }

  // Exchanges the log folder and the link to the outside in one step.
  bool Swap() {
    return ::renameat2(AT_FDCWD, Root("My Documents/swap").c_str(), AT_FDCWD,
                       Root("My Documents/logs").c_str(), RENAME_EXCHANGE) == 0;
  }

  // A client of dev/COM5, once the splitter has seen it.
  UniqueFd Client() {
    UniqueFd client = OpenClient(Dev("COM5"));
    EXPECT_TRUE(WaitForEvents("dev/COM5: client opened", ++clients_)) << EventsText();
    return client;
  }

  // Sends about bytes through the splitter to client, waiting until it has
  // them all, so that the splitter has logged them.
  void Pump(int client, size_t bytes) {
    std::string sent;
    for (int i = 0; sent.size() < bytes; ++i) {
      std::string sentence = NmeaSentence("GPTXT,01,01,02,line " + std::to_string(i));
      ASSERT_TRUE(WriteAll(mouse_.fd(), sentence));
      ASSERT_EQ(ReadCount(client, sentence.size()), sentence);
      sent += sentence;
    }
  }

  void ExpectOutsideUntouched() {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(outside_.c_str())) {
      while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") {
          names.push_back(name);
        }
      }
      ::closedir(dir);
    }
    EXPECT_EQ(names, std::vector<std::string>{"Velmora-COM5-read.old.log"});
    EXPECT_EQ(ReadFileText(outside_ + "/Velmora-COM5-read.old.log"), "untouched");
  }

  std::string outside_;
  HostDevice mouse_;
  int clients_ = 0;
};

TEST_F(SwitchedOnLogsTest, ALogFolderSwappedForALinkLeadingOutIsNeverWrittenThrough) {
  Activate(u"Velmora");
  SwitchOn();
  ASSERT_TRUE(WaitForEvent("COM5: logging reads to \\My Documents\\logs\\Velmora-COM5-read.log"))
      << EventsText();
  ASSERT_TRUE(WaitForEvent("COM5: holds COM3")) << EventsText();
  // Bytes written before the host device is open are not the port's.
  ASSERT_TRUE(WaitForEvent("COM3: host port " + mouse_.path() + " open")) << EventsText();
  UniqueFd client = Client();
  Pump(client.get(), 3000);
  ASSERT_TRUE(Swap());
  Pump(client.get(), 3000);  // the rotation finds no folder on the device
  ASSERT_TRUE(
      WaitForEvent("COM5: cannot rotate \\My Documents\\logs\\Velmora-COM5-read.log: the "
                   "folder is not on the device; the read log is off"))
      << EventsText();
  Pump(client.get(), 3000);
  ExpectOutsideUntouched();
  EXPECT_LE(ReadFileText(Root("My Documents/swap/Velmora-COM5-read.log")).size(), 4096u);
  EXPECT_GE(ReadFileText(Root("My Documents/swap/Velmora-COM5-read.log")).size(), 2000u);
}

TEST_F(SwitchedOnLogsTest, SwapsDuringRestartsAndRotationsNeverWriteOutside) {
  SwitchOn();
  std::atomic<bool> done{false};
  std::thread swapper([&] {
    // Paced, so that some starts find the folder whole (and log) while
    // swaps still fall amid restarts, opens and rotations.
    while (!done) {
      Swap();
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
  });
  for (int restart = 0; restart < 20; ++restart) {
    DeviceHandle splitter = Activate(u"Velmora");
    ASSERT_TRUE(WaitForEvents("COM5: holds COM3", restart + 1)) << EventsText();
    UniqueFd client = Client();
    Pump(client.get(), 6000);
    Deactivate(splitter);
    // The next start takes back the endpoint this one left.
    ASSERT_TRUE(WaitForEvents("COM5: down", restart + 1)) << EventsText();
  }
  done = true;
  swapper.join();
  ExpectOutsideUntouched();
  EXPECT_GT(CountEvents("COM5: logging reads to"), 0) << EventsText();
}

}  // namespace
}  // namespace velmora::testing
