#include "platform/serial/host_serial_source.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace velmora {

namespace {

struct Speed {
  uint32_t baud;
  speed_t constant;
};

const Speed Speeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

// One read from the device takes at most this much.
constexpr size_t ReadChunk = PortSource::MaxChunk;

}  // namespace

speed_t BaudConstant(uint32_t baudRate) {
  for (const Speed& speed : Speeds) {
    if (speed.baud == baudRate) {
      return speed.constant;
    }
  }
  return B0;
}

bool OpenHostSerial(const std::string& path, uint32_t baudRate, UniqueFd* fd, std::string* error,
                    HostPortIdentity* identity, bool* refused) {
  speed_t speed = BaudConstant(baudRate);
  if (speed == B0) {
    *error = path + ": " + std::to_string(baudRate) + " is not a baud rate of this host";
    return false;
  }
  UniqueFd device(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!device) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  if (identity != nullptr) {
    std::string refusal = identity->Refusal(path, device.get());
    if (!refusal.empty()) {
      *error = path + ": it " + refusal;
      *refused = true;
      return false;
    }
  }
  termios mode{};
  if (::tcgetattr(device.get(), &mode) != 0) {
    *error = path + ": not a serial device (" + std::strerror(errno) + ")";
    return false;
  }
  ::cfmakeraw(&mode);
  mode.c_cflag |= CLOCAL | CREAD;
  mode.c_cflag &= ~(CSTOPB | CRTSCTS);
  mode.c_cc[VMIN] = 1;
  mode.c_cc[VTIME] = 0;
  if (::cfsetspeed(&mode, speed) != 0 || ::tcsetattr(device.get(), TCSANOW, &mode) != 0) {
    *error =
        path + ": cannot set " + std::to_string(baudRate) + " baud (" + std::strerror(errno) + ")";
    return false;
  }
  // The port's only reader, as on the handheld; what waited from before
  // belongs to nobody.
  ::ioctl(device.get(), TIOCEXCL);
  ::tcflush(device.get(), TCIFLUSH);
  *fd = std::move(device);
  return true;
}

HostSerialSource::HostSerialSource(std::string path, uint32_t baudRate, std::string label,
                                   EventSink events)
    : path_(std::move(path)),
      baudRate_(baudRate),
      label_(std::move(label)),
      events_(std::move(events)) {
  line_.baudRate = baudRate;
}

bool HostSerialSource::SetLine(const LineSettings& wanted, std::string* error) {
  if (BaudConstant(wanted.baudRate) == B0) {
    *error = std::to_string(wanted.baudRate) + " is not a baud rate of this host";
    return false;
  }
  if (fd_ && !ApplyLine(wanted, error)) {
    return false;
  }
  line_ = wanted;
  baudRate_ = wanted.baudRate;
  return true;
}

bool HostSerialSource::ApplyLine(const LineSettings& wanted, std::string* error) {
  termios mode{};
  if (::tcgetattr(fd_.get(), &mode) != 0) {
    *error = std::strerror(errno);
    return false;
  }
  static const tcflag_t Sizes[] = {CS5, CS6, CS7, CS8};
  mode.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  mode.c_cflag |= Sizes[(wanted.dataBits < 5 || wanted.dataBits > 8) ? 3 : wanted.dataBits - 5];
  switch (wanted.parity) {
    case Parity::Odd:
      mode.c_cflag |= PARENB | PARODD;
      break;
    case Parity::Even:
      mode.c_cflag |= PARENB;
      break;
    case Parity::Mark:
      mode.c_cflag |= PARENB | PARODD | CMSPAR;
      break;
    case Parity::Space:
      mode.c_cflag |= PARENB | CMSPAR;
      break;
    case Parity::None:
      break;
  }
  // termios has no 1.5 stop bits; the UART uses them for 5 data bits when
  // CSTOPB is set.
  if (wanted.stopBits != StopBits::One) {
    mode.c_cflag |= CSTOPB;
  }
  mode.c_iflag &= ~(IXON | IXOFF);
  if (wanted.flow == FlowControl::Hardware) {
    mode.c_cflag |= CRTSCTS;
  } else if (wanted.flow == FlowControl::XonXoff) {
    mode.c_iflag |= IXON | IXOFF;
  }
  if (::cfsetspeed(&mode, BaudConstant(wanted.baudRate)) != 0 ||
      ::tcsetattr(fd_.get(), TCSANOW, &mode) != 0) {
    *error = std::strerror(errno);
    return false;
  }
  // Not every device has modem lines or a break; what it lacks is kept as
  // asked.
  int lines = TIOCM_DTR;
  ::ioctl(fd_.get(), wanted.dtr ? TIOCMBIS : TIOCMBIC, &lines);
  lines = TIOCM_RTS;
  ::ioctl(fd_.get(), wanted.rts ? TIOCMBIS : TIOCMBIC, &lines);
  if (wanted.breakOn != line_.breakOn) {
    ::ioctl(fd_.get(), wanted.breakOn ? TIOCSBRK : TIOCCBRK);
  }
  return true;
}

