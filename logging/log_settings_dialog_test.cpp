#include "logging/log_settings_dialog.h"

#include <gtest/gtest.h>

#include "app/config_dialog.h"
#include "driver/driver_names.h"
#include "platform/text.h"
#include "tests/device_fixture.h"

namespace velmora {
namespace {

using testing::DescribeValue;
using testing::SetBytes;
using ui::Dialog;

constexpr int ReadLogBox = 1006;
constexpr int FolderText = 1007;
constexpr int BrowseButton = 1008;
constexpr int WriteLogBox = 1009;

class LogSettingsTest : public testing::DeviceFixture {
 protected:
  void SetUp() override { ASSERT_TRUE(files_.MakeDirectory(u"\\My Documents")); }

  int Run(const std::function<void(Dialog&)>& script) {
    host_.ExpectDialog(script);
    LogSettingsDialog dialog;
    int result = dialog.RunModal();
    ExpectHostClean();
    return result;
  }

  void InstallAndStartDriver() {
    testing::SetString(hive_, DriverKeyPath, u"Prefix", u"COM");
    testing::SetString(hive_, DriverKeyPath, u"Dll", DriverDllName);
    testing::SetNumber(hive_, DriverKeyPath, u"Index", 5);
    PutFile(InstalledDllPath);
    ASSERT_NE(devices_.ActivateDriver(DriverKeyPath, 0), 0u);
  }

