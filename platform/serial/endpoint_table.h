// The endpoints of the running device, by link name (COM5, COM5-2), for
// as long as the device is switched on.
//
// Endpoints belong to the COM name, not to one start of its driver. A port
// that stops lets its endpoints go with keep: they stay (same link, same
// pseudo-terminal, clients still open) for RestartGrace, hearing nothing,
// and a port started again under the same name within that time takes them
// back, so a restart (the logging dialog's "Abbrechen", a boot, deactivate
// and activate) is a pause for the programs that hold them, never a
// hang-up. Endpoints not taken back by then are removed. A client that
// closes meanwhile is told closed then, so that the next one to open a
// kept endpoint is told as a client of its own.
//
// The table also notices clients that open an endpoint (an inotify watch
// on each terminal's slave: no polling), and hands every terminal to the
// endpoint guard, so that an endpoint outliving the device leads nowhere.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/serial/endpoint_guard.h"
#include "platform/serial/event_sink.h"
#include "platform/serial/poll_set.h"
#include "platform/serial/pty_endpoint.h"
#include "platform/unique_fd.h"

namespace velmora {

class EndpointTable final : public PollClient {
 public:
  // How long the endpoints of a stopped port wait to be taken back.
  static constexpr Millis RestartGrace = 3000;
  // A guard that went away is started again at most this often.
  static constexpr int MaxGuardRestarts = 10;

  EndpointTable(std::string devFolder, EventSink events);
  // Removes every endpoint; the guard then ends.
  ~EndpointTable();
  EndpointTable(const EndpointTable&) = delete;
  EndpointTable& operator=(const EndpointTable&) = delete;

  // Starts the endpoint guard; told when it cannot be.
  void StartGuard();
  const EndpointGuard* guard() const { return guard_.get(); }

  // The endpoint dev/<link> for the port named port: the one it left
  // within RestartGrace, or a new one. Null and *error when it cannot be
  // made.
  PtyEndpoint* Claim(const std::string& port, const std::string& link, std::string* error);
  // The port no longer serves endpoint: kept for RestartGrace (keep) or
  // removed at once.
  void Release(PtyEndpoint* endpoint, bool keep);

  // Adds what the table waits on to this round: clients opening, the
  // guard's end, the next endpoint to remove.
  void Prepare(PollSet& set);
  void OnReady(int tag, short revents) override;

  // Removes the endpoints kept longer than RestartGrace before now.
  void Expire(Millis now);
  // Endpoints waiting to be taken back.
  size_t keptCount() const;

 private:
  struct Entry {
    std::unique_ptr<PtyEndpoint> endpoint;
    std::string port;
    bool claimed = false;
    Millis keptUntil = 0;
    int watch = -1;
  };
  // Hang-ups of the clients of kept endpoints come with KeptHangUp plus
  // the endpoint's place in watchedKept_.
  enum Tag { ClientOpened, GuardGone, Due, KeptHangUp };

  void Remove(std::map<std::string, Entry>::iterator entry);
  void GuardHolds(const Entry& entry);
  void RestartGuard();
  void ReadClientWatch();

  std::string devFolder_;
  EventSink events_;
  std::map<std::string, Entry> entries_;
  // The links of the kept endpoints whose client this round waits on.
  std::vector<std::string> watchedKept_;
  UniqueFd clientWatch_;
  std::unique_ptr<EndpointGuard> guard_;
  bool guardTold_ = false;
  int guardRestarts_ = 0;
};

}  // namespace velmora
