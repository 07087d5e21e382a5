// A device folder under the faults a user's machine brings: a process
// killed in the middle of a change, two processes changing the device at
// once, a full disk. Each leaves the registry as it was before or after a
// change, never in between.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/device/device.h"
#include "platform/registry/key_handle.h"
#include "platform/registry/store_text.h"
#include "platform/text.h"
#include "tests/test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

// One sample device, copied for every case (creating it flushes a lot).
const std::string& SampleTemplate() {
  static testing::TempDir* dir = new testing::TempDir();
  static std::string folder = [] {
    std::string path = *dir / "sample";
    std::string error;
    EXPECT_TRUE(Device::CreateSample(path, &error)) << error;
    std::unique_ptr<Device> device = Device::Open(path, &error);
    // A driver that nothing runs yet, for activation races.
    KeyHandle key(device->registry());
    key.Create(HKEY_LOCAL_MACHINE, u"Drivers\\BuiltIn\\Race");
    key.WriteString(u"Prefix", u"COM");
    key.WriteNumber(u"Index", 8);
    key.WriteString(u"Dll", u"serial.dll");
    return path;
  }();
  return folder;
}

void CopyDevice(const std::string& to) {
  fs::copy(SampleTemplate(), to, fs::copy_options::recursive);
}

std::unique_ptr<Device> OpenDevice(const std::string& folder) {
  std::string error;
  std::unique_ptr<Device> device = Device::Open(folder, &error);
  EXPECT_NE(device, nullptr) << error;
  return device;
}

std::string Exported(const std::string& folder) {
  std::unique_ptr<Device> device = OpenDevice(folder);
  return device ? device->registry().ExportText() : "(no device)";
}

bool HasTemporaryFiles(const std::string& folder) {
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().filename().string().find(".tmp.") != std::string::npos) {
      return true;
    }
  }
  return false;
}

using Operation = void (*)(Device&);

struct Case {
  const char* name;
  Operation operation;
};

const Case Operations[] = {
    {"activate", [](Device& d) { d.devices().ActivateDriver(u"Drivers\\BuiltIn\\Race", 0); }},
    {"deactivate", [](Device& d) { d.devices().DeactivateDriver(1002); }},
    {"boot", [](Device& d) { d.devices().Boot(); }},
    {"import",
     [](Device& d) {
       std::string error;
       d.registry().ImportText(
           "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Imported]\n\"A\"=dword:1\n\"B\"=\"two\"\n", &error);
     }},
    {"restore",
     [](Device& d) {
       std::string error;
       std::string text = d.registry().ExportText() + "[HKEY_LOCAL_MACHINE\\Restored]\n";
       bool given = false;
       ImportOptions options;
       options.replace = true;
       ImportResult result;
       ImportRegStream(
           d.registry(),
           [&](std::string* out, bool* eof, std::string*) {
             out->append(given ? "" : text);
             given = *eof = true;
             return true;
           },
           options, &result, &error);
     }},
};