  static bool Checked(Dialog& d, int id) { return d.Find<ui::CheckBox>(id)->checked(); }
};

TEST_F(LogSettingsTest, WithoutTheKeyShowsDefaultsAndATickCreatesIt) {
  Run([&](Dialog& d) {
    EXPECT_FALSE(Checked(d, ReadLogBox));
    EXPECT_FALSE(Checked(d, WriteLogBox));
    EXPECT_EQ(ToUtf8(d.ControlText(FolderText)), "\\My Documents");
    EXPECT_EQ(d.focusId(), 2);
    ui::ClickButton(d, ReadLogBox);
    EXPECT_EQ(DescribeValue(hive_, DriverKeyPath, u"ReadLog"), "3:1:01");
    ui::ClickButton(d, ReadLogBox);
    EXPECT_EQ(DescribeValue(hive_, DriverKeyPath, u"ReadLog"), "3:1:00");
    ui::ClickButton(d, WriteLogBox);
    EXPECT_EQ(DescribeValue(hive_, DriverKeyPath, u"WriteLog"), "3:1:01");
    d.CancelCommand();
  });
  EXPECT_EQ(testing::ValueNames(hive_, DriverKeyPath), "ReadLog,WriteLog");
}

TEST_F(LogSettingsTest, ShowsStoredValuesAndAFourByteFlagAsUnchecked) {
  SetBytes(hive_, DriverKeyPath, u"ReadLog", RegNumber, {1, 0, 0, 0});
  SetBytes(hive_, DriverKeyPath, u"WriteLog", RegBinary, {1});
  testing::SetString(hive_, DriverKeyPath, u"LogDir", u"\\Temp\\Logs");
  Run([&](Dialog& d) {
    EXPECT_FALSE(Checked(d, ReadLogBox));
    EXPECT_TRUE(Checked(d, WriteLogBox));
    EXPECT_EQ(ToUtf8(d.ControlText(FolderText)), "\\Temp\\Logs");
    ui::ClickButton(d, ReadLogBox);
    EXPECT_EQ(DescribeValue(hive_, DriverKeyPath, u"ReadLog"), "3:1:01");
    d.OkCommand();
  });
}

TEST_F(LogSettingsTest, OpeningAndClosingWritesNothing) {
  registry_.ClearCalls();
  Run([&](Dialog& d) { d.CancelCommand(); });
  for (const std::string& call : registry_.calls()) {
    EXPECT_EQ(call.find("Set"), std::string::npos) << call;
    EXPECT_EQ(call.find("Create"), std::string::npos) << call;
  }
  EXPECT_FALSE(testing::KeyExists(hive_, DriverKeyPath));
}

TEST_F(LogSettingsTest, BrowseStoresTheChosenFolderAtOnce) {
  host_.ExpectDialog([&](Dialog& d) {
    ui::ClickButton(d, BrowseButton);
    EXPECT_EQ(ToUtf8(d.ControlText(FolderText)), "\\My Documents\\Logs");
    EXPECT_EQ(DescribeValue(hive_, DriverKeyPath, u"LogDir"), "1:38:\\My Documents\\Logs");
    d.CancelCommand();
  });
  host_.ExpectDialog([&](Dialog& chooser) {
    EXPECT_EQ(chooser.templateId(), 141);
    EXPECT_EQ(chooser.owner()->templateId(), 103);
    EXPECT_FALSE(chooser.owner()->enabled());
    EXPECT_NE(ui::DescribeList(chooser, 1020).find("*My Documents"), std::string::npos);
    EXPECT_EQ(ToUtf8(chooser.ControlText(1043)), "");
    ui::FindEntry(*chooser.Find<ui::ListView>(1020), u"My Documents");
    chooser.Find<ui::ListView>(1020)->DoubleTap(0);  // into My Documents
    chooser.Find<ui::Edit>(1112)->Type(u"Logs");
    ui::ClickButton(chooser, 1113);
  });
  LogSettingsDialog dialog;
  dialog.RunModal();
  ExpectHostClean();
  EXPECT_EQ(files_.FileAttributes(u"\\My Documents\\Logs"), FileAttributeDirectory);
}

// What is stored as "LogDir" is a folder that exists: a nested new name
// makes every folder on the way, and a name that cannot be a folder is
// reported by the chooser and never stored.
TEST_F(LogSettingsTest, ANestedNewFolderIsMadeAndOneThatCannotBeMadeIsNotStored) {
  host_.ExpectDialog([&](Dialog& d) {
    ui::ClickButton(d, BrowseButton);
    EXPECT_EQ(DescribeValue(hive_, DriverKeyPath, u"LogDir"), "1:22:\\neu\\unter");
    ui::ClickButton(d, BrowseButton);
    EXPECT_EQ(ToUtf8(d.ControlText(FolderText)), "\\neu\\unter");
    EXPECT_EQ(DescribeValue(hive_, DriverKeyPath, u"LogDir"), "1:22:\\neu\\unter");
    d.CancelCommand();
  });
  host_.ExpectDialog([&](Dialog& chooser) {
    chooser.Find<ui::Edit>(1112)->Type(u"neu\\unter");  // at the root, where "neu" is not
    ui::ClickButton(chooser, 1113);
  });
  host_.ExpectDialog([&](Dialog& chooser) {
    chooser.Find<ui::Edit>(1112)->Type(u"a:b");
    ui::ClickButton(chooser, 1113);
    EXPECT_FALSE(chooser.ended());
    chooser.CancelCommand();
  });
  LogSettingsDialog dialog;
  dialog.RunModal();
  ExpectHostClean();
  EXPECT_EQ(files_.FileAttributes(u"\\neu\\unter"), FileAttributeDirectory);
  ASSERT_EQ(host_.messages().size(), 1u);
  EXPECT_EQ(ToUtf8(host_.messages()[0].text), "Der Ordner \\neu\\a:b kann nicht angelegt werden.");
}

TEST_F(LogSettingsTest, ACancelledChooserChangesNothing) {
  host_.ExpectDialog([&](Dialog& d) {
    ui::ClickButton(d, BrowseButton);
    EXPECT_EQ(ToUtf8(d.ControlText(FolderText)), "\\My Documents");
    d.CancelCommand();
  });
  host_.ExpectDialog([&](Dialog& chooser) { chooser.CancelCommand(); });
  LogSettingsDialog dialog;
  dialog.RunModal();
  ExpectHostClean();
  EXPECT_EQ(DescribeValue(hive_, DriverKeyPath, u"LogDir"), "missing");
}

// A write that fails (a damaged registry file, a read-only device) must not
// look stored: the control shows the stored value again.
TEST_F(LogSettingsTest, AFailedWriteShowsTheStoredValueAgain) {
  SetBytes(hive_, DriverKeyPath, u"ReadLog", RegBinary, {1});
  testing::SetString(hive_, DriverKeyPath, u"LogDir", u"\\Temp");
  registry_.FailWhen("SetValue", u"*");
  host_.ExpectDialog([&](Dialog& d) {
    ui::ClickButton(d, ReadLogBox);  // unticked, not stored: ticked again
    EXPECT_TRUE(Checked(d, ReadLogBox));
    ui::ClickButton(d, WriteLogBox);  // ticked, not stored: unticked again
    EXPECT_FALSE(Checked(d, WriteLogBox));
    ui::ClickButton(d, BrowseButton);
    EXPECT_EQ(ToUtf8(d.ControlText(FolderText)), "\\Temp");
    registry_.ClearFaults();
    ui::ClickButton(d, WriteLogBox);  // a write that works keeps the new state
    EXPECT_TRUE(Checked(d, WriteLogBox));
    d.OkCommand();
  });
  host_.ExpectDialog([&](Dialog& chooser) {
    chooser.Find<ui::Edit>(1112)->Type(u"Logs");
    ui::ClickButton(chooser, 1113);
  });
  LogSettingsDialog dialog;
  dialog.RunModal();
  ExpectHostClean();
  EXPECT_EQ(DescribeValue(hive_, DriverKeyPath, u"ReadLog"), "3:1:01");
  EXPECT_EQ(DescribeValue(hive_, DriverKeyPath, u"WriteLog"), "3:1:01");
  EXPECT_EQ(DescribeValue(hive_, DriverKeyPath, u"LogDir"), "1:12:\\Temp");
}

TEST_F(LogSettingsTest, AKeyThatCannotBeCreatedShowsTheDefaultsAgain) {
  registry_.FailWhen("CreateKey", u"*");
  Run([&](Dialog& d) {
    ui::ClickButton(d, ReadLogBox);
    EXPECT_FALSE(Checked(d, ReadLogBox));
    d.OkCommand();
  });
  EXPECT_FALSE(testing::KeyExists(hive_, DriverKeyPath));
}

TEST_F(LogSettingsTest, AbbrechenRestartsOnlyARunningDriver) {
  Run([&](Dialog& d) { d.CancelCommand(); });
  EXPECT_TRUE(devices_.log().empty());

  InstallAndStartDriver();
  Run([&](Dialog& d) { d.CancelCommand(); });
  ASSERT_EQ(devices_.log().size(), 3u);
  EXPECT_EQ(devices_.log()[1], "deactivate 1001");
  EXPECT_EQ(devices_.log()[2], "activate Drivers\\BuiltIn\\Velmora -> 1002 COM5:");
}

TEST_F(LogSettingsTest, DoneClosesWithoutARestart) {
  InstallAndStartDriver();
  EXPECT_EQ(Run([&](Dialog& d) { d.OkCommand(); }), ui::EndOk);
  EXPECT_EQ(devices_.log().size(), 1u);
}

TEST_F(LogSettingsTest, ErweitertOpensItAndTheMainDialogKeepsItsScan) {
  AddRunningPort(u"Serial", 1, 0, u"Serial");
  host_.ExpectDialog([&](Dialog& main) {
    std::string before = ui::DescribeList(main, 1000);
    AddRunningPort(u"GPS", 4, 1, u"GPS");  // a change the main dialog does not see
    ui::ClickButton(main, 1006);
    EXPECT_TRUE(main.enabled());
    EXPECT_EQ(ui::DescribeList(main, 1000), before);
    main.CancelCommand();
  });
  host_.ExpectDialog([&](Dialog& log) {
    EXPECT_EQ(log.templateId(), 103);
    EXPECT_FALSE(log.owner()->enabled());
    log.CancelCommand();
  });
  ConfigDialog dialog;
  dialog.RunModal();
  ExpectHostClean();
}

}  // namespace
}  // namespace velmora
