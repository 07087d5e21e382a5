// Backup and restore with the reg commands: an import merges and leaves the
// running devices alone; a restore gives back the registry as saved, with
// the running devices a boot makes.
#include "platform/device/registry_commands.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/device/device.h"
#include "tests/test_support.h"

namespace velmora {
namespace {

using testing::ActiveEntries;
using testing::ReadFileText;
using testing::TempDir;

// How many running devices have each name ("COM4:" ...).
std::map<std::string, int> RunningNames(Device& device) {
  std::map<std::string, int> names;
  for (const std::string& entry : ActiveEntries(device.registry())) {
    size_t start = entry.find(' ') + 1;
    ++names[entry.substr(start, entry.find(' ', start) - start)];
  }
  return names;
}

// The export without the running devices' entries.
std::string Configuration(const std::string& text) {
  std::string out;
  size_t at = 0;
  bool skipping = false;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    std::string line = text.substr(at, end - at);
    if (line.rfind("[", 0) == 0) {
      skipping = line.rfind("[HKEY_LOCAL_MACHINE\\Drivers\\Active\\", 0) == 0;
    }
    if (!skipping) {
      out += line + "\n";
    }
    at = end + 1;
  }
  return out;
}

TEST(RegistryCommands, ImportLeavesTheRunningDevicesAloneAndRestoreBoots) {
  TempDir dir;
  std::string folder = dir / "device";
  std::string error;
  ASSERT_TRUE(Device::CreateSample(folder, &error)) << error;
  std::unique_ptr<Device> device = Device::Open(folder, &error);
  ASSERT_NE(device, nullptr) << error;
  std::string saved = dir / "saved.reg";
  ASSERT_EQ(RunRegExport(*device, saved), 0);
  std::map<std::string, int> before = RunningNames(*device);

  // Save, deactivate, activate: COM4 runs under a new handle and entry.
  ASSERT_EQ(device->devices().DeactivateDriver(1004), 1);
  ASSERT_NE(device->devices().ActivateDriver(u"Drivers\\BuiltIn\\GPS", 0), 0u);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(RunRegImport(*device, saved), 0);
  std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("skipped \"Drivers\\Active\""), std::string::npos) << said;
  EXPECT_EQ(RunningNames(*device), before);  // one device per name

  // A change after the save, then the restore: the registry as saved.
  testing::SetNumber(device->registry(), u"Drivers\\BuiltIn\\GPS", u"Order", 9);
  testing::MakeKey(device->registry(), u"Later");
  ASSERT_EQ(device->devices().DeactivateDriver(1002), 1);
  EXPECT_EQ(RunRegRestore(*device, saved), 0);
  EXPECT_EQ(RunningNames(*device), before);
  EXPECT_EQ(Configuration(device->registry().ExportText()), Configuration(ReadFileText(saved)));
  // The boot gave new handles; the old ones stop nothing.
  EXPECT_EQ(device->devices().DeactivateDriver(1004), 0);
}

TEST(RegistryCommands, ARefusedRestoreChangesNothing) {
  TempDir dir;
  std::string folder = dir / "device";
  std::string error;
  ASSERT_TRUE(Device::CreateSample(folder, &error)) << error;
  std::unique_ptr<Device> device = Device::Open(folder, &error);
  std::string before = device->registry().ExportText();
  testing::WriteFileText(dir / "bad.reg", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=nonsense\n");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(RunRegRestore(*device, dir / "bad.reg"), 1);
  std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("bad.reg: line 3"), std::string::npos) << said;
  EXPECT_EQ(device->registry().ExportText(), before);
}

}  // namespace
}  // namespace velmora
