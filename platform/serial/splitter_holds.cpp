#include "platform/serial/splitter_holds.h"

#include <algorithm>
#include <vector>

#include "platform/text.h"

namespace velmora {

namespace {

void Take(RunningPort& splitter, RunningPort& held, const EventSink& events) {
  held.port->Connect(nullptr);
  bool hadEndpoint = !held.port->endpoints().empty();
  held.port->CloseEndpoints(false);
  held.heldBy = splitter.active.name;
  splitter.holds = held.active.name;
  splitter.port->Connect(held.port->ownSource());
  events(splitter.active.name + ": holds " + held.active.name + " (" +
         held.port->ownSource()->Describe() + ")");
  if (hadEndpoint) {
    events(held.active.name + ": dev/" + held.active.name + " removed while the splitter on " +
           splitter.active.name + " holds the port");
  }
}

}  // namespace

std::string CannotHold(const RunningPorts& ports, const RunningPort& splitter) {
  int32_t connectTo = splitter.setup.connectTo;
  if (connectTo < 0) {
    return "no port to hold";
  }
  std::string target = "COM" + std::to_string(connectTo);
  if (target == splitter.active.name) {
    return "ConnectTo names its own port";
  }
  auto found = ports.find(target);
  if (found == ports.end()) {
    return target + " is not running";
  }
  const RunningPort& held = found->second;
  if (held.setup.kind == DriverKind::Splitter) {
    return target + " is a splitter too";
  }
  if (!held.port || held.port->ownSource() == nullptr) {
    return target + " has no data on this host (" + ToUtf8(held.setup.dll) + ")";
  }
  if (!held.heldBy.empty() && held.heldBy != splitter.active.name) {
    return target + " is held by the splitter on " + held.heldBy;
  }
  return {};
}

void AttachSplitters(RunningPorts& ports, const EventSink& events) {
  std::vector<RunningPort*> splitters;
  for (auto& [name, running] : ports) {
    if (running.port && running.setup.kind == DriverKind::Splitter) {
      splitters.push_back(&running);
    }
  }
  std::sort(splitters.begin(), splitters.end(),
            [](const RunningPort* a, const RunningPort* b) { return a->sequence < b->sequence; });
  for (RunningPort* splitter : splitters) {
    std::string reason = CannotHold(ports, *splitter);
    std::string target = "COM" + std::to_string(splitter->setup.connectTo);
    if (reason.empty()) {
      if (splitter->holds != target) {
        if (!splitter->holds.empty()) {
          ReleaseHeld(ports, *splitter);
        }
        Take(*splitter, ports[target], events);
      }
    } else if (!splitter->holds.empty()) {
      ReleaseHeld(ports, *splitter);
    }
    if (!reason.empty() && reason != splitter->waiting) {
      events(splitter->active.name + ": waiting: " + reason +
             " (what its clients write is dropped meanwhile)");
    }
    splitter->waiting = reason;
  }
}

void ReleaseHeld(RunningPorts& ports, RunningPort& splitter) {
  auto found = ports.find(splitter.holds);
  if (found != ports.end()) {
    found->second.heldBy.clear();
  }
  splitter.port->Connect(nullptr);
  splitter.holds.clear();
}

void LetGoHolds(RunningPorts& ports, RunningPort& running) {
  if (!running.holds.empty()) {
    ReleaseHeld(ports, running);
  }
  if (!running.heldBy.empty()) {
    ReleaseHeld(ports, ports[running.heldBy]);
  }
}

}  // namespace velmora
