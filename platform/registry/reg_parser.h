// The parser of the .reg text's lines: the header, [key] and [-key] lines
// below HKEY_LOCAL_MACHINE, "name"= and @= values (string, dword:, hex:,
// hex(n): with "\" continuation lines), "name"=- deletions and ";"
// comments. It holds names, nesting and value sizes to the registry's own
// limits and hands what it reads to a RegSink.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/reg_line_source.h"
#include "platform/registry/reg_reader.h"

namespace velmora::regtext {

class Parser {
 public:
  // Errors are "line N: what" in *error.
  Parser(LineSource& lines, RegSink& sink, std::string* error)
      : lines_(lines), sink_(sink), error_(error) {}

  // A whole file: the header line, then the lines after it.
  bool Run();
  // Only the lines after the header (of version 5.00).
  bool RunLines();

 private:
  bool Body();
  bool Fail(size_t line, std::string_view what);
  bool KeyComponents(std::string_view path, size_t line);
  bool KeyLine(std::string_view line, size_t number);
  size_t ValueLinesAhead() const;
  bool ValueLine(std::string_view line, size_t number);
  bool TooLarge(size_t number);
  bool Dword(std::string_view digits, size_t number);
  bool HexValue(std::string_view rest, size_t number, uint32_t* type);

  LineSource& lines_;
  RegSink& sink_;
  std::string* error_;
  bool legacy_ = false;   // a REGEDIT4 file
  bool haveKey_ = false;  // a key line came, and it did not delete
  // Kept from line to line, so that a line allocates nothing.
  std::vector<std::u16string> components_;  // the first componentCount_ are this line's
  size_t componentCount_ = 0;
  std::string joined_;
  std::u16string name_;
  std::u16string textValue_;
  std::vector<uint8_t> data_;
};

}  // namespace velmora::regtext
