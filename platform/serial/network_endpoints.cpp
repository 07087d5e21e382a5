#include "platform/serial/network_endpoints.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace velmora {

std::unique_ptr<NetworkEndpoints> NetworkEndpoints::Open(const std::string& name,
                                                         const NetworkSetup& setup,
                                                         EventSink events, Writer writes,
                                                         std::string* error) {
  std::unique_ptr<NetworkEndpoints> network(
      new NetworkEndpoints(name, std::move(events), std::move(writes), setup.maxClients));
  std::string why;
  if (!network->allowed_.Add(setup.allowFrom, &why)) {
    *error = "\"AllowFrom\": " + why + "; nothing listens";
    return nullptr;
  }
  if (network->allowed_.size() > NetworkLimits::MaxNetworks) {
    *error = "\"AllowFrom\" has more than " + std::to_string(NetworkLimits::MaxNetworks) +
             " networks; nothing listens";
    return nullptr;
  }
  if ((setup.tcpPort != 0 && !network->Listen(setup.listenAddress, setup.tcpPort, &network->raw_,
                                              &network->tcpPort_, error)) ||
      (setup.rfc2217Port != 0 &&
       !network->Listen(setup.listenAddress, setup.rfc2217Port, &network->rfc2217_,
                        &network->rfc2217Port_, error))) {
    return nullptr;
  }
  return network;
}

NetworkEndpoints::NetworkEndpoints(std::string name, EventSink events, Writer writes,
                                   uint32_t maxClients)
    : name_(std::move(name)),
      events_(std::move(events)),
      writes_(std::move(writes)),
      maxClients_(maxClients),
      lines_(name_, events_),
      settings_(NetworkLimits::SettingLineInterval, events_),
      refusedSettings_(NetworkLimits::SettingLineInterval, events_) {}

NetworkEndpoints::~NetworkEndpoints() = default;

bool NetworkEndpoints::Listen(const std::string& address, uint16_t port, UniqueFd* fd,
                              uint16_t* bound, std::string* error) {
  sockaddr_storage storage{};
  socklen_t length = 0;
  auto* four = reinterpret_cast<sockaddr_in*>(&storage);
  auto* six = reinterpret_cast<sockaddr_in6*>(&storage);
  if (::inet_pton(AF_INET, address.c_str(), &four->sin_addr) == 1) {
    four->sin_family = AF_INET;
    four->sin_port = htons(port);
    length = sizeof *four;
  } else if (::inet_pton(AF_INET6, address.c_str(), &six->sin6_addr) == 1) {
    six->sin6_family = AF_INET6;
    six->sin6_port = htons(port);
    length = sizeof *six;
  } else {
    *error = "\"ListenAddress\" \"" + address + "\" is not an IPv4 or IPv6 address";
    return false;
  }
  std::string where =
      (storage.ss_family == AF_INET6 ? "[" + address + "]" : address) + ":" + std::to_string(port);
  UniqueFd socket(
      ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP));
  int on = 1;
  if (!socket || ::setsockopt(socket.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      ::bind(socket.get(), reinterpret_cast<sockaddr*>(&storage), length) != 0 ||
      ::listen(socket.get(), NetworkLimits::ListenBacklog) != 0) {
    *error = "cannot listen on " + where + ": " + std::strerror(errno);
    return false;
  }
  *fd = std::move(socket);
  *bound = port;
  return true;
}

void NetworkEndpoints::Prepare(PollSet& set, PortSource* source, bool wantInput) {
  source_ = source;
  room_ = source != nullptr ? source->WriteRoom() : NetworkLimits::ReadChunk;
  // Clients that went away in the last round leave between rounds.
  clients_.erase(std::remove_if(clients_.begin(), clients_.end(),
                                [](const std::unique_ptr<TcpClient>& c) { return !c->open(); }),
                 clients_.end());
  Millis now = MonotonicMillis();
  if (now < acceptPausedUntil_) {
    set.WakeBy(acceptPausedUntil_);
  } else {
    if (raw_) {
      set.Add(raw_.get(), POLLIN, this, RawListener);
    }
    if (rfc2217_) {
      set.Add(rfc2217_.get(), POLLIN, this, Rfc2217Listener);
    }
  }
  for (Millis next : {lines_.Flush(now), settings_.Flush(now), refusedSettings_.Flush(now)}) {
    if (next != 0) {
      set.WakeBy(next);
    }
  }
  for (size_t i = 0; i < clients_.size(); ++i) {
    TcpClient& client = *clients_[i];
    bool suspended = client.session() != nullptr && client.session()->suspended();
    short events = static_cast<short>((wantInput ? POLLIN : 0) |
                                      (client.hasPending() && !suspended ? POLLOUT : 0));
    set.Add(client.fd(), events, this, FirstClient + static_cast<int>(i));
    if (source != nullptr && client.HoldsUp(PortSource::MaxChunk, now)) {
      set.WakeBy(client.stallDeadline());
    }
  }
}

