// Turning the bytes of a .reg file into the UTF-8 text the parser reads:
// the byte-order marks (UTF-8, UTF-16LE), the end-of-file mark (Ctrl-Z) of
// older regedits, UTF-8 that is not well-formed, and the Latin-1 of old
// REGEDIT4 files. A whole file at once, or a piece at a time.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace velmora::regtext {

// Offset of the first byte that is not part of well-formed UTF-8 (no
// overlong forms, no surrogates, nothing above U+10FFFF), or npos.
size_t FindInvalidUtf8(std::string_view text);

// Latin-1 bytes as UTF-8, appended.
void AppendLatin1AsUtf8(std::string& out, std::string_view bytes);

// Brings a whole file's bytes to UTF-8 text that ends at an end-of-file
// mark: *text views bytes or *storage. A REGEDIT4 file that is not UTF-8 is
// read as Latin-1; any other is an error naming the line.
bool DecodeRegBytes(std::string_view bytes, std::string* storage, std::string_view* text,
                    std::string* error);

// The same for bytes read a piece at a time: More appends the next piece of
// text, and whether it is the last; the UTF-8 check is left to the lines.
class StreamDecoder {
 public:
  using Read = std::function<bool(std::string*, bool*, std::string*)>;

  explicit StreamDecoder(const Read& read) : read_(read) {}

  bool More(std::string* text, bool* eof, std::string* error);

 private:
  const Read& read_;
  bool first_ = true;
  std::string head_;  // the first bytes, until they tell whether they are a mark
  bool utf16_ = false;
  std::string carry_;  // UTF-16 bytes that wait for the rest of their character
  size_t line_ = 1;    // the line the next UTF-16 bytes start on
};

}  // namespace velmora::regtext
