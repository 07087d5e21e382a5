#include "platform/registry/reg_parser.h"

#include <span>

#include "platform/registry.h"
#include "platform/registry/reg_text_common.h"
#include "platform/registry/registry_limits.h"
#include "platform/text.h"

namespace velmora::regtext {

namespace {

constexpr std::string_view RootName = "HKEY_LOCAL_MACHINE";
constexpr std::string_view RootShort = "HKLM";

bool StartsWithAsciiIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) {
    return false;
  }
  for (size_t i = 0; i < prefix.size(); ++i) {
    char a = text[i];
    char b = prefix[i];
    if (a >= 'a' && a <= 'z')
      a = static_cast<char>(a - 32);
    if (b >= 'a' && b <= 'z')
      b = static_cast<char>(b - 32);
    if (a != b) {
      return false;
    }
  }
  return true;
}

// Well-formed UTF-8 to UTF-16, appended.
void AppendUtf16(std::u16string& out, std::string_view text) {
  const auto* b = reinterpret_cast<const uint8_t*>(text.data());
  size_t start = out.size();
  out.resize(start + text.size());  // at most one unit per byte
  char16_t* units = out.data() + start;
  size_t n = 0;
  for (size_t i = 0; i < text.size();) {
    uint32_t cp = b[i];
    if (cp < 0x80) {
      units[n++] = static_cast<char16_t>(cp);
      ++i;
      continue;
    }
    size_t extra = cp < 0x80 ? 0 : cp < 0xE0 ? 1 : cp < 0xF0 ? 2 : 3;
    if (extra != 0) {
      cp &= 0x3F >> extra;
      for (size_t k = 1; k <= extra && i + k < text.size(); ++k) {
        cp = cp << 6 | (b[i + k] & 0x3F);
      }
    }
    i += extra + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      units[n++] = static_cast<char16_t>(0xD800 + (cp >> 10));
      units[n++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      units[n++] = static_cast<char16_t>(cp);
    }
  }
  out.resize(start + n);
}

// Reads a quoted text that starts at text[*pos] == '"'; "\x" stands for x.
bool Quoted(std::string_view text, size_t* pos, std::u16string* out) {
  out->clear();
  size_t start = *pos + 1;
  for (size_t i = start; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      AppendUtf16(*out, text.substr(start, i - start));
      start = ++i;  // the escaped character goes with the next piece
    } else if (text[i] == '"') {
      AppendUtf16(*out, text.substr(start, i - start));
      *pos = i + 1;
      return true;
    }
  }
  return false;
}

bool IsHexValue(std::string_view line) {
  return line.find("=hex") != line.npos;
}

}  // namespace

bool Parser::Run() {
  std::string_view line;
  while (lines_.Next(&line) && Trim(line).empty()) {
  }
  if (lines_.failed()) {
    return false;
  }
  std::string_view header = Trim(line);
  if (header.empty()) {
    return Fail(1, "empty file: expected \"Windows Registry Editor Version 5.00\"");
  }
  if (header == HeaderV4) {
    legacy_ = true;
    lines_.ReadAsLatin1();
  } else if (header != HeaderV5) {
    return Fail(lines_.lineNumber(),
                "not a registry file: expected \"Windows Registry Editor Version 5.00\"");
  }
  return Body();
}

bool Parser::RunLines() {
  return Body();
}

bool Parser::Body() {
  std::string_view line;
  while (lines_.Next(&line)) {
    size_t number = lines_.lineNumber();
    line = Trim(line);
    if (line.empty() || line.front() == ';') {
      continue;
    }
    bool ok = line.front() == '[' ? KeyLine(line, number) : ValueLine(line, number);
    if (!ok) {
      return false;
    }
  }
  return !lines_.failed();
}

bool Parser::Fail(size_t line, std::string_view what) {
  *error_ = LineError(line, what);
  return false;
}

