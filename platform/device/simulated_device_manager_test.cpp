#include "platform/device/simulated_device_manager.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/files/device_files.h"
#include "platform/registry/hive.h"
#include "platform/text.h"
#include "tests/test_support.h"

namespace velmora {
namespace {

using testing::DescribeValue;
using testing::SetNumber;
using testing::SetString;

class DeviceManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::mkdir((dir_ / "root").c_str(), 0755);
    ::mkdir((dir_ / "root/windows").c_str(), 0755);
    for (const char* dll : {"serial.dll", "gps.dll", "Velmora.dll"}) {
      testing::WriteFileText(dir_ / ("root/windows/" + std::string(dll)), "MZ");
    }
    Driver(u"Serial", 1, u"serial.dll", 0);
    Driver(u"GPS", 4, u"gps.dll", 1);
  }

  void Driver(std::u16string_view name, uint32_t index, std::u16string_view dll, uint32_t order) {
    std::u16string key = u"Drivers\\BuiltIn\\" + std::u16string(name);
    SetString(hive_, key, u"Prefix", u"COM");
    SetNumber(hive_, key, u"Index", index);
    SetString(hive_, key, u"Dll", dll);
    SetNumber(hive_, key, u"Order", order);
  }

  std::string Active() {
    std::string out;
    for (const std::string& entry : testing::ActiveEntries(hive_)) {
      out += entry + "\n";
    }
    return out;
  }

  testing::TempDir dir_;
  Hive hive_;
  DeviceFiles files_{dir_ / "root"};
  SimulatedDeviceManager devices_{hive_, files_};
};

TEST_F(DeviceManagerTest, ActivationCreatesTheEntryAndDeactivationRemovesIt) {
  DeviceHandle serial = devices_.ActivateDriver(u"Drivers\\BuiltIn\\Serial", 0);
  DeviceHandle gps = devices_.ActivateDriver(u"Drivers\\BuiltIn\\GPS", 0);
  EXPECT_EQ(serial, 1001u);
  EXPECT_EQ(gps, 1002u);
  EXPECT_EQ(Active(),
            "01 COM1: 1001 Drivers\\BuiltIn\\Serial\n"
            "02 COM4: 1002 Drivers\\BuiltIn\\GPS\n");
  EXPECT_EQ(devices_.DeactivateDriver(serial), 1);
  EXPECT_EQ(devices_.DeactivateDriver(serial), 0);
  EXPECT_EQ(Active(), "02 COM4: 1002 Drivers\\BuiltIn\\GPS\n");
}

TEST_F(DeviceManagerTest, RefusesWhatTheHandheldRefuses) {
  devices_.ActivateDriver(u"Drivers\\BuiltIn\\Serial", 0);
  Driver(u"Clash", 1, u"gps.dll", 5);
  Driver(u"NoDll", 3, u"missing.dll", 5);
  SetString(hive_, u"Drivers\\BuiltIn\\Empty", u"Prefix", u"COM");
  EXPECT_EQ(devices_.ActivateDriver(u"Drivers\\BuiltIn\\Clash", 0), 0u);
  EXPECT_EQ(devices_.ActivateDriver(u"Drivers\\BuiltIn\\NoDll", 0), 0u);
  EXPECT_EQ(devices_.ActivateDriver(u"Drivers\\BuiltIn\\Empty", 0), 0u);
  EXPECT_EQ(devices_.ActivateDriver(u"Drivers\\BuiltIn\\Nothing", 0), 0u);
  EXPECT_EQ(devices_.ActivateDriver(u"", 0), 0u);
  EXPECT_EQ(devices_.log().back(), "activate  failed: no key");
  EXPECT_EQ(devices_.log()[1], "activate Drivers\\BuiltIn\\Clash failed: COM1: is in use");
}

TEST_F(DeviceManagerTest, WithoutIndexTakesTheFirstFreeNumber) {
  devices_.ActivateDriver(u"Drivers\\BuiltIn\\Serial", 0);
  SetString(hive_, u"Drivers\\BuiltIn\\Free", u"Prefix", u"COM");
  SetString(hive_, u"Drivers\\BuiltIn\\Free", u"Dll", u"gps.dll");
  ASSERT_NE(devices_.ActivateDriver(u"Drivers\\BuiltIn\\Free", 0), 0u);
  EXPECT_NE(Active().find("COM2: 1002 Drivers\\BuiltIn\\Free"), std::string::npos);
}

TEST_F(DeviceManagerTest, BootLoadsByOrderAndTheDemotedDriverLosesItsPort) {
  Driver(u"Velmora", 1, u"Velmora.dll", 1);
  SetNumber(hive_, u"Drivers\\BuiltIn\\Serial", u"Order", 2);  // demoted by a takeover
  SetString(hive_, u"Drivers\\BuiltIn\\Unordered", u"Prefix", u"COM");
  SetNumber(hive_, u"Drivers\\BuiltIn\\Unordered", u"Index", 6);
  SetString(hive_, u"Drivers\\BuiltIn\\Unordered", u"Dll", u"gps.dll");
  DeviceHandle old = devices_.ActivateDriver(u"Drivers\\BuiltIn\\GPS", 0);
  devices_.Boot();
  EXPECT_EQ(Active(),
            "02 COM4: 1002 Drivers\\BuiltIn\\GPS\n"
            "03 COM1: 1003 Drivers\\BuiltIn\\Velmora\n"
            "04 COM6: 1004 Drivers\\BuiltIn\\Unordered\n");
  // The demoted driver failed without using a number. Counters never go back:
  // the handle from before the boot stops nothing.: the handle from before the boot stops nothing.
  EXPECT_EQ(devices_.DeactivateDriver(old), 0);
  SimulatedDeviceManager again(hive_, files_);  // the counters are the registry's
  EXPECT_EQ(again.ActivateDriver(u"Drivers\\BuiltIn\\Serial", 0), 0u);  // COM1 taken
  Driver(u"Other", 8, u"gps.dll", 9);
  EXPECT_EQ(again.ActivateDriver(u"Drivers\\BuiltIn\\Other", 0), 1005u);
}

}  // namespace
}  // namespace velmora
