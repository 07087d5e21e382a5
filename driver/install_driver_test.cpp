// "Übernehmen", through the main dialog as a person uses it.
#include "driver/install_driver.h"

#include <gtest/gtest.h>

#include "app/config_dialog.h"
#include "driver/driver_control.h"
#include "driver/driver_names.h"
#include "platform/text.h"
#include "platform/ui/application.h"
#include "tests/device_fixture.h"

namespace velmora {
namespace {

using testing::DescribeValue;
using testing::KeyExists;
using testing::SetNumber;
using testing::SetString;
using testing::ValueData;
using testing::ValueNames;
using ui::Dialog;

constexpr int InstallCombo = 1003;
constexpr int ConnectCombo = 1004;
constexpr int ApplyButton = 1002;
constexpr char16_t Serial[] = u"Drivers\\BuiltIn\\Serial";
constexpr char16_t Gps[] = u"Drivers\\BuiltIn\\GPS";

class InstallDriverTest : public testing::DeviceFixture {
 protected:
  void SetUp() override {
    AddRunningPort(u"Serial", 1, 0, u"Serial Cable on COM1:");
    AddRunningPort(u"GPS", 4, 3, u"GPS Receiver on COM4:");
    PutFile(InstalledDllPath);
  }

  struct Outcome {
    int endCode = 0;
    std::string status;
    std::string cancelText;
    bool applyEnabled = false;
  };

  // Opens the main dialog, chooses the two ports ("" leaves a combo box
  // alone), presses "Übernehmen", answers the warning, and leaves.
  Outcome Apply(std::u16string_view installOn, std::u16string_view connectTo,
                int answer = AnswerYes) {
    Outcome outcome;
    host_.ExpectDialog([&](Dialog& d) {
      if (!installOn.empty()) {
        EXPECT_TRUE(ui::ChooseItem(d, InstallCombo, installOn)) << ToUtf8(installOn);
      }
      if (!connectTo.empty()) {
        EXPECT_TRUE(ui::ChooseItem(d, ConnectCombo, connectTo)) << ToUtf8(connectTo);
      }
      host_.AnswerNext(answer);
      ui::ClickButton(d, ApplyButton);
      outcome.status = ToUtf8(d.ControlText(1005));
      outcome.cancelText = ToUtf8(d.ControlText(2));
      outcome.applyEnabled = d.FindControl(ApplyButton)->enabled();
      d.CancelCommand();
    });
    ConfigDialog dialog;
    outcome.endCode = dialog.RunModal();
    ExpectHostClean();
    return outcome;
  }

