#include "platform/serial/endpoint_status.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

EndpointStatus Record(std::string kind, std::string link, std::string driver) {
  EndpointStatus record;
  record.kind = std::move(kind);
  record.port = "COM5";
  record.link = std::move(link);
  record.driver = std::move(driver);
  return record;
}

TEST(EndpointStatusText, EveryFieldComesBackAsItWas) {
  EndpointStatus pty = Record("pty", "/d/dev/COM5", "splitter holding COM3");
  pty.terminal = "/dev/pts/3";
  pty.open = true;
  pty.sent = UINT64_MAX;
  pty.received = 13;
  pty.dropped = 7;
  EndpointStatus odd = Record("none", "/a\tb\nc\\d\\t", "tab\there, line\nbreak, \\n, \"q\"");
  EndpointStatus client = Record("tcp", "tcp://[::1]:4001", "");
  client.address = "[::1]:40112";
  client.open = true;
  for (const std::vector<EndpointStatus>& records :
       {std::vector<EndpointStatus>{}, std::vector<EndpointStatus>{pty, odd, client}}) {
    std::string text = EncodeStatus(records);
    std::vector<EndpointStatus> back = {odd};
    ASSERT_TRUE(DecodeStatus(text, &back)) << text;
    EXPECT_EQ(back, records) << text;
  }
  EXPECT_EQ(EncodeStatus({odd}),
            "velmora-status 1\nnone\tCOM5\t/a\\tb\\nc\\\\d\\\\t\t\ttab\\there, line\\nbreak, "
            "\\\\n, \"q\"\t\t0\t0\t0\t0\n");
}

TEST(EndpointStatusText, AnythingTheEncoderDoesNotWriteIsRefused) {
  const std::string good = "pty\tCOM5\t/l\t/dev/pts/1\tdriver\t\t1\t2\t3\t4\n";
  std::vector<EndpointStatus> records;
  ASSERT_TRUE(DecodeStatus("velmora-status 1\n" + good, &records));
  struct Case {
    const char* what;
    std::string text;
  };
  const Case cases[] = {
      {"empty", ""},
      {"another format", "velmora-status 2\n" + good},
      {"no format line", good},
      {"cut short", "velmora-status 1\n" + good.substr(0, good.size() - 1)},
      {"a field less", "velmora-status 1\npty\tCOM5\t/l\t/dev/pts/1\tdriver\t1\t2\t3\t4\n"},
      {"a field more", "velmora-status 1\npty\tCOM5\t/l\t/dev/pts/1\tdriver\t\t1\t2\t3\t4\t5\n"},
      {"open is 2", "velmora-status 1\npty\tCOM5\t/l\t/dev/pts/1\tdriver\t\t2\t2\t3\t4\n"},
      {"a negative count", "velmora-status 1\npty\tCOM5\t/l\t/dev/pts/1\tdriver\t\t1\t-2\t3\t4\n"},
      {"an empty count", "velmora-status 1\npty\tCOM5\t/l\t/dev/pts/1\tdriver\t\t1\t\t3\t4\n"},
      {"beyond 64 bits",
       "velmora-status 1\npty\tCOM5\t/l\t/dev/pts/1\tdriver\t\t1\t18446744073709551616\t3\t4\n"},
      {"an unknown escape",
       "velmora-status 1\npty\tCOM5\t/\\x\t/dev/pts/1\tdriver\t\t1\t2\t3\t4\n"},
      {"a lone backslash", "velmora-status 1\npty\tCOM5\t/l\\\t/dev/pts/1\tdriver\t\t1\t2\t3\t4\n"},
  };
  for (const Case& each : cases) {
    EXPECT_FALSE(DecodeStatus(each.text, &records)) << each.what;
  }
}

}  // namespace
}  // namespace velmora
