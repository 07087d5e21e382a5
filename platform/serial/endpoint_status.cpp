#include "platform/serial/endpoint_status.h"

#include "platform/serial/served_port.h"

namespace velmora {

namespace {

// The first line of the text; a process that sends anything else is not
// understood.
constexpr std::string_view FormatLine = "velmora-status 1";
constexpr size_t FieldCount = 10;

void AppendEscaped(std::string_view field, std::string* text) {
  for (char c : field) {
    switch (c) {
      case '\\':
        *text += "\\\\";
        break;
      case '\t':
        *text += "\\t";
        break;
      case '\n':
        *text += "\\n";
        break;
      default:
        *text += c;
    }
  }
}

bool Unescape(std::string_view field, std::string* out) {
  out->clear();
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\') {
      *out += field[i];
      continue;
    }
    if (++i == field.size()) {
      return false;
    }
    switch (field[i]) {
      case '\\':
        *out += '\\';
        break;
      case 't':
        *out += '\t';
        break;
      case 'n':
        *out += '\n';
        break;
      default:
        return false;
    }
  }
  return true;
}

bool ParseCount(const std::string& text, uint64_t* value) {
  if (text.empty() || text.size() > 20 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  uint64_t result = 0;
  for (char digit : text) {
    uint64_t next = result * 10 + static_cast<uint64_t>(digit - '0');
    if (next / 10 != result) {
      return false;  // beyond 64 bits
    }
    result = next;
  }
  *value = result;
  return true;
}

bool DecodeRecord(std::string_view line, EndpointStatus* record) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (true) {
    size_t tab = line.find('\t', start);
    std::string field;
    if (!Unescape(line.substr(start, tab == std::string_view::npos ? line.npos : tab - start),
                  &field)) {
      return false;
    }
    fields.push_back(std::move(field));
    if (tab == std::string_view::npos) {
      break;
    }
    start = tab + 1;
  }
  if (fields.size() != FieldCount || (fields[6] != "0" && fields[6] != "1")) {
    return false;
  }
  record->kind = fields[0];
  record->port = fields[1];
  record->link = fields[2];
  record->terminal = fields[3];
  record->driver = fields[4];
  record->address = fields[5];
  record->open = fields[6] == "1";
  return ParseCount(fields[7], &record->sent) && ParseCount(fields[8], &record->received) &&
         ParseCount(fields[9], &record->dropped);
}

}  // namespace

void AddPortStatus(const ServedPort& port, const std::string& driver, const std::string& listenHost,
                   std::vector<EndpointStatus>* records) {
  auto add = [&](const char* kind, const std::string& link) -> EndpointStatus& {
    EndpointStatus& record = records->emplace_back();
    record.kind = kind;
    record.port = port.name();
    record.link = link;
    record.driver = driver;
    return record;
  };
  if (port.endpoints().empty()) {
    add("none", "-");
  }
  for (const PtyEndpoint* endpoint : port.endpoints()) {
    EndpointStatus& record = add("pty", endpoint->linkPath());
    record.terminal = endpoint->slavePath();
    record.open = endpoint->clientOpen();
    record.sent = endpoint->sent();
    record.received = endpoint->received();
    record.dropped = endpoint->dropped();
  }
  const NetworkEndpoints* network = port.network();
  if (network == nullptr) {
    return;
  }
  std::string host =
      listenHost.find(':') != std::string::npos ? "[" + listenHost + "]" : listenHost;
  for (bool rfc2217 : {false, true}) {
    uint16_t number = rfc2217 ? network->rfc2217Port() : network->tcpPort();
    if (number == 0) {
      continue;
    }
    std::string url = (rfc2217 ? "rfc2217://" : "tcp://") + host + ":" + std::to_string(number);
    size_t listener = records->size();
    add("listener", url);
    for (const auto& client : network->clients()) {
      if (client->rfc2217() != rfc2217 || !client->open()) {
        continue;
      }
      (*records)[listener].open = true;
      EndpointStatus& record = add(rfc2217 ? "rfc2217" : "tcp", url);
      record.address = client->address();
      record.open = true;
      record.sent = client->sent();
      record.received = client->received();
      record.dropped = client->dropped();
    }
  }
}

std::string EncodeStatus(const std::vector<EndpointStatus>& records) {
  std::string text(FormatLine);
  text += '\n';
  for (const EndpointStatus& record : records) {
    for (const std::string* field : {&record.kind, &record.port, &record.link, &record.terminal,
                                     &record.driver, &record.address}) {
      AppendEscaped(*field, &text);
      text += '\t';
    }
    text += std::string(record.open ? "1" : "0") + "\t" + std::to_string(record.sent) + "\t" +
            std::to_string(record.received) + "\t" + std::to_string(record.dropped) + "\n";
  }
  return text;
}

bool DecodeStatus(std::string_view text, std::vector<EndpointStatus>* records) {
  records->clear();
  size_t end = text.find('\n');
  if (end == std::string_view::npos || text.substr(0, end) != FormatLine) {
    return false;
  }
  for (size_t start = end + 1; start < text.size(); start = end + 1) {
    end = text.find('\n', start);
    if (end == std::string_view::npos) {
      return false;  // cut short
    }
    EndpointStatus record;
    if (!DecodeRecord(text.substr(start, end - start), &record)) {
      return false;
    }
    records->push_back(std::move(record));
  }
  return true;
}

}  // namespace velmora