  std::string Value(std::u16string_view path, std::u16string_view name) {
    return DescribeValue(hive_, path, name);
  }
  // The logging values that removal must take along.
  void SetBytesFlag() {
    testing::SetBytes(hive_, DriverKeyPath, u"ReadLog", RegBinary, {1});
    SetString(hive_, DriverKeyPath, u"LogDir", u"\\My Documents");
  }
  std::string LastMessage() {
    return host_.messages().empty() ? "(none)" : ToUtf8(host_.messages().back().text);
  }
};

TEST_F(InstallDriverTest, AnsweringNoChangesNothing) {
  std::string before = hive_.ExportText();
  Outcome outcome = Apply(u"COM5", u"COM1", AnswerNo);
  EXPECT_EQ(hive_.ExportText(), before);
  EXPECT_EQ(devices_.log().size(), 2u);  // the two ports of SetUp
  EXPECT_EQ(outcome.status, "");
  EXPECT_EQ(outcome.cancelText, "Abbrechen");
  EXPECT_EQ(outcome.endCode, ui::EndCancel);
  ASSERT_EQ(host_.messages().size(), 1u);
  const auto& warning = host_.messages()[0];
  EXPECT_EQ(warning.flags, 0x34u);
  EXPECT_EQ(ToUtf8(warning.caption), "Warnung");
  EXPECT_EQ(warning.ownerTemplate, 102);
  EXPECT_EQ(ToUtf8(warning.text),
            "Dies ist ein Eingriff in das System und kann zu Problemen führen. Führen Sie den "
            "nächsten Schritt nur aus, wenn Sie vorher ein Backup erstellt haben und somit bei "
            "Problemen den aktuellen Stand wiederherstellen können.\n\nWollen Sie die "
            "Installation fortsetzen?");
}

TEST_F(InstallDriverTest, InstallsOnAFreePort) {
  Outcome outcome = Apply(u"COM5", u"COM1");
  EXPECT_EQ(ValueNames(hive_, DriverKeyPath),
            "Prefix,FriendlyName,Dll,Order,Index,DeviceArrayIndex,ConnectTo");
  EXPECT_EQ(Value(DriverKeyPath, u"Prefix"), "1:8:COM");
  EXPECT_EQ(Value(DriverKeyPath, u"FriendlyName"), "1:62:Velmora Virual Serial Splitter");
  EXPECT_EQ(Value(DriverKeyPath, u"Dll"), "1:24:Velmora.dll");
  EXPECT_EQ(Value(DriverKeyPath, u"Order"), "4:4:1");
  EXPECT_EQ(Value(DriverKeyPath, u"Index"), "4:4:5");
  EXPECT_EQ(Value(DriverKeyPath, u"DeviceArrayIndex"), "4:4:5");
  EXPECT_EQ(Value(DriverKeyPath, u"ConnectTo"), "4:4:1");
  EXPECT_EQ(RunningPorts(),
            "COM1: Drivers\\BuiltIn\\Serial\nCOM4: Drivers\\BuiltIn\\GPS\n"
            "COM5: Drivers\\BuiltIn\\Velmora\n");

  ASSERT_EQ(host_.messages().size(), 2u);
  const auto& success = host_.messages()[1];
  EXPECT_EQ(ToUtf8(success.text),
            "Der Treiber wurde erfolgreich installiert. Bitte beachten Sie, dass Ihre GPS "
            "Software jetzt auf COM5 umkonfiguriert werden muss.");
  EXPECT_EQ(success.caption, ui::ApplicationTitle());
  EXPECT_EQ(success.flags, 0u);
  EXPECT_EQ(outcome.status, "Treiber erfolgreich installiert.");
  EXPECT_EQ(outcome.cancelText, "Beenden");
  EXPECT_FALSE(outcome.applyEnabled);
  EXPECT_EQ(outcome.endCode, ui::EndOk);
}

TEST_F(InstallDriverTest, TakesAPortOverAndTheNextRunGivesItBack) {
  Apply(u"COM1", u"COM4");
  EXPECT_EQ(Value(DriverKeyPath, u"ReplacedDrv"), "1:46:Drivers\\BuiltIn\\Serial");
  EXPECT_EQ(Value(DriverKeyPath, u"ReplacedDrvOrder"), "4:4:0");
  EXPECT_EQ(Value(Serial, u"Order"), "4:4:2");
  EXPECT_EQ(RunningPorts(), "COM4: Drivers\\BuiltIn\\GPS\nCOM1: Drivers\\BuiltIn\\Velmora\n");
  // The held driver is stopped before the splitter starts.
  const auto& log = devices_.log();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], "deactivate 1001");
  EXPECT_EQ(log.back(), "activate Drivers\\BuiltIn\\Velmora -> 1003 COM1:");

  Outcome outcome = Apply(u"keinem", u"");
  EXPECT_EQ(outcome.status, "Driver not installed");
  EXPECT_FALSE(KeyExists(hive_, DriverKeyPath));
  EXPECT_EQ(Value(Serial, u"Order"), "4:4:0");
  EXPECT_EQ(RunningPorts(), "COM4: Drivers\\BuiltIn\\GPS\nCOM1: Drivers\\BuiltIn\\Serial\n");
}

TEST_F(InstallDriverTest, ReapplyingAfterATakeoverTakesThePortOverAgain) {
  Apply(u"COM1", u"COM4");
  Outcome outcome = Apply(u"COM1", u"COM4");  // the same settings once more
  EXPECT_EQ(outcome.status, "Treiber erfolgreich installiert.");
  EXPECT_EQ(Value(DriverKeyPath, u"ReplacedDrv"), "1:46:Drivers\\BuiltIn\\Serial");
  EXPECT_EQ(Value(DriverKeyPath, u"ReplacedDrvOrder"), "4:4:0");
  EXPECT_EQ(Value(DriverKeyPath, u"Order"), "4:4:1");
  EXPECT_EQ(Value(Serial, u"Order"), "4:4:2");
  EXPECT_EQ(RunningPorts(), "COM4: Drivers\\BuiltIn\\GPS\nCOM1: Drivers\\BuiltIn\\Velmora\n");
}

