#include "platform/service/event_lines.h"

#include <sys/stat.h>
#include <syslog.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

namespace velmora {

bool IsJournalStream(const char* journalStream, int fd) {
  if (journalStream == nullptr) {
    return false;
  }
  uintmax_t device = 0;
  uintmax_t inode = 0;
  char extra = 0;
  if (std::sscanf(journalStream, "%" SCNuMAX ":%" SCNuMAX "%c", &device, &inode, &extra) != 2) {
    return false;
  }
  struct stat status {};
  return ::fstat(fd, &status) == 0 && static_cast<uintmax_t>(status.st_dev) == device &&
         static_cast<uintmax_t>(status.st_ino) == inode;
}

EventLines::EventLines() : journal_(IsJournalStream(std::getenv("JOURNAL_STREAM"), 2)) {}

int EventLines::Priority(const std::string& line) {
  static const char* const faults[] = {"cannot ",   "went away", "has gone",     "keeps going away",
                                       "no fix",    "is off",    "no endpoint:", "not reading",
                                       "will not ", "failed",    "may outlive"};
  for (const char* fault : faults) {
    if (line.find(fault) != std::string::npos) {
      return LOG_WARNING;
    }
  }
  if (line.find(": waiting: ") != std::string::npos) {
    return LOG_NOTICE;
  }
  return LOG_INFO;
}

std::string EventLines::Format(const std::string& line) const {
  std::string text;
  if (journal_) {
    text = "<" + std::to_string(Priority(line)) + ">";
  }
  return text + "velmora-device: " + line + "\n";
}

void EventLines::Write(const std::string& line) const {
  std::string text = Format(line);
  std::fwrite(text.data(), 1, text.size(), stderr);
}

}  // namespace velmora
