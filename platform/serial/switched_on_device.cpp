#include "platform/serial/switched_on_device.h"

#include <unistd.h>

#include <algorithm>

#include "platform/host_io.h"
#include "platform/serial/endpoint_access.h"
#include "platform/serial/endpoint_folder.h"
#include "platform/serial/port_listing.h"
#include "platform/serial/served_port_making.h"
#include "platform/serial/splitter_holds.h"
#include "platform/text.h"

namespace velmora {

SwitchedOnDevice::SwitchedOnDevice(PlatformRegistry& registry, DeviceFiles& files,
                                   std::string deviceFolder, EventSink events)
    : registry_(registry),
      files_(files),
      deviceFolder_(std::move(deviceFolder)),
      devFolder_(deviceFolder_ + "/dev"),
      events_(std::move(events)),
      table_(devFolder_, events_) {}

SwitchedOnDevice::~SwitchedOnDevice() {
  // Splitters first, so every held port is let go before it stops.
  for (auto& [name, running] : ports_) {
    if (!running.holds.empty()) {
      ReleaseHeld(ports_, running);
    }
  }
  while (!ports_.empty()) {
    Stop(ports_.begin()->first);
  }
  ::unlink((devFolder_ + "/.ports").c_str());
}

void SwitchedOnDevice::Start() {
  RemoveStaleLinks(devFolder_);
  table_.StartGuard();
  std::string error;
  if (!status_.Open(devFolder_, &error)) {
    Tell(error + "; `velmora-device ports` shows no live status");
  }
  if (!watch_.Open(deviceFolder_, &error)) {
    Tell(error + "; looking for changes every " + std::to_string(FollowInterval) + " ms instead");
  }
  Follow();
  nextFollow_ = MonotonicMillis() + FollowInterval;
}

bool SwitchedOnDevice::Run(int stopFd) {
  while (!stopped_) {
    if (!RunOnce(Forever, stopFd)) {
      return false;
    }
  }
  return true;
}

bool SwitchedOnDevice::RunOnce(Millis limit, int stopFd) {
  set_.Clear();
  if (stopFd >= 0) {
    set_.Add(stopFd, POLLIN, this, StopTag);
  }
  if (watch_.isOpen()) {
    set_.Add(watch_.fd(), POLLIN, this, RegistryTag);
  } else {
    set_.WakeBy(nextFollow_);
  }
  table_.Prepare(set_);
  status_.Prepare(set_);
  for (auto& [name, running] : ports_) {
    if (running.port) {
      running.port->Prepare(set_);
    }
  }
  if (!set_.Wait(limit)) {
    return false;
  }
  Millis now = MonotonicMillis();
  if (!watch_.isOpen() && now >= nextFollow_) {
    followDue_ = true;
    nextFollow_ = now + FollowInterval;
  }
  // Ports start and stop only between rounds, never while one is handed
  // its descriptors.
  if (!stopped_ && followDue_) {
    followDue_ = false;
    Follow();
  }
  return true;
}

void SwitchedOnDevice::OnReady(int tag, short) {
  if (tag == StopTag) {
    stopped_ = true;
  } else if (tag == RegistryTag && watch_.Drain()) {
    followDue_ = true;
  }
}

void SwitchedOnDevice::Follow() {
  std::vector<ActivePort> active;
  Status status = StatusSuccess;
  if (!ReadActivePorts(registry_, &active, &status)) {
    if (!registryFailed_) {
      registryFailed_ = true;
      Tell("cannot read Drivers\\Active (status " + std::to_string(status) +
           "); the ports stay as they are");
    }
    return;
  }
  if (registryFailed_) {
    registryFailed_ = false;
    Tell("Drivers\\Active can be read again");
  }
  std::vector<std::string> gone;
  for (const auto& [name, running] : ports_) {
    auto same = std::find(active.begin(), active.end(), running.active);
    if (same == active.end()) {
      gone.push_back(name);
    }
  }
  for (const std::string& name : gone) {
    Stop(name);
  }
  for (const ActivePort& port : active) {
    if (ports_.count(port.name) == 0) {
      Begin(port);
    }
  }
  AttachSplitters(ports_, events_);
  GiveEndpoints();
  WriteListing();
}

void SwitchedOnDevice::Reload() {
  std::vector<std::string> changed;
  for (const auto& [name, running] : ports_) {
    if (!(ReadDriverSetup(registry_, running.active.key) == running.setup)) {
      changed.push_back(name);
    }
  }
  Tell("reloading: " + std::to_string(changed.size()) + " of " + std::to_string(ports_.size()) +
       " ports have new settings");
  for (const std::string& name : changed) {
    auto found = ports_.find(name);
    if (found == ports_.end()) {
      continue;  // a splitter's restart let it go already
    }
    ActivePort active = found->second.active;
    Tell(name + ": settings changed; restarting");
    Stop(name);
    Begin(active);
  }
  Follow();
}

void SwitchedOnDevice::GiveAccess(const RunningPort& running) {
  const DriverSetup& setup = running.setup;
  for (const PtyEndpoint* endpoint : running.port->endpoints()) {
    std::string error;
    if (!SetEndpointAccess(endpoint->slavePath(), setup.endpointGroup, setup.endpointMode,
                           &error)) {
      Tell(endpoint->label() + ": " + error + "; it keeps the host's owner and mode");
    }
  }
}

std::string SwitchedOnDevice::Summary() const {
  return PortsSummary(ports_);
}

void SwitchedOnDevice::Begin(const ActivePort& active) {
  RunningPort& running = ports_[active.name];
  running.active = active;
  running.sequence = nextSequence_++;
  running.setup = ReadDriverSetup(registry_, active.key);
  const DriverSetup& setup = running.setup;
  for (const std::string& problem : setup.problems) {
    Tell(active.name + ": " + problem);
  }
  if (setup.kind == DriverKind::Unserved) {
    Tell(active.name + ": running, no endpoint (" +
         (setup.dll.empty() ? std::string("no Dll") : ToUtf8(setup.dll)) +
         " has nothing to serve on this host)");
    return;
  }
  running.port = std::make_unique<ServedPort>(
      active.name, MakePortSource(files_, active.name, setup, events_), events_, table_);
  if (setup.kind != DriverKind::Splitter) {
    Tell(active.name + ": up, " + running.port->ownSource()->Describe());
    return;
  }
  std::string error;
  bool made = running.port->OpenEndpoints(setup.endpoints, &error);
  std::string links;
  for (const auto& endpoint : running.port->endpoints()) {
    links += " dev/" + endpoint->linkPath().substr(devFolder_.size() + 1);
  }
  Tell(active.name + ": up, splitter for " +
       (setup.connectTo < 0 ? std::string("no port") : "COM" + std::to_string(setup.connectTo)) +
       (links.empty() ? "" : ":" + links));
  if (!made) {
    Tell(active.name + ": " + error);
  }
  GiveAccess(running);
  if (setup.network.any()) {
    running.port->OpenNetwork(setup.network);
  }
  OpenSplitterLogs(files_, setup, events_, *running.port);
}

void SwitchedOnDevice::Stop(std::string name) {
  auto found = ports_.find(name);
  if (found == ports_.end()) {
    return;
  }
  RunningPort& running = found->second;
  LetGoHolds(ports_, running);
  bool served = static_cast<bool>(running.port);
  running.port.reset();
  ports_.erase(found);
  Tell(name + (served ? ": down" : ": stopped"));
}

void SwitchedOnDevice::GiveEndpoints() {
  for (auto& [name, running] : ports_) {
    ServedPort* port = running.port.get();
    if (port == nullptr || port->ownSource() == nullptr || !running.heldBy.empty() ||
        !port->endpoints().empty() || running.endpointFailed) {
      continue;
    }
    std::string error;
    if (!port->OpenEndpoints(1, &error)) {
      running.endpointFailed = true;
      Tell(name + ": no endpoint: " + error);
      continue;
    }
    port->Connect(port->ownSource());
    Tell(name + ": dev/" + name + " -> " + port->endpoints().front()->slavePath());
    GiveAccess(running);
  }
}

std::vector<EndpointStatus> SwitchedOnDevice::Snapshot() const {
  return PortsSnapshot(ports_);
}

std::string SwitchedOnDevice::Listing() const {
  return EndpointListing(Snapshot());
}

void SwitchedOnDevice::WriteListing() {
  std::string listing = Listing();
  if (listed_ && listing == listing_) {
    return;
  }
  listed_ = true;
  listing_ = listing;
  std::string error;
  if (!WriteEndpointList(devFolder_, listing, &error)) {
    Tell("cannot write the list of endpoints: " + error);
  }
}

const ServedPort* SwitchedOnDevice::Find(const std::string& name) const {
  auto found = ports_.find(name);
  return found == ports_.end() ? nullptr : found->second.port.get();
}

}  // namespace velmora
