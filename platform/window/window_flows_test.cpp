// The tasks of the program done in the window with the mouse and the keys,
// as the terminal's end-to-end tests do them: viewing the ports, installing
// with a takeover and undoing it, and the logging options with a new folder
// typed into the chooser. The registry and the device are checked as
// those tests check them.
#include <gtest/gtest.h>

#include <QRect>
#include <QTreeWidget>

#include "driver/driver_names.h"
#include "platform/ui/application.h"
#include "platform/ui/dialog.h"
#include "tests/window_fixture.h"

namespace velmora {
namespace {

using testing::ValueData;

constexpr int PortList = 1000;
constexpr int CancelButton = 2;
constexpr int ApplyButton = 1002;
constexpr int InstallCombo = 1003;
constexpr int ConnectCombo = 1004;
constexpr int StatusText = 1005;
constexpr int AdvancedButton = 1006;

class WindowFlowTest : public testing::WindowFixture {
 protected:
  WindowFlowTest() { UseSampleDevice(); }

  bool RowInView(int listId, int row) {
    auto* list = qobject_cast<QTreeWidget*>(person_.Widget(listId));
    QRect rect = list->visualItemRect(list->topLevelItem(row));
    return rect.top() >= 0 && rect.bottom() <= list->viewport()->rect().bottom();
  }
};

TEST_F(WindowFlowTest, ViewsThePortsAndScrollsToTheLastWithTheKeys) {
  person_.ExpectDialog([&](ui::Dialog&) {
    EXPECT_EQ(person_.Caption(), "Velmora 2.1.0.4 Configuration");
    QStringList rows = person_.Rows(PortList);
    ASSERT_EQ(rows.size(), 10);
    EXPECT_EQ(rows[0], "COM0 | Frei | ");
    EXPECT_EQ(rows[1], "COM1 | Belegt | Serial Cable on COM1:");
    EXPECT_EQ(rows[2], "COM2 | Belegt | Infrared Port on COM2:");
    EXPECT_EQ(rows[4], "COM4 | Belegt | GPS Receiver on COM4:");
    EXPECT_EQ(rows[7], "COM7 | Belegt | Bluetooth Serial Port on COM7:");
    EXPECT_EQ(person_.ComboText(InstallCombo), "keinem");
    EXPECT_EQ(person_.ComboText(ConnectCombo), "(disabled)");
    EXPECT_EQ(person_.Text(CancelButton), "Abbrechen");
    EXPECT_EQ(person_.Text(ApplyButton), "Übernehmen");
    EXPECT_FALSE(person_.Enabled(ApplyButton));
    EXPECT_EQ(person_.Text(AdvancedButton), "Erweitert");
    EXPECT_FALSE(RowInView(PortList, 9));

    EXPECT_EQ(person_.FocusedControl(), PortList);
    for (int i = 0; i < 10; ++i) {
      person_.Key(Qt::Key_Down);
    }
    EXPECT_EQ(person_.Rows(PortList)[9], "*COM9 | Frei | ");
    EXPECT_TRUE(RowInView(PortList, 9));
    EXPECT_EQ(person_.Rows(PortList).filter("*").size(), 1);
    person_.Key(Qt::Key_Escape);
  });
  RunProgram();
}

TEST_F(WindowFlowTest, InstallsWithATakeoverThatABootKeepsAndUndoesItOnTheNextRun) {
  person_.ExpectDialog([&](ui::Dialog&) {
    // From the list: Abbrechen, then "Installiert auf" (Übernehmen is off).
    person_.Keys({Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Down, Qt::Key_Down});
    EXPECT_EQ(person_.ComboText(InstallCombo), "COM1");
    person_.Keys({Qt::Key_Tab, Qt::Key_Down, Qt::Key_Down});
    EXPECT_EQ(person_.ComboItems(ConnectCombo), (QStringList{"COM2", "COM4*", "COM7"}));
    EXPECT_TRUE(person_.Enabled(ApplyButton));
    person_.AnswerNext("Ja");
    person_.AnswerNext("OK");
    person_.Click(ApplyButton);
    EXPECT_EQ(person_.Text(StatusText), "Treiber erfolgreich installiert.");
    EXPECT_EQ(person_.Text(CancelButton), "Beenden");
    EXPECT_FALSE(person_.Enabled(ApplyButton));
    EXPECT_EQ(person_.Rows(PortList)[1], "COM1 | Belegt | Velmora Virual Serial Splitter");
    person_.Key(Qt::Key_Escape);
  });
  RunProgram();
  ASSERT_EQ(person_.messages().size(), 2u);
  EXPECT_EQ(person_.messages()[0].caption, "Warnung");
  EXPECT_TRUE(person_.messages()[0].text.endsWith("Wollen Sie die Installation fortsetzen?"));
  EXPECT_EQ(person_.messages()[0].buttons, (QStringList{"Ja", "Nein"}));
  EXPECT_TRUE(person_.messages()[0].exclamation);
  EXPECT_TRUE(person_.messages()[1].text.contains("auf COM1 umkonfiguriert"));
  EXPECT_EQ(person_.messages()[1].caption, QString::fromStdU16String(ui::ApplicationTitle()));
  EXPECT_EQ(person_.messages()[1].buttons, (QStringList{"OK"}));
  EXPECT_FALSE(person_.messages()[1].exclamation);

  EXPECT_NE(RunningPorts().find("COM1: Drivers\\BuiltIn\\Velmora\n"), std::string::npos)
      << RunningPorts();
  devices_.Boot();
  EXPECT_NE(RunningPorts().find("COM1: Drivers\\BuiltIn\\Velmora\n"), std::string::npos);
  EXPECT_EQ(RunningPorts().find("Drivers\\BuiltIn\\Serial"), std::string::npos) << RunningPorts();
  EXPECT_EQ(ValueData(hive_, u"Drivers\\BuiltIn\\Serial", u"Order"), "2");

  // The next run: "keinem" with the mouse gives the port back.
  person_.ExpectDialog([&](ui::Dialog&) {
    EXPECT_EQ(person_.ComboText(InstallCombo), "COM1");
    person_.ChooseWithMouse(InstallCombo, "keinem");
    EXPECT_EQ(person_.ComboText(InstallCombo), "keinem");
    EXPECT_TRUE(person_.ComboText(ConnectCombo).startsWith("(disabled)"));
    person_.AnswerNext("Ja");
    person_.Click(ApplyButton);
    EXPECT_EQ(person_.Text(StatusText), "Driver not installed");
    person_.Click(CancelButton);  // "Beenden"
  });
  RunProgram();
  EXPECT_NE(RunningPorts().find("COM1: Drivers\\BuiltIn\\Serial\n"), std::string::npos)
      << RunningPorts();
  EXPECT_EQ(ValueData(hive_, u"Drivers\\BuiltIn\\Serial", u"Order"), "0");
  EXPECT_FALSE(testing::KeyExists(hive_, DriverKeyPath));
}

TEST_F(WindowFlowTest, LoggingOptionsWithANewFolderTypedInTheChooser) {
  person_.ExpectDialog([&](ui::Dialog&) {
    person_.Click(AdvancedButton);
    person_.Key(Qt::Key_Escape);
  });
  person_.ExpectDialog([&](ui::Dialog&) {
    EXPECT_EQ(person_.Text(1007), "\\My Documents");
    EXPECT_EQ(person_.FocusedControl(), CancelButton);
    person_.Keys({Qt::Key_Tab, Qt::Key_Space});  // the read check box, ticked
    EXPECT_TRUE(person_.Checked(1006));
    EXPECT_EQ(ValueData(hive_, DriverKeyPath, u"ReadLog"), "01");
    person_.Click(1008);  // Browse
    EXPECT_EQ(person_.Text(1007), "\\My Documents\\GPS Logs");
    person_.Key(Qt::Key_Escape);
  });
  person_.ExpectDialog([&](ui::Dialog&) {
    QStringList rows = person_.Rows(1020);
    int documents = rows.indexOf("*My Documents | <DIR>");
    ASSERT_GE(documents, 0) << rows.join("\n").toStdString();
    person_.DoubleTapRow(1020, documents);
    EXPECT_EQ(person_.Text(1043), "\\My Documents");
    EXPECT_EQ(person_.Rows(1020),
              (QStringList{"*\\ | ", ".. | ", "Personal | <DIR>", "Templates | <DIR>"}));
    EXPECT_FALSE(person_.Enabled(1113));
    person_.Click(1112);  // the name field
    person_.Key(Qt::Key_A, Qt::ControlModifier);
    person_.Type("GPS Logs");
    EXPECT_TRUE(person_.Enabled(1113));
    person_.Key(Qt::Key_Return);
  });
  RunProgram();
  EXPECT_TRUE(FileExists(u"\\My Documents\\GPS Logs"));
  EXPECT_EQ(ValueData(hive_, DriverKeyPath, u"LogDir"), "\\My Documents\\GPS Logs");
  EXPECT_EQ(ValueData(hive_, DriverKeyPath, u"ReadLog"), "01");
}

// Two quick clicks on a check box or a button are two clicks, as the
// desktop sends them (the second press comes with a double click).
TEST_F(WindowFlowTest, ADoubleClickOnACheckBoxOrAButtonIsTwoClicks) {
  person_.ExpectDialog([&](ui::Dialog&) {
    person_.DoubleClick(AdvancedButton);  // opens the logging dialog twice, one after the other
    person_.Key(Qt::Key_Escape);
  });
  person_.ExpectDialog([&](ui::Dialog&) {
    person_.DoubleClick(1009);  // "Protokolliere Schreibeoperationen": ticked, unticked
    EXPECT_FALSE(person_.Checked(1009));
    EXPECT_EQ(ValueData(hive_, DriverKeyPath, u"WriteLog"), "00");
    person_.Click(1009);
    EXPECT_TRUE(person_.Checked(1009));
    person_.Key(Qt::Key_Escape);
  });
  person_.ExpectDialog([&](ui::Dialog&) {
    EXPECT_TRUE(person_.Checked(1009));
    person_.DoubleClick(1009);
    EXPECT_TRUE(person_.Checked(1009));
    EXPECT_EQ(ValueData(hive_, DriverKeyPath, u"WriteLog"), "01");
    person_.Key(Qt::Key_Escape);
  });
  RunProgram();
}

TEST_F(WindowFlowTest, LoggingOptionsWithTheKeysAlone) {
  person_.ExpectDialog([&](ui::Dialog&) {
    // The list, Abbrechen, "Installiert auf", then "Erweitert".
    person_.Keys({Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab});
    EXPECT_EQ(person_.FocusedControl(), AdvancedButton);
    person_.Key(Qt::Key_Return);
    person_.Key(Qt::Key_Escape);
  });
  person_.ExpectDialog([&](ui::Dialog&) {
    person_.Keys({Qt::Key_Tab, Qt::Key_Space, Qt::Key_Tab});  // tick "read", on to Browse
    EXPECT_EQ(person_.FocusedControl(), 1008);
    person_.Key(Qt::Key_Return);
    EXPECT_EQ(person_.Text(1007), "\\My Documents\\Track Logs");
    person_.Key(Qt::Key_Escape);
  });
  person_.ExpectDialog([&](ui::Dialog&) {
    EXPECT_EQ(person_.FocusedControl(), 1020);
    person_.Key(Qt::Key_Space, Qt::ShiftModifier);  // double tap: into "My Documents"
    EXPECT_EQ(person_.Text(1043), "\\My Documents");
    person_.Keys({Qt::Key_Down, Qt::Key_Down});
    person_.Key(Qt::Key_Space, Qt::ShiftModifier);  // into "Personal"
    EXPECT_EQ(person_.Text(1043), "\\My Documents\\Personal");
    person_.Key(Qt::Key_Left);  // up again, "Personal" chosen
    EXPECT_EQ(person_.Text(1043), "\\My Documents");
    EXPECT_EQ(person_.Text(1112), "Personal");
    // On through OK and Cancel to the name field (the folder above it,
    // which cannot be edited, takes no focus).
    person_.Keys({Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab});
    EXPECT_EQ(person_.FocusedControl(), 1112);
    person_.Key(Qt::Key_A, Qt::ControlModifier);
    person_.Type("Track Logs");
    person_.Key(Qt::Key_Return);
  });
  RunProgram();
  EXPECT_TRUE(FileExists(u"\\My Documents\\Track Logs"));
  EXPECT_EQ(ValueData(hive_, DriverKeyPath, u"LogDir"), "\\My Documents\\Track Logs");
  EXPECT_EQ(ValueData(hive_, DriverKeyPath, u"ReadLog"), "01");
}

}  // namespace
}  // namespace velmora
