// A splitter and the port it holds. A served splitter holds the port its
// "ConnectTo" names when that port runs with data of its own on this host
// and no other splitter holds it: the splitter is then connected to that
// port's source, and the held port lets its endpoint go meanwhile (it is
// given back by the device once the port is free again). A splitter that
// cannot hold its port waits, and says why once per reason.
//
// Both sides keep the other's name (RunningPort's holds and heldBy); these
// functions are the only ones that change them.
#pragma once

#include <string>

#include "platform/serial/event_sink.h"
#include "platform/serial/running_port.h"

namespace velmora {

// Why splitter cannot hold its port now; empty when it can.
std::string CannotHold(const RunningPorts& ports, const RunningPort& splitter);

// Every served splitter, the first started first, holds its port when it
// can and lets go of a port it can no longer hold; each new reason to
// wait is told to events.
void AttachSplitters(RunningPorts& ports, const EventSink& events);

// splitter lets go of the port it holds, which is left without endpoint
// until the device gives it one again.
void ReleaseHeld(RunningPorts& ports, RunningPort& splitter);

// Before running stops: it lets go of the port it holds, and the splitter
// holding it lets go of it.
void LetGoHolds(RunningPorts& ports, RunningPort& running);

}  // namespace velmora
