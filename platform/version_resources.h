// Version resources of files on the device: the VS_VERSIONINFO block of a
// module and lookups in it.
#pragma once

#include <cstdint>
#include <string_view>

namespace velmora {

class VersionResources {
 public:
  virtual ~VersionResources() = default;

  // Size in bytes of the file's version block; 0 when it has none.
  virtual uint32_t VersionInfoSize(std::u16string_view path) = 0;

  // Copies the block (at most size bytes) into buffer; non-zero on success.
  virtual int ReadVersionInfo(std::u16string_view path, uint32_t size, uint8_t* buffer) = 0;
};

// Looks up a sub-block of a version block read by ReadVersionInfo:
// "\" (the fixed file info), "\VarFileInfo\Translation",
// "\StringFileInfo\<language><code page>\<name>"; names match ignoring
// case. Non-zero when found, with *value pointing into the block and
// *length in characters for text values (terminator included) or bytes for
// binary ones. Reads nothing outside [block, block + blockSize).
int QueryVersionValue(const uint8_t* block, uint32_t blockSize, std::u16string_view subBlock,
                      const void** value, uint32_t* length);

}  // namespace velmora
