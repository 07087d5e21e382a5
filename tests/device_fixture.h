// A whole simulated handheld for tests of the program: registry in memory,
// files in a temporary folder, the simulated device manager, version
// resources, and the headless front end, installed as the platform.
#pragma once

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "platform/device/simulated_device_manager.h"
#include "platform/files/device_files.h"
#include "platform/headless/headless_host.h"
#include "platform/platform.h"
#include "platform/registry/faulty_registry.h"
#include "platform/registry/hive.h"
#include "platform/version/pe_version_resources.h"
#include "tests/test_support.h"

namespace velmora::testing {

class DeviceFixture : public ::testing::Test {
 protected:
  DeviceFixture();
  ~DeviceFixture() override;

  // Fills the device with the sample handheld and boots it.
  void UseSampleDevice();
  // A running COM port: a driver key with FriendlyName and an active entry.
  // Returns the device handle.
  DeviceHandle AddRunningPort(std::u16string_view keyName, uint32_t index, uint32_t order,
                              std::u16string_view friendlyName);
  // An active entry written by hand (no driver key needed).
  void AddActiveEntry(std::u16string_view entry, std::u16string_view name, uint32_t handle,
                      std::u16string_view key);
  // Puts a file on the device.
  void PutFile(std::u16string_view path, const std::string& bytes = "MZ");
  bool FileExists(std::u16string_view path);
  std::string FileBytes(std::u16string_view path);
  // "COM5: Drivers\BuiltIn\Velmora" lines of the running COM devices.
  std::string RunningPorts();
  // The number of problems and unused scripts in the headless host.
  void ExpectHostClean();
  // The program sees registry (for example a wrapper of registry_) in place
  // of registry_ while the result lives.
  std::unique_ptr<ScopedPlatform> SeeRegistry(PlatformRegistry& registry);
  // The device's services shown through another front end.
  std::unique_ptr<ScopedPlatform> ShowIn(ui::UiHost& ui);

  TempDir dir_;
  Hive hive_;
  FaultyRegistry registry_{hive_};
  DeviceFiles files_;
  SimulatedDeviceManager devices_;
  PeVersionResources versions_;
  ui::HeadlessHost host_;
  std::unique_ptr<ScopedPlatform> platform_;

 private:
  std::unique_ptr<ScopedPlatform> Install(PlatformRegistry& registry, ui::UiHost& ui);
};

}  // namespace velmora::testing
