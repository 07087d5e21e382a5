#include "driver/port_table.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/text.h"
#include "support/field_text.h"
#include "support/scoped_key.h"
#include "tests/device_fixture.h"
#include "tests/registry_changed_meanwhile.h"

namespace velmora {
namespace {

using testing::SetBytes;
using testing::SetNumber;
using testing::SetString;

class ScanPortsTest : public testing::DeviceFixture {
 protected:
  // One line per port in use: "3 1:1 h=42 key=... name=...".
  std::string Describe() {
    std::string out;
    for (int n = 0; n < PortCount; ++n) {
      const PortRecord& r = table_[n];
      if (!r.inUse && !r.examined) {
        bool zero = r.deviceHandle == 0 && FieldText(r.driverKey).empty() &&
                    FieldText(r.friendlyName).empty();
        if (!zero) {
          out += std::to_string(n) + " not zero\n";
        }
        continue;
      }
      out += std::to_string(n) + " " + std::to_string(r.inUse) + ":" + std::to_string(r.examined) +
             " h=" + std::to_string(r.deviceHandle) + " key=" + ToUtf8(FieldText(r.driverKey)) +
             " name=" + ToUtf8(FieldText(r.friendlyName)) + "\n";
    }
    return out;
  }

  PortTable table_;
};

TEST_F(ScanPortsTest, MarksThePortsOfRunningComDevices) {
  AddRunningPort(u"Serial", 1, 0, u"Serial Cable on COM1:");
  AddRunningPort(u"IrDA", 3, 1, u"Infrared");
  AddRunningPort(u"Modem", 7, 2, u"");  // no description anywhere
  ScanPorts(table_);
  EXPECT_EQ(Describe(),
            "1 1:1 h=1001 key=Drivers\\BuiltIn\\Serial name=Serial Cable on COM1:\n"
            "3 1:1 h=1002 key=Drivers\\BuiltIn\\IrDA name=Infrared\n"
            "7 1:1 h=1003 key=Drivers\\BuiltIn\\Modem name=\n");
  EXPECT_EQ(host_.waitCursorShows(), 1);
  EXPECT_FALSE(host_.waitCursorShown());
}

TEST_F(ScanPortsTest, ReadsOnlyTheFourthCharacterOfAComName) {
  const char16_t* names[] = {u"com2:", u"CON2:", u"COMX:", u"COM", u"CO", u"COM15:"};
  int entry = 1;
  for (const char16_t* name : names) {
    AddActiveEntry(u"0" + FromUtf8(std::to_string(entry++)), name, 50, u"Drivers\\X");
  }
  ScanPorts(table_);
  EXPECT_EQ(Describe(), "1 1:1 h=50 key=Drivers\\X name=\n");
}

TEST_F(ScanPortsTest, AKeyOfThirtyTwoCharactersIsNotRead) {
  AddActiveEntry(u"01", u"COM2:", 7, u"Drivers\\BuiltIn\\ThirtyTwoCharsLong");
  AddActiveEntry(u"02", u"COM3:", 8, u"Drivers\\BuiltIn\\Exactly31Chars");
  ScanPorts(table_);
  EXPECT_EQ(Describe(),
            "2 1:1 h=7 key= name=\n"
            "3 1:1 h=8 key=Drivers\\BuiltIn\\Exactly31Chars name=\n");
}

TEST_F(ScanPortsTest, FriendlyNameTooLongInTheKeyIsTakenFromASubkey) {
  std::u16string key = u"Drivers\\BuiltIn\\BT";
  AddActiveEntry(u"01", u"COM4:", 9, key);
  SetString(hive_, key, u"FriendlyName", u"A description of thirty-two chars");
  SetString(hive_, key + u"\\TooLong", u"FriendlyName", std::u16string(64, u'x'));
  SetString(hive_, key + u"\\Config", u"FriendlyName", std::u16string(63, u'y'));
  ScanPorts(table_);
  EXPECT_EQ(Describe(), "4 1:1 h=9 key=Drivers\\BuiltIn\\BT name=" + std::string(63, 'y') + "\n");
}

TEST_F(ScanPortsTest, ADescriptionWithoutTerminatorFillsTheWholeField) {
  std::u16string key = u"Drivers\\BuiltIn\\Raw";
  AddActiveEntry(u"01", u"COM6:", 9, key);
  std::vector<uint8_t> raw;
  for (int i = 0; i < 64; ++i) {
    raw.push_back('z');
    raw.push_back(0);
  }
  SetBytes(hive_, key + u"\\Sub", u"FriendlyName", RegBinary, raw);  // 128 bytes, no zero
  ScanPorts(table_);
  EXPECT_EQ(FieldText(table_[6].friendlyName), std::u16string(64, u'z'));
}

TEST_F(ScanPortsTest, DuplicateDigitsMergeFieldByField) {
  AddActiveEntry(u"01", u"COM5:", 21, u"Drivers\\First");
  SetString(hive_, u"Drivers\\First", u"FriendlyName", u"First");
  testing::SetString(hive_, u"Drivers\\Active\\02", u"Name", u"COM5:");
  SetString(hive_, u"Drivers\\Active\\02", u"Key", u"Drivers\\Second");  // no Hnd
  SetString(hive_, u"Drivers\\Second", u"Other", u"no FriendlyName");
  ScanPorts(table_);
  EXPECT_EQ(Describe(), "5 1:1 h=21 key=Drivers\\Second name=First\n");
}

// Another process stops COM2 and starts COM4 while the scan looks at COM1.
// Enumerating one entry at a time, the scan then finds COM3 at index 1 and
// COM4 at index 2, as the step-by-step algorithm does; a list of names taken
// before would have missed COM4.
TEST_F(ScanPortsTest, EnumeratesEachEntryOnlyAfterTheOneBeforeIsDone) {
  AddActiveEntry(u"01", u"COM1:", 11, u"Drivers\\One");
  AddActiveEntry(u"02", u"COM2:", 12, u"Drivers\\Two");
  AddActiveEntry(u"03", u"COM3:", 13, u"Drivers\\Three");
  FaultyRegistry program(hive_);  // records the program's calls only
  testing::RegistryChangedMeanwhile meanwhile(program);
  meanwhile.BeforeOpening(u"01", [&] {
    ASSERT_EQ(hive_.DeleteKey(HKEY_LOCAL_MACHINE, u"Drivers\\Active\\02"), StatusSuccess);
    AddActiveEntry(u"04", u"COM4:", 14, u"Drivers\\Four");
  });
  auto platform = SeeRegistry(meanwhile);
  ScanPorts(table_);
  EXPECT_EQ(Describe(),
            "1 1:1 h=11 key=Drivers\\One name=\n"
            "3 1:1 h=13 key=Drivers\\Three name=\n"
            "4 1:1 h=14 key=Drivers\\Four name=\n");
  EXPECT_EQ(testing::KeyCalls(program.calls(), "Drivers\\Active"),
            "OpenKey, EnumSubkey, OpenKey 01, CloseKey 01, EnumSubkey, OpenKey 03, CloseKey 03, "
            "EnumSubkey, OpenKey 04, CloseKey 04, EnumSubkey, CloseKey");
}

// The description's subkeys too: the first subkey goes away just before it is
// opened, so the next enumeration (index 1) finds nothing.
TEST_F(ScanPortsTest, DescriptionSubkeysAreEnumeratedOneAtATime) {
  std::u16string key = u"Drivers\\BuiltIn\\BT";
  AddActiveEntry(u"01", u"COM7:", 9, key);
  testing::MakeKey(hive_, key + u"\\First");
  SetString(hive_, key + u"\\Second", u"FriendlyName", u"Second");
  FaultyRegistry program(hive_);  // records the program's calls only
  testing::RegistryChangedMeanwhile meanwhile(program);
  meanwhile.BeforeOpening(u"First", [&] {
    ASSERT_EQ(hive_.DeleteKey(HKEY_LOCAL_MACHINE, key + u"\\First"), StatusSuccess);
  });
  auto platform = SeeRegistry(meanwhile);
  ScanPorts(table_);
  EXPECT_EQ(Describe(), "7 1:1 h=9 key=Drivers\\BuiltIn\\BT name=\n");
}

TEST_F(ScanPortsTest, EmptyWithoutActiveDevicesAndFreshOnEveryScan) {
  ScanPorts(table_);
  EXPECT_EQ(Describe(), "");
  DeviceHandle handle = AddRunningPort(u"Serial", 1, 0, u"Serial");
  ScanPorts(table_);
  PortTable first = table_;
  ScanPorts(table_);
  EXPECT_EQ(std::memcmp(&first, &table_, sizeof first), 0);
  devices_.DeactivateDriver(handle);
  ScanPorts(table_);
  EXPECT_EQ(Describe(), "");
}

}  // namespace
}  // namespace velmora
