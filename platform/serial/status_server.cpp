#include "platform/serial/status_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace velmora {

namespace {

std::string Why(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

// The socket's address. A device folder may be deeper than the 108 bytes
// of sun_path, so the socket is named through the open folder
// (/proc/self/fd/N/.status) whenever /proc is there.
bool SocketAddress(int folder, const std::string& devFolder, sockaddr_un* address,
                   std::string* error) {
  *address = sockaddr_un{};
  address->sun_family = AF_UNIX;
  std::string viaFolder = "/proc/self/fd/" + std::to_string(folder);
  std::string path = (::access(viaFolder.c_str(), F_OK) == 0 ? viaFolder : devFolder) + "/" +
                     StatusLimits::SocketName;
  if (path.size() >= sizeof address->sun_path) {
    *error = "cannot name the status socket: " + devFolder + " is too long a path";
    return false;
  }
  std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
  return true;
}

UniqueFd OpenFolder(const std::string& devFolder) {
  return UniqueFd(::open(devFolder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
}

}  // namespace

StatusServer::StatusServer(std::function<std::string()> snapshot)
    : snapshot_(std::move(snapshot)) {}

StatusServer::~StatusServer() {
  struct stat info {};
  if (listener_ &&
      ::fstatat(folder_.get(), StatusLimits::SocketName, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
      info.st_dev == device_ && info.st_ino == inode_) {
    ::unlinkat(folder_.get(), StatusLimits::SocketName, 0);
  }
}

bool StatusServer::Open(const std::string& devFolder, std::string* error) {
  const std::string path = devFolder + "/" + StatusLimits::SocketName;
  UniqueFd folder = OpenFolder(devFolder);
  struct stat folderInfo {};
  if (!folder || ::fstat(folder.get(), &folderInfo) != 0) {
    *error = Why("cannot open " + devFolder);
    return false;
  }
  // Only one run holds the device: a socket there is a killed run's.
  // Anything else in its place is left alone (and bind fails).
  struct stat old {};
  if (::fstatat(folder.get(), StatusLimits::SocketName, &old, AT_SYMLINK_NOFOLLOW) == 0 &&
      S_ISSOCK(old.st_mode)) {
    ::unlinkat(folder.get(), StatusLimits::SocketName, 0);
  }
  sockaddr_un address{};
  if (!SocketAddress(folder.get(), devFolder, &address, error)) {
    return false;
  }
  UniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!socket ||
      ::bind(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    *error = Why("cannot make the status socket " + path);
    return false;
  }
  struct stat made {};
  if (::fstatat(folder.get(), StatusLimits::SocketName, &made, AT_SYMLINK_NOFOLLOW) != 0 ||
      ::fchmodat(folder.get(), StatusLimits::SocketName, 0660, 0) != 0 ||
      ::listen(socket.get(), StatusLimits::ListenBacklog) != 0) {
    *error = Why("cannot make the status socket " + path);
    ::unlinkat(folder.get(), StatusLimits::SocketName, 0);
    return false;
  }
  // The folder's group; without the right to give it, the socket keeps
  // the process's group.
  if (made.st_gid != folderInfo.st_gid) {
    [[maybe_unused]] int ignored =
        ::fchownat(folder.get(), StatusLimits::SocketName, static_cast<uid_t>(-1),
                   folderInfo.st_gid, AT_SYMLINK_NOFOLLOW);
  }
  folder_ = std::move(folder);
  listener_ = std::move(socket);
  device_ = made.st_dev;
  inode_ = made.st_ino;
  return true;
}

size_t StatusServer::waiting() const {
  return static_cast<size_t>(std::count_if(readers_.begin(), readers_.end(),
                                           [](const Reader& r) { return r.socket.valid(); }));
}

void StatusServer::Prepare(PollSet& set) {
  // Readers that are done leave between rounds.
  readers_.erase(std::remove_if(readers_.begin(), readers_.end(),
                                [](const Reader& reader) { return !reader.socket.valid(); }),
                 readers_.end());
  if (listener_) {
    set.Add(listener_.get(), POLLIN, this, ListenerTag);
  }
  Millis earliest = Forever;
  for (size_t i = 0; i < readers_.size(); ++i) {
    set.Add(readers_[i].socket.get(), POLLOUT, this, FirstReader + static_cast<int>(i));
    earliest = std::min(earliest, readers_[i].deadline);
  }
  if (earliest != Forever) {
    set.At(earliest, this, DeadlineTag);
  }
}

void StatusServer::OnReady(int tag, short revents) {
  if (tag == ListenerTag) {
    Accept();
    return;
  }
  if (tag == DeadlineTag) {
    Millis now = MonotonicMillis();
    for (Reader& reader : readers_) {
      if (reader.deadline <= now) {
        reader.socket.Reset();
      }
    }
    return;
  }
  size_t index = static_cast<size_t>(tag - FirstReader);
  if (tag < FirstReader || index >= readers_.size() || !readers_[index].socket) {
    return;
  }
  if ((revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
    readers_[index].socket.Reset();
    return;
  }
  Write(readers_[index]);
}

void StatusServer::Accept() {
  std::string answer;
  bool made = false;
  for (int i = 0; i < StatusLimits::AcceptsPerRound; ++i) {
    UniqueFd socket(::accept4(listener_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (!socket) {
      return;  // none waiting, or out of descriptors for now
    }
    if (waiting() >= StatusLimits::MaxWaitingReaders) {
      continue;  // closed unanswered
    }
    if (!made) {
      answer = snapshot_();
      made = true;
    }
    Reader reader{std::move(socket), answer, 0, MonotonicMillis() + StatusLimits::WriteDeadline};
    Write(reader);
    if (reader.socket) {
      readers_.push_back(std::move(reader));
    }
  }
}

void StatusServer::Write(Reader& reader) {
  while (reader.at < reader.answer.size()) {
    ssize_t written = ::send(reader.socket.get(), reader.answer.data() + reader.at,
                             reader.answer.size() - reader.at, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written < 0 && errno == EAGAIN) {
      return;  // the rest when there is room
    }
    if (written <= 0) {
      break;  // the reader has gone
    }
    reader.at += static_cast<size_t>(written);
  }
  reader.socket.Reset();
}

bool AskStatus(const std::string& devFolder, std::string* answer, std::string* error) {
  answer->clear();
  UniqueFd folder = OpenFolder(devFolder);
  sockaddr_un address{};
  if (!folder) {
    *error = Why("cannot open " + devFolder);
    return false;
  }
  if (!SocketAddress(folder.get(), devFolder, &address, error)) {
    return false;
  }
  Millis end = MonotonicMillis() + StatusLimits::AnswerWait;
  UniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  // A full queue of connections (many asking at once) is waited out.
  int connected = -1;
  while (socket &&
         (connected = ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address),
                                sizeof address)) != 0 &&
         (errno == EAGAIN || errno == EINTR) && MonotonicMillis() < end) {
    ::poll(nullptr, 0, 10);
  }
  if (connected != 0) {
    *error = Why("cannot reach the status socket " + devFolder + "/" + StatusLimits::SocketName);
    return false;
  }
  char buffer[16 * 1024];
  while (true) {
    Millis now = MonotonicMillis();
    pollfd ready{socket.get(), POLLIN, 0};
    int count = now < end ? ::poll(&ready, 1, static_cast<int>(end - now)) : 0;
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count <= 0) {
      *error = "no status from the running device within " +
               std::to_string(StatusLimits::AnswerWait / 1000) + " seconds";
      return false;
    }
    ssize_t length = ::recv(socket.get(), buffer, sizeof buffer, 0);
    if (length < 0 && (errno == EINTR || errno == EAGAIN)) {
      continue;
    }
    if (length < 0) {
      *error = Why("cannot read the status");
      return false;
    }
    if (length == 0) {
      if (answer->empty()) {
        *error = "the running device sent no status (too many asking at once?)";
        return false;
      }
      return true;
    }
    if (answer->size() + static_cast<size_t>(length) > StatusLimits::MaxAnswerBytes) {
      *error =
          "the status is longer than " + std::to_string(StatusLimits::MaxAnswerBytes) + " bytes";
      return false;
    }
    answer->append(buffer, static_cast<size_t>(length));
  }
}

}  // namespace velmora
