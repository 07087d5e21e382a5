// One running port of the device as the host serves it: its endpoints, the
// source its clients hear and talk to, and, for the splitter, its logs.
//
// A port with a source of its own (the GPS receiver, a host serial device)
// normally has one endpoint and is connected to its own source. A splitter
// has no source of its own: it is connected to the source of the port it
// holds, which meanwhile has no endpoint and hears nothing, and it gives
// every byte of that source to each of its endpoints. Bytes its clients
// write go to the connected source, as fast as that takes them (a client's
// writes wait in its terminal meanwhile); without a source they are
// dropped.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/serial/endpoint_table.h"
#include "platform/serial/event_sink.h"
#include "platform/serial/log_writer.h"
#include "platform/serial/network_endpoints.h"
#include "platform/serial/port_source.h"
#include "platform/serial/pty_endpoint.h"

namespace velmora {

class ServedPort final : public ByteSink, public PollClient {
 public:
  // name as "COM5"; source may be null (a splitter). Endpoints are taken
  // from table.
  ServedPort(std::string name, std::unique_ptr<PortSource> source, EventSink events,
             EndpointTable& table);
  // Leaves no source pointing here; lets its endpoints go to be kept for a
  // restart under the same name.
  ~ServedPort();
  ServedPort(const ServedPort&) = delete;
  ServedPort& operator=(const ServedPort&) = delete;

  const std::string& name() const { return name_; }
  PortSource* ownSource() const { return source_.get(); }
  PortSource* connected() const { return connected_; }

  // Takes count endpoints, named for the port: COM5, then COM5-2 up to
  // COM5-<count> (those it had before the port's restart, or new ones).
  // False and *error at the first that cannot be made (those before stay).
  bool OpenEndpoints(size_t count, std::string* error);
  // Lets the endpoints go: kept for a restart (keep) or removed at once.
  void CloseEndpoints(bool keep);
  const std::vector<PtyEndpoint*>& endpoints() const { return endpoints_; }

  // Its endpoints on the network (see NetworkEndpoints), told in event
  // lines; false (told) when they cannot be made (none are then).
  bool OpenNetwork(const NetworkSetup& setup);
  const NetworkEndpoints* network() const { return network_.get(); }

  // The source this port's clients hear and talk to: its own, the one of a
  // port it holds, or none. Takes that source's bytes from now on.
  void Connect(PortSource* source);

  // The logs of the bytes read from the source and of the bytes the
  // clients write; either may be null. A log that fails is told and closed.
  void SetLogs(std::unique_ptr<LogWriter> reads, std::unique_ptr<LogWriter> writes);

  // Adds its own source and its endpoints to this round.
  void Prepare(PollSet& set);
  void OnReady(int tag, short revents) override;
  void FromSource(std::string_view bytes) override;
  // False while a client that keeps up has no room for a source's next
  // chunk: the source waits rather than that client lose bytes.
  bool Takes() override;

 private:
  void ReadFromClient(PtyEndpoint& endpoint);
  void Log(std::unique_ptr<LogWriter>& log, std::string_view bytes, const char* what);

  std::string name_;
  std::unique_ptr<PortSource> source_;
  EventSink events_;
  PortSource* connected_ = nullptr;
  EndpointTable& table_;
  std::vector<PtyEndpoint*> endpoints_;
  std::unique_ptr<LogWriter> readLog_;
  std::unique_ptr<LogWriter> writeLog_;
  std::unique_ptr<NetworkEndpoints> network_;
};

}  // namespace velmora
