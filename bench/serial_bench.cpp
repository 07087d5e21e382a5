// The device switched on: how long a byte takes from the source to each of
// four clients of the splitter, how much it carries to each, how soon an
// endpoint follows an activation, and what serving a 1 Hz NMEA stream to
// four clients costs. The switched-on device runs in a thread of its own,
// as `velmora-device run` runs in a process of its own; a pseudo-terminal
// pair with no splitter between is the floor to compare with.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
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

namespace velmora {
namespace {

using Clock = std::chrono::steady_clock;

double Micros(Clock::duration d) {
  return std::chrono::duration<double, std::micro>(d).count();
}

bool Exists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

void WaitFor(const std::string& path, bool present) {
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

void Raw(int fd) {
  termios mode{};
  ::tcgetattr(fd, &mode);
  ::cfmakeraw(&mode);
  ::tcsetattr(fd, TCSANOW, &mode);
}

// The sample device switched on in a thread; its splitter on COM5 holds
// COM3, a host device fed through `source`, or COM4, the GPS receiver.
class Bench {
 public:
  explicit Bench(bool onGps) {
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
    control_->devices().ActivateDriver(u"Drivers\\BuiltIn\\Mouse", 0);
    control_->devices().ActivateDriver(u"Drivers\\BuiltIn\\Velmora", 0);
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

  PtyPair source;
  std::vector<UniqueFd> clients;

 private:
  void Serve() {
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
  UniqueFd stopRead_;
  UniqueFd stopWrite_;
};

// Waits until each fd has given count more bytes.
bool ReadFromEach(const std::vector<int>& fds, size_t count) {
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

void Percentiles(benchmark::State& state, std::vector<double> samples) {
  if (samples.empty()) {
    return;
  }
  std::sort(samples.begin(), samples.end());
  state.counters["p50_us"] = samples[samples.size() / 2];
  state.counters["p99_us"] = samples[samples.size() * 99 / 100];
  state.counters["max_us"] = samples.back();
}

// A byte written to the source until each of the four clients has read it.
void BM_SplitterLatency(benchmark::State& state) {
  Bench bench(false);
  bench.OpenClients();
  std::vector<int> fds;
  for (const UniqueFd& client : bench.clients) {
    fds.push_back(client.get());
  }
  std::vector<double> samples;
  for (auto _ : state) {
    Clock::time_point start = Clock::now();
    if (::write(bench.source.master.get(), "$", 1) != 1 || !ReadFromEach(fds, 1)) {
      state.SkipWithError("a byte did not arrive");
      break;
    }
    samples.push_back(Micros(Clock::now() - start));
    state.SetIterationTime(samples.back() / 1e6);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));  // a line, not a flood
  }
  Percentiles(state, samples);
}
BENCHMARK(BM_SplitterLatency)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

// The floor: the same byte through one pseudo-terminal pair, no splitter.
void BM_PtyPairLatency(benchmark::State& state) {
  PtyPair pair;
  UniqueFd client(::open(pair.slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  Raw(client.get());
  std::vector<int> fds{client.get()};
  std::vector<double> samples;
  for (auto _ : state) {
    Clock::time_point start = Clock::now();
    if (::write(pair.master.get(), "$", 1) != 1 || !ReadFromEach(fds, 1)) {
      state.SkipWithError("a byte did not arrive");
      break;
    }
    samples.push_back(Micros(Clock::now() - start));
    state.SetIterationTime(samples.back() / 1e6);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  Percentiles(state, samples);
}
BENCHMARK(BM_PtyPairLatency)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

// 8 MiB through the splitter to four clients that read as fast as they can.
void BM_SplitterThroughput(benchmark::State& state) {
  Bench bench(false);
  bench.OpenClients();
  const size_t total = 8 * 1024 * 1024;
  const std::string chunk(4096, 'x');
  std::vector<size_t> got(bench.clients.size(), 0);
  char buffer[65536];
  for (auto _ : state) {
    std::fill(got.begin(), got.end(), 0);
    size_t sent = 0;
    Clock::time_point start = Clock::now();
    Clock::time_point end = start + std::chrono::seconds(60);
    while (*std::min_element(got.begin(), got.end()) < sent || sent < total) {
      if (Clock::now() > end) {
        state.SkipWithError("the stream stopped");
        return;
      }
      std::vector<pollfd> wait{
          {bench.source.master.get(), static_cast<short>(sent < total ? POLLOUT : 0), 0}};
      for (const UniqueFd& client : bench.clients) {
        wait.push_back(pollfd{client.get(), POLLIN, 0});
      }
      ::poll(wait.data(), wait.size(), 100);
      if (sent < total) {
        ssize_t n =
            ::write(bench.source.master.get(), chunk.data(), std::min(chunk.size(), total - sent));
        sent += n > 0 ? static_cast<size_t>(n) : 0;
      }
      for (size_t i = 0; i < bench.clients.size(); ++i) {
        ssize_t n = 0;
        while ((n = ::read(bench.clients[i].get(), buffer, sizeof buffer)) > 0) {
          got[i] += static_cast<size_t>(n);
        }
      }
      // Lost bytes never come: stop waiting once the source is quiet.
      if (sent == total && Clock::now() - start > std::chrono::seconds(30)) {
        break;
      }
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(seconds);
    state.counters["MB_per_s_each"] = static_cast<double>(total) / seconds / 1e6;
    state.counters["lost_bytes"] =
        static_cast<double>(total * got.size() - std::accumulate(got.begin(), got.end(), 0ul));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * total);
}
BENCHMARK(BM_SplitterThroughput)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// The handle of the running device loaded from key, 0 when none.
uint32_t HandleOf(PlatformRegistry& registry, const std::u16string& keyPath) {
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

// From a deactivation (through another registry, as VelmoraCfg makes it)
// until the endpoint is gone, and from an activation until it is there.
void BM_EndpointFollowsTheDeviceManager(benchmark::State& state) {
  Bench bench(false);
  const std::u16string gps = u"Drivers\\BuiltIn\\GPS";
  std::vector<double> samples;
  for (auto _ : state) {
    Clock::time_point start = Clock::now();
    bench.control().devices().DeactivateDriver(HandleOf(bench.control().registry(), gps));
    WaitFor(bench.Dev("COM4"), false);
    samples.push_back(Micros(Clock::now() - start));
    start = Clock::now();
    bench.control().devices().ActivateDriver(gps, 0);
    WaitFor(bench.Dev("COM4"), true);
    samples.push_back(Micros(Clock::now() - start));
    state.SetIterationTime((samples[samples.size() - 1] + samples[samples.size() - 2]) / 1e6);
  }
  Percentiles(state, samples);
}
BENCHMARK(BM_EndpointFollowsTheDeviceManager)
    ->UseManualTime()
    ->Iterations(40)
    ->Unit(benchmark::kMillisecond);

// The GPS receiver's 1 Hz stream through the splitter to four clients for
// 20 seconds: the serving thread's processor time against the time passed.
void BM_ServingNmeaToFourClients(benchmark::State& state) {
  Bench bench(true);
  bench.OpenClients();
  for (auto _ : state) {
    double cpuBefore = bench.ServingCpuSeconds();
    Clock::time_point start = Clock::now();
    size_t heard = 0;
    char buffer[4096];
    while (Clock::now() - start < std::chrono::seconds(20)) {
      std::vector<pollfd> wait;
      for (const UniqueFd& client : bench.clients) {
        wait.push_back(pollfd{client.get(), POLLIN, 0});
      }
      ::poll(wait.data(), wait.size(), 200);
      for (const UniqueFd& client : bench.clients) {
        ssize_t n = 0;
        while ((n = ::read(client.get(), buffer, sizeof buffer)) > 0) {
          heard += static_cast<size_t>(n);
        }
      }
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(seconds);
    state.counters["cpu_percent"] = 100.0 * (bench.ServingCpuSeconds() - cpuBefore) / seconds;
    state.counters["bytes_per_client_per_s"] = static_cast<double>(heard) / 4 / seconds;
  }
}
BENCHMARK(BM_ServingNmeaToFourClients)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace velmora
