#include "platform/files/device_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <unordered_set>

#include "platform/host_io.h"
#include "platform/text.h"

namespace velmora {

namespace {

std::string RealPath(const std::string& path) {
  char buffer[PATH_MAX];
  return ::realpath(path.c_str(), buffer) != nullptr ? std::string(buffer) : std::string();
}

struct HostEntry {
  std::string hostName;
  std::u16string deviceName;
};

// The entries of a host folder as the device sees them: valid names only,
// one per case-folded name (the first in byte order).
std::vector<HostEntry> DeviceEntries(const std::string& folder) {
  std::vector<HostEntry> entries;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    return entries;
  }
  while (dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") {
      continue;
    }
    bool valid = true;
    std::u16string wide = FromUtf8(name, &valid);
    if (valid && IsValidDeviceName(wide)) {
      entries.push_back(HostEntry{name, wide});
    }
  }
  ::closedir(dir);
  std::sort(entries.begin(), entries.end(),
            [](const HostEntry& a, const HostEntry& b) { return a.hostName < b.hostName; });
  std::vector<HostEntry> unique;
  std::unordered_set<std::u16string> seen;
  for (HostEntry& entry : entries) {
    if (seen.insert(FoldCase(entry.deviceName)).second) {
      unique.push_back(std::move(entry));
    }
  }
  return unique;
}

}  // namespace

bool IsValidDeviceName(std::u16string_view name) {
  if (name.empty() || name == u"." || name == u".." || name.size() >= MaxPath) {
    return false;
  }
  return std::none_of(name.begin(), name.end(), [](char16_t c) {
    return c < 0x20 || std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos;
  });
}

bool MatchesPattern(std::u16string_view pattern, std::u16string_view name) {
  if (pattern == u"*.*" || pattern == u"*") {
    return true;
  }
  // Iterative glob match with backtracking on the last "*".
  size_t p = 0;
  size_t n = 0;
  size_t star = std::u16string_view::npos;
  size_t mark = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == u'?' || FoldCase(pattern[p]) == FoldCase(name[n]))) {
      ++p, ++n;
    } else if (p < pattern.size() && pattern[p] == u'*') {
      star = p++;
      mark = n;
    } else if (star != std::u16string_view::npos) {
      p = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') {
    ++p;
  }
  return p == pattern.size();
}

DeviceFiles::DeviceFiles(std::string hostRoot) : root_(std::move(hostRoot)) {}

bool DeviceFiles::Inside(const std::string& hostPath) {
  if (realRoot_.empty()) {
    realRoot_ = RealPath(root_);  // the root may be made after this object
  }
  std::string real = RealPath(hostPath);
  if (real.empty() || realRoot_.empty()) {
    return false;
  }
  return real == realRoot_ || real.rfind(realRoot_ + "/", 0) == 0;
}

bool DeviceFiles::Resolve(std::u16string_view path, bool mayBeMissing, std::string* host,
                          bool* exists) {
  std::vector<std::u16string> parts = SplitPath(path, u"\\/");
  std::string current = root_;
  *exists = true;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (!IsValidDeviceName(parts[i])) {
      return false;
    }
    if (!Inside(current)) {
      return false;  // a link on the way leads out of the device
    }
    const std::u16string folded = FoldCase(parts[i]);
    std::string found;
    for (const HostEntry& entry : DeviceEntries(current)) {
      if (FoldCase(entry.deviceName) == folded) {
        found = entry.hostName;
        break;
      }
    }
    if (found.empty()) {
      if (!mayBeMissing || i + 1 != parts.size()) {
        return false;
      }
      *exists = false;
      found = ToUtf8(parts[i]);
    }
    current += "/" + found;
  }
  if (*exists && !Inside(current)) {
    return false;
  }
  *host = current;
  return true;
}

