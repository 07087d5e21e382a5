// Sorting a folder's names: the chooser's sorted name list beside a
// case-folded std::set, and a whole chooser listing of a large folder beside
// `ls -1 --group-directories-first` on the same folder, in the same run.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <set>
#include <system_error>

#include "logging/file_chooser_dialog.h"
#include "logging/sorted_name_list.h"
#include "platform/files/device_files.h"
#include "platform/headless/headless_host.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace velmora {
namespace {

std::vector<std::u16string> RandomNames(int64_t count) {
  std::mt19937 random(42);
  const std::u16string letters =
      u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZäöü0123456789";
  std::vector<std::u16string> names;
  for (int64_t i = 0; i < count; ++i) {
    std::u16string name;
    for (size_t n = 4 + random() % 12; n > 0; --n) {
      name.push_back(letters[random() % letters.size()]);
    }
    names.push_back(std::move(name));
  }
  return names;
}

void BM_SortedNameListInsert(benchmark::State& state) {
  std::vector<std::u16string> names = RandomNames(state.range(0));
  for (auto _ : state) {
    SortedNameList list;
    for (const auto& name : names) {
      list.Insert(name);
    }
    benchmark::DoNotOptimize(list.GetSize());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SortedNameListInsert)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

void BM_FoldedSetInsert(benchmark::State& state) {
  std::vector<std::u16string> names = RandomNames(state.range(0));
  auto less = [](const std::u16string& a, const std::u16string& b) {
    return CompareIgnoringCase(a, b) < 0;
  };
  for (auto _ : state) {
    std::set<std::u16string, decltype(less)> set(less);
    for (const auto& name : names) {
      set.insert(name);
    }
    benchmark::DoNotOptimize(set.size());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FoldedSetInsert)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// A host folder "Big" of 10,000 entries (every tenth a folder), made once
// for the benchmarks that list it and removed at exit.
class BigFolder {
 public:
  static const BigFolder& Get() {
    static BigFolder folder;
    return folder;
  }
  const std::string& root() const { return root_; }
  std::string big() const { return root_ + "/Big"; }

 private:
  BigFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "velmora-bench-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data());
    ::mkdir(big().c_str(), 0755);
    std::vector<std::u16string> names = RandomNames(10000);
    for (size_t i = 0; i < names.size(); ++i) {
      std::string path = big() + "/" + ToUtf8(names[i]) + std::to_string(i);
      if (i % 10 == 0) {
        ::mkdir(path.c_str(), 0755);
      } else {
        FILE* file = std::fopen(path.c_str(), "w");
        std::fclose(file);
      }
    }
  }
  ~BigFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  std::string root_;
};

// The chooser's whole listing of "\Big" in process: folder listing, both
// sorted name lists, the list view filled, the selection searched.
void BM_ChooserListsAFolderOf10000(benchmark::State& state) {
  DeviceFiles files(BigFolder::Get().root());
  ui::HeadlessHost host;
  PlatformServices services;
  services.files = &files;
  services.ui = &host;
  ScopedPlatform platform(services);
  for (auto _ : state) {
    FileChooserDialog chooser;
    chooser.path = u"\\Big\\x";
    host.ExpectDialog([](ui::Dialog& d) { d.CancelCommand(); });
    chooser.RunModal();
  }
}
BENCHMARK(BM_ChooserListsAFolderOf10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The reference: `ls -1 --group-directories-first` on the same folder, as a
// whole process (start, list, sort, write to /dev/null, exit).
void BM_LsListsTheSameFolder(benchmark::State& state) {
  std::string folder = BigFolder::Get().big();
  char ls[] = "ls";
  char one[] = "-1";
  char group[] = "--group-directories-first";
  char* argv[] = {ls, one, group, folder.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  for (auto _ : state) {
    pid_t pid = 0;
    int status = 0;
    if (::posix_spawnp(&pid, "ls", &actions, nullptr, argv, environ) != 0 ||
        ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("ls did not run");
      break;
    }
  }
  posix_spawn_file_actions_destroy(&actions);
}
BENCHMARK(BM_LsListsTheSameFolder)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace velmora
