#include "platform/device/board_device.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "tests/test_support.h"

namespace velmora {
namespace {

// A board with two UARTs behind IFs, a driver whose DLL the sample file
// system has already, and one that is not a port.
constexpr char Platform[] =
    "; the board's registry\n"
    "#define BUILTIN_ROOT HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\n"
    "IF BSP_NOSERIAL !\n"
    "[$(BUILTIN_ROOT)\\Serial1]\n"
    "   \"Dll\" = \"board_uart.dll\"\n   \"Prefix\"=\"COM\"\n   \"Index\"=dword:1\n"
    "   \"Order\"=dword:2\n   \"FriendlyName\"=LOC_UART1\n"
    "ENDIF\n"
    "IF BSP_UART3\n"
    "[$(BUILTIN_ROOT)\\Serial3]\n"
    "   \"Dll\"=\"\\\\Windows\\\\board_uart.dll\"\n   \"Prefix\"=\"COM\"\n   \"Index\"=dword:3\n"
    "   \"Order\"=dword:3\n"
    "ENDIF\n"
    "[$(BUILTIN_ROOT)\\Keypad]\n\"Dll\"=\"keypad.dll\"\n\"Prefix\"=\"KBD\"\n\"Index\"=dword:1\n"
    "[$(BUILTIN_ROOT)\\GPS]\n\"Dll\"=\"gpsdrv.dll\"\n\"Prefix\"=\"COM\"\n\"Index\"=dword:4\n"
    "[$(BUILTIN_ROOT)\\Flash]\n\"Dll\"=\"\\\\Storage\\\\flash.dll\"\n";

TEST(BoardDevice, BootsTheBoardsDriversWithStandInsForTheirDlls) {
  testing::TempDir dir;
  testing::WriteFileText(dir / "platform.reg", Platform);
  BoardInitOptions options;
  options.folder = dir / "device";
  options.from = {dir / "platform.reg"};
  options.bsp.defines = {"BSP_UART3", "LOC_UART1=UART 1"};
  BoardDeviceReport report;
  std::string error;
  ASSERT_TRUE(CreateBoardDevice(options, &report, &error)) << error;
  EXPECT_EQ(report.standIns,
            (std::vector<std::string>{"\\windows\\board_uart.dll", "\\windows\\keypad.dll"}));
  ASSERT_EQ(report.warnings.size(), 1u);
  EXPECT_EQ(report.warnings[0],
            "Drivers\\BuiltIn\\Flash: no stand-in for \"\\Storage\\flash.dll\", which is not in "
            "\\windows");

  std::unique_ptr<Device> device = Device::Open(options.folder, &error);
  ASSERT_TRUE(device) << error;
  std::vector<std::string> active = testing::ActiveEntries(device->registry());
  ASSERT_EQ(active.size(), 4u);
  EXPECT_NE(active[0].find("COM1: "), std::string::npos);  // by Order
  EXPECT_NE(active[3].find("KBD1: "), std::string::npos);  // no Order: after the others, by name
  std::string all;
  for (const std::string& entry : active) {
    all += entry + "\n";
  }
  for (const char* name : {"COM1: ", "COM3: ", "COM4: ", "KBD1: "}) {
    EXPECT_NE(all.find(name), std::string::npos) << all;
  }
  // Only the board's drivers: none of the sample's.
  EXPECT_EQ(testing::SubkeyNames(device->registry(), u"Drivers\\BuiltIn"),
            "Serial1,Serial3,Keypad,GPS,Flash");
  EXPECT_EQ(testing::ValueData(device->registry(), u"Drivers\\BuiltIn\\Serial1", u"FriendlyName"),
            "UART 1");
  EXPECT_NE(device->files().FileAttributes(u"\\My Documents\\Notes.txt"), InvalidFileAttributes);
  EXPECT_NE(device->versions().VersionInfoSize(u"\\windows\\board_uart.dll"), 0u);
}

TEST(BoardDevice, NothingIsMadeWhenTheRegistryCannotTakeTheFiles) {
  testing::TempDir dir;
  testing::WriteFileText(dir / "platform.reg", "[K]\n\n\"\x01\"=dword:1\n");
  BoardInitOptions options;
  options.folder = dir / "device";
  options.from = {dir / "platform.reg"};
  BoardDeviceReport report;
  std::string error;
  EXPECT_FALSE(CreateBoardDevice(options, &report, &error));
  EXPECT_EQ(error.rfind(dir / "platform.reg: line 3: ", 0), 0u) << error;
  std::unique_ptr<Device> device = Device::Open(options.folder, &error);
  EXPECT_FALSE(device);
}

}  // namespace
}  // namespace velmora
