// The device's file system, kept in a host folder (the device's "root/").
//
// Device paths start at "\" and use "\" between components ("/" counts as
// "\"). Each component is matched ignoring case (FoldCase); when several
// host names in a folder differ only in case, the one first in byte order
// is the one the device sees, and the others are neither listed nor
// reached. Host names that a device could not carry (not valid UTF-8,
// containing "\") are not listed. New names keep the case given. Nothing
// outside the root can be reached: "." and ".." components are refused,
// and so is any path that leads outside through a link. Every operation
// resolves and opens (creates, renames, removes, lists) in one step below a
// descriptor of the root (OpenBeneath), so a link swapped in while it runs
// leads nowhere outside either; absolute links are refused.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/files/file_limits.h"
#include "platform/files/open_beneath.h"

namespace velmora {

class DeviceFiles final : public PlatformFiles {
 public:
  explicit DeviceFiles(std::string hostRoot);

  uint32_t FileAttributes(std::u16string_view path) override;
  bool RemoveFile(std::u16string_view path) override;
  bool RenameFile(std::u16string_view oldPath, std::u16string_view newPath) override;
  bool MakeDirectory(std::u16string_view path) override;
  SearchHandle FindFirst(std::u16string_view pattern, FindData* data) override;
  int FindNext(SearchHandle handle, FindData* data) override;
  void FindEnd(SearchHandle handle) override;

  // For the device's own tools (not part of the program's interface).
  // Every file they read is a regular file of at most maxSize bytes (never
  // more than MaxDeviceFileSize, see file_limits.h), refused before it is
  // read otherwise; *why (when given) tells why a read failed.
  bool ReadWholeFile(std::u16string_view path, std::string* bytes,
                     uint64_t maxSize = MaxDeviceFileSize, FileRefusal* why = nullptr);
  // The file opened for reading, *size its size; invalid and *why when it
  // is refused. Opening never blocks (a FIFO is refused, not waited for).
  UniqueFd OpenForReading(std::u16string_view path, uint64_t maxSize, FileRefusal* why,
                          uint64_t* size);
  // Replaces the file at path so that a crash leaves the old or the new
  // content (a new file beside it, flushed, renamed over it).
  bool WriteWholeFile(std::u16string_view path, std::string_view bytes);
  // The same with the content of the open file source, streamed through a
  // buffer of CopyBufferSize bytes; false when source holds more than
  // MaxDeviceFileSize bytes or cannot be read.
  bool WriteFileFrom(std::u16string_view path, int source);
  // A folder of the device opened (O_RDONLY | O_DIRECTORY) for work inside
  // it with openat and renameat, resolved below the root like every path;
  // invalid when path is no folder of the device.
  UniqueFd OpenFolder(std::u16string_view path);

 private:
  // A device path resolved to host names relative to the root: the folder
  // ("" for the root) and the last component's name ("" for the root
  // itself). The name is the host's when the entry exists, else as given.
  struct HostPath {
    std::string folder;
    std::string name;
    bool exists = true;
    std::string full() const;
  };

  // The root's descriptor, opened for each operation: the root may be made
  // after this object, or replaced.
  UniqueFd OpenRoot() const;
  // Matches each component ignoring case in its folder, every folder opened
  // below rootFd with OpenBeneath. With mayBeMissing the last component need
  // not exist. False for a path that is not allowed or cannot be resolved,
  // and for an entry that only a link leading out would reach.
  bool Resolve(int rootFd, std::u16string_view path, bool mayBeMissing, HostPath* host);
  // The folder that holds path (which need not exist) and its host name there.
  bool OpenParent(std::u16string_view path, UniqueFd* folder, std::string* name);

  std::string root_;
  struct Search {
    std::vector<FindData> entries;
    size_t next = 0;
  };
  std::map<SearchHandle, Search> searches_;
  SearchHandle nextSearch_ = 1;
};

// Whether a name may be a device file name: not empty, not "." or "..", at
// most MaxPath - 1 characters, none of \ / : * ? " < > | or control codes.
bool IsValidDeviceName(std::u16string_view name);

// Matches a name against a pattern with * and ? ignoring case; "*.*"
// matches every name, as on the device.
bool MatchesPattern(std::u16string_view pattern, std::u16string_view name);

}  // namespace velmora