// Runs operation in a child process that is killed (SIGKILL) when the
// registry reaches stage; true when it was.
bool KilledAt(const std::string& folder, Operation operation, const std::string& stage) {
  pid_t child = ::fork();
  if (child == 0) {
    std::string error;
    std::unique_ptr<Device> device = Device::Open(folder, &error);
    if (!device) {
      ::_exit(2);
    }
    device->registry().SetWriteFaultForTesting([stage](std::string_view reached) {
      if (reached == stage) {
        ::raise(SIGKILL);
      }
      return true;
    });
    operation(*device);
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

TEST(DeviceFaults, AKillAtAnyStageLeavesTheOldOrTheNewRegistry) {
  testing::TempDir dir;
  for (const Case& c : Operations) {
    std::string reference = dir / (std::string(c.name) + "-reference");
    CopyDevice(reference);
    std::string before = Exported(reference);
    c.operation(*OpenDevice(reference));
    std::string after = Exported(reference);
    ASSERT_NE(before, after) << c.name;

    for (const char* stage : {"commit", "committed"}) {
      SCOPED_TRACE(std::string(c.name) + " killed at " + stage);
      std::string folder = dir / (std::string(c.name) + "-" + stage);
      CopyDevice(folder);
      ASSERT_TRUE(KilledAt(folder, c.operation, stage));
      std::string found = Exported(folder);
      EXPECT_EQ(found, std::string(stage) == "commit" ? before : after);
      // The next change goes on from there.
      std::string error;
      EXPECT_TRUE(OpenDevice(folder)->registry().ImportText(
          "REGEDIT4\n[HKEY_LOCAL_MACHINE\\After]\n\"A\"=dword:1\n", &error))
          << error;
      EXPECT_FALSE(HasTemporaryFiles(folder));
    }
  }
}

// Kills a writer at whatever point it has reached, many times: inside a
// commit too. Every change adds the next value; what is found afterwards
// is always a whole prefix of them, and the store takes the next change.
TEST(DeviceFaults, AKillInTheMiddleOfCommitsLeavesWholeChanges) {
  testing::TempDir dir;
  std::string folder = dir / "device";
  CopyDevice(folder);
  for (int round = 0; round < 20; ++round) {
    pid_t child = ::fork();
    if (child == 0) {
      std::unique_ptr<Device> device = OpenDevice(folder);
      KeyHandle key(device->registry());
      if (!device || key.Create(HKEY_LOCAL_MACHINE, u"Kills") != StatusSuccess) {
        ::_exit(2);
      }
      for (uint32_t n = 0;; ++n) {
        uint32_t count = 0;
        key.ReadNumber(u"Count", &count);
        device->registry().Atomically([&] {
          key.WriteNumber(u"V" + FromUtf8(std::to_string(count)), count);
          return key.WriteNumber(u"Count", count + 1);
        });
      }
    }
    ::usleep(static_cast<useconds_t>(20000 + 7919 * round % 30000));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "round " << round;
    std::unique_ptr<Device> device = OpenDevice(folder);
    ASSERT_NE(device, nullptr);
    KeyHandle key(device->registry());
    uint32_t count = 0;
    if (key.Open(HKEY_LOCAL_MACHINE, u"Kills") != StatusSuccess) {
      continue;  // killed before its first change
    }
    key.ReadNumber(u"Count", &count);
    for (uint32_t n = 0; n < count; ++n) {
      uint32_t value = 0;
      ASSERT_TRUE(key.ReadNumber(u"V" + FromUtf8(std::to_string(n)), &value)) << n;
    }
    uint32_t extra = 0;
    EXPECT_FALSE(key.ReadNumber(u"V" + FromUtf8(std::to_string(count)), &extra));
  }
}

TEST(DeviceFaults, TwoProcessesNeverRunTwoDevicesOfOneName) {
  testing::TempDir dir;
  std::string folder = dir / "device";
  CopyDevice(folder);
  for (int round = 0; round < 12; ++round) {
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    pid_t children[2];
    for (pid_t& child : children) {
      child = ::fork();
      if (child == 0) {
        ::close(go[1]);
        std::string error;
        std::unique_ptr<Device> device = Device::Open(folder, &error);
        char ready;
        if (!device || ::read(go[0], &ready, 1) != 0) {
          ::_exit(2);
        }
        ::_exit(device->devices().ActivateDriver(u"Drivers\\BuiltIn\\Race", 0) != 0 ? 0 : 1);
      }
    }
    ::close(go[0]);
    ::close(go[1]);  // both start now
    int started = 0;
    for (pid_t child : children) {
      int status = 0;
      ::waitpid(child, &status, 0);
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 2);
      started += WEXITSTATUS(status) == 0;
    }
    EXPECT_EQ(started, 1) << "round " << round;
    std::unique_ptr<Device> device = OpenDevice(folder);
    int com8 = 0;
    uint32_t handle = 0;
    for (const std::string& line : testing::ActiveEntries(device->registry())) {
      if (line.find(" COM8: ") != std::string::npos) {
        ++com8;
        handle = static_cast<uint32_t>(std::stoul(line.substr(line.find(" COM8: ") + 7)));
      }
    }
    ASSERT_EQ(com8, 1) << "round " << round;
    ASSERT_EQ(device->devices().DeactivateDriver(handle), 1);
  }
}

// A small file system of its own, filled to the last byte. Needs root (to
// mount it); elsewhere the test says why it does not run.
class FullDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    mount_ = dir_ / "disk";
    fs::create_directory(mount_);
    if (::mount("tmpfs", mount_.c_str(), "tmpfs", 0, "size=2m") != 0) {
      GTEST_SKIP() << "cannot mount a small file system here (needs root): " << strerror(errno);
    }
    mounted_ = true;
    folder_ = mount_ + "/device";
    CopyDevice(folder_);
    std::ofstream filler(mount_ + "/filler", std::ios::binary);
    std::string block(4096, 'x');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size()))) {
    }
  }
  void TearDown() override {
    if (mounted_) {
      ::umount2(mount_.c_str(), MNT_DETACH);
    }
  }

  testing::TempDir dir_;
  std::string mount_;
  std::string folder_;
  bool mounted_ = false;
};

