#include "tests/device_fixture.h"

#include <sys/stat.h>

#include "platform/device/sample_device.h"
#include "platform/text.h"

namespace velmora::testing {

DeviceFixture::DeviceFixture()
    : files_(dir_ / "root"), devices_(registry_, files_), versions_(files_) {
  ::mkdir((dir_ / "root").c_str(), 0755);
  ::mkdir((dir_ / "root/windows").c_str(), 0755);
  platform_ = SeeRegistry(registry_);
}

std::unique_ptr<ScopedPlatform> DeviceFixture::Install(PlatformRegistry& registry, ui::UiHost& ui) {
  PlatformServices services;
  services.registry = &registry;
  services.devices = &devices_;
  services.files = &files_;
  services.versions = &versions_;
  services.ui = &ui;
  return std::make_unique<ScopedPlatform>(services);
}

std::unique_ptr<ScopedPlatform> DeviceFixture::SeeRegistry(PlatformRegistry& registry) {
  return Install(registry, host_);
}

std::unique_ptr<ScopedPlatform> DeviceFixture::ShowIn(ui::UiHost& ui) {
  return Install(registry_, ui);
}

DeviceFixture::~DeviceFixture() = default;

void DeviceFixture::UseSampleDevice() {
  ::rmdir((dir_ / "root/windows").c_str());
  std::string error;
  ASSERT_TRUE(WriteSampleDevice(hive_, files_, &error)) << error;
  devices_.Boot();
  registry_.ClearCalls();
}

DeviceHandle DeviceFixture::AddRunningPort(std::u16string_view keyName, uint32_t index,
                                           uint32_t order, std::u16string_view friendlyName) {
  std::u16string key = u"Drivers\\BuiltIn\\" + std::u16string(keyName);
  std::u16string dll = FoldCase(keyName) + u".dll";
  SetString(hive_, key, u"Prefix", u"COM");
  SetNumber(hive_, key, u"Index", index);
  SetNumber(hive_, key, u"Order", order);
  SetString(hive_, key, u"Dll", dll);
  if (!friendlyName.empty()) {
    SetString(hive_, key, u"FriendlyName", friendlyName);
  }
  PutFile(u"\\windows\\" + dll);
  DeviceHandle handle = devices_.ActivateDriver(key, 0);
  EXPECT_NE(handle, 0u) << ToUtf8(key);
  return handle;
}

void DeviceFixture::AddActiveEntry(std::u16string_view entry, std::u16string_view name,
                                   uint32_t handle, std::u16string_view key) {
  std::u16string path = u"Drivers\\Active\\" + std::u16string(entry);
  SetString(hive_, path, u"Name", name);
  SetNumber(hive_, path, u"Hnd", handle);
  SetString(hive_, path, u"Key", key);
}

void DeviceFixture::PutFile(std::u16string_view path, const std::string& bytes) {
  ASSERT_TRUE(files_.WriteWholeFile(path, bytes)) << ToUtf8(path);
}

bool DeviceFixture::FileExists(std::u16string_view path) {
  return files_.FileAttributes(path) != InvalidFileAttributes;
}

std::string DeviceFixture::FileBytes(std::u16string_view path) {
  std::string bytes;
  return files_.ReadWholeFile(path, &bytes) ? bytes : "(missing)";
}

std::string DeviceFixture::RunningPorts() {
  std::string out;
  for (const std::string& entry : ActiveEntries(hive_)) {
    // "<entry> <name> <handle> <key>": the COM ports' names and keys.
    size_t name = entry.find(' ') + 1;
    size_t handle = entry.find(' ', name);
    size_t key = entry.find(' ', handle + 1) + 1;
    if (entry.compare(name, 3, "COM") == 0) {
      out += entry.substr(name, handle - name) + " " + entry.substr(key) + "\n";
    }
  }
  return out;
}

void DeviceFixture::ExpectHostClean() {
  EXPECT_TRUE(host_.problems().empty()) << host_.problems().front();
  EXPECT_EQ(host_.pendingScripts(), 0u);
}

}  // namespace velmora::testing