// The path's components below the root, each a valid key name.
bool Parser::KeyComponents(std::string_view path, size_t line) {
  componentCount_ = 0;
  std::string_view rest;
  if (StartsWithAsciiIgnoringCase(path, RootName)) {
    rest = path.substr(RootName.size());
  } else if (StartsWithAsciiIgnoringCase(path, RootShort)) {
    rest = path.substr(RootShort.size());
  }
  if (rest.data() == nullptr || (!rest.empty() && rest.front() != '\\')) {
    return Fail(line, "only keys below HKEY_LOCAL_MACHINE can be stored");
  }
  if (rest.empty()) {
    return true;
  }
  rest.remove_prefix(1);
  while (true) {
    size_t end = rest.find('\\');
    std::string_view part = rest.substr(0, end);
    if (part.empty()) {
      return Fail(line, "empty key name in \"" + std::string(path) + "\"");
    }
    if (componentCount_ == MaxKeyDepth) {
      return Fail(line, "keys nest deeper than " + std::to_string(MaxKeyDepth) + " levels");
    }
    // The strings are kept from line to line: no allocation per name.
    if (componentCount_ == components_.size()) {
      components_.emplace_back();
    }
    std::u16string& name = components_[componentCount_];
    name.clear();
    AppendUtf16(name, part);
    std::string_view problem = KeyNameProblem(name);
    if (!problem.empty()) {
      return Fail(line, problem);
    }
    ++componentCount_;
    if (end == std::string_view::npos) {
      return true;
    }
    rest.remove_prefix(end + 1);
  }
}

bool Parser::KeyLine(std::string_view line, size_t number) {
  if (line.back() != ']') {
    return Fail(number, "a key line must end with \"]\"");
  }
  std::string_view path = line.substr(1, line.size() - 2);
  bool remove = !path.empty() && path.front() == '-';
  if (remove) {
    path.remove_prefix(1);
  }
  if (!KeyComponents(path, number)) {
    return false;
  }
  if (remove && componentCount_ == 0) {
    return Fail(number, "the root key cannot be deleted");
  }
  haveKey_ = !remove;
  std::span<const std::u16string> keyPath(components_.data(), componentCount_);
  if (!sink_.Key(keyPath, remove, error_)) {
    return false;
  }
  if (haveKey_) {
    sink_.ExpectValues(ValueLinesAhead());
  }
  return true;
}

// The value lines up to the next key line: room for them in one step.
size_t Parser::ValueLinesAhead() const {
  std::string_view text = lines_.Ahead();
  size_t count = 0;
  for (size_t at = 0; at < text.size();) {
    while (at < text.size() && IsBlank(text[at])) {
      ++at;
    }
    if (at < text.size() && text[at] == '[') {
      break;
    }
    count += at < text.size() && (text[at] == '"' || text[at] == '@');
    size_t end = text.find('\n', at);
    at = end == std::string_view::npos ? text.size() : end + 1;
  }
  return count;
}

