// The registry at 100,000 keys and 300,000 values (about 9 MB as .reg
// text): opening the store, one change against the floor of an atomic
// append of the same bytes, an import into memory, and the lookups of a
// port scan while nothing changes.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/host_io.h"
#include "platform/registry/hive.h"
#include "platform/registry/journal_format.h"
#include "platform/registry/lmdb_registry.h"
#include "platform/registry/reg_writer.h"
#include "platform/text.h"

namespace velmora {
namespace {

// 100,000 keys (1,000 groups of 100) with three values each.
std::string LargeRegistryText() {
  KeyNode root;
  const uint8_t name[] = {'C', 0, 'O', 0, 'M', 0, '1', 0, ':', 0, 0, 0};
  const uint8_t handle[] = {1, 2, 3, 4};
  const uint8_t flag[] = {1};
  for (int group = 0; group < 1000; ++group) {
    KeyNode* parent = root.AddSubkey(u"Group" + FromUtf8(std::to_string(group)));
    for (int k = 0; k < 100; ++k) {
      KeyNode* key = parent->AddSubkey(u"Key" + FromUtf8(std::to_string(k)));
      key->SetValue(u"Name", RegString, name);
      key->SetValue(u"Hnd", RegNumber, handle);
      key->SetValue(u"Flag", RegBinary, flag);
    }
  }
  return FormatRegText(root);
}

class LargeDevice {
 public:
  LargeDevice() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "velmora-bench-XXXXXX").string();
    folder_ = ::mkdtemp(pattern.data());
    text_ = LargeRegistryText();
    std::string error;
    std::filesystem::create_directories(folder_ + "/root");
    LmdbRegistry::Open(path(), true, &error)->ImportText(text_, &error);
  }
  ~LargeDevice() { std::filesystem::remove_all(folder_); }
  std::string path() const { return folder_ + "/registry.mdb"; }
  const std::string& folder() const { return folder_; }
  const std::string& text() const { return text_; }

 private:
  std::string folder_;
  std::string text_;
};

LargeDevice& Large() {
  static LargeDevice device;
  return device;
}

// Opening the large store and reading one value: what it costs does not
// depend on the registry's size (heap_KB is what the open takes).
void BM_OpenLargeStore(benchmark::State& state) {
  std::string error;
  size_t used = 0;
  Large();  // made before the timing
  for (auto _ : state) {
    size_t before = mallinfo2().uordblks;
    auto registry = LmdbRegistry::Open(Large().path(), false, &error);
    uint32_t size = 0;
    HKEY key = 0;
    registry->OpenKey(HKEY_LOCAL_MACHINE, u"Group500\\Key50", KeyAllAccess, &key);
    registry->QueryValue(key, u"Hnd", nullptr, nullptr, &size);
    used = mallinfo2().uordblks - before;
    benchmark::DoNotOptimize(registry);
  }
  state.counters["text_MB"] = static_cast<double>(Large().text().size()) / 1e6;
  state.counters["heap_KB"] = static_cast<double>(used) / 1e3;
}
BENCHMARK(BM_OpenLargeStore)->Unit(benchmark::kMillisecond);

