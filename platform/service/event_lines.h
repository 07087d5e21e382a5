// Where `velmora-device run` writes its event lines: standard error, one
// line each. When standard error is the journal's stream (systemd sets
// JOURNAL_STREAM to its device and inode), each line begins with its
// priority as <N>, so that `journalctl -p warning` finds the faults.
#pragma once

#include <string>

namespace velmora {

class EventLines {
 public:
  // Looks whether standard error is the journal's stream.
  EventLines();
  explicit EventLines(bool journal) : journal_(journal) {}

  bool journal() const { return journal_; }
  void Write(const std::string& line) const;
  // The line with its priority in front under the journal, as written.
  std::string Format(const std::string& line) const;

  // A line's syslog priority: warning for a fault (something the device
  // cannot do, a source gone, data dropped), notice for a port waiting,
  // info for the rest.
  static int Priority(const std::string& line);

 private:
  bool journal_ = false;
};

// Whether JOURNAL_STREAM ("DEVICE:INODE") names the file open on fd.
bool IsJournalStream(const char* journalStream, int fd);

}  // namespace velmora