TEST_F(FullDisk, ChangesFailAsWriteFailuresAndChangeNothing) {
  std::unique_ptr<Device> device = OpenDevice(folder_);
  SimulatedDeviceManager& devices = device->devices();
  std::string before = device->registry().ExportText();

  // A full disk still takes changes that fit in the store's free pages:
  // change until those are used up too. Every change is whole or not at
  // all.
  std::string error;
  int stored = 0;
  while (stored < 500 && device->registry().ImportText("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Pad]\n\"N" +
                                                           std::to_string(stored) + "\"=dword:1\n",
                                                       &error)) {
    ++stored;
  }
  ASSERT_LT(stored, 500);
  EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
  before = device->registry().ExportText();
  EXPECT_EQ(Exported(folder_), before);

  EXPECT_EQ(devices.ActivateDriver(u"Drivers\\BuiltIn\\Race", 0), 0u);
  EXPECT_NE(devices.log().back().find("No space left on device"), std::string::npos)
      << devices.log().back();
  EXPECT_EQ(Exported(folder_), before);
  EXPECT_EQ(devices.DeactivateDriver(1002), 0);
  EXPECT_NE(devices.log().back().find("the registry cannot be changed: cannot write"),
            std::string::npos)
      << devices.log().back();
  EXPECT_FALSE(devices.Boot());
  EXPECT_EQ(devices.log().back().rfind("boot failed: the registry cannot be changed", 0), 0u)
      << devices.log().back();
  EXPECT_EQ(Exported(folder_), before);
  EXPECT_EQ(device->registry().ExportText(), before);
  if (const char* bin = std::getenv("VELMORA_BIN")) {
    std::string command = std::string(bin) + "/velmora-device --device " + folder_ +
                          " boot >/dev/null 2>" + dir_ / "boot.err";
    EXPECT_NE(std::system(command.c_str()), 0);
    EXPECT_NE(testing::ReadFileText(dir_ / "boot.err").find("boot failed"), std::string::npos);
  }

  fs::remove(mount_ + "/filler");
  EXPECT_NE(devices.ActivateDriver(u"Drivers\\BuiltIn\\Race", 0), 0u) << devices.log().back();
  EXPECT_EQ(devices.DeactivateDriver(1002), 1);
  EXPECT_TRUE(devices.Boot());
}

// A boot on a disk that is full from the start: its change (the cleared
// "Drivers\Active", the drivers it loads and their counters) cannot be
// stored. The boot fails as a whole and every driver that ran before runs
// on, for the device manager and for `velmora-device boot` (exit code 1 and
// a message).
TEST_F(FullDisk, ABootThatCannotStoreItsResultFailsAndTheDriversRunOn) {
  std::unique_ptr<Device> device = OpenDevice(folder_);
  SimulatedDeviceManager& devices = device->devices();
  const std::string before = device->registry().ExportText();
  const std::vector<std::string> running = testing::ActiveEntries(device->registry());
  ASSERT_FALSE(running.empty());

  EXPECT_FALSE(devices.Boot());
  EXPECT_EQ(devices.log().back().rfind("boot failed: ", 0), 0u) << devices.log().back();
  EXPECT_NE(devices.log().back().find("No space left on device"), std::string::npos)
      << devices.log().back();
  EXPECT_EQ(testing::ActiveEntries(device->registry()), running);
  EXPECT_EQ(Exported(folder_), before);
  EXPECT_EQ(testing::ActiveEntries(OpenDevice(folder_)->registry()), running);

  if (const char* bin = std::getenv("VELMORA_BIN")) {
    std::string command = std::string(bin) + "/velmora-device --device " + folder_ +
                          " boot >/dev/null 2>" + dir_ / "boot.err";
    int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    std::string told = testing::ReadFileText(dir_ / "boot.err");
    EXPECT_EQ(told.rfind("velmora-device: boot failed: ", 0), 0u) << told;
    EXPECT_EQ(Exported(folder_), before);
  }

  fs::remove(mount_ + "/filler");
  EXPECT_TRUE(devices.Boot()) << devices.log().back();
  std::string after;
  for (const std::string& line : testing::ActiveEntries(device->registry())) {
    after += line.substr(line.find(' '), line.find(':') - line.find(' ') + 1);
  }
  for (const std::string& line : running) {
    std::string name = line.substr(line.find(' '), line.find(':') - line.find(' ') + 1);
    EXPECT_NE(after.find(name), std::string::npos) << name << " is not running after a boot";
  }
}

}  // namespace
}  // namespace velmora