void NetworkEndpoints::OnReady(int tag, short revents) {
  if (tag == RawListener || tag == Rfc2217Listener) {
    Accept(tag == RawListener ? raw_.get() : rfc2217_.get(), tag == Rfc2217Listener);
    return;
  }
  size_t index = static_cast<size_t>(tag - FirstClient);
  if (tag < FirstClient || index >= clients_.size()) {
    return;
  }
  TcpClient& client = *clients_[index];
  if ((revents & POLLOUT) != 0) {
    client.Flush();
  }
  if ((revents & POLLIN) != 0) {
    ReadFrom(client);
  } else if ((revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
    client.Close("it hung up");
  }
}

void NetworkEndpoints::Accept(int listener, bool rfc2217) {
  for (int i = 0; i < NetworkLimits::AcceptsPerRound; ++i) {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    UniqueFd socket(::accept4(listener, reinterpret_cast<sockaddr*>(&peer), &length,
                              SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (!socket) {
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        // The connection stays waiting, the listener ready: without a
        // rest it would wake every round, for nothing.
        if (!acceptFailing_) {
          events_(name_ + ": cannot take connections for now: " + std::strerror(errno));
        }
        acceptFailing_ = true;
        acceptPausedUntil_ = MonotonicMillis() + NetworkLimits::AcceptPause;
      }
      return;  // or none waiting
    }
    if (acceptFailing_) {
      acceptFailing_ = false;
      events_(name_ + ": takes connections again");
    }
    const auto* address = reinterpret_cast<const sockaddr*>(&peer);
    std::string shown = ShowAddress(address);
    Millis now = MonotonicMillis();
    if (!allowed_.Allows(address)) {
      lines_.Refused(shown, "not from a network in \"AllowFrom\"", now);
      continue;
    }
    size_t open = static_cast<size_t>(
        std::count_if(clients_.begin(), clients_.end(), [](const auto& c) { return c->open(); }));
    if (open >= maxClients_) {
      lines_.Refused(shown, "already " + std::to_string(maxClients_) + " clients (\"MaxClients\")",
                     now);
      continue;
    }
    int on = 1;
    ::setsockopt(socket.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    int buffer = NetworkLimits::SocketBuffer;
    ::setsockopt(socket.get(), SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    std::string label = name_ + (rfc2217 ? ": rfc2217 " : ": tcp ") + shown;
    bool told = lines_.Admitted(label, now);
    clients_.push_back(
        std::make_unique<TcpClient>(std::move(socket), shown, rfc2217, label, told, events_));
  }
}

void NetworkEndpoints::ReadFrom(TcpClient& client) {
  size_t room = std::min(NetworkLimits::ReadChunk, room_);
  if (room == 0) {
    return;
  }
  char buffer[NetworkLimits::ReadChunk];
  long count = client.Read(buffer, room);
  if (count <= 0) {
    return;
  }
  std::string_view bytes(buffer, static_cast<size_t>(count));
  if (ComPortSession* session = client.session()) {
    std::string data;
    std::string reply;
    changing_ = &client;
    session->Receive(bytes, *this, &data, &reply);
    changing_ = nullptr;
    client.SendReply(reply);
    if (!data.empty()) {
      writes_(data);
    }
  } else {
    writes_(bytes);
  }
  room_ -= std::min(room_, static_cast<size_t>(count));
}

void NetworkEndpoints::Send(std::string_view bytes) {
  for (const auto& client : clients_) {
    client->Send(bytes);
  }
}

bool NetworkEndpoints::HoldsUp(size_t chunk, Millis now) {
  bool holds = false;
  for (const auto& client : clients_) {
    holds = client->HoldsUp(chunk, now) || holds;
  }
  return holds;
}

LineSettings NetworkEndpoints::Line() const {
  return source_ != nullptr ? source_->line() : line_;
}

LineSettings NetworkEndpoints::Change(const LineSettings& wanted) {
  LineSettings before = Line();
  if (wanted == before) {
    return before;
  }
  std::string who = changing_ != nullptr ? changing_->address() : "a client";
  if (source_ == nullptr) {
    line_ = wanted;
  } else {
    std::string error;
    if (!source_->SetLine(wanted, &error)) {
      refusedSettings_.Tell(
          name_ + ": rfc2217 " + who + " asked for " + ShowLine(wanted) + "; refused: " + error,
          MonotonicMillis());
      return Line();
    }
  }
  settings_.Tell(name_ + ": rfc2217 " + who + " set the line to " + ShowLine(Line()),
                 MonotonicMillis());
  return Line();
}

void NetworkEndpoints::Purge(bool input, bool output) {
  if (source_ != nullptr) {
    source_->Purge(input, output);
  }
}

}  // namespace velmora
