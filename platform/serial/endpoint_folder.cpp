#include "platform/serial/endpoint_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/unique_fd.h"

namespace velmora {

void RemoveStaleLinks(const std::string& devFolder) {
  DIR* dir = ::opendir(devFolder.c_str());
  if (dir == nullptr) {
    return;
  }
  while (dirent* entry = ::readdir(dir)) {
    std::string path = devFolder + "/" + entry->d_name;
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
      ::unlink(path.c_str());
    }
  }
  ::closedir(dir);
}

std::string EndpointListRow(const std::string& link, const std::string& terminal,
                            const std::string& port, const std::string& what) {
  return link + "\t" + terminal + "\t" + port + ":\t" + what + "\n";
}

bool WriteEndpointList(const std::string& devFolder, const std::string& text, std::string* error) {
  std::string path = devFolder + "/.ports";
  std::string temporary = path + ".new";
  UniqueFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  bool ok = static_cast<bool>(fd);
  for (size_t at = 0; ok && at < text.size();) {
    ssize_t written = ::write(fd.get(), text.data() + at, text.size() - at);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    ok = written > 0;
    at += ok ? static_cast<size_t>(written) : 0;
  }
  fd.Reset();
  if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
    *error = path + ": " + std::strerror(errno != 0 ? errno : ENOSPC);
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace velmora
