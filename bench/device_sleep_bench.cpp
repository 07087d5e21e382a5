// What the switched-on device costs while little or nothing happens: its
// wakeups with nothing to do, and its processor time serving the GPS
// receiver's 1 Hz NMEA stream to four clients, beside gpsd serving the
// same stream to four raw clients (gpspipe -r) as the floor.
#include <memory>

#include "bench/child_process.h"
#include "bench/loopback.h"
#include "bench/switched_on_bench.h"
#include "platform/serial/gps_receiver.h"

namespace velmora::bench {
namespace {

constexpr auto Measured = std::chrono::seconds(20);

// Reads the clients for Measured; the bytes each got a second.
double ReadClients(const std::vector<int>& fds) {
  size_t heard = 0;
  char buffer[4096];
  Clock::time_point start = Clock::now();
  while (Clock::now() - start < Measured) {
    std::vector<pollfd> wait;
    for (int fd : fds) {
      wait.push_back(pollfd{fd, POLLIN, 0});
    }
    ::poll(wait.data(), wait.size(), 200);
    for (int fd : fds) {
      ssize_t n = 0;
      while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
        heard += static_cast<size_t>(n);
      }
    }
  }
  return static_cast<double>(heard) / static_cast<double>(fds.size()) /
         std::chrono::duration<double>(Measured).count();
}

void Report(benchmark::State& state, const TaskCost& before, const TaskCost& after,
            double seconds) {
  state.SetIterationTime(seconds);
  state.counters["cpu_percent"] = 100.0 * (after.cpuSeconds - before.cpuSeconds) / seconds;
  state.counters["wakeups_per_s"] = (after.wakeups - before.wakeups) / seconds;
}

// Switched on with four clients open and nothing happening: no source
// sends, nobody writes, the device manager is quiet.
void BM_IdleWakeups(benchmark::State& state) {
  Bench bench(Feed::Silent);
  bench.OpenClients();
  for (auto _ : state) {
    TaskCost before = bench.ServingCost();
    std::this_thread::sleep_for(Measured);
    Report(state, before, bench.ServingCost(), std::chrono::duration<double>(Measured).count());
  }
}
BENCHMARK(BM_IdleWakeups)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

// The GPS receiver's 1 Hz stream through the splitter to four clients.
void BM_ServingNmeaToFourClients(benchmark::State& state) {
  Bench bench(Feed::Gps);
  bench.OpenClients();
  std::vector<int> fds;
  for (const UniqueFd& client : bench.clients) {
    fds.push_back(client.get());
  }
  for (auto _ : state) {
    TaskCost before = bench.ServingCost();
    double perClient = ReadClients(fds);
    Report(state, before, bench.ServingCost(), std::chrono::duration<double>(Measured).count());
    state.counters["bytes_per_client_per_s"] = perClient;
  }
}
BENCHMARK(BM_ServingNmeaToFourClients)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

// The floor: gpsd reading the same sentences from a pseudo-terminal, once
// a second, and serving them raw to four gpspipe clients.
void BM_GpsdServingNmeaToFourClients(benchmark::State& state) {
  PtyPair feed;
  {
    UniqueFd slave(::open(feed.slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    Raw(slave.get());
  }
  std::atomic<bool> feeding{true};
  std::thread feeder([&] {
    std::unique_ptr<GpsReceiver> receiver = GpsReceiver::AlongRoute(Route::BuiltIn(), "");
    double travelled = 0;
    while (feeding) {
      auto now = std::chrono::system_clock::now();
      auto next = std::chrono::ceil<std::chrono::seconds>(now);
      std::this_thread::sleep_until(next);
      std::string epoch =
          NmeaEpoch(receiver->FixAt(std::chrono::system_clock::to_time_t(next), travelled++));
      if (::write(feed.master.get(), epoch.data(), epoch.size()) < 0) {
        char drain[4096];
        while (::read(feed.master.get(), drain, sizeof drain) > 0) {
        }
      }
    }
  });
  uint16_t port = FreePort();
  std::string socket = "/tmp/velmora-bench-gpsd-" + std::to_string(::getpid()) + ".sock";
  Child gpsd;
  bool started =
      gpsd.Start({"gpsd", "-N", "-n", "-b", "-S", std::to_string(port), "-F", socket, feed.slave});
  for (int i = 0; i < 200 && started && !ConnectTo(port).valid(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::vector<std::unique_ptr<Child>> clients;
  for (int i = 0; i < 4 && started; ++i) {
    clients.push_back(std::make_unique<Child>());
    clients.back()->Start({"gpspipe", "-r", "127.0.0.1:" + std::to_string(port)});
  }
  std::this_thread::sleep_for(std::chrono::seconds(2));
  std::string task = "/proc/" + std::to_string(gpsd.pid()) + "/task/" + std::to_string(gpsd.pid());
  for (auto _ : state) {
    if (!started) {
      state.SkipWithError("gpsd did not start");
      break;
    }
    TaskCost before = CostOf(task);
    std::this_thread::sleep_for(Measured);
    Report(state, before, CostOf(task), std::chrono::duration<double>(Measured).count());
  }
  clients.clear();
  gpsd.Stop();
  feeding = false;
  feeder.join();
  ::unlink(socket.c_str());
}
BENCHMARK(BM_GpsdServingNmeaToFourClients)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace velmora::bench
