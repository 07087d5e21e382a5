#include "platform/serial/device_folder.h"

#include <stdlib.h>

#include "platform/text.h"

namespace velmora {

namespace {

// The name the device gives the entry of folder that matches name.
bool FindEntry(DeviceFiles& files, const std::u16string& folder, const std::u16string& name,
               std::u16string* found) {
  FindData data;
  SearchHandle search = files.FindFirst(folder + u"\\*.*", &data);
  bool more = search != InvalidSearchHandle;
  while (more) {
    if (EqualsIgnoringCase(data.name, name)) {
      *found = data.name;
      break;
    }
    more = files.FindNext(search, &data) != 0;
  }
  files.FindEnd(search);
  return !found->empty();
}

std::string RealPath(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  std::string result = resolved != nullptr ? resolved : "";
  ::free(resolved);
  return result;
}

}  // namespace

bool HostFolderOf(DeviceFiles& files, const std::string& hostRoot, std::u16string_view devicePath,
                  std::string* hostPath, std::string* error) {
  if (devicePath.empty() || (devicePath[0] != u'\\' && devicePath[0] != u'/')) {
    *error = "is not a device path (it starts with \\)";
    return false;
  }
  uint32_t attributes = files.FileAttributes(devicePath);
  if (attributes == InvalidFileAttributes) {
    *error = "does not exist";
    return false;
  }
  if ((attributes & FileAttributeDirectory) == 0) {
    *error = "is not a folder";
    return false;
  }
  std::string host = hostRoot;
  std::u16string folder;
  for (const std::u16string& part : SplitPath(devicePath, u"\\/")) {
    std::u16string name;
    if (!FindEntry(files, folder, part, &name)) {
      *error = "does not exist";
      return false;
    }
    folder += u"\\" + name;
    host += "/" + ToUtf8(name);
  }
  std::string root = RealPath(hostRoot);
  std::string real = RealPath(host);
  if (root.empty() || real.empty() || (real != root && real.rfind(root + "/", 0) != 0)) {
    *error = "lies outside the device";
    return false;
  }
  *hostPath = real;
  return true;
}

bool ReadDeviceFile(DeviceFiles& files, std::u16string_view devicePath, size_t limit,
                    std::string* bytes, std::string* error) {
  uint32_t attributes = files.FileAttributes(devicePath);
  if (SplitPath(devicePath, u"\\/").empty() || attributes == InvalidFileAttributes) {
    *error = "does not exist";
    return false;
  }
  if ((attributes & FileAttributeDirectory) != 0) {
    *error = "is a folder";
    return false;
  }
  if (!files.ReadWholeFile(devicePath, bytes, limit)) {
    *error = bytes->size() > limit ? "is longer than " + std::to_string(limit) + " bytes"
                                   : "cannot be read";
    return false;
  }
  return true;
}

}  // namespace velmora
