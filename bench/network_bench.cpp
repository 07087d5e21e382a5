// The splitter's network endpoints: how long a byte takes from the source
// to a raw TCP client and to an RFC 2217 client, beside a pseudo-terminal
// client of the same splitter in the same run, and what each of four TCP
// clients gets when the source writes as fast as it can. Loopback only.
// (gpsd_bench.cpp times whole sentences through the splitter and gpsd.)
#include "bench/loopback.h"
#include "bench/switched_on_bench.h"

namespace velmora::bench {
namespace {

void Drain(int fd) {
  char buffer[4096];
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  while (::read(fd, buffer, sizeof buffer) > 0) {
  }
}

// A byte written to the source until a pseudo-terminal client, a raw TCP
// client and an RFC 2217 client have each read it; each one's own times.
void BM_NetworkLatency(benchmark::State& state) {
  uint16_t tcp = FreePort();
  uint16_t rfc = FreePort();
  Bench bench(Feed::HostDevice, tcp, rfc);
  UniqueFd pty(::open(bench.Dev("COM5").c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  UniqueFd raw = ConnectTo(tcp);
  UniqueFd telnet = ConnectTo(rfc);
  if (!pty || !raw || !telnet ||
      ::write(telnet.get(), "\xFF\xFB\x2C\xFF\xFD\x2C", 6) != 6) {  // WILL, DO COM-PORT-OPTION
    state.SkipWithError("the endpoints cannot be reached");
    return;
  }
  Drain(telnet.get());
  std::vector<int> fds{pty.get(), raw.get(), telnet.get()};
  std::vector<std::vector<double>> samples(fds.size());
  char buffer[256];
  for (auto _ : state) {
    Clock::time_point start = Clock::now();
    if (::write(bench.source.master.get(), "$", 1) != 1) {
      state.SkipWithError("the source took nothing");
      break;
    }
    std::vector<bool> heard(fds.size(), false);
    Clock::time_point end = start + std::chrono::seconds(10);
    size_t left = fds.size();
    while (left > 0 && Clock::now() < end) {
      std::vector<pollfd> wait;
      for (size_t i = 0; i < fds.size(); ++i) {
        wait.push_back(pollfd{fds[i], static_cast<short>(heard[i] ? 0 : POLLIN), 0});
      }
      ::poll(wait.data(), wait.size(), 100);
      for (size_t i = 0; i < fds.size(); ++i) {
        if (!heard[i] && ::read(fds[i], buffer, sizeof buffer) > 0) {
          heard[i] = true;
          samples[i].push_back(Micros(Clock::now() - start));  // each read's own moment
          --left;
        }
      }
    }
    if (left > 0) {
      state.SkipWithError("a byte did not arrive");
      break;
    }
    state.SetIterationTime(Micros(Clock::now() - start) / 1e6);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));  // a line, not a flood
  }
  const char* const names[] = {"pty", "tcp", "rfc2217"};
  for (size_t i = 0; i < samples.size(); ++i) {
    std::vector<double>& s = samples[i];
    if (s.empty()) {
      continue;
    }
    std::sort(s.begin(), s.end());
    state.counters[std::string(names[i]) + "_p50_us"] = s[s.size() / 2];
    state.counters[std::string(names[i]) + "_p99_us"] = s[s.size() * 99 / 100];
  }
}
BENCHMARK(BM_NetworkLatency)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

// 8 MiB written by the source as fast as it takes them, read by four raw
// TCP clients as fast as they can: the rate each got, and bytes lost.
void BM_NetworkThroughput4Tcp(benchmark::State& state) {
  uint16_t tcp = FreePort();
  Bench bench(Feed::HostDevice, tcp);
  std::vector<UniqueFd> clients;
  for (int i = 0; i < 4; ++i) {
    clients.push_back(ConnectTo(tcp));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const size_t total = 8 * 1024 * 1024;
  const std::string chunk(4096, 'x');
  char buffer[65536];
  int source = bench.source.master.get();
  for (auto _ : state) {
    std::vector<size_t> got(clients.size(), 0);
    size_t sent = 0;
    Clock::time_point start = Clock::now();
    while (*std::min_element(got.begin(), got.end()) < total &&
           Clock::now() - start < std::chrono::seconds(30)) {
      std::vector<pollfd> wait{{source, static_cast<short>(sent < total ? POLLOUT : 0), 0}};
      for (const UniqueFd& client : clients) {
        wait.push_back(pollfd{client.get(), POLLIN, 0});
      }
      ::poll(wait.data(), wait.size(), 100);
      if (sent < total) {
        ssize_t n = ::write(source, chunk.data(), std::min(chunk.size(), total - sent));
        sent += n > 0 ? static_cast<size_t>(n) : 0;
      }
      for (size_t i = 0; i < clients.size(); ++i) {
        ssize_t n = 0;
        while ((n = ::read(clients[i].get(), buffer, sizeof buffer)) > 0) {
          got[i] += static_cast<size_t>(n);
        }
      }
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(seconds);
    state.counters["MB_per_s_each"] = static_cast<double>(total) / seconds / 1e6;
    state.counters["lost_bytes"] =
        static_cast<double>(total * got.size() - std::accumulate(got.begin(), got.end(), 0ul));
  }
}
BENCHMARK(BM_NetworkThroughput4Tcp)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora::bench
