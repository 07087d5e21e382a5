#include "tests/switched_on_fixture.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "platform/registry/key_handle.h"
#include "platform/serial/run_lock.h"
#include "platform/serial/switched_on_device.h"

namespace velmora::testing {

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point After(int seconds) {
  return Clock::now() + std::chrono::seconds(seconds);
}

bool Exists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

}  // namespace

HostDevice::HostDevice() {
  master_.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
  char name[128] = {};
  EXPECT_TRUE(master_ && ::grantpt(master_.get()) == 0 && ::unlockpt(master_.get()) == 0 &&
              ::ptsname_r(master_.get(), name, sizeof name) == 0);
  ::fcntl(master_.get(), F_SETFL, O_NONBLOCK);
  slavePath_ = name;
}

UniqueFd OpenClient(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  EXPECT_TRUE(fd) << path;
  return fd;
}

std::string ReadAvailable(int fd) {
  std::string text;
  char buffer[65536];
  ssize_t count = 0;
  while ((count = ::read(fd, buffer, sizeof buffer)) > 0) {
    text.append(buffer, static_cast<size_t>(count));
  }
  return text;
}

bool WriteAll(int fd, std::string_view bytes, int seconds) {
  Clock::time_point end = After(seconds);
  while (!bytes.empty() && Clock::now() < end) {
    ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written > 0) {
      bytes.remove_prefix(static_cast<size_t>(written));
      continue;
    }
    pollfd wait{fd, POLLOUT, 0};
    ::poll(&wait, 1, 50);
  }
  return bytes.empty();
}

std::string ReadCount(int fd, size_t count, int seconds) {
  std::string text;
  Clock::time_point end = After(seconds);
  while (text.size() < count && Clock::now() < end) {
    pollfd wait{fd, POLLIN, 0};
    ::poll(&wait, 1, 50);
    text += ReadAvailable(fd);
  }
  return text;
}

std::string ReadUntil(int fd, const std::string& needle, int seconds) {
  std::string text;
  Clock::time_point end = After(seconds);
  while (text.find(needle) == std::string::npos && Clock::now() < end) {
    pollfd wait{fd, POLLIN, 0};
    ::poll(&wait, 1, 50);
    text += ReadAvailable(fd);
  }
  return text;
}

SwitchedOnFixture::SwitchedOnFixture() : folder_(dir_ / "device") {
  std::string error;
  EXPECT_TRUE(Device::CreateSample(folder_, &error)) << error;
  control_ = Device::Open(folder_, &error);
  EXPECT_TRUE(control_) << error;
}

SwitchedOnFixture::~SwitchedOnFixture() {
  SwitchOff();
}

void SwitchedOnFixture::SwitchOn() {
  int pipe[2];
  ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
  stopRead_.Reset(pipe[0]);
  stopWrite_.Reset(pipe[1]);
  thread_ = std::thread([this] { Serve(); });
  std::unique_lock<std::mutex> lock(mutex_);
  ASSERT_TRUE(changed_.wait_until(lock, After(20), [this] { return started_; }));
}

void SwitchedOnFixture::Serve() {
  std::string error;
  std::unique_ptr<Device> device = Device::Open(folder_, &error);
  RunLock lock;
  if (!device || !lock.Acquire(folder_, &error)) {
    ADD_FAILURE() << error;
    std::lock_guard<std::mutex> guard(mutex_);
    started_ = true;
    changed_.notify_all();
    return;
  }
  SwitchedOnDevice running(device->registry(), device->files(), folder_,
                           [this](const std::string& line) {
                             std::lock_guard<std::mutex> guard(mutex_);
                             events_.push_back(line);
                             changed_.notify_all();
                           });
  running.Start();
  {
    std::lock_guard<std::mutex> guard(mutex_);
    started_ = true;
    changed_.notify_all();
  }
  EXPECT_TRUE(running.Run(stopRead_.get()));
}

void SwitchedOnFixture::SwitchOff() {
  if (!thread_.joinable()) {
    return;
  }
  EXPECT_EQ(::write(stopWrite_.get(), "x", 1), 1);
  thread_.join();
  started_ = false;
}

bool SwitchedOnFixture::WaitForEvent(const std::string& text, int seconds) {
  return WaitForEvents(text, 1, seconds);
}

bool SwitchedOnFixture::WaitForEvents(const std::string& text, int count, int seconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_until(lock, After(seconds), [&] {
    return std::count_if(events_.begin(), events_.end(), [&](const std::string& line) {
             return line.find(text) != std::string::npos;
           }) >= count;
  });
}

std::vector<std::string> SwitchedOnFixture::Events() {
  std::lock_guard<std::mutex> guard(mutex_);
  return events_;
}

std::string SwitchedOnFixture::EventsText() {
  std::string text;
  for (const std::string& line : Events()) {
    text += line + "\n";
  }
  return text;
}

int SwitchedOnFixture::CountEvents(const std::string& text) {
  std::vector<std::string> lines = Events();
  return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
    return line.find(text) != std::string::npos;
  }));
}

bool SwitchedOnFixture::WaitForLink(const std::string& name, bool present, int seconds) {
  Clock::time_point end = After(seconds);
  while (Exists(Dev(name)) != present) {
    if (Clock::now() >= end) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

std::string SwitchedOnFixture::Links() {
  std::vector<std::string> names;
  DIR* dir = ::opendir((folder_ + "/dev").c_str());
  while (dir != nullptr) {
    dirent* entry = ::readdir(dir);
    if (entry == nullptr) {
      break;
    }
    if (entry->d_name[0] != '.') {
      names.push_back(entry->d_name);
    }
  }
  if (dir != nullptr) {
    ::closedir(dir);
  }
  std::sort(names.begin(), names.end());
  std::string text;
  for (const std::string& name : names) {
    text += (text.empty() ? "" : " ") + name;
  }
  return text;
}

std::string SwitchedOnFixture::WaitForLinks(const std::string& expected, int seconds) {
  Clock::time_point end = After(seconds);
  std::string links = Links();
  while (links != expected && Clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    links = Links();
  }
  return links;
}

void SwitchedOnFixture::AddDriver(const std::u16string& name, uint32_t index,
                                  const std::u16string& dll) {
  std::u16string key = u"Drivers\\BuiltIn\\" + name;
  SetString(registry(), key, u"Prefix", u"COM");
  SetNumber(registry(), key, u"Index", index);
  SetString(registry(), key, u"Dll", dll);
  SetNumber(registry(), key, u"Order", 1);
}

void SwitchedOnFixture::InstallSplitter(uint32_t index, uint32_t connectTo) {
  AddDriver(u"Velmora", index, u"Velmora.dll");
  SetString(registry(), u"Drivers\\BuiltIn\\Velmora", u"FriendlyName",
            u"Velmora Virual Serial Splitter");
  SetNumber(registry(), u"Drivers\\BuiltIn\\Velmora", u"DeviceArrayIndex", index);
  SetNumber(registry(), u"Drivers\\BuiltIn\\Velmora", u"ConnectTo", connectTo);
}

DeviceHandle SwitchedOnFixture::Activate(const std::u16string& name) {
  DeviceHandle handle = control_->devices().ActivateDriver(u"Drivers\\BuiltIn\\" + name, 0);
  EXPECT_NE(handle, 0u) << control_->devices().log().back();
  return handle;
}

void SwitchedOnFixture::Deactivate(DeviceHandle handle) {
  EXPECT_NE(control_->devices().DeactivateDriver(handle), 0);
}

}  // namespace velmora::testing