uint32_t DeviceFiles::FileAttributes(std::u16string_view path) {
  std::string host;
  bool exists = false;
  struct stat info {};
  if (!Resolve(path, false, &host, &exists) || ::stat(host.c_str(), &info) != 0) {
    return InvalidFileAttributes;
  }
  if (S_ISDIR(info.st_mode)) {
    return FileAttributeDirectory;
  }
  return (info.st_mode & S_IWUSR) != 0 ? FileAttributeArchive
                                       : FileAttributeArchive | FileAttributeReadOnly;
}

bool DeviceFiles::RemoveFile(std::u16string_view path) {
  std::string host;
  bool exists = false;
  struct stat info {};
  if (!Resolve(path, false, &host, &exists) || ::lstat(host.c_str(), &info) != 0 ||
      S_ISDIR(info.st_mode)) {
    return false;
  }
  return ::unlink(host.c_str()) == 0;
}

bool DeviceFiles::RenameFile(std::u16string_view oldPath, std::u16string_view newPath) {
  std::string from;
  std::string to;
  bool exists = false;
  if (!Resolve(oldPath, false, &from, &exists) || !Resolve(newPath, true, &to, &exists) || exists) {
    return false;
  }
  return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
}

bool DeviceFiles::MakeDirectory(std::u16string_view path) {
  std::string host;
  bool exists = false;
  if (!Resolve(path, true, &host, &exists) || exists) {
    return false;
  }
  return ::mkdir(host.c_str(), 0755) == 0;
}

SearchHandle DeviceFiles::FindFirst(std::u16string_view pattern, FindData* data) {
  std::u16string text(pattern);
  std::replace(text.begin(), text.end(), u'/', u'\\');
  size_t slash = text.rfind(u'\\');
  std::u16string folder = slash == std::u16string::npos ? u"" : text.substr(0, slash);
  std::u16string wildcard = slash == std::u16string::npos ? text : text.substr(slash + 1);
  std::string host;
  bool exists = false;
  struct stat info {};
  if (!Resolve(folder, false, &host, &exists) || ::stat(host.c_str(), &info) != 0 ||
      !S_ISDIR(info.st_mode)) {
    return InvalidSearchHandle;
  }
  Search search;
  for (const HostEntry& entry : DeviceEntries(host)) {
    struct stat item {};
    std::string itemPath = host + "/" + entry.hostName;
    if (!MatchesPattern(wildcard, entry.deviceName) || ::lstat(itemPath.c_str(), &item) != 0) {
      continue;
    }
    // The folder is inside the root; only a link can lead out of it.
    if (S_ISLNK(item.st_mode) && (!Inside(itemPath) || ::stat(itemPath.c_str(), &item) != 0)) {
      continue;
    }
    uint32_t attributes = S_ISDIR(item.st_mode) ? FileAttributeDirectory : FileAttributeArchive;
    search.entries.push_back(FindData{attributes, entry.deviceName});
  }
  if (search.entries.empty()) {
    return InvalidSearchHandle;
  }
  *data = search.entries[0];
  search.next = 1;
  SearchHandle handle = nextSearch_++;
  searches_[handle] = std::move(search);
  return handle;
}

int DeviceFiles::FindNext(SearchHandle handle, FindData* data) {
  auto it = searches_.find(handle);
  if (it == searches_.end() || it->second.next >= it->second.entries.size()) {
    return 0;
  }
  *data = it->second.entries[it->second.next++];
  return 1;
}

void DeviceFiles::FindEnd(SearchHandle handle) {
  searches_.erase(handle);
}

bool DeviceFiles::ReadWholeFile(std::u16string_view path, std::string* bytes) {
  std::string host;
  bool exists = false;
  std::string error;
  struct stat info {};
  return Resolve(path, false, &host, &exists) && ::stat(host.c_str(), &info) == 0 &&
         S_ISREG(info.st_mode) && ReadHostFile(host, bytes, &error);
}

bool DeviceFiles::WriteWholeFile(std::u16string_view path, std::string_view bytes) {
  std::string host;
  bool exists = false;
  std::string error;
  return Resolve(path, true, &host, &exists) && WriteHostFileAtomically(host, bytes, &error);
}

}  // namespace velmora
