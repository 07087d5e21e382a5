// The device's file system. Paths start at "\" and use "\" between their
// components; names are matched ignoring case.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

inline constexpr uint32_t FileAttributeReadOnly = 0x01;
inline constexpr uint32_t FileAttributeDirectory = 0x10;
inline constexpr uint32_t FileAttributeArchive = 0x20;
// What FileAttributes returns when nothing exists at a path: every bit set.
inline constexpr uint32_t InvalidFileAttributes = 0xFFFFFFFFu;

using SearchHandle = intptr_t;
inline constexpr SearchHandle InvalidSearchHandle = -1;

inline constexpr size_t MaxPath = 260;

struct FindData {
  uint32_t attributes = 0;
  std::u16string name;  // at most MaxPath - 1 characters
};

class PlatformFiles {
 public:
  virtual ~PlatformFiles() = default;

  // Attribute bits of the file or folder at path; InvalidFileAttributes when
  // nothing exists there (or the path is not allowed).
  virtual uint32_t FileAttributes(std::u16string_view path) = 0;

  // Each returns true on success.
  virtual bool RemoveFile(std::u16string_view path) = 0;
  // Moves a file; fails when something already exists at newPath.
  virtual bool RenameFile(std::u16string_view oldPath, std::u16string_view newPath) = 0;
  // Creates one folder; fails when it exists or its parent does not.
  virtual bool MakeDirectory(std::u16string_view path) = 0;

  // Lists a folder: pattern is "folder\*.*" ("\*.*" for the root). Returns
  // InvalidSearchHandle when nothing can be listed; otherwise the handle and
  // the first entry in *data. FindNext gives the next one and returns
  // non-zero, or 0 at the end. FindEnd releases the search (also -1).
  virtual SearchHandle FindFirst(std::u16string_view pattern, FindData* data) = 0;
  virtual int FindNext(SearchHandle handle, FindData* data) = 0;
  virtual void FindEnd(SearchHandle handle) = 0;
};

}  // namespace velmora
