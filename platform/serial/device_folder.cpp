#include "platform/serial/device_folder.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/unique_fd.h"

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

bool ReadDeviceFile(DeviceFiles& files, const std::string& hostRoot, std::u16string_view devicePath,
                    size_t limit, std::string* bytes, std::string* error) {
  std::vector<std::u16string> parts = SplitPath(devicePath, u"\\/");
  uint32_t attributes = files.FileAttributes(devicePath);
  if (parts.empty() || attributes == InvalidFileAttributes) {
    *error = "does not exist";
    return false;
  }
  if ((attributes & FileAttributeDirectory) != 0) {
    *error = "is a folder";
    return false;
  }
  std::u16string folder;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    folder += u"\\" + parts[i];
  }
  std::string host;
  std::u16string name;
  if (!HostFolderOf(files, hostRoot, folder.empty() ? u"\\" : folder, &host, error) ||
      !FindEntry(files, folder, parts.back(), &name)) {
    *error = "does not exist";
    return false;
  }
  std::string path = host + "/" + ToUtf8(name);
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  struct stat info {};
  if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    *error = std::string("cannot be read: ") + std::strerror(errno);
    return false;
  }
  if (static_cast<uint64_t>(info.st_size) > limit) {
    *error = "is longer than " + std::to_string(limit) + " bytes";
    return false;
  }
  bytes->assign(static_cast<size_t>(info.st_size), '\0');
  size_t done = 0;
  while (done < bytes->size()) {
    ssize_t count = ::read(fd.get(), bytes->data() + done, bytes->size() - done);
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count <= 0) {
      *error = std::string("cannot be read: ") + (count < 0 ? std::strerror(errno) : "it shrank");
      return false;
    }
    done += static_cast<size_t>(count);
  }
  return true;
}

}  // namespace velmora
