#include "platform/files/device_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <memory>
#include <unordered_set>

#include "platform/files/open_beneath.h"
#include "platform/host_io.h"
#include "platform/text.h"

namespace velmora {

namespace {

struct HostEntry {
  std::string hostName;
  std::u16string deviceName;
  unsigned char type;  // d_type: DT_DIR, DT_REG, DT_LNK, DT_UNKNOWN, ...
};

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

// The entries of an open folder whose names a device could carry, in the
// order the host gives them.
std::vector<HostEntry> ReadFolder(int folderFd) {
  std::vector<HostEntry> entries;
  UniqueFd copy(::fcntl(folderFd, F_DUPFD_CLOEXEC, 0));
  std::unique_ptr<DIR, DirCloser> dir(copy.valid() ? ::fdopendir(copy.get()) : nullptr);
  if (!dir) {
    return entries;
  }
  copy.Release();  // the DIR owns it now
  while (dirent* entry = ::readdir(dir.get())) {
    std::string_view name = entry->d_name;
    if (name == "." || name == "..") {
      continue;
    }
    bool valid = true;
    std::u16string wide = FromUtf8(name, &valid);
    if (valid && IsValidDeviceName(wide)) {
      entries.push_back(HostEntry{std::string(name), std::move(wide), entry->d_type});
    }
  }
  return entries;
}

// The entries as the device sees them: one per case-folded name (the first
// in byte order), in byte order.
std::vector<HostEntry> DeviceEntries(int folderFd) {
  std::vector<HostEntry> entries = ReadFolder(folderFd);
  std::sort(entries.begin(), entries.end(),
            [](const HostEntry& a, const HostEntry& b) { return a.hostName < b.hostName; });
  std::vector<HostEntry> unique;
  unique.reserve(entries.size());
  std::unordered_set<std::u16string> seen;
  for (HostEntry& entry : entries) {
    if (seen.insert(FoldCase(entry.deviceName)).second) {
      unique.push_back(std::move(entry));
    }
  }
  return unique;
}

// The host name of the entry the device sees as name in an open folder:
// of those equal to it ignoring case the first in byte order; "" if none.
std::string HostNameOf(int folderFd, std::u16string_view name) {
  const std::u16string folded = FoldCase(name);
  std::string found;
  for (HostEntry& entry : ReadFolder(folderFd)) {
    if ((found.empty() || entry.hostName < found) && FoldCase(entry.deviceName) == folded) {
      found = std::move(entry.hostName);
    }
  }
  return found;
}

std::string Join(const std::string& folder, const std::string& name) {
  return folder.empty() ? name : name.empty() ? folder : folder + "/" + name;
}

constexpr std::string_view TemporaryPrefix = ".~velmora.";

// Removes the temporary files ".~velmora.<pid>.<n>.tmp" of an open folder
// whose writer is gone (killed half-way through a write).
void RemoveStaleTemporariesIn(int folderFd) {
  int listed = ::dup(folderFd);
  DIR* dir = listed >= 0 ? ::fdopendir(listed) : nullptr;
  if (dir == nullptr) {
    if (listed >= 0) {
      ::close(listed);
    }
    return;
  }
  ::rewinddir(dir);
  while (dirent* entry = ::readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name.substr(0, TemporaryPrefix.size()) != TemporaryPrefix) {
      continue;
    }
    pid_t writer =
        static_cast<pid_t>(std::strtol(entry->d_name + TemporaryPrefix.size(), nullptr, 10));
    if (writer > 0 && writer != ::getpid() && ::kill(writer, 0) != 0 && errno == ESRCH) {
      ::unlinkat(folderFd, entry->d_name, 0);
    }
  }
  ::closedir(dir);
}

// Replaces name in an open folder with bytes so that a crash leaves the old
// or the new content: a new file beside it (never through a link), flushed,
// renamed over name, and the folder flushed.
bool ReplaceFileIn(int folderFd, const std::string& name, std::string_view bytes) {
  RemoveStaleTemporariesIn(folderFd);
  static std::atomic<unsigned> counter{0};
  std::string temporary;
  UniqueFd file;
  for (int attempt = 0; attempt < 3 && !file.valid(); ++attempt) {
    temporary = std::string(TemporaryPrefix) + std::to_string(::getpid()) + "." +
                std::to_string(counter++) + ".tmp";
    file.Reset(::openat(folderFd, temporary.c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!file.valid() && errno != EEXIST) {
      return false;
    }
  }
  if (!file.valid()) {
    return false;
  }
  bool written = true;
  for (size_t done = 0; written && done < bytes.size();) {
    ssize_t n = ::write(file.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    written = n > 0;
    done += written ? static_cast<size_t>(n) : 0;
  }
  written = written && ::fsync(file.get()) == 0;
  file.Reset();
  if (!written || ::renameat(folderFd, temporary.c_str(), folderFd, name.c_str()) != 0) {
    ::unlinkat(folderFd, temporary.c_str(), 0);
    return false;
  }
  ::fsync(folderFd);
  return true;
}

// Reads an open regular file whole.
bool ReadOpenFile(int fd, size_t maxSize, std::string* bytes) {
  struct stat info {};
  return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ReadDescriptor(fd, maxSize, bytes) &&
         bytes->size() <= maxSize;
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

std::string DeviceFiles::HostPath::full() const {
  return Join(folder, name);
}

UniqueFd DeviceFiles::OpenRoot() const {
  return UniqueFd(::open(root_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
}

bool DeviceFiles::Resolve(int rootFd, std::u16string_view path, bool mayBeMissing, HostPath* host) {
  std::vector<std::u16string> parts = SplitPath(path, u"\\/");
  *host = HostPath();
  for (size_t i = 0; i < parts.size(); ++i) {
    if (!IsValidDeviceName(parts[i])) {
      return false;
    }
    std::string walked = host->full();
    UniqueFd folder = OpenBeneath(rootFd, walked, O_RDONLY | O_DIRECTORY);
    if (!folder.valid()) {
      return false;
    }
    std::string found = HostNameOf(folder.get(), parts[i]);
    if (found.empty()) {
      if (!mayBeMissing || i + 1 != parts.size()) {
        return false;
      }
      host->exists = false;
      found = ToUtf8(parts[i]);
    }
    host->folder = walked;
    host->name = found;
  }
  // An entry the device cannot reach (a link leading out) is not there for
  // it: it is neither used nor replaced.
  return !host->exists || OpenBeneath(rootFd, host->full(), O_PATH).valid();
}

uint32_t DeviceFiles::FileAttributes(std::u16string_view path) {
  UniqueFd root = OpenRoot();
  HostPath host;
  if (!root.valid() || !Resolve(root.get(), path, false, &host)) {
    return InvalidFileAttributes;
  }
  UniqueFd object = OpenBeneath(root.get(), host.full(), O_PATH);
  struct stat info {};
  if (!object.valid() || ::fstat(object.get(), &info) != 0) {
    return InvalidFileAttributes;
  }
  if (S_ISDIR(info.st_mode)) {
    return FileAttributeDirectory;
  }
  return (info.st_mode & S_IWUSR) != 0 ? FileAttributeArchive
                                       : FileAttributeArchive | FileAttributeReadOnly;
}

bool DeviceFiles::RemoveFile(std::u16string_view path) {
  UniqueFd root = OpenRoot();
  HostPath host;
  if (!root.valid() || !Resolve(root.get(), path, false, &host) || host.name.empty()) {
    return false;
  }
  UniqueFd folder = OpenBeneath(root.get(), host.folder, O_PATH | O_DIRECTORY);
  struct stat info {};
  return folder.valid() &&
         ::fstatat(folder.get(), host.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
         !S_ISDIR(info.st_mode) && ::unlinkat(folder.get(), host.name.c_str(), 0) == 0;
}

bool DeviceFiles::RenameFile(std::u16string_view oldPath, std::u16string_view newPath) {
  UniqueFd root = OpenRoot();
  HostPath from;
  HostPath to;
  if (!root.valid() || !Resolve(root.get(), oldPath, false, &from) || from.name.empty() ||
      !Resolve(root.get(), newPath, true, &to) || to.exists) {
    return false;
  }
  UniqueFd fromFolder = OpenBeneath(root.get(), from.folder, O_PATH | O_DIRECTORY);
  UniqueFd toFolder = OpenBeneath(root.get(), to.folder, O_PATH | O_DIRECTORY);
  return fromFolder.valid() && toFolder.valid() &&
         ::renameat2(fromFolder.get(), from.name.c_str(), toFolder.get(), to.name.c_str(),
                     RENAME_NOREPLACE) == 0;
}

bool DeviceFiles::MakeDirectory(std::u16string_view path) {
  UniqueFd root = OpenRoot();
  HostPath host;
  if (!root.valid() || !Resolve(root.get(), path, true, &host) || host.exists) {
    return false;
  }
  UniqueFd folder = OpenBeneath(root.get(), host.folder, O_PATH | O_DIRECTORY);
  return folder.valid() && ::mkdirat(folder.get(), host.name.c_str(), 0755) == 0;
}

SearchHandle DeviceFiles::FindFirst(std::u16string_view pattern, FindData* data) {
  std::u16string text(pattern);
  std::replace(text.begin(), text.end(), u'/', u'\\');
  size_t slash = text.rfind(u'\\');
  std::u16string folderPath = slash == std::u16string::npos ? u"" : text.substr(0, slash);
  std::u16string wildcard = slash == std::u16string::npos ? text : text.substr(slash + 1);
  UniqueFd root = OpenRoot();
  HostPath host;
  if (!root.valid() || !Resolve(root.get(), folderPath, false, &host)) {
    return InvalidSearchHandle;
  }
  const std::string folderName = host.full();
  UniqueFd folder = OpenBeneath(root.get(), folderName, O_RDONLY | O_DIRECTORY);
  if (!folder.valid()) {
    return InvalidSearchHandle;
  }
  Search search;
  for (HostEntry& entry : DeviceEntries(folder.get())) {
    if (!MatchesPattern(wildcard, entry.deviceName)) {
      continue;
    }
    bool directory = entry.type == DT_DIR;
    if (entry.type == DT_LNK || entry.type == DT_UNKNOWN) {
      // A link counts as what it leads to, and only when that is inside.
      UniqueFd target = OpenBeneath(root.get(), Join(folderName, entry.hostName), O_PATH);
      struct stat info {};
      if (!target.valid() || ::fstat(target.get(), &info) != 0) {
        continue;
      }
      directory = S_ISDIR(info.st_mode);
    }
    search.entries.push_back(FindData{directory ? FileAttributeDirectory : FileAttributeArchive,
                                      std::move(entry.deviceName)});
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

bool DeviceFiles::ReadWholeFile(std::u16string_view path, std::string* bytes, size_t maxSize) {
  UniqueFd root = OpenRoot();
  HostPath host;
  if (!root.valid() || !Resolve(root.get(), path, false, &host)) {
    return false;
  }
  // Without O_NONBLOCK a FIFO would block the open.
  UniqueFd file = OpenBeneath(root.get(), host.full(), O_RDONLY | O_NONBLOCK);
  return file.valid() && ReadOpenFile(file.get(), maxSize, bytes);
}

bool DeviceFiles::WriteWholeFile(std::u16string_view path, std::string_view bytes) {
  UniqueFd root = OpenRoot();
  HostPath host;
  if (!root.valid() || !Resolve(root.get(), path, true, &host) || host.name.empty()) {
    return false;
  }
  UniqueFd folder = OpenBeneath(root.get(), host.folder, O_RDONLY | O_DIRECTORY);
  return folder.valid() && ReplaceFileIn(folder.get(), host.name, bytes);
}

}  // namespace velmora
