#include "platform/device/ports_command.h"

#include <algorithm>
#include <cstdio>

#include "platform/device/device.h"
#include "platform/device/json_text.h"
#include "platform/host_io.h"
#include "platform/serial/run_lock.h"
#include "platform/serial/status_server.h"

namespace velmora {

namespace {

using Row = std::vector<std::string>;

// The rows under each other, every column but the last padded to its
// longest entry.
std::string FormatColumns(const std::vector<Row>& rows) {
  std::vector<size_t> width;
  for (const Row& row : rows) {
    width.resize(std::max(width.size(), row.size()));
    for (size_t column = 0; column < row.size(); ++column) {
      width[column] = std::max(width[column], row[column].size());
    }
  }
  std::string text;
  for (const Row& row : rows) {
    std::string line;
    for (size_t column = 0; column < row.size(); ++column) {
      line += row[column];
      if (column + 1 < row.size()) {
        line.append(width[column] + 2 - row[column].size(), ' ');
      }
    }
    text += line + "\n";
  }
  return text;
}

Row SplitRow(const std::string& line, size_t columns) {
  Row row(columns);
  size_t start = 0;
  for (size_t column = 0; column < columns; ++column) {
    // The last column takes the rest of the line, tabs and all.
    size_t tab = column + 1 < columns ? line.find('\t', start) : std::string::npos;
    row[column] = line.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
    if (tab == std::string::npos) {
      break;
    }
    start = tab + 1;
  }
  return row;
}

bool IsClient(const EndpointStatus& record) {
  return record.kind == "tcp" || record.kind == "rfc2217";
}

}  // namespace

std::string FormatPortsTable(const std::string& listing) {
  std::vector<Row> rows = {Row{"ENDPOINT", "TERMINAL", "PORT", "DRIVER"}};
  size_t start = 0;
  while (start < listing.size()) {
    size_t end = listing.find('\n', start);
    if (end == std::string::npos) {
      end = listing.size();
    }
    rows.push_back(SplitRow(listing.substr(start, end - start), 4));
    start = end + 1;
  }
  return FormatColumns(rows);
}

std::string FormatStatusTable(const std::vector<EndpointStatus>& records) {
  std::vector<Row> rows = {
      Row{"ENDPOINT", "TERMINAL", "OPEN", "SENT", "RECEIVED", "DROPPED", "PORT", "DRIVER"}};
  for (const EndpointStatus& record : records) {
    bool counted = record.kind == "pty" || IsClient(record);
    auto count = [counted](uint64_t value) { return counted ? std::to_string(value) : "-"; };
    rows.push_back(Row{IsClient(record) ? record.kind + " " + record.address : record.link,
                       record.terminal.empty() ? "-" : record.terminal,
                       counted ? (record.open ? "yes" : "no") : "-", count(record.sent),
                       count(record.received), count(record.dropped), record.port + ":",
                       record.driver});
  }
  return FormatColumns(rows);
}

std::string StatusJson(const std::vector<EndpointStatus>& records) {
  if (records.empty()) {
    return "[]\n";
  }
  std::string json = "[\n";
  for (size_t i = 0; i < records.size(); ++i) {
    const EndpointStatus& record = records[i];
    json += "  {\"kind\": " + JsonString(record.kind) + ", \"port\": " + JsonString(record.port) +
            ", \"link\": " + JsonString(record.link) + ", \"terminal\": " +
            (record.terminal.empty() ? std::string("null") : JsonString(record.terminal)) +
            ", \"driver\": " + JsonString(record.driver);
    if (IsClient(record)) {
      json += ", \"address\": " + JsonString(record.address);
    }
    json += std::string(", \"open\": ") + (record.open ? "true" : "false") +
            ", \"sent\": " + std::to_string(record.sent) +
            ", \"received\": " + std::to_string(record.received) +
            ", \"dropped\": " + std::to_string(record.dropped) + "}" +
            (i + 1 < records.size() ? ",\n" : "\n");
  }
  return json + "]\n";
}

int RunPorts(Device& device, bool json) {
  long pid = 0;
  if (!RunLock::Held(device.folder(), &pid)) {
    std::fprintf(stderr,
                 "velmora-device: the device in %s is not switched on (start it with "
                 "'velmora-device run')\n",
                 device.folder().c_str());
    if (json) {
      std::fputs("[]\n", stdout);
      return 0;
    }
    return 1;
  }
  std::string devFolder = RunLock::DevFolder(device.folder());
  std::string answer;
  std::string error;
  std::vector<EndpointStatus> records;
  bool live = AskStatus(devFolder, &answer, &error);
  if (live && !DecodeStatus(answer, &records)) {
    live = false;
    error = "its status is not in a form this velmora-device reads";
  }
  std::string text;
  if (live) {
    text = json ? StatusJson(records) : FormatStatusTable(records);
  } else {
    std::fprintf(stderr, "velmora-device: no live status from the device's process %ld: %s%s\n",
                 pid, error.c_str(), json ? "" : "; the list is shown without it");
    if (json) {
      return 1;
    }
    std::string listing;
    ReadHostFile(devFolder + "/.ports", &listing, &error);
    text = FormatPortsTable(listing);
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}

}  // namespace velmora
