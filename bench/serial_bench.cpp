// The device switched on: how long a byte takes from the source to each of
// four clients of the splitter, how much it carries to each (and loses),
// and how soon it follows the device manager. The switched-on device runs
// in a thread of its own, as `velmora-device run` runs in a process of its
// own; a pseudo-terminal pair with no splitter between is the floor to
// compare with.
#include "bench/switched_on_bench.h"

namespace velmora::bench {
namespace {

// A byte written to the source until each of the four clients has read it.
void BM_SplitterLatency(benchmark::State& state) {
  Bench bench(Feed::HostDevice);
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

// total bytes written to source (at most bytesPerSecond, 0: as fast as it
// takes them) and read by every client as fast as it can; the rate each
// client got and the bytes lost.
void Stream(benchmark::State& state, int source, const std::vector<int>& clients,
            double bytesPerSecond) {
  const size_t total = 8 * 1024 * 1024;
  const std::string chunk(4096, 'x');
  std::vector<size_t> got(clients.size(), 0);
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
      double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
      size_t allowed = bytesPerSecond > 0
                           ? std::min(total, static_cast<size_t>(elapsed * bytesPerSecond) + 4096)
                           : total;
      bool canSend = sent < allowed;
      std::vector<pollfd> wait{{source, static_cast<short>(canSend ? POLLOUT : 0), 0}};
      for (int client : clients) {
        wait.push_back(pollfd{client, POLLIN, 0});
      }
      ::poll(wait.data(), wait.size(), canSend || sent == total ? 100 : 1);
      if (canSend) {
        ssize_t n = ::write(source, chunk.data(), std::min(chunk.size(), allowed - sent));
        sent += n > 0 ? static_cast<size_t>(n) : 0;
      }
      for (size_t i = 0; i < clients.size(); ++i) {
        ssize_t n = 0;
        while ((n = ::read(clients[i], buffer, sizeof buffer)) > 0) {
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

// 8 MiB through the splitter to four clients that read as fast as they
// can: range(0) MB/s from the source, 0 as fast as the source can write.
void BM_SplitterThroughput(benchmark::State& state) {
  Bench bench(Feed::HostDevice);
  bench.OpenClients();
  std::vector<int> clients;
  for (const UniqueFd& client : bench.clients) {
    clients.push_back(client.get());
  }
  Stream(state, bench.source.master.get(), clients, static_cast<double>(state.range(0)) * 1e6);
}
BENCHMARK(BM_SplitterThroughput)
    ->Arg(10)
    ->Arg(0)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// The floor: the same stream through one pseudo-terminal pair to one
// client, no splitter.
void BM_PtyPairThroughput(benchmark::State& state) {
  PtyPair pair;
  UniqueFd client(::open(pair.slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  Raw(client.get());
  Stream(state, pair.master.get(), {client.get()}, static_cast<double>(state.range(0)) * 1e6);
}
BENCHMARK(BM_PtyPairThroughput)
    ->Arg(10)
    ->Arg(0)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// The list of endpoints the running device writes whenever it has followed
// a change.
std::string Listing(Bench& bench) {
  std::ifstream file(bench.Dev(".ports"));
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool Serves(Bench& bench, const std::string& port) {
  return Listing(bench).find(port + ":  GPS receiver") != std::string::npos;
}

void WaitUntilServed(Bench& bench, const std::string& port, bool served) {
  for (int i = 0; i < 20000 && Serves(bench, port) != served; ++i) {
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
}

// From a deactivation (through another registry, as VelmoraCfg makes it)
// until the running device has stopped the port, and from an activation
// until it serves it again (its endpoint is there). The device is told by
// a watch on the registry's files; before, it looked every 50 ms. p50_us
// counts from the call, after_commit_p50_us from the moment the call has
// returned (the change committed), commit_p50_us is the call itself.
void BM_EndpointFollowsTheDeviceManager(benchmark::State& state) {
  Bench bench(Feed::HostDevice);
  const std::u16string gps = u"Drivers\\BuiltIn\\GPS";
  std::vector<double> samples;
  std::vector<double> afterCommit;
  std::vector<double> commits;
  auto follow = [&](auto change, bool served) {
    Clock::time_point start = Clock::now();
    change();
    Clock::time_point committed = Clock::now();
    WaitUntilServed(bench, "COM4", served);
    if (served) {
      WaitFor(bench.Dev("COM4"), true);
    }
    Clock::time_point end = Clock::now();
    samples.push_back(Micros(end - start));
    afterCommit.push_back(Micros(end - committed));
    commits.push_back(Micros(committed - start));
  };
  for (auto _ : state) {
    follow(
        [&] {
          bench.control().devices().DeactivateDriver(HandleOf(bench.control().registry(), gps));
        },
        false);
    follow([&] { bench.control().devices().ActivateDriver(gps, 0); }, true);
    state.SetIterationTime((samples[samples.size() - 1] + samples[samples.size() - 2]) / 1e6);
  }
  Percentiles(state, samples);
  std::sort(afterCommit.begin(), afterCommit.end());
  std::sort(commits.begin(), commits.end());
  state.counters["after_commit_p50_us"] = afterCommit[afterCommit.size() / 2];
  state.counters["commit_p50_us"] = commits[commits.size() / 2];
}
BENCHMARK(BM_EndpointFollowsTheDeviceManager)
    ->UseManualTime()
    ->Iterations(40)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora::bench
