#include "platform/serial/served_port.h"

#include <algorithm>

namespace velmora {

namespace {

// One read from a client takes at most this much.
constexpr size_t ClientChunk = 4096;

}  // namespace

ServedPort::ServedPort(std::string name, std::unique_ptr<PortSource> source, EventSink events,
                       EndpointTable& table)
    : name_(std::move(name)),
      source_(std::move(source)),
      events_(std::move(events)),
      table_(table) {}

ServedPort::~ServedPort() {
  network_.reset();
  Connect(nullptr);
  CloseEndpoints(true);
}

bool ServedPort::OpenEndpoints(size_t count, std::string* error) {
  for (size_t i = endpoints_.size(); i < count; ++i) {
    std::string link = name_ + (i == 0 ? "" : "-" + std::to_string(i + 1));
    PtyEndpoint* endpoint = table_.Claim(name_, link, error);
    if (endpoint == nullptr) {
      return false;
    }
    endpoints_.push_back(endpoint);
  }
  return true;
}

bool ServedPort::OpenNetwork(const NetworkSetup& setup) {
  std::string error;
  network_ = NetworkEndpoints::Open(
      name_, setup, events_,
      [this](std::string_view bytes) {
        Log(writeLog_, bytes, "write");
        if (connected_ != nullptr) {
          connected_->Write(bytes);
        }
      },
      &error);
  if (!network_) {
    events_(name_ + ": " + error);
    return false;
  }
  const std::string& host = setup.listenAddress;
  std::string shown = host.find(':') != std::string::npos ? "[" + host + "]" : host;
  if (network_->tcpPort() != 0) {
    events_(name_ + ": listening on tcp://" + shown + ":" + std::to_string(network_->tcpPort()));
  }
  if (network_->rfc2217Port() != 0) {
    events_(name_ + ": listening on rfc2217://" + shown + ":" +
            std::to_string(network_->rfc2217Port()));
  }
  return true;
}

void ServedPort::CloseEndpoints(bool keep) {
  for (PtyEndpoint* endpoint : endpoints_) {
    table_.Release(endpoint, keep);
  }
  endpoints_.clear();
}

void ServedPort::Connect(PortSource* source) {
  if (connected_ != nullptr) {
    connected_->SetSink(nullptr);
  }
  connected_ = source;
  if (connected_ != nullptr) {
    connected_->SetSink(this);
  }
}

void ServedPort::SetLogs(std::unique_ptr<LogWriter> reads, std::unique_ptr<LogWriter> writes) {
  readLog_ = std::move(reads);
  writeLog_ = std::move(writes);
}

void ServedPort::Prepare(PollSet& set) {
  if (source_) {
    source_->Prepare(set);
  }
  bool wantInput = connected_ == nullptr || connected_->WriteRoom() > 0;
  Millis now = MonotonicMillis();
  for (size_t i = 0; i < endpoints_.size(); ++i) {
    endpoints_[i]->Prepare(set, wantInput, this, static_cast<int>(i));
    // A client holding the source up counts as fallen behind at its
    // deadline, unless it takes bytes before.
    if (connected_ != nullptr && endpoints_[i]->HoldsUp(PortSource::MaxChunk, now)) {
      set.WakeBy(endpoints_[i]->stallDeadline());
    }
  }
  if (network_) {
    network_->Prepare(set, connected_, wantInput);
  }
}

bool ServedPort::Takes() {
  Millis now = MonotonicMillis();
  for (PtyEndpoint* endpoint : endpoints_) {
    if (endpoint->HoldsUp(PortSource::MaxChunk, now)) {
      return false;
    }
  }
  return !(network_ && network_->HoldsUp(PortSource::MaxChunk, now));
}

void ServedPort::OnReady(int tag, short revents) {
  if (tag < 0 || static_cast<size_t>(tag) >= endpoints_.size()) {
    return;
  }
  PtyEndpoint& endpoint = *endpoints_[static_cast<size_t>(tag)];
  if ((revents & POLLOUT) != 0) {
    endpoint.Flush();
  }
  if ((revents & POLLIN) != 0) {
    ReadFromClient(endpoint);
  } else if ((revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
    endpoint.ClientGone();
  }
}

void ServedPort::ReadFromClient(PtyEndpoint& endpoint) {
  size_t room =
      connected_ != nullptr ? std::min(ClientChunk, connected_->WriteRoom()) : ClientChunk;
  if (room == 0) {
    return;
  }
  char buffer[ClientChunk];
  long count = endpoint.ReadClient(buffer, room);
  if (count <= 0) {
    return;
  }
  std::string_view bytes(buffer, static_cast<size_t>(count));
  Log(writeLog_, bytes, "write");
  if (connected_ != nullptr) {
    connected_->Write(bytes);
  }
}

void ServedPort::FromSource(std::string_view bytes) {
  Log(readLog_, bytes, "read");
  for (PtyEndpoint* endpoint : endpoints_) {
    endpoint->Send(bytes);
  }
  if (network_) {
    network_->Send(bytes);
  }
}

void ServedPort::Log(std::unique_ptr<LogWriter>& log, std::string_view bytes, const char* what) {
  std::string error;
  if (log && !log->Append(bytes, &error)) {
    events_(name_ + ": " + error + "; the " + what + " log is off");
    log.reset();
  }
}

}  // namespace velmora
