#include "platform/files/device_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <unordered_set>

#include "platform/files/open_beneath.h"
#include "platform/files/replace_file.h"
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

UniqueFd DeviceFiles::OpenForReading(std::u16string_view path, uint64_t maxSize, FileRefusal* why,
                                     uint64_t* size) {
  UniqueFd root = OpenRoot();
  HostPath host;
  *why = FileRefusal::Missing;
  if (!root.valid() || !Resolve(root.get(), path, false, &host)) {
    return UniqueFd();
  }
  // O_NONBLOCK: opening a FIFO must not wait for a writer.
  UniqueFd file = OpenBeneath(root.get(), host.full(), O_RDONLY | O_NONBLOCK | O_NOCTTY);
  struct stat info {};
  if (!file.valid() || ::fstat(file.get(), &info) != 0) {
    *why = errno == ENOENT ? FileRefusal::Missing : FileRefusal::Unreadable;
    return UniqueFd();
  }
  if (S_ISDIR(info.st_mode)) {
    *why = FileRefusal::Folder;
    return UniqueFd();
  }
  if (!S_ISREG(info.st_mode)) {
    *why = FileRefusal::NotRegular;
    return UniqueFd();
  }
  if (static_cast<uint64_t>(info.st_size) > std::min(maxSize, MaxDeviceFileSize)) {
    *why = FileRefusal::TooLarge;
    return UniqueFd();
  }
  *why = FileRefusal::None;
  *size = static_cast<uint64_t>(info.st_size);
  return file;
}

bool DeviceFiles::ReadWholeFile(std::u16string_view path, std::string* bytes, uint64_t maxSize,
                                FileRefusal* why) {
  FileRefusal refusal = FileRefusal::None;
  uint64_t size = 0;
  maxSize = std::min(maxSize, MaxDeviceFileSize);
  UniqueFd file = OpenForReading(path, maxSize, &refusal, &size);
  if (file.valid()) {
    if (!ReadDescriptor(file.get(), static_cast<size_t>(maxSize), bytes)) {
      refusal = FileRefusal::Unreadable;
    } else if (bytes->size() > maxSize) {  // it grew while read
      refusal = FileRefusal::TooLarge;
    }
  }
  if (refusal != FileRefusal::None) {
    bytes->clear();
  }
  if (why != nullptr) {
    *why = refusal;
  }
  return refusal == FileRefusal::None;
}

bool DeviceFiles::WriteWholeFile(std::u16string_view path, std::string_view bytes) {
  UniqueFd folder;
  std::string name;
  return OpenParent(path, &folder, &name) && ReplaceFileIn(folder.get(), name, [&](int fd) {
           return WriteAll(fd, bytes.data(), bytes.size());
         });
}

bool DeviceFiles::WriteFileFrom(std::u16string_view path, int source) {
  UniqueFd folder;
  std::string name;
  return OpenParent(path, &folder, &name) &&
         ReplaceFileIn(folder.get(), name, [&](int fd) { return CopyStream(source, fd); });
}

bool DeviceFiles::OpenParent(std::u16string_view path, UniqueFd* folder, std::string* name) {
  UniqueFd root = OpenRoot();
  HostPath host;
  if (!root.valid() || !Resolve(root.get(), path, true, &host) || host.name.empty()) {
    return false;
  }
  *folder = OpenBeneath(root.get(), host.folder, O_RDONLY | O_DIRECTORY);
  *name = host.name;
  return folder->valid();
}

UniqueFd DeviceFiles::OpenFolder(std::u16string_view path) {
  UniqueFd root = OpenRoot();
  HostPath host;
  if (!root.valid() || !Resolve(root.get(), path, false, &host)) {
    return UniqueFd();
  }
  return OpenBeneath(root.get(), host.full(), O_RDONLY | O_DIRECTORY);
}

}  // namespace velmora
