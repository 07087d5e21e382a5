// Version resources of files on the device: the VS_VERSIONINFO block of a
// module and lookups in it.
#pragma once

#include <cstdint>
#include <string>
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

// A value found in a version block: where its data starts, its length as
// the block states it (characters for text values, terminator included;
// bytes for binary ones), cut to what its node holds, and room, the bytes
// from data to the end of the value's node.
struct VersionValue {
  const uint8_t* data = nullptr;
  uint32_t length = 0;
  uint32_t room = 0;
};

// Looks up a sub-block of a version block read by ReadVersionInfo:
// "\" (the fixed file info), "\VarFileInfo\Translation",
// "\StringFileInfo\<language><code page>\<name>"; names match ignoring
// case. Non-zero when found. Reads nothing outside [block, block +
// blockSize), and the value found lies within its node.
int QueryVersionValue(const uint8_t* block, uint32_t blockSize, std::u16string_view subBlock,
                      VersionValue* value);
// The same with the value's data and length only.
int QueryVersionValue(const uint8_t* block, uint32_t blockSize, std::u16string_view subBlock,
                      const void** value, uint32_t* length);

// The text of a value: its UTF-16 characters up to the terminating zero,
// never past the end of the value's node, whatever the node's type and
// stated length say. A stated length shorter than the text still gives the
// whole text; a text without a zero ends at the node's end.
std::u16string VersionValueText(const VersionValue& value);

}  // namespace velmora