TEST_F(InstallDriverTest, ReinstallingOnItsOwnPortTakesNothingOver) {
  Apply(u"COM6", u"COM1");
  Outcome outcome = Apply(u"", u"COM4");
  EXPECT_EQ(outcome.status, "Treiber erfolgreich installiert.");
  EXPECT_EQ(Value(DriverKeyPath, u"Order"), "4:4:1");
  EXPECT_EQ(Value(DriverKeyPath, u"ConnectTo"), "4:4:4");
  EXPECT_EQ(Value(DriverKeyPath, u"ReplacedDrv"), "missing");
  EXPECT_EQ(Value(DriverKeyPath, u"ReplacedDrvOrder"), "missing");
  EXPECT_NE(RunningPorts().find("COM6: Drivers\\BuiltIn\\Velmora"), std::string::npos);
}

TEST_F(InstallDriverTest, StopsTheSplitterEvenWhenItWasRestartedSinceTheLastRefresh) {
  Apply(u"COM6", u"COM1");
  host_.ExpectDialog([&](Dialog& d) {
    // As the logging dialog's "Abbrechen" does: a new handle, no refresh.
    ASSERT_TRUE(StopDriver());
    ASSERT_TRUE(StartDriver());
    ui::ChooseItem(d, InstallCombo, u"COM8");
    host_.AnswerNext(AnswerYes);
    ui::ClickButton(d, ApplyButton);
    d.CancelCommand();
  });
  ConfigDialog dialog;
  dialog.RunModal();
  EXPECT_EQ(RunningPorts(),
            "COM1: Drivers\\BuiltIn\\Serial\nCOM4: Drivers\\BuiltIn\\GPS\n"
            "COM8: Drivers\\BuiltIn\\Velmora\n");
}

TEST_F(InstallDriverTest, ADriverWithoutOrderGetsNoBorrowedOrderBack) {
  Apply(u"COM4", u"COM1");  // GPS (Order 3) taken over
  EXPECT_EQ(Value(DriverKeyPath, u"ReplacedDrvOrder"), "4:4:3");
  hive_.DeleteKey(HKEY_LOCAL_MACHINE, u"Drivers\\BuiltIn\\Serial\\Nothing");
  HKEY serial = 0;
  hive_.OpenKey(HKEY_LOCAL_MACHINE, Serial, KeyAllAccess, &serial);
  hive_.DeleteValue(serial, u"Order");
  hive_.CloseKey(serial);

  Apply(u"COM1", u"COM4");  // GPS back with Order 3; Serial (no Order) taken over
  EXPECT_EQ(Value(Gps, u"Order"), "4:4:3");
  EXPECT_EQ(Value(DriverKeyPath, u"ReplacedDrvOrder"), "missing");
  EXPECT_EQ(Value(Serial, u"Order"), "4:4:2");

  Apply(u"keinem", u"");
  EXPECT_EQ(Value(Serial, u"Order"), "missing");  // exactly what it had
  EXPECT_EQ(RunningPorts().find("COM1: Drivers\\BuiltIn\\Serial") != std::string::npos, true);
}

TEST_F(InstallDriverTest, AnEmptyReplacedDrvIsNoTakeoverOnRecord) {
  SetString(hive_, DriverKeyPath, u"ReplacedDrv", u"");
  SetNumber(hive_, DriverKeyPath, u"ReplacedDrvOrder", 7);
  Apply(u"COM6", u"COM1");
  EXPECT_EQ(Value(DriverKeyPath, u"ReplacedDrv"), "missing");
  EXPECT_EQ(ValueNames(hive_, u""), "");  // nothing written at the root
  for (const std::string& line : devices_.log()) {
    EXPECT_EQ(line.find("activate  "), std::string::npos) << line;
  }
}

TEST_F(InstallDriverTest, APortWhoseDriverKeyIsUnknownIsOnlyStopped) {
  AddActiveEntry(u"99", u"COM3:", 77, u"Drivers\\BuiltIn\\AKeyMuchTooLongToBeReadByTheScan");
  Apply(u"COM3", u"COM1");
  EXPECT_EQ(Value(DriverKeyPath, u"ReplacedDrv"), "missing");
  EXPECT_EQ(Value(DriverKeyPath, u"ReplacedDrvOrder"), "missing");
  EXPECT_EQ(ValueNames(hive_, u""), "");
  EXPECT_EQ(RunningPorts().find("COM3: Drivers\\BuiltIn\\AKeyMuch"), std::string::npos);
  EXPECT_NE(RunningPorts().find("COM3: Drivers\\BuiltIn\\Velmora"), std::string::npos);
}