void HostSerialSource::Purge(bool input, bool output) {
  if (output) {
    writes_.Clear();
  }
  if (fd_ && (input || output)) {
    ::tcflush(fd_.get(), input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH);
  }
}

std::string HostSerialSource::Describe() const {
  return "host port " + path_ + " at " + std::to_string(baudRate_) + " baud";
}

void HostSerialSource::Prepare(PollSet& set) {
  if (fd_) {
    // While the port's clients have no room its bytes wait in the host's
    // driver; a hang-up is still seen.
    set.Add(fd_.get(),
            static_cast<short>((SinkTakes() ? POLLIN : 0) | (writes_.empty() ? 0 : POLLOUT)), this,
            Device);
  } else if (!identity_.gone()) {
    set.At(retryAt_, this, Retry);
  }
}

void HostSerialSource::OnReady(int tag, short revents) {
  if (tag == Retry) {
    if (!fd_) {
      TryOpen();
    }
    return;
  }
  if (!fd_) {
    return;
  }
  if ((revents & POLLIN) != 0) {
    ReadDevice();
  }
  if (fd_ && (revents & POLLOUT) != 0) {
    FlushWrites();
  }
  if (fd_ && (revents & (POLLHUP | POLLERR | POLLNVAL)) != 0 && (revents & POLLIN) == 0) {
    Lost("it hung up");
  }
}

void HostSerialSource::TryOpen() {
  std::string error;
  bool refused = false;
  if (!OpenHostSerial(path_, baudRate_, &fd_, &error, &identity_, &refused)) {
    retryAt_ = MonotonicMillis() + RetryInterval;
    if (refused) {
      // Told once per reason; it is tried again only while it can come back.
      if (error != refusalTold_) {
        refusalTold_ = error;
        events_(label_ + ": will not open host port " + error +
                (identity_.gone() ? "; it is not tried again" : "; trying again every second"));
      }
      return;
    }
    if (!failureTold_) {
      failureTold_ = true;
      events_(label_ + ": cannot open host port " + error + "; trying again every second");
    }
    return;
  }
  if (!(line_ == LineSettings{.baudRate = baudRate_})) {
    std::string ignored;
    ApplyLine(line_, &ignored);
  }
  std::string line =
      label_ + ": host port " + path_ + " open at " + std::to_string(baudRate_) + " baud";
  if (droppedWrites_ != 0) {
    line += " (" + std::to_string(droppedWrites_) + " bytes written while it was away dropped)";
    droppedWrites_ = 0;
  }
  failureTold_ = false;
  refusalTold_.clear();
  events_(line);
}

void HostSerialSource::Lost(const std::string& why) {
  fd_.Reset();
  identity_.Lost();
  droppedWrites_ += writes_.size();
  writes_.Clear();
  retryAt_ = MonotonicMillis() + RetryInterval;
  failureTold_ = true;
  if (identity_.gone()) {
    events_(label_ + ": host port " + path_ + " went away (" + why +
            "); will not open it again: a pseudo-terminal's number goes to another terminal");
    return;
  }
  events_(label_ + ": host port " + path_ + " went away (" + why + "); trying again every second");
}

void HostSerialSource::ReadDevice() {
  char buffer[ReadChunk];
  ssize_t count = ::read(fd_.get(), buffer, sizeof buffer);
  if (count > 0) {
    Deliver(std::string_view(buffer, static_cast<size_t>(count)));
  } else if (count == 0) {
    Lost("end of input");
  } else if (errno != EAGAIN && errno != EINTR) {
    Lost(std::strerror(errno));
  }
}

size_t HostSerialSource::WriteRoom() const {
  return fd_ ? writes_.room() : WriteLimit;
}

void HostSerialSource::Write(std::string_view bytes) {
  if (!fd_) {
    droppedWrites_ += bytes.size();
    return;
  }
  if (!writes_.Push(bytes)) {
    droppedWrites_ += bytes.size();  // more than WriteRoom() offered
    return;
  }
  FlushWrites();
}

void HostSerialSource::FlushWrites() {
  while (fd_ && !writes_.empty()) {
    ssize_t written = ::write(fd_.get(), writes_.Front().data(), writes_.Front().size());
    if (written > 0) {
      writes_.Pop(static_cast<size_t>(written));
    } else if (written < 0 && (errno == EAGAIN || errno == EINTR)) {
      return;
    } else {
      Lost(written < 0 ? std::strerror(errno) : "it took nothing");
      return;
    }
  }
}

}  // namespace velmora
