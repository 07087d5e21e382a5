#include "platform/serial/log_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace velmora {

namespace {

bool OpenForAppend(const std::string& path, UniqueFd* fd, uint64_t* size, std::string* error) {
  UniqueFd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0644));
  struct stat info {};
  if (!file || ::fstat(file.get(), &info) != 0) {
    *error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    *error = path + " is not a file";
    return false;
  }
  *fd = std::move(file);
  *size = static_cast<uint64_t>(info.st_size);
  return true;
}

}  // namespace

std::unique_ptr<LogWriter> LogWriter::Open(std::string path, std::string olderPath, uint64_t limit,
                                           std::string* error) {
  UniqueFd fd;
  uint64_t size = 0;
  if (!OpenForAppend(path, &fd, &size, error)) {
    return nullptr;
  }
  return std::unique_ptr<LogWriter>(new LogWriter(std::move(fd), std::move(path),
                                                  std::move(olderPath),
                                                  std::clamp(limit, MinLimit, MaxLimit), size));
}

LogWriter::LogWriter(UniqueFd fd, std::string path, std::string olderPath, uint64_t limit,
                     uint64_t size)
    : fd_(std::move(fd)),
      path_(std::move(path)),
      olderPath_(std::move(olderPath)),
      limit_(limit),
      size_(size) {}

bool LogWriter::Rotate(std::string* error) {
  if (::rename(path_.c_str(), olderPath_.c_str()) != 0) {
    *error = "cannot rename " + path_ + ": " + std::strerror(errno);
    return false;
  }
  return OpenForAppend(path_, &fd_, &size_, error);
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
      *error = "cannot write " + path_ + ": " + (written < 0 ? std::strerror(errno) : "disk full");
      return false;
    }
    size_ += static_cast<uint64_t>(written);
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

}  // namespace velmora
