// Start-up to the first full screen: VelmoraCfg on the sample device, from
// starting the process until the caption and the port list are drawn.
//
// - SilentPty: on a pseudo-terminal that answers nothing (as `script`,
//   pipes through ssh and several terminal emulators behave), 80 x 24.
// - Tmux: in a window of a private tmux server, watched through a tmux
//   control-mode client, so tmux answers what it answers.
//
// The screen is complete when the caption and "Verbinde mit", the row
// below the port list, have arrived: the toolkit writes the rows of a
// frame from the top down. Each run waits until the previous process has
// gone, since a second instance on one device would only wake the first.
//
// VELMORA_CFG names the program (default: VelmoraCfg of this build);
// VELMORA_CFG_REFERENCE names another build to measure in the same run,
// for example one of the main branch. "floor" is /bin/echo writing the two
// markers: what starting any process costs on this machine.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/device/device.h"

namespace velmora {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto GiveUp = std::chrono::seconds(20);
const char* const Markers[] = {"Configuration", "Verbinde mit"};

const std::string& SampleDevice() {
  static const std::string folder = [] {
    std::string pattern = "/tmp/velmora-startup-XXXXXX";
    std::string made = ::mkdtemp(pattern.data());
    std::string error;
    if (!Device::CreateSample(made + "/device", &error)) {
      std::fprintf(stderr, "startup bench: %s\n", error.c_str());
      std::abort();
    }
    return made + "/device";
  }();
  return folder;
}

// The sample device with 100,000 keys more (groups of 100 keys with three
// values each): the first screen must not wait for the registry's size.
const std::string& LargeDevice() {
  static const std::string folder = [] {
    std::string pattern = "/tmp/velmora-startup-XXXXXX";
    std::string made = std::string(::mkdtemp(pattern.data())) + "/device";
    std::string error;
    std::string text = "REGEDIT4\n";
    for (int k = 0; k < 100000; ++k) {
      text += "[HKEY_LOCAL_MACHINE\\Bulk\\Group" + std::to_string(k / 100) + "\\Key" +
              std::to_string(k % 100) + "]\n\"Name\"=\"COM1:\"\n\"Hnd\"=dword:04030201\n" +
              "\"Flag\"=hex:01\n";
    }
    std::unique_ptr<Device> device;
    if (!Device::CreateSample(made, &error) || !(device = Device::Open(made, &error)) ||
        !device->registry().ImportText(text, &error)) {
      std::fprintf(stderr, "startup bench: %s\n", error.c_str());
      std::abort();
    }
    return made;
  }();
  return folder;
}

std::string Program() {
  const char* chosen = std::getenv("VELMORA_CFG");
  return chosen != nullptr && *chosen != 0 ? chosen : VELMORA_BUILD_DIR "/VelmoraCfg";
}

bool Complete(const std::string& output) {
  for (const char* marker : Markers) {
    if (output.find(marker) == std::string::npos) {
      return false;
    }
  }
  return true;
}

// One start on a fresh pseudo-terminal whose other end only reads.
double StartOnSilentPty(const std::string& program, const std::string& device) {
  int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    std::abort();
  }
  std::string slave = ::ptsname(master);
  winsize size{};
  size.ws_row = 24;
  size.ws_col = 80;
  ::ioctl(master, TIOCSWINSZ, &size);
  Clock::time_point start = Clock::now();
  pid_t child = ::fork();
  if (child == 0) {
    ::setsid();
    int tty = ::open(slave.c_str(), O_RDWR);
    ::ioctl(tty, TIOCSCTTY, 0);
    ::dup2(tty, 0);
    ::dup2(tty, 1);
    ::dup2(tty, 2);
    ::setenv("VELMORA_DEVICE", device.c_str(), 1);
    ::setenv("TERM", "xterm-256color", 1);
    // The program and its arguments, separated by blanks.
    std::vector<std::string> words;
    size_t at = 0;
    while (at < program.size()) {
      size_t blank = program.find(' ', at);
      words.push_back(program.substr(at, blank == std::string::npos ? blank : blank - at));
      at = blank == std::string::npos ? program.size() : blank + 1;
    }
    std::vector<char*> argv;
    for (std::string& word : words) {
      argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  std::string output;
  char buffer[65536];
  double seconds = -1;
  while (Clock::now() - start < GiveUp) {
    pollfd wait{master, POLLIN, 0};
    if (::poll(&wait, 1, 100) <= 0) {
      continue;
    }
    ssize_t n = ::read(master, buffer, sizeof buffer);
    if (n <= 0) {
      break;  // the program ended
    }
    output.append(buffer, static_cast<size_t>(n));
    if (Complete(output)) {
      seconds = std::chrono::duration<double>(Clock::now() - start).count();
      break;
    }
  }
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ::close(master);
  return seconds;
}

// A tmux server of its own, with a control-mode client on pipes.
class Tmux {
 public:
  Tmux() {
    socket_ = "velmora-bench-" + std::to_string(::getpid());
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
      std::abort();
    }
    client_ = ::fork();
    if (client_ == 0) {
      ::dup2(in[0], 0);
      ::dup2(out[1], 1);
      ::execlp("tmux", "tmux", "-L", socket_.c_str(), "-f", "/dev/null", "-C", "new-session", "-x",
               "80", "-y", "24", nullptr);
      ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    commands_ = in[1];
    replies_ = out[0];
    Send("refresh-client -C 80x24");
  }

  ~Tmux() {
    Send("kill-server");
    ::close(commands_);
    ::waitpid(client_, nullptr, 0);
    ::close(replies_);
  }

  void Send(const std::string& command) {
    std::string line = command + "\n";
    if (::write(commands_, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
      std::abort();
    }
  }

  // The next line from tmux, or false after the deadline.
  bool ReadLine(std::string* line, Clock::time_point deadline) {
    while (true) {
      size_t newline = pending_.find('\n');
      if (newline != std::string::npos) {
        *line = pending_.substr(0, newline);
        pending_.erase(0, newline + 1);
        return true;
      }
      int left = static_cast<int>(
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
      pollfd wait{replies_, POLLIN, 0};
      if (left <= 0 || ::poll(&wait, 1, left) <= 0) {
        return false;
      }
      char buffer[65536];
      ssize_t n = ::read(replies_, buffer, sizeof buffer);
      if (n <= 0) {
        return false;
      }
      pending_.append(buffer, static_cast<size_t>(n));
    }
  }

 private:
  std::string socket_;
  pid_t client_ = -1;
  int commands_ = -1;
  int replies_ = -1;
  std::string pending_;
};

bool Gone(pid_t pid) {
  return ::kill(pid, 0) != 0 && errno == ESRCH;
}

// The wall-clock time a pane wrote into a file with date(1), in seconds.
double StartedAt(const std::string& file) {
  double seconds = -1;
  if (std::FILE* in = std::fopen(file.c_str(), "r")) {
    if (std::fscanf(in, "%lf", &seconds) != 1) {
      seconds = -1;
    }
    std::fclose(in);
  }
  return seconds;
}

double Now() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// One start in a new tmux window; -1 when the screen never came. The
// window's shell notes the time right before it becomes the program, so
// tmux's own work of making a window is not counted, while the way of the
// screen through tmux to its client is.
double StartInTmux(Tmux& tmux, const std::string& program) {
  Clock::time_point deadline = Clock::now() + GiveUp;
  std::string stamp = SampleDevice() + ".started";
  std::remove(stamp.c_str());
  tmux.Send("new-window -P -F '#{pane_id} #{pane_pid}' 'date +%s.%N > " + stamp +
            "; exec env VELMORA_DEVICE=" + SampleDevice() + " " + program + "'");
  std::string line;
  std::string pane;
  pid_t pid = 0;
  bool inReply = false;
  while (pane.empty() && tmux.ReadLine(&line, deadline)) {
    if (line.rfind("%begin", 0) == 0) {
      inReply = true;
    } else if (line.rfind("%end", 0) == 0 || line.rfind("%error", 0) == 0) {
      inReply = false;
    } else if (inReply && line.rfind("%", 0) == 0 && line.find(' ') != std::string::npos) {
      pane = line.substr(0, line.find(' '));
      pid = static_cast<pid_t>(std::atol(line.c_str() + line.find(' ') + 1));
    }
  }
  std::string output;
  std::string prefix = "%output " + pane + " ";
  double seconds = -1;
  while (!pane.empty() && tmux.ReadLine(&line, deadline)) {
    if (line.rfind(prefix, 0) == 0) {
      output += line.substr(prefix.size());
      if (Complete(output)) {
        double started = StartedAt(stamp);
        seconds = started < 0 ? -1 : Now() - started;
        break;
      }
    }
  }
  if (!pane.empty()) {
    tmux.Send("kill-pane -t " + pane);
  }
  while (pid > 0 && !Gone(pid) && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return seconds;
}

void Report(benchmark::State& state, double seconds) {
  if (seconds < 0) {
    state.SkipWithError("the caption and the port list never showed");
    return;
  }
  state.SetIterationTime(seconds);
}

void BM_StartupSilentPty(benchmark::State& state, const std::string& program, bool large) {
  const std::string& device = large ? LargeDevice() : SampleDevice();  // not in the child
  for (auto _ : state) {
    Report(state, StartOnSilentPty(program, device));
  }
}

void BM_StartupTmux(benchmark::State& state, const std::string& program) {
  Tmux tmux;
  for (auto _ : state) {
    Report(state, StartInTmux(tmux, program));
  }
}

void Register(const std::string& name, const std::string& program) {
  for (auto* bench : {benchmark::RegisterBenchmark(("BM_StartupSilentPty/" + name).c_str(),
                                                   BM_StartupSilentPty, program, false),
                      benchmark::RegisterBenchmark(("BM_StartupTmux/" + name).c_str(),
                                                   BM_StartupTmux, program)}) {
    bench->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->Repetitions(11)
        ->DisplayAggregatesOnly(true);
  }
}

const bool registered = [] {
  // What starting any process that draws the two markers costs here.
  Register("floor", "/bin/echo Configuration Verbinde mit");
  Register("ours", Program());
  benchmark::RegisterBenchmark("BM_StartupSilentPty/ours-100k-keys", BM_StartupSilentPty, Program(),
                               true)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1)
      ->Repetitions(11)
      ->DisplayAggregatesOnly(true);
  const char* reference = std::getenv("VELMORA_CFG_REFERENCE");
  if (reference != nullptr && *reference != 0) {
    Register("reference", reference);
  }
  return true;
}();

}  // namespace
}  // namespace velmora
