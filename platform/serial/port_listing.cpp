#include "platform/serial/port_listing.h"

#include "platform/serial/endpoint_folder.h"

namespace velmora {

std::string WhatPortServes(const RunningPort& running) {
  const ServedPort& port = *running.port;
  if (port.ownSource() == nullptr) {
    return running.holds.empty() ? "splitter, waiting: " + running.waiting
                                 : "splitter holding " + running.holds;
  }
  std::string what = port.ownSource()->Describe();
  if (!running.heldBy.empty()) {
    what += " (held by the splitter on " + running.heldBy + ")";
  }
  return what;
}

std::vector<EndpointStatus> PortsSnapshot(const RunningPorts& ports) {
  std::vector<EndpointStatus> records;
  for (const auto& [name, running] : ports) {
    if (running.port) {
      AddPortStatus(*running.port, WhatPortServes(running), running.setup.network.listenAddress,
                    &records);
    }
  }
  return records;
}

std::string EndpointListing(const std::vector<EndpointStatus>& records) {
  std::string text;
  for (const EndpointStatus& record : records) {
    if (record.kind == "pty" || record.kind == "none" || record.kind == "listener") {
      text += EndpointListRow(record.link, record.terminal.empty() ? "-" : record.terminal,
                              record.port, record.driver);
    }
  }
  return text;
}

std::string PortsSummary(const RunningPorts& ports) {
  // Counted in place (not through PortsSnapshot): it is asked every round.
  size_t served = 0;
  size_t endpoints = 0;
  size_t clients = 0;
  uint64_t dropped = 0;
  for (const auto& [name, running] : ports) {
    if (!running.port) {
      continue;
    }
    ++served;
    for (const PtyEndpoint* endpoint : running.port->endpoints()) {
      ++endpoints;
      clients += endpoint->clientOpen() ? 1 : 0;
      dropped += endpoint->dropped();
    }
    if (const NetworkEndpoints* network = running.port->network()) {
      for (const auto& client : network->clients()) {
        clients += client->open() ? 1 : 0;
        dropped += client->open() ? client->dropped() : 0;
      }
    }
  }
  return std::to_string(served) + (served == 1 ? " port" : " ports") + " served, " +
         std::to_string(endpoints) + (endpoints == 1 ? " endpoint, " : " endpoints, ") +
         std::to_string(clients) + (clients == 1 ? " client" : " clients") + ", " +
         std::to_string(dropped) + " bytes dropped";
}

}  // namespace velmora
