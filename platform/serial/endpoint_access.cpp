#include "platform/serial/endpoint_access.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace velmora {

namespace {

bool GroupId(const std::string& name, gid_t* id) {
  std::vector<char> buffer(16384);
  group entry{};
  group* found = nullptr;
  if (::getgrnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
      found == nullptr) {
    return false;
  }
  *id = found->gr_gid;
  return true;
}

}  // namespace

bool SetEndpointAccess(const std::string& terminal, const std::string& group, uint32_t mode,
                       std::string* error) {
  if (!group.empty()) {
    gid_t id = 0;
    if (!GroupId(group, &id)) {
      *error = "there is no group \"" + group + "\"";
      return false;
    }
    if (::chown(terminal.c_str(), static_cast<uid_t>(-1), id) != 0) {
      *error = "cannot give " + terminal + " the group " + group + ": " + std::strerror(errno);
      return false;
    }
  }
  if (::chmod(terminal.c_str(), static_cast<mode_t>(mode)) != 0) {
    *error = "cannot give " + terminal + " its mode: " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace velmora
