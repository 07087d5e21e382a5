// A log of a stream of raw bytes in a host file, bounded in size: when the
// next bytes would make the file longer than its limit, the file becomes
// the older generation (replacing the one before) and a new file is begun.
// So the two files together always hold the latest bytes, each file is at
// most the limit long, and the older one followed by the current one is
// the stream as it came (an NMEA capture stays replayable).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/unique_fd.h"

namespace velmora {

class LogWriter {
 public:
  static constexpr uint64_t MinLimit = 4096;
  static constexpr uint64_t MaxLimit = 1024ull * 1024 * 1024;
  static constexpr uint64_t DefaultLimit = 16 * 1024 * 1024;

  // Appends to path (made when missing; a link there is refused); the full
  // file moves to olderPath. limit is kept within MinLimit and MaxLimit.
  // nullptr and *error when the file cannot be opened.
  static std::unique_ptr<LogWriter> Open(std::string path, std::string olderPath, uint64_t limit,
                                         std::string* error);

  // Writes all of bytes. False and *error when the disk refused them (some
  // may have been written).
  bool Append(std::string_view bytes, std::string* error);

  uint64_t size() const { return size_; }

 private:
  LogWriter(UniqueFd fd, std::string path, std::string olderPath, uint64_t limit, uint64_t size);
  bool Rotate(std::string* error);

  UniqueFd fd_;
  std::string path_;
  std::string olderPath_;
  uint64_t limit_;
  uint64_t size_;
};

}  // namespace velmora
