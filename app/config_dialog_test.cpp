#include "app/config_dialog.h"

#include <gtest/gtest.h>

#include "app/config_app.h"
#include "driver/driver_names.h"
#include "platform/text.h"
#include "tests/device_fixture.h"

namespace velmora {
namespace {

using testing::SetNumber;
using testing::SetString;
using ui::DescribeCombo;
using ui::DescribeList;
using ui::Dialog;

constexpr int InstallCombo = 1003;
constexpr int ConnectCombo = 1004;
constexpr int ApplyButton = 1002;

class ConfigDialogTest : public testing::DeviceFixture {
 protected:
  // Runs the main dialog with script as the person; returns the end code.
  int Run(const std::function<void(Dialog&)>& script) {
    host_.ExpectDialog(script);
    ConfigDialog dialog;
    int result = dialog.RunModal();
    ExpectHostClean();
    return result;
  }

  static bool ApplyEnabled(Dialog& d) { return d.FindControl(ApplyButton)->enabled(); }

  // The driver installed on a port and connected to another, as an
  // installation leaves it.
  void InstallSplitter(uint32_t index, uint32_t connectTo) {
    SetString(hive_, DriverKeyPath, u"Prefix", u"COM");
    SetString(hive_, DriverKeyPath, u"Dll", DriverDllName);
    SetString(hive_, DriverKeyPath, u"FriendlyName", DriverFriendlyName);
    SetNumber(hive_, DriverKeyPath, u"Index", index);
    SetNumber(hive_, DriverKeyPath, u"ConnectTo", connectTo);
    PutFile(InstalledDllPath);
    ASSERT_NE(devices_.ActivateDriver(DriverKeyPath, 0), 0u);
  }
};

TEST_F(ConfigDialogTest, ShowsTheSampleDevice) {
  UseSampleDevice();
  Run([](Dialog& d) {
    EXPECT_EQ(ToUtf8(d.caption()), "Velmora 2.1.0.4 Configuration");
    EXPECT_EQ(DescribeList(d, 1000),
              "COM0 | Frei | \n"
              "COM1 | Belegt | Serial Cable on COM1:\n"
              "COM2 | Belegt | Infrared Port on COM2:\n"
              "COM3 | Frei | \n"
              "COM4 | Belegt | GPS Receiver on COM4:\n"
              "COM5 | Frei | \n"
              "COM6 | Frei | \n"
              "COM7 | Belegt | Bluetooth Serial Port on COM7:\n"
              "COM8 | Frei | \n"
              "COM9 | Frei | \n");
    auto* list = d.Find<ui::ListView>(1000);
    ASSERT_EQ(list->columns().size(), 3u);
    EXPECT_EQ(ToUtf8(list->columns()[1].header), "Verfügb.");
    EXPECT_EQ(list->columns()[2].width, 200);
    EXPECT_EQ(d.shellFlags(), 13u);
    EXPECT_EQ(d.iconId(), 128);
    d.CancelCommand();
  });
}

TEST_F(ConfigDialogTest, WithNothingInstalled) {
  AddRunningPort(u"Serial", 1, 0, u"Serial");
  int result = Run([](Dialog& d) {
    EXPECT_EQ(DescribeCombo(d, InstallCombo),
              "keinem* COM0 COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8 COM9");
    EXPECT_EQ(DescribeCombo(d, ConnectCombo), "(disabled)");
    EXPECT_FALSE(ApplyEnabled(d));
    EXPECT_EQ(ToUtf8(d.ControlText(2)), "Abbrechen");
    EXPECT_EQ(ToUtf8(d.ControlText(1005)), "");
    EXPECT_EQ(d.focusId(), 1000);
    ui::ChooseItem(d, InstallCombo, u"COM3");
    EXPECT_EQ(DescribeCombo(d, ConnectCombo), "COM1");
    EXPECT_TRUE(ApplyEnabled(d));
    d.CancelCommand();
  });
  EXPECT_EQ(result, ui::EndCancel);
}

TEST_F(ConfigDialogTest, WithTheDriverInstalledOnCom5ConnectedToCom1) {
  AddRunningPort(u"Serial", 1, 0, u"Serial");
  AddRunningPort(u"GPS", 4, 0, u"GPS");
  InstallSplitter(5, 1);
  Run([](Dialog& d) {
    EXPECT_NE(DescribeList(d, 1000).find("COM5 | Belegt | Velmora Virual Serial Splitter"),
              std::string::npos);
    EXPECT_EQ(DescribeCombo(d, InstallCombo),
              "keinem COM0 COM1 COM2 COM3 COM4 COM5* COM6 COM7 COM8 COM9");
    EXPECT_EQ(DescribeCombo(d, ConnectCombo), "COM1* COM4");
    EXPECT_FALSE(ApplyEnabled(d));

    // Installing on the connect port takes it out of "Verbinde mit".
    ui::ChooseItem(d, InstallCombo, u"COM1");
    EXPECT_EQ(DescribeCombo(d, ConnectCombo), "COM4 COM5");
    EXPECT_TRUE(ApplyEnabled(d));
    // A choice survives another change of the install port.
    ui::ChooseItem(d, ConnectCombo, u"COM4");
    ui::ChooseItem(d, InstallCombo, u"COM6");
    EXPECT_EQ(DescribeCombo(d, ConnectCombo), "COM1 COM4* COM5");
    // "keinem" disables the list without emptying it.
    ui::ChooseItem(d, InstallCombo, u"keinem");
    EXPECT_EQ(DescribeCombo(d, ConnectCombo), "(disabled) COM1 COM4* COM5");
    EXPECT_TRUE(ApplyEnabled(d));
    d.CancelCommand();
  });
}

TEST_F(ConfigDialogTest, NoPortInUseLeavesVerbindeMitEmpty) {
  Run([](Dialog& d) {
    ui::ChooseItem(d, InstallCombo, u"COM2");
    EXPECT_EQ(DescribeCombo(d, ConnectCombo), "");
    EXPECT_TRUE(d.FindControl(ConnectCombo)->enabled());
    d.CancelCommand();
  });
}

TEST_F(ConfigDialogTest, StoredSettingsThatMatchNothingSelectNothing) {
  AddRunningPort(u"Serial", 1, 0, u"Serial");
  SetNumber(hive_, DriverKeyPath, u"Index", 12);
  SetNumber(hive_, DriverKeyPath, u"ConnectTo", 3);
  Run([](Dialog& d) {
    EXPECT_EQ(DescribeCombo(d, InstallCombo).substr(0, 7), "keinem*");
    EXPECT_EQ(DescribeCombo(d, ConnectCombo), "(disabled)");
    d.CancelCommand();
  });
}

TEST_F(ConfigDialogTest, DismissalResults) {
  EXPECT_EQ(Run([](Dialog& d) { d.CancelCommand(); }), ui::EndCancel);
  EXPECT_EQ(Run([](Dialog& d) { ui::ClickButton(d, 2); }), ui::EndCancel);
  EXPECT_EQ(Run([](Dialog& d) { d.OkCommand(); }), ui::EndOk);  // the caption's Done
  EXPECT_EQ(Run([](Dialog& d) { d.EnterKey(); }), ui::EndOk);
}

TEST_F(ConfigDialogTest, ConfigAppCompletesTheUpdateAndRunsTheDialog) {
  PutFile(InstalledDllPath, "old");
  PutFile(PendingDllPath, "new");
  ConfigApp app;
  std::string seen;
  host_.ExpectDialog([&](Dialog& d) {
    seen = FileBytes(InstalledDllPath);
    EXPECT_EQ(app.mainWindow(), &d);
    d.CancelCommand();
  });
  EXPECT_FALSE(app.Start());
  EXPECT_EQ(seen, "new");
  EXPECT_EQ(app.mainWindow(), nullptr);
  ExpectHostClean();
}

}  // namespace
}  // namespace velmora
