// The limits of the device's files, kept in this one place and enforced by
// every tool that reads or copies one (DeviceFiles, the version reader,
// `velmora-device stage-update`): a file of the device is a regular file of
// at most MaxDeviceFileSize bytes. Anything else - a FIFO, a device node
// such as /dev/zero, a larger file - is refused before a byte is read, and
// copies are streamed through a buffer of CopyBufferSize bytes, so neither
// time nor memory grows with what a file claims to be.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velmora {

// A DLL of the handheld is at most a few MB; its device files (logs aside,
// which the splitter writes itself) are smaller still.
inline constexpr uint64_t MaxDeviceFileSize = uint64_t{16} << 20;

// The piece a streamed copy moves at a time.
inline constexpr size_t CopyBufferSize = size_t{64} << 10;

// Why a file was not opened for reading.
enum class FileRefusal {
  None,
  Missing,     // "no such file"
  Folder,      // "a folder, not a file"
  NotRegular,  // "not a regular file" (a FIFO, a device node, a socket)
  TooLarge,    // "larger than 16 MiB, the limit of a device file"
  Unreadable,  // "cannot be read"
};

// The words for a refusal, as they follow "NAME: " in a message.
std::string_view RefusalText(FileRefusal why);

}  // namespace velmora
