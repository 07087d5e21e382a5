#include "platform/serial/tcp_client.h"

#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace velmora {

namespace {

// Drop lines of one client come at most this often; the totals are told
// when it closes.
constexpr Millis DropLineInterval = 5000;

}  // namespace

TcpClient::TcpClient(UniqueFd socket, std::string address, bool rfc2217, std::string label,
                     bool told, EventSink events)
    : socket_(std::move(socket)),
      address_(std::move(address)),
      label_(std::move(label)),
      events_(std::move(events)),
      told_(told),
      lastTaken_(MonotonicMillis()) {
  if (rfc2217) {
    session_ = std::make_unique<ComPortSession>();
    SendReply(ComPortSession::Greeting());
  }
}

TcpClient::~TcpClient() {
  Close("the splitter stopped");
}

void TcpClient::Close(const std::string& why) {
  if (!open_) {
    return;
  }
  open_ = false;
  dropped_ += pending_.size();
  pending_.Clear();
  socket_.Reset();
  if (!told_) {
    return;
  }
  events_(label_ + ": client closed, " + why + " (" + std::to_string(sent_) + " bytes sent, " +
          std::to_string(dropped_) + " dropped, " + std::to_string(received_) + " received)");
}

long TcpClient::WriteSome(std::string_view bytes) {
  if (session_ && session_->suspended()) {
    return 0;
  }
  ssize_t written = ::send(socket_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  if (written >= 0) {
    sent_ += static_cast<uint64_t>(written);
    if (written > 0) {
      lastTaken_ = MonotonicMillis();
    }
    return written;
  }
  if (errno == EAGAIN || errno == EINTR) {
    return 0;
  }
  Close(std::string("it went away (") + std::strerror(errno) + ")");
  return -1;
}

void TcpClient::Send(std::string_view bytes) {
  if (!open_ || bytes.empty()) {
    return;
  }
  if (session_) {
    escaped_.clear();
    ComPortSession::Escape(bytes, &escaped_);
    bytes = escaped_;
  }
  if (pending_.empty()) {
    long written = WriteSome(bytes);
    if (written < 0) {
      return;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
    if (bytes.empty()) {
      return;
    }
    lastTaken_ = MonotonicMillis();  // a backlog's stall is counted from its start
  }
  if (pending_.Push(bytes)) {
    return;
  }
  dropped_ += bytes.size();
  if (!dropping_) {
    dropping_ = true;
    Millis now = MonotonicMillis();
    if (lastDropLine_ == 0 || now - lastDropLine_ >= DropLineInterval) {
      lastDropLine_ = now;
      events_(label_ + ": client is not reading; dropping its data (" + std::to_string(dropped_) +
              " bytes so far)");
    }
  }
}

void TcpClient::SendReply(std::string_view bytes) {
  if (!open_ || bytes.empty()) {
    return;
  }
  if (pending_.empty()) {
    long written = WriteSome(bytes);
    if (written < 0) {
      return;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  if (!bytes.empty() && pending_.empty()) {
    lastTaken_ = MonotonicMillis();
  }
  pending_.Push(bytes);
}

void TcpClient::Flush() {
  while (open_ && !pending_.empty()) {
    long written = WriteSome(pending_.Front());
    if (written <= 0) {
      return;
    }
    pending_.Pop(static_cast<size_t>(written));
  }
  if (pending_.empty()) {
    dropping_ = false;
    behind_ = false;
  }
}

bool TcpClient::HoldsUp(size_t chunk, Millis now) {
  // Escaping may double a chunk.
  size_t needed = session_ ? 2 * chunk : chunk;
  if (!open_ || behind_ || pending_.room() >= needed) {
    return false;
  }
  if (now >= stallDeadline()) {
    behind_ = true;
    return false;
  }
  return true;
}

long TcpClient::Read(char* buffer, size_t capacity) {
  if (!open_) {
    return -1;
  }
  ssize_t count = ::recv(socket_.get(), buffer, capacity, MSG_DONTWAIT);
  if (count > 0) {
    received_ += static_cast<uint64_t>(count);
    return count;
  }
  if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
    return 0;
  }
  Close(count == 0 ? "it hung up" : std::string("it went away (") + std::strerror(errno) + ")");
  return -1;
}

}  // namespace velmora
