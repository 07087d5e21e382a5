// The running device's live status for `velmora-device ports`: a Unix
// stream socket DIR/dev/.status that answers every connection with one
// snapshot of the endpoints (EncodeStatus) and closes it. It is served
// from the device's one loop like everything else: an idle device waits on
// the listening socket and is never woken by it; nothing is written
// anywhere until someone asks.
//
// A reader that does not take its answer cannot hold the loop: writes
// never block, at most MaxWaitingReaders answers wait for room, and one
// that is not taken within WriteDeadline is dropped. The socket gets mode
// 0660 and the group of DIR/dev, so that whoever may use the endpoints'
// folder's group may ask (the service runs as root).
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/serial/poll_set.h"
#include "platform/unique_fd.h"

namespace velmora {

struct StatusLimits {
  // The socket's name in DIR/dev.
  static constexpr const char* SocketName = ".status";
  // Connections taken per round, so that a flood cannot starve the ports.
  static constexpr int AcceptsPerRound = 8;
  static constexpr int ListenBacklog = 8;
  // Answers not yet taken whole; a reader beyond them is closed unanswered.
  static constexpr size_t MaxWaitingReaders = 8;
  // How long the device keeps an answer for a reader that does not read.
  static constexpr Millis WriteDeadline = 2000;
  // The asking side: the longest answer it takes, and how long it waits.
  static constexpr size_t MaxAnswerBytes = 4 * 1024 * 1024;
  static constexpr Millis AnswerWait = 5000;
};

class StatusServer final : public PollClient {
 public:
  // snapshot makes the answer; it is called at most once a round.
  explicit StatusServer(std::function<std::string()> snapshot);
  // Removes the socket when it is still the one it made.
  ~StatusServer();
  StatusServer(const StatusServer&) = delete;
  StatusServer& operator=(const StatusServer&) = delete;

  // Listens on devFolder/.status, replacing a socket a killed run left
  // there (only one run holds the device, see RunLock). False and *error
  // when it cannot.
  bool Open(const std::string& devFolder, std::string* error);
  bool isOpen() const { return listener_.valid(); }
  // Answers not yet taken whole.
  size_t waiting() const;

  // Adds the socket and the waiting answers to this round.
  void Prepare(PollSet& set);
  void OnReady(int tag, short revents) override;

 private:
  struct Reader {
    UniqueFd socket;
    std::string answer;
    size_t at = 0;
    Millis deadline = 0;
  };

  void Accept();
  // Writes as much as the socket takes; closes the reader when done or
  // gone.
  void Write(Reader& reader);

  enum Tag { ListenerTag = 0, DeadlineTag = 1, FirstReader = 2 };

  std::function<std::string()> snapshot_;
  UniqueFd folder_;
  UniqueFd listener_;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  std::vector<Reader> readers_;
};

// Asks the device running in devFolder for its status: the answer's text,
// or false and *error (nothing listens, no answer in time, too long).
bool AskStatus(const std::string& devFolder, std::string* answer, std::string* error);

}  // namespace velmora
