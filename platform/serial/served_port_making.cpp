#include "platform/serial/served_port_making.h"

#include "platform/serial/device_folder.h"
#include "platform/serial/gps_receiver.h"
#include "platform/serial/host_serial_source.h"
#include "platform/text.h"

namespace velmora {

namespace {

std::string Quoted(std::u16string_view text) {
  return "\"" + ToUtf8(text) + "\"";
}

std::unique_ptr<LogWriter> OpenLog(DeviceFiles& files, const std::string& name,
                                   const std::u16string& logDir, const char* what, uint64_t limit,
                                   const EventSink& events) {
  std::string file = "Velmora-" + name + "-" + what;
  std::string error;
  std::unique_ptr<LogWriter> log =
      LogWriter::Open(files, logDir, file + ".log", file + ".old.log", limit, &error);
  std::string shown = ToUtf8(logDir);
  shown += shown.empty() || shown.back() != '\\' ? "\\" : "";
  if (log) {
    events(name + ": logging " + what + "s to " + shown + file + ".log");
  } else {
    events(name + ": " + error + "; the " + what + " log is off");
  }
  return log;
}

}  // namespace

std::unique_ptr<PortSource> MakePortSource(DeviceFiles& files, const std::string& name,
                                           const DriverSetup& setup, const EventSink& events) {
  if (setup.kind == DriverKind::HostPort) {
    return std::make_unique<HostSerialSource>(setup.hostPort, setup.baudRate, name, events);
  }
  if (setup.kind != DriverKind::GpsReceiver) {
    return nullptr;
  }
  std::string bytes;
  std::string error;
  if (!setup.replay.empty()) {
    if (!ReadDeviceFile(files, setup.replay, NmeaReplay::MaxFileBytes, &bytes, &error)) {
      events(name + ": the replay log " + Quoted(setup.replay) + " " + error +
             "; the receiver has no fix");
      return GpsReceiver::WithoutFix();
    }
    NmeaReplay replay(std::move(bytes));
    if (replay.empty()) {
      events(name + ": the replay log " + Quoted(setup.replay) +
             " is empty; the receiver has no fix");
      return GpsReceiver::WithoutFix();
    }
    return GpsReceiver::Replaying(std::move(replay), Quoted(setup.replay));
  }
  if (setup.route.empty()) {
    return GpsReceiver::AlongRoute(Route::BuiltIn(), "built-in route");
  }
  Route route;
  if (!ReadDeviceFile(files, setup.route, Route::MaxFileBytes, &bytes, &error) ||
      !Route::Parse(bytes, &route, &error)) {
    events(name + ": the route file " + Quoted(setup.route) + ": " + error +
           "; the receiver has no fix");
    return GpsReceiver::WithoutFix();
  }
  return GpsReceiver::AlongRoute(std::move(route), "route " + Quoted(setup.route));
}

void OpenSplitterLogs(DeviceFiles& files, const DriverSetup& setup, const EventSink& events,
                      ServedPort& splitter) {
  if (!setup.readLog && !setup.writeLog) {
    return;
  }
  const std::string& name = splitter.name();
  std::string error;
  if (!OpenDeviceFolder(files, setup.logDir, &error).valid()) {
    events(name + ": LogDir " + Quoted(setup.logDir) + " " + error + "; logging is off");
    return;
  }
  uint64_t limit = setup.logLimit != 0 ? setup.logLimit : LogWriter::DefaultLimit;
  splitter.SetLogs(
      setup.readLog ? OpenLog(files, name, setup.logDir, "read", limit, events) : nullptr,
      setup.writeLog ? OpenLog(files, name, setup.logDir, "write", limit, events) : nullptr);
}

}  // namespace velmora
