// The sample device switched on in a thread of the benchmark, as
// `velmora-device run` switches it on in a process of its own, with a host
// device to feed it and helpers to read its clients; shared by the
// benchmarks of the running device.
#pragma once

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "platform/device/device.h"
#include "platform/registry/key_handle.h"
#include "platform/serial/run_lock.h"
#include "platform/serial/switched_on_device.h"
#include "platform/text.h"
#include "platform/unique_fd.h"

namespace velmora::bench {

// The handle of the running device loaded from key, 0 when none.
inline uint32_t HandleOf(PlatformRegistry& registry, const std::u16string& keyPath) {
  KeyHandle active(registry);
  uint32_t handle = 0;
  if (active.Open(HKEY_LOCAL_MACHINE, u"Drivers\\Active") != StatusSuccess) {
    return 0;
  }
  for (const std::u16string& entry : active.SubkeyNames()) {
    KeyHandle key(registry);
    std::u16string path;
    if (key.Open(active.get(), entry) == StatusSuccess && key.ReadString(u"Key", &path) &&
        path == keyPath) {
      key.ReadNumber(u"Hnd", &handle);
    }
  }
  return handle;
}

using Clock = std::chrono::steady_clock;

inline double Micros(Clock::duration d) {
  return std::chrono::duration<double, std::micro>(d).count();
}

inline bool Exists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

inline void WaitFor(const std::string& path, bool present) {
  for (int i = 0; i < 20000 && Exists(path) != present; ++i) {
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
}

// A pseudo-terminal pair: the master as the test's side of a host device.
struct PtyPair {
  PtyPair() {
    master.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    char name[128] = {};
    ::grantpt(master.get());
    ::unlockpt(master.get());
    ::ptsname_r(master.get(), name, sizeof name);
    slave = name;
    ::fcntl(master.get(), F_SETFL, O_NONBLOCK);
  }
  UniqueFd master;
  std::string slave;
};

inline void Raw(int fd) {
  termios mode{};
  ::tcgetattr(fd, &mode);
  ::cfmakeraw(&mode);
  ::tcsetattr(fd, TCSANOW, &mode);
}

// The sample device switched on in a thread; its splitter on COM5 holds
// COM3, a host device fed through `source`, or COM4, the GPS receiver.
// What a thread of this process (or another process's) has cost: processor
// time and wakeups (context switches), from /proc.
struct TaskCost {
  double cpuSeconds = 0;
  double wakeups = 0;
};

inline TaskCost CostOf(const std::string& taskFolder) {
  TaskCost cost;
  std::ifstream schedstat(taskFolder + "/schedstat");
  double nanos = 0;
  if (schedstat >> nanos) {
    cost.cpuSeconds = nanos / 1e9;
  }
  std::ifstream status(taskFolder + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with("voluntary_ctxt_switches:") ||
        line.starts_with("nonvoluntary_ctxt_switches:")) {
      cost.wakeups += std::stod(line.substr(line.find(':') + 1));
    }
  }
  return cost;
}

enum class Feed {
  HostDevice,  // the splitter holds COM3, a host device fed by the benchmark
  Gps,         // the splitter holds COM4, the GPS receiver at 1 Hz
  Silent,      // as HostDevice, with the GPS receiver stopped: nothing happens
};

class Bench {
 public:
  // tcpPort, rfc2217Port: the splitter's network endpoints (0: none).
  explicit Bench(Feed feed, uint16_t tcpPort = 0, uint16_t rfc2217Port = 0) {
    bool onGps = feed == Feed::Gps;
    std::string pattern =
        (std::filesystem::temp_directory_path() / "velmora-bench-XXXXXX").string();
    folder_ = std::string(::mkdtemp(pattern.data())) + "/device";
    std::string error;
    Device::CreateSample(folder_, &error);
    control_ = Device::Open(folder_, &error);
    PlatformRegistry& registry = control_->registry();
    KeyHandle key(registry);
    key.Create(HKEY_LOCAL_MACHINE, u"Drivers\\BuiltIn\\Mouse");
    key.WriteString(u"Prefix", u"COM");
    key.WriteNumber(u"Index", 3);
    key.WriteString(u"Dll", u"serial.dll");
    key.WriteString(u"HostPort", FromUtf8(source.slave));
    key.WriteNumber(u"HostBaudRate", 115200);
    key.Create(HKEY_LOCAL_MACHINE, u"Drivers\\BuiltIn\\Velmora");
    key.WriteString(u"Prefix", u"COM");
    key.WriteNumber(u"Index", 5);
    key.WriteString(u"Dll", u"Velmora.dll");
    key.WriteNumber(u"ConnectTo", onGps ? 4 : 3);
    if (tcpPort != 0) {
      key.WriteNumber(u"TcpPort", tcpPort);
    }
    if (rfc2217Port != 0) {
      key.WriteNumber(u"Rfc2217Port", rfc2217Port);
    }
    control_->devices().ActivateDriver(u"Drivers\\BuiltIn\\Mouse", 0);
    control_->devices().ActivateDriver(u"Drivers\\BuiltIn\\Velmora", 0);
    if (feed == Feed::Silent) {
      control_->devices().DeactivateDriver(HandleOf(registry, u"Drivers\\BuiltIn\\GPS"));
    }
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) == 0) {
      stopRead_.Reset(pipe[0]);
      stopWrite_.Reset(pipe[1]);
    }
    thread_ = std::thread([this] { Serve(); });
    WaitFor(Dev("COM5-4"), true);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the host device is open
  }

  ~Bench() {
    clients.clear();
    if (::write(stopWrite_.get(), "x", 1) == 1) {
      thread_.join();
    } else {
      thread_.detach();
    }
    std::filesystem::remove_all(std::filesystem::path(folder_).parent_path());
  }

  // Opens the four endpoints and waits until the device has seen them.
  void OpenClients() {
    for (const char* name : {"COM5", "COM5-2", "COM5-3", "COM5-4"}) {
      clients.emplace_back(::open(Dev(name).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }

  std::string Dev(const std::string& name) const { return folder_ + "/dev/" + name; }
  Device& control() { return *control_; }
  double ServingCpuSeconds() {
    timespec used{};
    clockid_t clock;
    if (pthread_getcpuclockid(thread_.native_handle(), &clock) != 0 ||
        ::clock_gettime(clock, &used) != 0) {
      return 0;
    }
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
  }

  // The serving thread's cost so far.
  TaskCost ServingCost() const { return CostOf("/proc/self/task/" + std::to_string(tid_.load())); }

  PtyPair source;
  std::vector<UniqueFd> clients;

 private:
  void Serve() {
    tid_ = static_cast<pid_t>(::syscall(SYS_gettid));
    std::string error;
    std::unique_ptr<Device> device = Device::Open(folder_, &error);
    RunLock lock;
    if (!device || !lock.Acquire(folder_, &error)) {
      return;
    }
    SwitchedOnDevice running(device->registry(), device->files(), folder_,
                             [](const std::string&) {});
    running.Start();
    running.Run(stopRead_.get());
  }

  std::string folder_;
  std::unique_ptr<Device> control_;
  std::thread thread_;
  std::atomic<pid_t> tid_{0};
  UniqueFd stopRead_;
  UniqueFd stopWrite_;
};

// Waits until each fd has given count more bytes.
inline bool ReadFromEach(const std::vector<int>& fds, size_t count) {
  std::vector<size_t> got(fds.size(), 0);
  char buffer[65536];
  Clock::time_point end = Clock::now() + std::chrono::seconds(10);
  while (Clock::now() < end) {
    std::vector<pollfd> wait;
    for (size_t i = 0; i < fds.size(); ++i) {
      if (got[i] < count) {
        wait.push_back(pollfd{fds[i], POLLIN, 0});
      }
    }
    if (wait.empty()) {
      return true;
    }
    ::poll(wait.data(), wait.size(), 100);
    for (size_t i = 0; i < fds.size(); ++i) {
      ssize_t n = 0;
      while (got[i] < count && (n = ::read(fds[i], buffer, sizeof buffer)) > 0) {
        got[i] += static_cast<size_t>(n);
      }
    }
  }
  return false;
}

inline void Percentiles(benchmark::State& state, std::vector<double> samples) {
  if (samples.empty()) {
    return;
  }
  std::sort(samples.begin(), samples.end());
  state.counters["p50_us"] = samples[samples.size() / 2];
  state.counters["p99_us"] = samples[samples.size() * 99 / 100];
  state.counters["max_us"] = samples.back();
}

}  // namespace velmora::bench
