#include "platform/serial/endpoint_table.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace velmora {

EndpointTable::EndpointTable(std::string devFolder, EventSink events)
    : devFolder_(std::move(devFolder)),
      events_(std::move(events)),
      clientWatch_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
  if (!clientWatch_) {
    events_(std::string("cannot watch the endpoints for clients: ") + std::strerror(errno) +
            "; clients opening an endpoint are not noticed");
  }
}

EndpointTable::~EndpointTable() {
  while (!entries_.empty()) {
    Remove(entries_.begin());
  }
  guard_.reset();
}

void EndpointTable::StartGuard() {
  auto guard = std::make_unique<EndpointGuard>();
  std::string error;
  if (!guard->Start(&error)) {
    if (!guardTold_) {
      guardTold_ = true;
      events_(error + "; endpoints may outlive a run that is killed");
    }
    guard_.reset();
    return;
  }
  guard_ = std::move(guard);
  for (const auto& [link, entry] : entries_) {
    GuardHolds(entry);
  }
}

void EndpointTable::RestartGuard() {
  guard_.reset();
  if (++guardRestarts_ > MaxGuardRestarts) {
    events_("the endpoint guard keeps going away; endpoints may outlive a run that is killed");
    return;
  }
  events_("the endpoint guard has gone; starting a new one");
  StartGuard();
}

void EndpointTable::GuardHolds(const Entry& entry) {
  if (guard_ && !guard_->Hold(entry.endpoint->fd(), entry.endpoint->slavePath(),
                              entry.endpoint->linkPath())) {
    RestartGuard();
  }
}

PtyEndpoint* EndpointTable::Claim(const std::string& port, const std::string& link,
                                  std::string* error) {
  auto found = entries_.find(link);
  if (found != entries_.end()) {
    if (found->second.claimed) {
      *error = "dev/" + link + " is in use by " + found->second.port;
      return nullptr;
    }
    found->second.claimed = true;
    found->second.port = port;
    return found->second.endpoint.get();
  }
  std::unique_ptr<PtyEndpoint> endpoint =
      PtyEndpoint::Create(devFolder_ + "/" + link, port + ": dev/" + link, events_, error);
  if (!endpoint) {
    return nullptr;
  }
  Entry entry;
  entry.port = port;
  entry.claimed = true;
  if (clientWatch_) {
    entry.watch = ::inotify_add_watch(clientWatch_.get(), endpoint->slavePath().c_str(), IN_OPEN);
  }
  entry.endpoint = std::move(endpoint);
  // A client that opened before the watch was there.
  entry.endpoint->LookForClient();
  auto [added, fresh] = entries_.emplace(link, std::move(entry));
  GuardHolds(added->second);
  return added->second.endpoint.get();
}

void EndpointTable::Release(PtyEndpoint* endpoint, bool keep) {
  auto found = std::find_if(entries_.begin(), entries_.end(), [&](const auto& item) {
    return item.second.endpoint.get() == endpoint;
  });
  if (found == entries_.end()) {
    return;
  }
  if (!keep) {
    Remove(found);
    return;
  }
  found->second.claimed = false;
  found->second.keptUntil = MonotonicMillis() + RestartGrace;
  found->second.endpoint->Pause();
}

void EndpointTable::Remove(std::map<std::string, Entry>::iterator entry) {
  std::string slave = entry->second.endpoint->slavePath();
  if (entry->second.watch >= 0) {
    ::inotify_rm_watch(clientWatch_.get(), entry->second.watch);
  }
  // The endpoint removes its link before it closes the terminal; only then
  // may the guard let go of its copy.
  entries_.erase(entry);
  if (guard_ && !guard_->Drop(slave)) {
    RestartGuard();
  }
}

void EndpointTable::Prepare(PollSet& set) {
  if (clientWatch_) {
    set.Add(clientWatch_.get(), POLLIN, this, ClientOpened);
  }
  if (guard_ && guard_->running()) {
    set.Add(guard_->fd(), 0, this, GuardGone);  // only its hang-up wakes
  }
  bool kept = false;
  Millis next = 0;
  watchedKept_.clear();
  for (const auto& [link, entry] : entries_) {
    if (!entry.claimed) {
      next = kept ? std::min(next, entry.keptUntil) : entry.keptUntil;
      kept = true;
      if (entry.endpoint->clientOpen()) {
        // Only its hang-up wakes: nobody reads or writes a kept endpoint.
        set.Add(entry.endpoint->fd(), 0, this, KeptHangUp + static_cast<int>(watchedKept_.size()));
        watchedKept_.push_back(link);
      }
    }
  }
  if (kept) {
    set.At(next, this, Due);
  }
}

void EndpointTable::OnReady(int tag, short revents) {
  if (tag == ClientOpened) {
    ReadClientWatch();
  } else if (tag == GuardGone && (revents & (POLLHUP | POLLERR)) != 0) {
    RestartGuard();
  } else if (tag == Due) {
    Expire(MonotonicMillis());
  } else if (tag >= KeptHangUp && (revents & (POLLHUP | POLLERR)) != 0) {
    // Looked up by link: an endpoint removed earlier in this round is gone.
    size_t index = static_cast<size_t>(tag - KeptHangUp);
    auto found = index < watchedKept_.size() ? entries_.find(watchedKept_[index]) : entries_.end();
    if (found != entries_.end()) {
      found->second.endpoint->ClientGone();
    }
  }
}

void EndpointTable::ReadClientWatch() {
  alignas(inotify_event) char buffer[4096];
  ssize_t count = 0;
  while ((count = ::read(clientWatch_.get(), buffer, sizeof buffer)) > 0) {
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= count;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      for (auto& [link, entry] : entries_) {
        if (entry.watch == event->wd || (event->mask & IN_Q_OVERFLOW) != 0) {
          entry.endpoint->LookForClient();
        }
      }
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
}

void EndpointTable::Expire(Millis now) {
  std::vector<std::string> ports;
  for (auto entry = entries_.begin(); entry != entries_.end();) {
    auto next = std::next(entry);
    if (!entry->second.claimed && entry->second.keptUntil <= now) {
      if (std::find(ports.begin(), ports.end(), entry->second.port) == ports.end()) {
        ports.push_back(entry->second.port);
      }
      Remove(entry);
    }
    entry = next;
  }
  for (const std::string& port : ports) {
    events_(port + ": endpoints removed (not served again)");
  }
}

size_t EndpointTable::keptCount() const {
  return static_cast<size_t>(std::count_if(entries_.begin(), entries_.end(),
                                           [](const auto& item) { return !item.second.claimed; }));
}

}  // namespace velmora
