#include "platform/serial/endpoint_guard.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace velmora {

namespace {

// One message from the running device: 'H' (hold the descriptor that comes
// with it) or 'D' (drop the one of this slave).
struct Message {
  char operation;
  char slave[EndpointGuard::MaxPath];
  char link[EndpointGuard::MaxPath];
};

struct Held {
  int fd;
  char slave[EndpointGuard::MaxPath];
  char link[EndpointGuard::MaxPath];
};

// The guard's table; in static storage so that the forked guard needs no
// allocation.
Held table[EndpointGuard::MaxEndpoints];

bool Same(const char* a, const char* b) {
  return std::strncmp(a, b, EndpointGuard::MaxPath) == 0;
}

void Keep(int fd, const Message& message) {
  for (Held& held : table) {
    if (held.fd < 0) {
      held.fd = fd;
      std::memcpy(held.slave, message.slave, sizeof held.slave);
      std::memcpy(held.link, message.link, sizeof held.link);
      return;
    }
  }
  ::close(fd);  // more than the table holds: cannot be guarded
}

void Forget(const Message& message) {
  for (Held& held : table) {
    if (held.fd >= 0 && Same(held.slave, message.slave)) {
      ::close(held.fd);
      held.fd = -1;
    }
  }
}

// The running device has gone: links first, then the terminals.
[[noreturn]] void CleanUpAndExit() {
  char target[EndpointGuard::MaxPath];
  for (Held& held : table) {
    if (held.fd < 0) {
      continue;
    }
    ssize_t length = ::readlink(held.link, target, sizeof target - 1);
    if (length > 0) {
      target[length] = '\0';
      if (Same(target, held.slave)) {
        ::unlink(held.link);
      }
    }
  }
  for (Held& held : table) {
    if (held.fd >= 0) {
      ::close(held.fd);
    }
  }
  ::_exit(0);
}

[[noreturn]] void GuardMain(int socket) {
  ::setpgid(0, 0);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGTSTP, SIGTTIN, SIGTTOU}) {
    ::sigaction(signal, &ignore, nullptr);
  }
  ::prctl(PR_SET_NAME, "velmora-guard", 0, 0, 0);
  // Keep nothing of the running device but the socket: not its lock, not
  // its standard output (a pipe reading it would never see its end).
  if (socket != 3) {
    ::dup2(socket, 3);
  }
  ::close_range(4, ~0U, 0);
  int null = ::open("/dev/null", O_RDWR);
  for (int stdio = 0; stdio < 3; ++stdio) {
    ::dup2(null, stdio);
  }
  if (null > 3) {
    ::close(null);
  }
  for (Held& held : table) {
    held.fd = -1;
  }
  static Message message;
  for (;;) {
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
    iovec part{&message, sizeof message};
    msghdr header{};
    header.msg_iov = &part;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof control;
    ssize_t count = ::recvmsg(3, &header, MSG_CMSG_CLOEXEC);
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count <= 0) {
      CleanUpAndExit();
    }
    int fd = -1;
    cmsghdr* passed = CMSG_FIRSTHDR(&header);
    if (passed != nullptr && passed->cmsg_level == SOL_SOCKET && passed->cmsg_type == SCM_RIGHTS) {
      std::memcpy(&fd, CMSG_DATA(passed), sizeof fd);
    }
    message.slave[sizeof message.slave - 1] = '\0';
    message.link[sizeof message.link - 1] = '\0';
    if (message.operation == 'H' && fd >= 0) {
      Keep(fd, message);
    } else {
      if (fd >= 0) {
        ::close(fd);
      }
      Forget(message);
    }
  }
}

}  // namespace

EndpointGuard::~EndpointGuard() {
  if (pid_ <= 0) {
    return;
  }
  socket_.Reset();
  // The guard removes nothing that is still in use (the device removed its
  // links already) and ends at once.
  while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
  }
}

bool EndpointGuard::Start(std::string* error) {
  int pair[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
    *error = std::string("cannot start the endpoint guard: ") + std::strerror(errno);
    return false;
  }
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(pair[0]);
    GuardMain(pair[1]);
  }
  ::close(pair[1]);
  if (pid < 0) {
    ::close(pair[0]);
    *error = std::string("cannot start the endpoint guard: ") + std::strerror(errno);
    return false;
  }
  // Both sides set the group, so that it is the guard's own from here on.
  ::setpgid(pid, pid);
  socket_.Reset(pair[0]);
  pid_ = pid;
  return true;
}

bool EndpointGuard::Hold(int master, const std::string& slavePath, const std::string& linkPath) {
  return Send('H', master, slavePath, linkPath);
}

bool EndpointGuard::Drop(const std::string& slavePath) {
  return Send('D', -1, slavePath, {});
}

bool EndpointGuard::Send(char operation, int fd, const std::string& slavePath,
                         const std::string& linkPath) {
  if (!socket_) {
    return false;
  }
  if (slavePath.size() >= MaxPath || linkPath.size() >= MaxPath) {
    return false;
  }
  Message message{};
  message.operation = operation;
  std::memcpy(message.slave, slavePath.data(), slavePath.size());
  std::memcpy(message.link, linkPath.data(), linkPath.size());
  iovec part{&message, sizeof message};
  msghdr header{};
  header.msg_iov = &part;
  header.msg_iovlen = 1;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  if (fd >= 0) {
    header.msg_control = control;
    header.msg_controllen = sizeof control;
    cmsghdr* passed = CMSG_FIRSTHDR(&header);
    passed->cmsg_level = SOL_SOCKET;
    passed->cmsg_type = SCM_RIGHTS;
    passed->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(passed), &fd, sizeof fd);
  }
  ssize_t sent = 0;
  do {
    sent = ::sendmsg(socket_.get(), &header, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  if (sent != static_cast<ssize_t>(sizeof message)) {
    socket_.Reset();  // the guard has gone
    return false;
  }
  return true;
}

}  // namespace velmora
