// What a served port is made with, from its driver's settings: its source
// (a host serial device, or the GPS receiver on its route or replaying a
// log), and a splitter's logs of the bytes read and written. A file that
// cannot be used is told to events and the port runs without it (the
// receiver without a fix, the splitter without that log).
#pragma once

#include <memory>
#include <string>

#include "platform/files/device_files.h"
#include "platform/serial/driver_setup.h"
#include "platform/serial/event_sink.h"
#include "platform/serial/port_source.h"
#include "platform/serial/served_port.h"

namespace velmora {

// The source of the port named name ("COM4"); null for a port without one
// of its own (a splitter, or nothing to serve on this host).
std::unique_ptr<PortSource> MakePortSource(DeviceFiles& files, const std::string& name,
                                           const DriverSetup& setup, const EventSink& events);

// Gives the splitter's port the logs its settings ask for, in "LogDir".
void OpenSplitterLogs(DeviceFiles& files, const DriverSetup& setup, const EventSink& events,
                      ServedPort& splitter);

}  // namespace velmora
