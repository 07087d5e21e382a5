// The splitter beside gpsd, the usual way to share one GPS receiver: how
// long a whole NMEA sentence takes from the source until a client has read
// all of it. The splitter's clients (a pseudo-terminal endpoint, a raw TCP
// client, an RFC 2217 client) read one source; gpsd (as Debian ships it)
// reads another, a pseudo-terminal pair fed the same sentences, and serves
// them to a client of its socket watching raw NMEA and to `gpspipe -r`.
// Each iteration times the splitter and then gpsd, so both meet the same
// load of the machine. Loopback only.
#include <cstdio>

#include "bench/child_process.h"
#include "bench/loopback.h"
#include "bench/switched_on_bench.h"

namespace velmora::bench {
namespace {

// One reader of the stream and the times it took to read each sentence.
struct Listener {
  const char* name;
  int fd;
  std::string heard;
  std::vector<double> micros;
};

std::string Sentence(int number) {
  char body[96];
  std::snprintf(body, sizeof body,
                "GPGGA,%02d%02d%02d.00,5333.6000,N,00959.9000,E,1,08,1.0,10.0,M,40.0,M,,",
                number / 3600 % 24, number / 60 % 60, number % 60);
  unsigned sum = 0;
  for (const char* c = body; *c != '\0'; ++c) {
    sum ^= static_cast<unsigned char>(*c);
  }
  char sentence[128];
  std::snprintf(sentence, sizeof sentence, "$%s*%02X\r\n", body, sum);
  return sentence;
}

// Writes sentence to source, then reads every listener until each has
// read all of it, noting each one's time from the write (with timed);
// false when one has not within seconds.
bool Hear(int source, const std::string& sentence, std::vector<Listener*> listeners, bool timed,
          int seconds = 10) {
  Clock::time_point start = Clock::now();
  if (::write(source, sentence.data(), sentence.size()) != static_cast<ssize_t>(sentence.size())) {
    return false;
  }
  std::vector<bool> done(listeners.size(), false);
  size_t left = listeners.size();
  char buffer[65536];
  while (left > 0 && Clock::now() - start < std::chrono::seconds(seconds)) {
    std::vector<pollfd> wait;
    for (size_t i = 0; i < listeners.size(); ++i) {
      wait.push_back(pollfd{listeners[i]->fd, static_cast<short>(done[i] ? 0 : POLLIN), 0});
    }
    ::poll(wait.data(), wait.size(), 100);
    for (size_t i = 0; i < listeners.size(); ++i) {
      Listener& listener = *listeners[i];
      ssize_t count = 0;
      while (!done[i] && (count = ::read(listener.fd, buffer, sizeof buffer)) > 0) {
        Clock::time_point now = Clock::now();  // each read's own moment
        listener.heard.append(buffer, static_cast<size_t>(count));
        if (listener.heard.find(sentence) != std::string::npos) {
          done[i] = true;
          --left;
          listener.heard.clear();
          if (timed) {
            listener.micros.push_back(Micros(now - start));
          }
        } else if (listener.heard.size() > 4 * sentence.size()) {
          listener.heard.erase(0, listener.heard.size() - sentence.size());
        }
      }
    }
  }
  return left == 0;
}

void BM_NetworkSentenceLatencyVsGpsd(benchmark::State& state) {
  uint16_t tcp = FreePort();
  uint16_t rfc = FreePort();
  uint16_t gpsdPort = FreePort();
  Bench bench(Feed::HostDevice, tcp, rfc);
  UniqueFd pty(::open(bench.Dev("COM5").c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  UniqueFd raw = ConnectTo(tcp);
  UniqueFd telnet = ConnectTo(rfc);
  if (!pty || !raw || !telnet ||
      ::write(telnet.get(), "\xFF\xFB\x2C\xFF\xFD\x2C", 6) != 6) {  // WILL, DO COM-PORT-OPTION
    state.SkipWithError("the splitter's endpoints cannot be reached");
    return;
  }

  // gpsd on a pseudo-terminal pair of its own, held open (and raw) here
  // so that the pair outlives gpsd's own opening and closing of it.
  PtyPair gpsdSource;
  UniqueFd gpsdSlave(::open(gpsdSource.slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
  Raw(gpsdSlave.get());
  std::string control = (std::filesystem::temp_directory_path() /
                         ("velmora-bench-gpsd-" + std::to_string(::getpid()) + ".sock"))
                            .string();
  Child gpsd;
  if (!gpsd.Start({"gpsd", "-N", "-n", "-b", "-S", std::to_string(gpsdPort), "-F", control,
                   gpsdSource.slave})) {
    state.SkipWithError("gpsd cannot be started (scripts/setup.sh installs it)");
    return;
  }
  UniqueFd watcher;
  for (int i = 0; i < 100 && !watcher; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    watcher = ConnectTo(gpsdPort);
  }
  const std::string watch = "?WATCH={\"enable\":true,\"raw\":1}\n";
  int pipe[2];
  if (!watcher || ::write(watcher.get(), watch.data(), watch.size()) <= 0 ||
      ::pipe2(pipe, O_CLOEXEC) != 0) {
    state.SkipWithError("gpsd does not listen");
    return;
  }
  UniqueFd piped(pipe[0]);
  Child gpspipe;
  bool started = gpspipe.Start({"gpspipe", "-r", "127.0.0.1:" + std::to_string(gpsdPort)}, pipe[1]);
  ::close(pipe[1]);
  ::fcntl(piped.get(), F_SETFL, O_NONBLOCK);
  if (!started) {
    state.SkipWithError("gpspipe cannot be started (scripts/setup.sh installs it)");
    return;
  }

  Listener listeners[] = {{"pty", pty.get(), {}, {}},
                          {"tcp", raw.get(), {}, {}},
                          {"rfc2217", telnet.get(), {}, {}},
                          {"gpsd", watcher.get(), {}, {}},
                          {"gpspipe", piped.get(), {}, {}}};
  std::vector<Listener*> splitter{&listeners[0], &listeners[1], &listeners[2]};
  std::vector<Listener*> served{&listeners[3], &listeners[4]};
  // gpsd hunts for the kind of device first; both of its clients hear it
  // once it has settled on NMEA.
  int number = 0;
  bool settled = false;
  for (int i = 0; i < 100 && !settled; ++i) {
    settled = Hear(gpsdSource.master.get(), Sentence(number++), served, false, 1);
  }
  if (!settled || !Hear(bench.source.master.get(), Sentence(number++), splitter, false)) {
    state.SkipWithError("a client heard nothing");
    return;
  }
  for (auto _ : state) {
    std::string sentence = Sentence(number++);
    Clock::time_point start = Clock::now();
    if (!Hear(bench.source.master.get(), sentence, splitter, true) ||
        !Hear(gpsdSource.master.get(), sentence, served, true)) {
      state.SkipWithError("a sentence did not arrive");
      break;
    }
    state.SetIterationTime(Micros(Clock::now() - start) / 1e6);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));  // a receiver, not a flood
  }
  for (Listener& listener : listeners) {
    std::vector<double>& s = listener.micros;
    if (s.empty()) {
      continue;
    }
    std::sort(s.begin(), s.end());
    state.counters[std::string(listener.name) + "_p50_us"] = s[s.size() / 2];
    state.counters[std::string(listener.name) + "_p99_us"] = s[s.size() * 99 / 100];
  }
  std::filesystem::remove(control);
}
BENCHMARK(BM_NetworkSentenceLatencyVsGpsd)
    ->UseManualTime()
    ->Iterations(1000)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace velmora::bench
