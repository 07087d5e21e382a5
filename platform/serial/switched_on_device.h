// The device switched on: its running serial drivers brought to life on
// the host for as long as this object lives (`velmora-device run`).
//
// It follows "Drivers\Active" and serves
// each running COM port whose driver it knows (see DriverSetup): the port
// gets a source (the GPS receiver, a host serial device) and an endpoint
// DIR/dev/COMn; a splitter gets its endpoints and holds the port named by
// its "ConnectTo", whose own endpoint goes away meanwhile. A driver that is
// stopped lets its endpoints go; one that is started again (a new handle)
// starts afresh and reads its key again, and takes back the endpoints of
// its COM name when they are still kept (see EndpointTable). Every event
// is one line to the event sink; DIR/dev/.ports lists the endpoints for
// `velmora-device ports`, and the socket DIR/dev/.status answers with their
// live state (StatusServer).
//
// One thread: everything runs in RunOnce, one poll() round at a time. The
// device sleeps while nothing happens: it reads "Drivers\Active" again when
// the registry's files change (RegistryWatch), notices clients by a watch
// on the terminals, and wakes on a timer only when something is due (the
// GPS receiver's second, a host device to open again, kept endpoints to
// remove). Only when the folder cannot be watched does it look every
// FollowInterval instead.
//
// Its parts: the ports (RunningPort), a port's source and a splitter's
// logs (served_port_making.h), the splitters' holds (splitter_holds.h),
// and the listing, status and summary (port_listing.h).
#pragma once

#include <string>
#include <vector>

#include "platform/files/device_files.h"
#include "platform/registry.h"
#include "platform/registry/registry_watch.h"
#include "platform/serial/endpoint_status.h"
#include "platform/serial/endpoint_table.h"
#include "platform/serial/event_sink.h"
#include "platform/serial/poll_set.h"
#include "platform/serial/running_port.h"
#include "platform/serial/served_port.h"
#include "platform/serial/status_server.h"

namespace velmora {

class SwitchedOnDevice final : public PollClient {
 public:
  static constexpr Millis FollowInterval = 50;

  // deviceFolder holds root/ (behind files) and dev/, which must exist
  // (RunLock makes it).
  SwitchedOnDevice(PlatformRegistry& registry, DeviceFiles& files, std::string deviceFolder,
                   EventSink events);
  // Stops every port: endpoints and the list removed.
  ~SwitchedOnDevice();
  SwitchedOnDevice(const SwitchedOnDevice&) = delete;
  SwitchedOnDevice& operator=(const SwitchedOnDevice&) = delete;

  // Removes links left in dev/ by a run that was killed, starts the
  // endpoint guard and the registry watch, and serves the ports running
  // now.
  void Start();
  // One round: waits until something is ready, at most until limit (on the
  // monotonic clock, or Forever), and follows the device manager when the
  // registry changed.
  // With stopFd, a readable stopFd ends the round and sets stopped(). False
  // when waiting failed.
  bool RunOnce(Millis limit, int stopFd = -1);
  // Rounds until stopFd becomes readable.
  bool Run(int stopFd);
  bool stopped() const { return stopped_; }

  // Reads "Drivers\Active" and starts and stops ports to match.
  void Follow();
  // Reads every running driver's key again (SIGHUP, `systemctl reload`):
  // a port whose settings changed restarts (keeping its endpoints as any
  // restart does); the others are left alone. Then follows the device
  // manager.
  void Reload();
  // Serves on after a round that stopFd ended (a signal that asks for
  // something else than stopping).
  void Resume() { stopped_ = false; }
  // One line for the service manager: ports served, endpoints, clients
  // (with an endpoint open, or connected over the network), bytes dropped.
  std::string Summary() const;

  // The endpoints, one line each: link, terminal, port, what it serves.
  std::string Listing() const;
  // The endpoints and network clients with their counters now.
  std::vector<EndpointStatus> Snapshot() const;
  // A served port by name ("COM5"), or null.
  const ServedPort* Find(const std::string& name) const;
  const EndpointTable& endpoints() const { return table_; }
  // Whether the registry is followed by notification (not by looking).
  bool watching() const { return watch_.isOpen(); }

  void OnReady(int tag, short revents) override;

 private:
  void Begin(const ActivePort& active);
  // By value: the name may be the key of the entry it erases.
  void Stop(std::string name);
  // Gives the port's endpoints the group and mode of its driver's key.
  void GiveAccess(const RunningPort& running);
  void GiveEndpoints();
  void WriteListing();
  void Tell(const std::string& line) { events_(line); }

  enum Tag { StopTag, RegistryTag };

  PlatformRegistry& registry_;
  DeviceFiles& files_;
  std::string deviceFolder_;
  std::string devFolder_;
  EventSink events_;
  // Before ports_: the ports let their endpoints go into it as they stop.
  EndpointTable table_;
  RegistryWatch watch_;
  RunningPorts ports_;
  uint64_t nextSequence_ = 1;
  PollSet set_;
  Millis nextFollow_ = 0;
  bool followDue_ = false;
  bool registryFailed_ = false;
  bool stopped_ = false;
  std::string listing_;
  bool listed_ = false;
  StatusServer status_{[this] { return EncodeStatus(Snapshot()); }};
};

}  // namespace velmora
