// The sample device switched on in a thread of the test, as
// `velmora-device run` switches it on in its own process: the running
// device has its own registry and files on the device folder, the test
// changes the device through another (as VelmoraCfg or velmora-device do)
// and watches the endpoints and the event lines.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/device/device.h"
#include "platform/unique_fd.h"
#include "tests/test_support.h"

namespace velmora::testing {

// A pseudo-terminal the test holds the master of: a serial device of the
// host (a GPS mouse) as far as the device can tell.
class HostDevice {
 public:
  HostDevice();
  int fd() const { return master_.get(); }
  const std::string& path() const { return slavePath_; }
  void Close() { master_.Reset(); }

 private:
  UniqueFd master_;
  std::string slavePath_;
};

// Opens an endpoint as a serial program does (no raw mode of its own).
UniqueFd OpenClient(const std::string& path);
// Reads what is there now, without waiting.
std::string ReadAvailable(int fd);
// Writes all of bytes, waiting for room; false after seconds.
bool WriteAll(int fd, std::string_view bytes, int seconds = 20);
// Reads until count bytes came or seconds passed.
std::string ReadCount(int fd, size_t count, int seconds = 20);
// Reads until the text holds needle or seconds passed; all that was read.
std::string ReadUntil(int fd, const std::string& needle, int seconds = 20);

class SwitchedOnFixture : public ::testing::Test {
 protected:
  SwitchedOnFixture();
  ~SwitchedOnFixture() override;

  void SwitchOn();
  void SwitchOff();

  // Whether an event line holding text came within seconds.
  bool WaitForEvent(const std::string& text, int seconds = 20);
  // Whether count event lines holding text came within seconds.
  bool WaitForEvents(const std::string& text, int count, int seconds = 20);
  // The event lines so far, and those holding text.
  std::vector<std::string> Events();
  std::string EventsText();
  int CountEvents(const std::string& text);
  // Whether dev/name exists (present) or not within seconds.
  bool WaitForLink(const std::string& name, bool present = true, int seconds = 20);
  // The endpoints in dev/, sorted: "COM4 COM5 COM5-2".
  std::string Links();
  // Links() once it is expected, or as it is after seconds.
  std::string WaitForLinks(const std::string& expected, int seconds = 20);
  std::string Dev(const std::string& name) const { return folder_ + "/dev/" + name; }
  std::string Root(const std::string& path) const { return folder_ + "/root/" + path; }

  Device& device() { return *control_; }
  PlatformRegistry& registry() { return control_->registry(); }
  // A driver key below Drivers\BuiltIn for a port COM<index>.
  void AddDriver(const std::u16string& name, uint32_t index, const std::u16string& dll);
  // The splitter's key as VelmoraCfg installs it on COM<index>.
  void InstallSplitter(uint32_t index, uint32_t connectTo);
  DeviceHandle Activate(const std::u16string& name);
  void Deactivate(DeviceHandle handle);

  TempDir dir_;
  std::string folder_;
  std::unique_ptr<Device> control_;

 private:
  void Serve();

  std::thread thread_;
  UniqueFd stopRead_;
  UniqueFd stopWrite_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> events_;
  bool started_ = false;
};

}  // namespace velmora::testing