TEST_F(InstallDriverTest, RemovalDeletesTheKeyWithTheLoggingValues) {
  Apply(u"COM5", u"COM1");
  SetBytesFlag();
  Outcome outcome = Apply(u"keinem", u"");
  EXPECT_FALSE(KeyExists(hive_, DriverKeyPath));
  EXPECT_EQ(outcome.status, "Driver not installed");
  EXPECT_EQ(outcome.cancelText, "Beenden");
  EXPECT_EQ(outcome.endCode, ui::EndOk);
  EXPECT_EQ(RunningPorts().find("Velmora"), std::string::npos);
}

TEST_F(InstallDriverTest, AnInstallPortWithoutConnectPortRemovesTheDriver) {
  Apply(u"COM5", u"COM1");
  SetBytesFlag();
  host_.ExpectDialog([&](Dialog& d) {
    ui::ChooseItem(d, InstallCombo, u"COM5");
    d.Find<ui::ComboBox>(ConnectCombo)->SetCurSel(-1);
    host_.AnswerNext(AnswerYes);
    ui::ClickButton(d, ApplyButton);
    EXPECT_EQ(ToUtf8(d.ControlText(1005)), "Driver not installed");
    d.CancelCommand();
  });
  ConfigDialog dialog;
  dialog.RunModal();
  EXPECT_FALSE(KeyExists(hive_, DriverKeyPath));
}

TEST_F(InstallDriverTest, FailureToCreateTheKeyOnlyReportsInTheStatusLine) {
  registry_.FailWhen("SetValue", u"Drivers\\BuiltIn\\Velmora:Index");
  Outcome outcome = Apply(u"COM5", u"COM1");
  EXPECT_EQ(outcome.status, "Error: Could Not Create registry key.");
  EXPECT_EQ(outcome.cancelText, "Abbrechen");
  EXPECT_TRUE(outcome.applyEnabled);  // not refreshed
  EXPECT_EQ(outcome.endCode, ui::EndCancel);
  EXPECT_EQ(ValueNames(hive_, DriverKeyPath), "Prefix,FriendlyName,Dll,Order");
  EXPECT_EQ(host_.messages().size(), 1u);  // the warning only

  registry_.ClearFaults();
  registry_.FailWhen("OpenKey", u"Drivers\\BuiltIn");
  EXPECT_EQ(Apply(u"COM5", u"COM1").status, "Error: Could Not Create registry key.");
}

TEST_F(InstallDriverTest, ADriverThatDoesNotStartIsReported) {
  files_.RemoveFile(InstalledDllPath);
  Outcome outcome = Apply(u"COM5", u"COM1");
  EXPECT_EQ(LastMessage(),
            "Bei der Installation ist ein Fehler aufgetreten. Bitte rebooten Sie den PPC");
  EXPECT_EQ(outcome.status, "Error: Treiber konnte nicht gestartet werden.");
  EXPECT_EQ(outcome.cancelText, "Beenden");
  EXPECT_EQ(Value(DriverKeyPath, u"Index"), "4:4:5");
}

TEST(DeleteKeyTree, RemovesNestedKeysDeepestFirst) {
  Hive hive;
  FaultyRegistry registry(hive);
  PlatformServices services;
  services.registry = &registry;
  ScopedPlatform scoped(services);
  EXPECT_FALSE(DeleteKeyTree(HKEY_LOCAL_MACHINE, u"Missing"));
  SetNumber(hive, u"T\\A\\Deep", u"N", 1);
  SetNumber(hive, u"T\\B", u"N", 2);
  SetNumber(hive, u"T", u"N", 3);
  registry.ClearCalls();
  EXPECT_TRUE(DeleteKeyTree(HKEY_LOCAL_MACHINE, u"T"));
  EXPECT_FALSE(KeyExists(hive, u"T"));
  std::vector<std::string> deletes;
  for (const std::string& call : registry.calls()) {
    if (call.rfind("DeleteKey", 0) == 0) {
      deletes.push_back(call);
    }
  }
  EXPECT_EQ(deletes, (std::vector<std::string>{"DeleteKey T\\A\\Deep", "DeleteKey T\\A",
                                               "DeleteKey T\\B", "DeleteKey T"}));
}

}  // namespace
}  // namespace velmora
