#include "platform/serial/device_folder.h"

#include "platform/text.h"

namespace velmora {

UniqueFd OpenDeviceFolder(DeviceFiles& files, std::u16string_view devicePath, std::string* error) {
  if (devicePath.empty() || (devicePath[0] != u'\\' && devicePath[0] != u'/')) {
    *error = "is not a device path (it starts with \\)";
    return UniqueFd();
  }
  uint32_t attributes = files.FileAttributes(devicePath);
  if (attributes == InvalidFileAttributes) {
    *error = "does not exist";
    return UniqueFd();
  }
  if ((attributes & FileAttributeDirectory) == 0) {
    *error = "is not a folder";
    return UniqueFd();
  }
  UniqueFd folder = files.OpenFolder(devicePath);
  if (!folder.valid()) {
    *error = "does not exist";  // it went meanwhile
  }
  return folder;
}

bool ReadDeviceFile(DeviceFiles& files, std::u16string_view devicePath, size_t limit,
                    std::string* bytes, std::string* error) {
  if (SplitPath(devicePath, u"\\/").empty()) {
    *error = "does not exist";
    return false;
  }
  FileRefusal why = FileRefusal::None;
  if (files.ReadWholeFile(devicePath, bytes, limit, &why)) {
    return true;
  }
  switch (why) {
    case FileRefusal::Missing:
      *error = "does not exist";
      break;
    case FileRefusal::Folder:
      *error = "is a folder";
      break;
    case FileRefusal::NotRegular:
      *error = "is not a regular file";
      break;
    case FileRefusal::TooLarge:
      *error = "is longer than " + std::to_string(std::min<uint64_t>(limit, MaxDeviceFileSize)) +
               " bytes";
      break;
    default:
      *error = "cannot be read";
      break;
  }
  return false;
}

}  // namespace velmora
