#include "platform/service/event_lines.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <syslog.h>

#include <cstdio>
#include <string>

namespace velmora {
namespace {

TEST(EventLinesTest, UnderTheJournalEachLineCarriesItsPriority) {
  struct Case {
    const char* line;
    int priority;
  } cases[] = {
      {"COM4: up, GPS receiver", LOG_INFO},
      {"COM5: client opened", LOG_INFO},
      {"COM5: waiting: COM4 is not running (what its clients write is dropped meanwhile)",
       LOG_NOTICE},
      {"COM3: host port /dev/ttyUSB0 went away (read failed); trying again every second",
       LOG_WARNING},
      {"COM5-2: client is not reading; dropping its data (100 bytes)", LOG_WARNING},
      {"cannot write the list of endpoints: disk full", LOG_WARNING},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EventLines::Priority(c.line), c.priority) << c.line;
    EXPECT_EQ(EventLines(true).Format(c.line),
              "<" + std::to_string(c.priority) + ">velmora-device: " + c.line + "\n");
    EXPECT_EQ(EventLines(false).Format(c.line), std::string("velmora-device: ") + c.line + "\n");
  }
}

TEST(EventLinesTest, TheJournalStreamIsKnownByDeviceAndInode) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  struct stat status {};
  ASSERT_EQ(::fstat(fileno(file), &status), 0);
  std::string same = std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
  std::string other = std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino + 1);
  EXPECT_TRUE(IsJournalStream(same.c_str(), fileno(file)));
  EXPECT_FALSE(IsJournalStream(other.c_str(), fileno(file)));
  EXPECT_FALSE(IsJournalStream((same + "x").c_str(), fileno(file)));
  EXPECT_FALSE(IsJournalStream("", fileno(file)));
  EXPECT_FALSE(IsJournalStream(nullptr, fileno(file)));
  std::fclose(file);
}

}  // namespace
}  // namespace velmora
