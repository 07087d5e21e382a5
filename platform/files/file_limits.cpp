#include "platform/files/file_limits.h"

namespace velmora {

static_assert(MaxDeviceFileSize == uint64_t{16} << 20, "RefusalText states the limit");

std::string_view RefusalText(FileRefusal why) {
  switch (why) {
    case FileRefusal::None:
      return "";
    case FileRefusal::Missing:
      return "no such file";
    case FileRefusal::Folder:
      return "a folder, not a file";
    case FileRefusal::NotRegular:
      return "not a regular file";
    case FileRefusal::TooLarge:
      return "larger than 16 MiB, the limit of a device file";
    case FileRefusal::Unreadable:
      return "cannot be read";
  }
  return "cannot be read";
}

}  // namespace velmora
