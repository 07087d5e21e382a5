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

std::vector<EndpointStatus> LiveRecords() {
  std::vector<EndpointStatus> records(4);
  records[0].kind = "pty";
  records[0].port = "COM5";
  records[0].link = "/d/dev/COM5";
  records[0].terminal = "/dev/pts/3";
  records[0].driver = "splitter holding COM3";
  records[0].open = true;
  records[0].sent = 123456;
  records[0].received = 13;
  records[0].dropped = 0;
  records[1] = records[0];
  records[1].link = "/d/dev/COM5-2\"q\"";
  records[1].terminal = "/dev/pts/4";
  records[1].open = false;
  records[1].sent = 0;
  records[1].received = 0;
  records[1].dropped = 77;
  records[2].kind = "listener";
  records[2].port = "COM5";
  records[2].link = "tcp://127.0.0.1:4001";
  records[2].driver = "splitter holding COM3";
  records[2].open = true;
  records[3] = records[2];
  records[3].kind = "tcp";
  records[3].address = "127.0.0.1:40112";
  records[3].sent = 9;
  records[3].dropped = 1;
  return records;
}

TEST(PortsTable, LiveStatusAddsTheClientsAndTheirCounts) {
  EXPECT_EQ(FormatStatusTable(LiveRecords()),
            "ENDPOINT              TERMINAL    OPEN  SENT    RECEIVED  DROPPED  PORT   DRIVER\n"
            "/d/dev/COM5           /dev/pts/3  yes   123456  13        0        COM5:  splitter "
            "holding COM3\n"
            "/d/dev/COM5-2\"q\"      /dev/pts/4  no    0       0         77       COM5:  splitter "
            "holding COM3\n"
            "tcp://127.0.0.1:4001  -           -     -       -         -        COM5:  splitter "
            "holding COM3\n"
            "tcp 127.0.0.1:40112   -           yes   9       0         1        COM5:  splitter "
            "holding COM3\n");
}

TEST(PortsJson, OneObjectPerRecordAndAnEmptyArrayForNone) {
  EXPECT_EQ(StatusJson({}), "[]\n");
  EXPECT_EQ(
      StatusJson(LiveRecords()),
      "[\n"
      "  {\"kind\": \"pty\", \"port\": \"COM5\", \"link\": \"/d/dev/COM5\", \"terminal\": "
      "\"/dev/pts/3\", \"driver\": \"splitter holding COM3\", \"open\": true, \"sent\": 123456, "
      "\"received\": 13, \"dropped\": 0},\n"
      "  {\"kind\": \"pty\", \"port\": \"COM5\", \"link\": \"/d/dev/COM5-2\\\"q\\\"\", "
      "\"terminal\": \"/dev/pts/4\", \"driver\": \"splitter holding COM3\", \"open\": false, "
      "\"sent\": 0, \"received\": 0, \"dropped\": 77},\n"
      "  {\"kind\": \"listener\", \"port\": \"COM5\", \"link\": \"tcp://127.0.0.1:4001\", "
      "\"terminal\": null, \"driver\": \"splitter holding COM3\", \"open\": true, \"sent\": 0, "
      "\"received\": 0, \"dropped\": 0},\n"
      "  {\"kind\": \"tcp\", \"port\": \"COM5\", \"link\": \"tcp://127.0.0.1:4001\", "
      "\"terminal\": null, \"driver\": \"splitter holding COM3\", \"address\": "
      "\"127.0.0.1:40112\", \"open\": true, \"sent\": 9, \"received\": 0, \"dropped\": 1}\n"
      "]\n");
}

}  // namespace
}  // namespace velmora
