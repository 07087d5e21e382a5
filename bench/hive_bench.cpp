// The hive: loading and saving a large registry file, and the lookups the
// port scan makes.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/registry/hive.h"
#include "platform/registry/reg_format.h"
#include "platform/text.h"

namespace velmora {
namespace {

// 100,000 keys (1,000 groups of 100) with three values each.
std::string LargeRegistryText() {
  KeyNode root(u"");
  for (int group = 0; group < 1000; ++group) {
    KeyNode* parent = root.AddSubkey(u"Group" + FromUtf8(std::to_string(group)));
    for (int k = 0; k < 100; ++k) {
      KeyNode* key = parent->AddSubkey(u"Key" + FromUtf8(std::to_string(k)));
      key->SetValue(u"Name", RegString, {'C', 0, 'O', 0, 'M', 0, '1', 0, ':', 0, 0, 0});
      key->SetValue(u"Hnd", RegNumber, {1, 2, 3, 4});
      key->SetValue(u"Flag", RegBinary, {1});
    }
  }
  return FormatRegText(root);
}

std::string TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "velmora-bench-XXXXXX").string();
  return ::mkdtemp(pattern.data());
}

void BM_LoadLargeHive(benchmark::State& state) {
  std::string folder = TempFolder();
  std::string path = folder + "/registry.reg";
  std::string text = LargeRegistryText();
  std::string error;
  {
    Hive writer;
    writer.ImportText(text, &error);
  }
  FILE* file = std::fopen(path.c_str(), "wb");
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
  for (auto _ : state) {
    auto hive = Hive::Open(path, &error);
    benchmark::DoNotOptimize(hive);
  }
  state.counters["bytes"] = static_cast<double>(text.size());
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_LoadLargeHive)->Unit(benchmark::kMillisecond);

void BM_SaveLargeHive(benchmark::State& state) {
  std::string folder = TempFolder();
  std::string error;
  auto hive = Hive::Open(folder + "/registry.reg", &error);
  hive->ImportText(LargeRegistryText(), &error);
  HKEY key = 0;
  hive->OpenKey(HKEY_LOCAL_MACHINE, u"Group1\\Key1", KeyAllAccess, &key);
  uint32_t counter = 0;
  for (auto _ : state) {
    // One value changed: the whole file is written and replaced.
    ++counter;
    hive->SetValue(key, u"Hnd", RegNumber, reinterpret_cast<const uint8_t*>(&counter), 4);
  }
  hive->CloseKey(key);
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_SaveLargeHive)->Unit(benchmark::kMillisecond);

void BM_OpenQueryClose1000Subkeys(benchmark::State& state) {
  std::string folder = TempFolder();
  std::string error;
  auto hive = Hive::Open(folder + "/registry.reg", &error);
  KeyNode root(u"");
  KeyNode* active = root.AddSubkey(u"Drivers")->AddSubkey(u"Active");
  for (int i = 0; i < 1000; ++i) {
    KeyNode* entry = active->AddSubkey(FromUtf8(std::to_string(i)));
    entry->SetValue(u"Name", RegString, {'C', 0, 'O', 0, 'M', 0, '1', 0, ':', 0, 0, 0});
    entry->SetValue(u"Hnd", RegNumber, {1, 2, 3, 4});
    entry->SetValue(u"Key", RegString, {'D', 0, 0, 0});
  }
  hive->ImportText(FormatRegText(root), &error);
  HKEY parent = 0;
  hive->OpenKey(HKEY_LOCAL_MACHINE, u"Drivers\\Active", KeyAllAccess, &parent);
  for (auto _ : state) {
    for (uint32_t i = 0; i < 1000; ++i) {
      char16_t name[256];
      uint32_t capacity = 256;
      hive->EnumSubkey(parent, i, name, &capacity);
      HKEY entry = 0;
      hive->OpenKey(parent, name, KeyAllAccess, &entry);
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
