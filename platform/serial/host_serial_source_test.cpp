#include "platform/serial/host_serial_source.h"

#include <gtest/gtest.h>

#include "tests/switched_on_fixture.h"
#include "tests/test_support.h"

namespace velmora {
namespace {

using testing::HostDevice;
using testing::TempDir;
using testing::WriteFileText;

TEST(HostSerial, BaudRatesOfTheHost) {
  EXPECT_EQ(BaudConstant(4800), static_cast<speed_t>(B4800));
  EXPECT_EQ(BaudConstant(115200), static_cast<speed_t>(B115200));
  EXPECT_EQ(BaudConstant(4000000), static_cast<speed_t>(B4000000));
  for (uint32_t odd : {0u, 1u, 4801u, 12345u, 0xFFFFFFFFu}) {
    EXPECT_EQ(BaudConstant(odd), static_cast<speed_t>(B0)) << odd;
  }
}

TEST(HostSerial, OpensATerminalRawAndRefusesWhatIsNone) {
  HostDevice device;
  UniqueFd fd;
  std::string error;
  ASSERT_TRUE(OpenHostSerial(device.path(), 9600, &fd, &error)) << error;
  termios mode{};
  ASSERT_EQ(::tcgetattr(fd.get(), &mode), 0);
  EXPECT_EQ(cfgetospeed(&mode), static_cast<speed_t>(B9600));
  EXPECT_EQ(mode.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(mode.c_iflag & (IXON | ICRNL), 0u);
  EXPECT_EQ(mode.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));

  TempDir dir;
  WriteFileText(dir / "plain", "not a port");
  struct Case {
    std::string path;
    uint32_t baud;
    std::string error;
  };
  const Case cases[] = {
      {dir / "missing", 4800, dir / "missing" + ": No such file or directory"},
      {dir / "plain", 4800,
       dir / "plain" + ": not a serial device (Inappropriate ioctl for device)"},
      {device.path(), 4801, device.path() + ": 4801 is not a baud rate of this host"},
  };
  for (const Case& c : cases) {
    UniqueFd none;
    EXPECT_FALSE(OpenHostSerial(c.path, c.baud, &none, &error));
    EXPECT_EQ(error, c.error);
    EXPECT_FALSE(none);
  }
}

}  // namespace
}  // namespace velmora
