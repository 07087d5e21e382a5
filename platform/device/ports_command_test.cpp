#include "platform/device/ports_command.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(PortsTable, EveryColumnIsAsWideAsItsLongestEntry) {
  const std::string longLink = "/home/someone/a/rather/long/device/folder/for/gps/dev/COM5-2";
  std::string listing =
      "/d/dev/COM4\t/dev/pts/3\tCOM4:\tGPS receiver\n" + longLink +
      "\t/dev/pts/12\tCOM5:\tsplitter holding COM4\n-\t-\tCOM7:\tthe port\twith a tab\n";
  std::string pad(longLink.size() + 2 - 8, ' ');
  EXPECT_EQ(FormatPortsTable(listing),
            "ENDPOINT" + pad + "TERMINAL     PORT   DRIVER\n" + "/d/dev/COM4" +
                std::string(longLink.size() + 2 - 11, ' ') + "/dev/pts/3   COM4:  GPS receiver\n" +
                longLink + "  /dev/pts/12  COM5:  splitter holding COM4\n" + "-" +
                std::string(longLink.size() + 1, ' ') +
                "-            COM7:  the port\twith a tab\n");
}

TEST(PortsTable, NothingListedGivesTheHeadingAlone) {
  EXPECT_EQ(FormatPortsTable(""), "ENDPOINT  TERMINAL  PORT  DRIVER\n");
}

}  // namespace
}  // namespace velmora
