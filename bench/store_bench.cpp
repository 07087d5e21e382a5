// The registry store as a user meets it: velmora-device as a fresh process
// on a device whose registry holds 100,000 and 300,000 keys and one near
// the 64 MiB limit of a .reg file, each beside its floor in the same run.
//
// - ActivateDeactivate: `activate` and `deactivate` as two processes,
//   against two processes that each append the same record to a file and
//   flush it (dd with fdatasync): the floor of a change made by a process.
// - Active: `velmora-device active`, against the same on the sample device.
// - Import: `reg import` of the whole registry's text into a sample device.
// Counters: peak_MB is the largest resident size of the commands (GNU
// time's %M, from a run after the timed ones), store_MB the size of
// registry.mdb, text_MB the size of the registry as .reg text.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/device/device.h"
#include "platform/host_io.h"
#include "platform/registry/journal_format.h"
#include "platform/registry/reg_writer.h"
#include "platform/registry/store_text.h"
#include "platform/text.h"

namespace velmora {
namespace {

std::string Tool() {
  const char* bin = std::getenv("VELMORA_BIN");
  return std::string(bin != nullptr ? bin : VELMORA_BUILD_DIR) + "/velmora-device";
}

// Runs argv to its end; its standard output into *out, and (when peakKb
// is given) its peak resident size into *peakKb, as GNU time reports it: a
// process spawned from this one would count this one's memory too. False
// when it did not exit 0.
bool Run(const std::vector<std::string>& given, std::string* out, long* peakKb) {
  std::vector<std::string> args = given;
  std::string measured = std::filesystem::temp_directory_path() / "velmora-store-peak";
  if (peakKb != nullptr) {
    args.insert(args.begin(), {"/usr/bin/time", "-f", "%M", "-o", measured});
  }
  std::vector<char*> argv;
  for (const std::string& arg : args) {
    argv.push_back(const_cast<char*>(arg.c_str()));
  }
  argv.push_back(nullptr);
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) {
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  pid_t child = 0;
  int spawned = ::posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  out->clear();
  char buffer[4096];
  ssize_t n;
  while (spawned == 0 && (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) {
    out->append(buffer, static_cast<size_t>(n));
  }
  ::close(pipeFds[0]);
  int status = 0;
  if (spawned != 0 || ::waitpid(child, &status, 0) != child) {
    return false;
  }
  if (peakKb != nullptr) {
    std::string text;
    std::string error;
    ReadHostFile(measured, &text, &error);
    *peakKb = std::max(*peakKb, std::atol(text.c_str()));
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Groups of 100 keys with three values each, as a driver list looks.
std::string RegistryText(size_t keys) {
  std::string out(RegFileHeader);
  out += "\n";
  const uint8_t name[] = {'C', 0, 'O', 0, 'M', 0, '1', 0, ':', 0, 0, 0};
  const uint8_t handle[] = {1, 2, 3, 4};
  const uint8_t flag[] = {1};
  for (size_t k = 0; k < keys; ++k) {
    AppendKeyLine(out, u"Bulk\\Group" + FromUtf8(std::to_string(k / 100)) + u"\\Key" +
                           FromUtf8(std::to_string(k % 100)));
    AppendValueLine(out, u"Name", RegString, name);
    AppendValueLine(out, u"Hnd", RegNumber, handle);
    AppendValueLine(out, u"Flag", RegBinary, flag);
    out += "\n";
  }
  return out;
}

struct BigDevice {
  std::string folder;
  std::string textPath;
  size_t textBytes = 0;
};

std::string NewFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "velmora-store-XXXXXX").string();
  return ::mkdtemp(pattern.data());
}

// A sample device with `keys` more keys, made once per size.
const BigDevice& BigDeviceOf(size_t keys) {
  static std::map<size_t, BigDevice> made;
  BigDevice& device = made[keys];
  if (!device.folder.empty()) {
    return device;
  }
  std::string base = NewFolder();
  device.folder = base + "/device";
  device.textPath = base + "/registry.reg";
  std::string error;
  Device::CreateSample(device.folder, &error);
  if (keys != 0) {
    std::string text = RegistryText(keys);
    device.textBytes = text.size();
    WriteHostFileAtomically(device.textPath, text, &error);
    std::string out;
    Run({Tool(), "--device", device.folder, "reg", "import", device.textPath}, &out, nullptr);
  }
  return device;
}

double FileMb(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? static_cast<double>(info.st_size) / 1e6 : 0;
}

// The sample device, 100,000 and 300,000 keys, and the size limit, in
// milliseconds of real time (the commands are other processes).
void AtEverySize(benchmark::internal::Benchmark* bench) {
  for (int keys : {0, 100000, 300000, 620000}) {
    bench->Arg(keys);
  }
  bench->Unit(benchmark::kMillisecond)->UseRealTime();
}

void BM_ActivateDeactivate(benchmark::State& state) {
  const BigDevice& device = BigDeviceOf(static_cast<size_t>(state.range(0)));
  long peak = 0;
  for (auto _ : state) {
    std::string handle;
    std::string ignored;
    if (!Run({Tool(), "--device", device.folder, "activate", "Drivers\\BuiltIn\\IrDA"}, &handle,
             nullptr)) {
      // The sample runs IrDA after its boot: free it first.
      state.PauseTiming();
      Run({Tool(), "--device", device.folder, "deactivate", "1003"}, &ignored, nullptr);
      state.ResumeTiming();
      Run({Tool(), "--device", device.folder, "activate", "Drivers\\BuiltIn\\IrDA"}, &handle,
          nullptr);
    }
    while (!handle.empty() && handle.back() == '\n') {
      handle.pop_back();
    }
    if (!Run({Tool(), "--device", device.folder, "deactivate", handle}, &ignored, nullptr)) {
      state.SkipWithError("deactivate failed");
      break;
    }
  }
  std::string handle;
  std::string ignored;
  Run({Tool(), "--device", device.folder, "activate", "Drivers\\BuiltIn\\IrDA"}, &handle, &peak);
  Run({Tool(), "--device", device.folder, "deactivate", handle.substr(0, handle.find('\n'))},
      &ignored, &peak);
  state.counters["peak_MB"] = static_cast<double>(peak) / 1e3;
  state.counters["store_MB"] = FileMb(Device::StorePath(device.folder));
}
BENCHMARK(BM_ActivateDeactivate)->Apply(AtEverySize);

// The floor: two processes, each appending the record of an activation to
// a file and flushing it.
void BM_AppendFloorProcesses(benchmark::State& state) {
  std::string folder = NewFolder();
  std::string record;
  AppendKeyLine(record, u"Drivers\\Active\\08");
  const uint8_t handle[] = {0xEB, 3, 0, 0};
  AppendValueLine(record, u"Hnd", RegNumber, handle);
  record = journal::FrameRecord(record);
  std::string error;
  WriteHostFileAtomically(folder + "/record", record, &error);
  std::string target = folder + "/journal";
  for (auto _ : state) {
    std::string ignored;
    for (int i = 0; i < 2; ++i) {
      Run({"/bin/dd", "if=" + folder + "/record", "of=" + target, "oflag=append",
           "conv=notrunc,fdatasync", "status=none"},
          &ignored, nullptr);
    }
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_AppendFloorProcesses)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Active(benchmark::State& state) {
  const BigDevice& device = BigDeviceOf(static_cast<size_t>(state.range(0)));
  long peak = 0;
  for (auto _ : state) {
    std::string out;
    if (!Run({Tool(), "--device", device.folder, "active"}, &out, nullptr)) {
      state.SkipWithError("active failed");
      break;
    }
  }
  std::string out;
  Run({Tool(), "--device", device.folder, "active"}, &out, &peak);
  state.counters["peak_MB"] = static_cast<double>(peak) / 1e3;
  state.counters["store_MB"] = FileMb(Device::StorePath(device.folder));
}
BENCHMARK(BM_Active)->Apply(AtEverySize);

// An import of the whole registry's text (near 64 MiB at the largest) into
// a sample device: one change, streamed.
void BM_ImportProcess(benchmark::State& state) {
  const BigDevice& source = BigDeviceOf(static_cast<size_t>(state.range(0)));
  long peak = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::string folder = NewFolder() + "/device";
    std::string error;
    Device::CreateSample(folder, &error);
    state.ResumeTiming();
    std::string out;
    if (!Run({Tool(), "--device", folder, "reg", "import", source.textPath}, &out, &peak)) {
      state.SkipWithError("import failed");
    }
    state.PauseTiming();
    state.counters["store_MB"] = FileMb(Device::StorePath(folder));
    std::filesystem::remove_all(std::filesystem::path(folder).parent_path());
    state.ResumeTiming();
  }
  state.counters["peak_MB"] = static_cast<double>(peak) / 1e3;
  state.counters["text_MB"] = static_cast<double>(source.textBytes) / 1e6;
}
BENCHMARK(BM_ImportProcess)
    ->Arg(100000)
    ->Arg(620000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace velmora
