// A log of a stream of raw bytes in a file of the device, bounded in size:
// when the next bytes would make the file longer than its limit, the file
// becomes the older generation (replacing the one before) and a new file is
// begun. So the two files together always hold the latest bytes, each file
// is at most the limit long, and the older one followed by the current one
// is the stream as it came (an NMEA capture stays replayable).
//
// The log's folder is a device path. Every open and every rotation resolves
// it anew through the device's files, below the descriptor of root/, and
// then opens and renames inside the folder's own descriptor: a folder
// swapped for a link that leads out of the device meanwhile is refused
// (the log is then off), and nothing is ever written outside root/.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/files/device_files.h"
#include "platform/unique_fd.h"

namespace velmora {

class LogWriter {
 public:
  static constexpr uint64_t MinLimit = 4096;
  static constexpr uint64_t MaxLimit = 1024ull * 1024 * 1024;
  static constexpr uint64_t DefaultLimit = 16 * 1024 * 1024;

  // Appends to name in the device folder folder (the file is made when
  // missing; a link or anything but a regular file there is refused); the
  // full file moves to olderName beside it. limit is kept within MinLimit
  // and MaxLimit. files must outlive the writer. nullptr and *error (naming
  // the device path) when the file cannot be opened.
  static std::unique_ptr<LogWriter> Open(DeviceFiles& files, std::u16string folder,
                                         std::string name, std::string olderName, uint64_t limit,
                                         std::string* error);

  // Writes all of bytes. False and *error when the disk refused them (some
  // may have been written) or the folder is gone from the device.
  bool Append(std::string_view bytes, std::string* error);

  uint64_t size() const { return size_; }

 private:
  LogWriter(DeviceFiles& files, std::u16string folder, std::string name, std::string olderName,
            uint64_t limit);
  // Opens (or makes) the current file in the folder, resolved anew.
  bool OpenCurrent(std::string* error);
  bool Rotate(std::string* error);
  // The device path of a file of the log, for messages.
  std::string Shown(const std::string& name) const;

  DeviceFiles& files_;
  std::u16string folder_;
  std::string name_;
  std::string olderName_;
  uint64_t limit_;
  UniqueFd fd_;
  uint64_t size_ = 0;
};

}  // namespace velmora