bool Parser::ValueLine(std::string_view line, size_t number) {
  // A hex value goes on over the next lines while a line ends in "\".
  if (line.back() == '\\' && IsHexValue(line)) {
    joined_.assign(line);
    std::string_view next;
    while (!joined_.empty() && joined_.back() == '\\' && lines_.Next(&next)) {
      joined_.pop_back();
      joined_ += Trim(next);
    }
    if (lines_.failed()) {
      return false;
    }
    line = joined_;
  }
  if (!haveKey_) {
    return Fail(number, "a value outside of a key");
  }
  size_t pos = 0;
  if (line.front() == '@') {
    name_.clear();
    pos = 1;
  } else if (line.front() == '"') {
    if (!Quoted(line, &pos, &name_)) {
      return Fail(number, "unterminated value name");
    }
  } else {
    return Fail(number, "unexpected text \"" + std::string(line.substr(0, 40)) + "\"");
  }
  std::string_view problem = ValueNameProblem(name_);
  if (!problem.empty()) {
    return Fail(number, problem);
  }
  std::string_view rest = Trim(line.substr(pos));
  if (rest.empty() || rest.front() != '=') {
    return Fail(number, "expected \"=\" after the value name");
  }
  rest = Trim(rest.substr(1));
  if (rest == "-") {
    return sink_.RemoveValue(name_, error_);
  }
  uint32_t type = 0;
  data_.clear();
  if (!rest.empty() && rest.front() == '"') {
    size_t end = 0;
    if (!Quoted(rest, &end, &textValue_) || !Trim(rest.substr(end)).empty()) {
      return Fail(number, "malformed string value");
    }
    type = RegString;
    for (char16_t c : textValue_) {
      data_.push_back(static_cast<uint8_t>(c & 0xFF));
      data_.push_back(static_cast<uint8_t>(c >> 8));
    }
    data_.push_back(0);
    data_.push_back(0);
  } else if (StartsWithAsciiIgnoringCase(rest, "dword:")) {
    if (!Dword(rest.substr(6), number)) {
      return false;
    }
    type = RegNumber;
  } else if (StartsWithAsciiIgnoringCase(rest, "hex")) {
    if (!HexValue(rest.substr(3), number, &type)) {
      return false;
    }
  } else {
    return Fail(number, "unknown value data \"" + std::string(rest.substr(0, 40)) + "\"");
  }
  if (data_.size() > MaxValueSize) {
    return TooLarge(number);
  }
  return sink_.SetValue(name_, type, data_, error_);
}

bool Parser::TooLarge(size_t number) {
  return Fail(number, "a value larger than " + std::to_string(MaxValueSize) + " bytes");
}

bool Parser::Dword(std::string_view digits, size_t number) {
  if (digits.empty() || digits.size() > 8) {
    return Fail(number, "a dword needs 1 to 8 hex digits");
  }
  uint32_t value = 0;
  for (char c : digits) {
    int digit = HexDigit(c);
    if (digit < 0) {
      return Fail(number, "a dword needs 1 to 8 hex digits");
    }
    value = value << 4 | static_cast<uint32_t>(digit);
  }
  for (int k = 0; k < 4; ++k) {
    data_.push_back(static_cast<uint8_t>(value >> (8 * k)));
  }
  return true;
}

bool Parser::HexValue(std::string_view rest, size_t number, uint32_t* type) {
  *type = RegBinary;
  if (!rest.empty() && rest.front() == '(') {
    size_t close = rest.find(')');
    if (close == std::string_view::npos || close == 1 || close > 9) {
      return Fail(number, "malformed hex(type)");
    }
    uint32_t value = 0;
    for (char c : rest.substr(1, close - 1)) {
      int digit = HexDigit(c);
      if (digit < 0) {
        return Fail(number, "malformed hex(type)");
      }
      value = value << 4 | static_cast<uint32_t>(digit);
    }
    *type = value;
    rest = rest.substr(close + 1);
  }
  if (rest.empty() || rest.front() != ':') {
    return Fail(number, "expected \":\" after hex");
  }
  rest = Trim(rest.substr(1));
  while (!rest.empty()) {
    if (rest.size() < 2 || HexDigit(rest[0]) < 0 || HexDigit(rest[1]) < 0) {
      return Fail(number, "malformed hex byte");
    }
    if (data_.size() == MaxValueSize) {
      return TooLarge(number);
    }
    data_.push_back(static_cast<uint8_t>(HexDigit(rest[0]) << 4 | HexDigit(rest[1])));
    rest = Trim(rest.substr(2));
    if (!rest.empty()) {
      if (rest.front() != ',') {
        return Fail(number, "hex bytes must be separated by \",\"");
      }
      rest = Trim(rest.substr(1));
    }
  }
  if (legacy_ && (*type == RegExpandString || *type == RegMultiString)) {
    // REGEDIT4 keeps these as single-byte text; the device stores UTF-16.
    std::vector<uint8_t> wide;
    for (uint8_t byte : data_) {
      wide.push_back(byte);
      wide.push_back(0);
    }
    data_ = std::move(wide);
  }
  return true;
}

}  // namespace velmora::regtext