// A whole process that opens the large device and reads one key:
// velmora-device from the build folder (VELMORA_BIN), as a user runs it.
void BM_FreshProcessOnLargeRegistry(benchmark::State& state) {
  const char* bin = std::getenv("VELMORA_BIN");
  std::string tool = std::string(bin != nullptr ? bin : "build") + "/velmora-device";
  std::filesystem::create_directories(Large().folder() + "/root");
  const char* argv[] = {tool.c_str(), "--device", Large().folder().c_str(), "active", nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  for (auto _ : state) {
    // Spawned, not forked: copying this large process would be timed too.
    pid_t child = 0;
    int status = 0;
    if (::posix_spawn(&child, tool.c_str(), &actions, nullptr, const_cast<char**>(argv), environ) !=
            0 ||
        ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("velmora-device did not run (set VELMORA_BIN)");
      break;
    }
  }
  posix_spawn_file_actions_destroy(&actions);
}
BENCHMARK(BM_FreshProcessOnLargeRegistry)->Unit(benchmark::kMillisecond)->UseRealTime();

// One change of a large registry: one transaction, flushed.
void BM_ChangeLargeStore(benchmark::State& state) {
  std::string error;
  auto hive = LmdbRegistry::Open(Large().path(), false, &error);
  HKEY key = 0;
  hive->OpenKey(HKEY_LOCAL_MACHINE, u"Group1\\Key1", KeyAllAccess, &key);
  uint32_t counter = 0;
  for (auto _ : state) {
    ++counter;
    hive->SetValue(key, u"Hnd", RegNumber, reinterpret_cast<const uint8_t*>(&counter), 4);
  }
  hive->CloseKey(key);
}
BENCHMARK(BM_ChangeLargeStore)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor for the change above: appending the same record's bytes to a
// file in the same folder and flushing them.
void BM_AppendFloor(benchmark::State& state) {
  std::string record;
  AppendKeyLine(record, u"Group1\\Key1");
  const uint8_t data[] = {1, 0, 0, 0};
  AppendValueLine(record, u"Hnd", RegNumber, data);
  record = journal::FrameRecord(record);
  std::string path = Large().folder() + "/floor";
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  for (auto _ : state) {
    benchmark::DoNotOptimize(::write(fd, record.data(), record.size()));
    ::fdatasync(fd);
  }
  ::close(fd);
  ::unlink(path.c_str());
  state.counters["record_bytes"] = static_cast<double>(record.size());
}
BENCHMARK(BM_AppendFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ImportLargeText(benchmark::State& state) {
  std::string error;
  for (auto _ : state) {
    Hive hive;
    hive.ImportText(Large().text(), &error);
    benchmark::DoNotOptimize(hive);
  }
}
BENCHMARK(BM_ImportLargeText)->Unit(benchmark::kMillisecond);

// The port scan's pattern on a store that nobody changes.
void BM_OpenQueryClose1000Subkeys(benchmark::State& state) {
  std::string pattern = (std::filesystem::temp_directory_path() / "velmora-bench-XXXXXX").string();
  std::string folder = ::mkdtemp(pattern.data());
  std::string error;
  auto hive = LmdbRegistry::Open(folder + "/registry.mdb", true, &error);
  KeyNode root;
  KeyNode* active = root.AddSubkey(u"Drivers")->AddSubkey(u"Active");
  const uint8_t name[] = {'C', 0, 'O', 0, 'M', 0, '1', 0, ':', 0, 0, 0};
  const uint8_t handle[] = {1, 2, 3, 4};
  const uint8_t key[] = {'D', 0, 0, 0};
  for (int i = 0; i < 1000; ++i) {
    KeyNode* entry = active->AddSubkey(FromUtf8(std::to_string(i)));
    entry->SetValue(u"Name", RegString, name);
    entry->SetValue(u"Hnd", RegNumber, handle);
    entry->SetValue(u"Key", RegString, key);
  }
  hive->ImportText(FormatRegText(root), &error);
  HKEY parent = 0;
  hive->OpenKey(HKEY_LOCAL_MACHINE, u"Drivers\\Active", KeyAllAccess, &parent);
  for (auto _ : state) {
    for (uint32_t i = 0; i < 1000; ++i) {
      char16_t entryName[256];
      uint32_t capacity = 256;
      hive->EnumSubkey(parent, i, entryName, &capacity);
      HKEY entry = 0;
      hive->OpenKey(parent, entryName, KeyAllAccess, &entry);
      uint8_t buffer[256];
      for (const char16_t* value : {u"Name", u"Hnd", u"Key"}) {
        uint32_t size = sizeof buffer;
        hive->QueryValue(entry, value, nullptr, buffer, &size);
      }
      hive->CloseKey(entry);
    }
  }
  hive->CloseKey(parent);
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_OpenQueryClose1000Subkeys)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora
