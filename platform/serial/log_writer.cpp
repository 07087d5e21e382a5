#include "platform/serial/log_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/text.h"

namespace velmora {

std::unique_ptr<LogWriter> LogWriter::Open(DeviceFiles& files, std::u16string folder,
                                           std::string name, std::string olderName, uint64_t limit,
                                           std::string* error) {
  std::unique_ptr<LogWriter> log(new LogWriter(files, std::move(folder), std::move(name),
                                               std::move(olderName),
                                               std::clamp(limit, MinLimit, MaxLimit)));
  if (!log->OpenCurrent(error)) {
    return nullptr;
  }
  return log;
}

LogWriter::LogWriter(DeviceFiles& files, std::u16string folder, std::string name,
                     std::string olderName, uint64_t limit)
    : files_(files),
      folder_(std::move(folder)),
      name_(std::move(name)),
      olderName_(std::move(olderName)),
      limit_(limit) {}

std::string LogWriter::Shown(const std::string& name) const {
  std::string shown = ToUtf8(folder_);
  shown += shown.empty() || shown.back() != '\\' ? "\\" : "";
  return shown + name;
}

bool LogWriter::OpenCurrent(std::string* error) {
  UniqueFd folder = files_.OpenFolder(folder_);
  if (!folder.valid()) {
    *error = "cannot open " + Shown(name_) + ": the folder is not on the device";
    return false;
  }
  // Never through a link; O_NONBLOCK so that a FIFO put there cannot block.
  UniqueFd file(::openat(folder.get(), name_.c_str(),
                         O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                         0644));
  struct stat info {};
  if (!file.valid() || ::fstat(file.get(), &info) != 0) {
    *error = "cannot open " + Shown(name_) + ": " + std::strerror(errno);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    *error = Shown(name_) + " is not a file";
    return false;
  }
  fd_ = std::move(file);
  size_ = static_cast<uint64_t>(info.st_size);
  return true;
}

bool LogWriter::Rotate(std::string* error) {
  UniqueFd folder = files_.OpenFolder(folder_);
  if (!folder.valid()) {
    *error = "cannot rotate " + Shown(name_) + ": the folder is not on the device";
    return false;
  }
  if (::renameat(folder.get(), name_.c_str(), folder.get(), olderName_.c_str()) != 0 &&
      errno != ENOENT) {
    *error = "cannot rename " + Shown(name_) + ": " + std::strerror(errno);
    return false;
  }
  return OpenCurrent(error);
}

bool LogWriter::Append(std::string_view bytes, std::string* error) {
  while (!bytes.empty()) {
    if (size_ >= limit_ && !Rotate(error)) {
      return false;
    }
    size_t piece = static_cast<size_t>(std::min<uint64_t>(bytes.size(), limit_ - size_));
    if (size_ + bytes.size() > limit_ && size_ != 0 && bytes.size() <= limit_) {
      // Keep a chunk whole in one file when it fits in a fresh one.
      if (!Rotate(error)) {
        return false;
      }
      piece = bytes.size();
    }
    ssize_t written = ::write(fd_.get(), bytes.data(), piece);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      *error = "cannot write " + Shown(name_) + ": " +
               (written < 0 ? std::strerror(errno) : "disk full");
      return false;
    }
    size_ += static_cast<uint64_t>(written);
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

}  // namespace velmora
