#include "platform/registry/reg_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <span>
#include <vector>

#include "platform/registry.h"
#include "platform/registry/reg_writer.h"
#include "platform/registry/registry_limits.h"
#include "platform/text.h"

namespace velmora {

namespace {

constexpr std::string_view HeaderV5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view HeaderV4 = "REGEDIT4";
constexpr std::string_view RootName = "HKEY_LOCAL_MACHINE";
constexpr std::string_view RootShort = "HKLM";
constexpr char EndOfFileMark = 0x1A;

std::string LineError(size_t line, std::string_view what) {
  return "line " + std::to_string(line) + ": " + std::string(what);
}

size_t LineOf(std::string_view text, size_t offset) {
  size_t line = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    line += text[i] == '\n';
  }
  return line;
}

// Offset of the first byte that is not part of well-formed UTF-8 (no
// overlong forms, no surrogates, nothing above U+10FFFF), or npos.
size_t FindInvalidUtf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  size_t i = 0;
  while (i < text.size()) {
    // Eight ASCII bytes at a time: most of a registry file is ASCII.
    uint64_t word = 0;
    while (i + 8 <= text.size() &&
           (std::memcpy(&word, bytes + i, 8), (word & 0x8080808080808080u) == 0)) {
      i += 8;
    }
    if (i == text.size()) {
      break;
    }
    uint8_t b = bytes[i];
    if (b < 0x80) {
      ++i;
      continue;
    }
    size_t extra;
    uint32_t cp;
    if (b >= 0xC2 && b <= 0xDF) {
      extra = 1;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      extra = 2;
      cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      extra = 3;
      cp = b & 0x07;
    } else {
      return i;
    }
    if (i + extra >= text.size()) {
      return i;
    }
    for (size_t k = 1; k <= extra; ++k) {
      if ((bytes[i + k] & 0xC0) != 0x80) {
        return i;
      }
      cp = cp << 6 | (bytes[i + k] & 0x3F);
    }
    bool overlong = (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000);
    if (overlong || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
      return i;
    }
    i += extra + 1;
  }
  return std::string_view::npos;
}

// UTF-16LE bytes (after the byte-order mark) to UTF-8; an unpaired
// surrogate cannot be stored as text and is an error.
bool Utf16ToUtf8(std::string_view bytes, std::string* out, std::string* error) {
  if (bytes.size() % 2 != 0) {
    *error = LineError(1, "UTF-16 file with an odd number of bytes");
    return false;
  }
  std::u16string units(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                     static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
  }
  size_t line = 1;
  for (size_t i = 0; i < units.size(); ++i) {
    char16_t c = units[i];
    line += c == u'\n';
    bool high = c >= 0xD800 && c <= 0xDBFF;
    bool low = c >= 0xDC00 && c <= 0xDFFF;
    if (low ||
        (high && (i + 1 == units.size() || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF))) {
      *error = LineError(line, "an unpaired UTF-16 surrogate cannot be stored");
      return false;
    }
    i += high;
  }
  out->clear();
  out->reserve(units.size());
  AppendUtf8(*out, units);
  return true;
}

// Brings the file's bytes to UTF-8 text that ends at an end-of-file mark.
bool DecodeText(std::string_view bytes, std::string* storage, std::string_view* text,
                std::string* error) {
  if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF &&
      static_cast<uint8_t>(bytes[1]) == 0xFE) {
    if (!Utf16ToUtf8(bytes.substr(2), storage, error)) {
      return false;
    }
    bytes = *storage;
  } else if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    bytes.remove_prefix(3);
  }
  size_t end = bytes.find(EndOfFileMark);
  if (end != std::string_view::npos) {
    bytes = bytes.substr(0, end);
  }
  size_t invalid = FindInvalidUtf8(bytes);
  if (invalid != std::string_view::npos) {
    if (bytes.substr(0, HeaderV4.size()) != HeaderV4) {
      *error = LineError(LineOf(bytes, invalid), "the text is not valid UTF-8");
      return false;
    }
    std::string latin1;  // an old ANSI file: its bytes are Latin-1
    latin1.reserve(bytes.size() * 2);
    for (char c : bytes) {
      auto b = static_cast<uint8_t>(c);
      if (b < 0x80) {
        latin1.push_back(c);
      } else {
        latin1.push_back(static_cast<char>(0xC0 | b >> 6));
        latin1.push_back(static_cast<char>(0x80 | (b & 0x3F)));
      }
    }
    *storage = std::move(latin1);
    bytes = *storage;
  }
  *text = bytes;
  return true;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

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

// The registry the lines go into: a tree in memory.
class TreeSink final : public RegSink {
 public:
  TreeSink(KeyNode& root, TreeChange& change) : root_(root), change_(change) {}

  bool Key(std::span<const std::u16string> path, bool remove, std::string*) override {
    if (remove) {
      current_ = nullptr;
      chain_.clear();
      KeyNode* parent = &root_;
      for (size_t k = 0; parent != nullptr && k + 1 < path.size(); ++k) {
        parent = parent->FindSubkey(path[k]);
      }
      if (parent != nullptr) {
        change_.RemoveKey(*parent, path.back());
      }
      return true;
    }
    // Files list keys one below another: start from what the last key line
    // already walked.
    if (chain_.empty()) {
      chain_.push_back(&root_);
    }
    size_t depth = 0;
    while (depth < path.size() && depth + 1 < chain_.size() &&
           EqualsIgnoringCaseFast(chain_[depth + 1]->name(), path[depth])) {
      ++depth;
    }
    chain_.resize(depth + 1);
    KeyNode* node = chain_.back();
    for (; depth < path.size(); ++depth) {
      node = change_.CreateKey(*node, path[depth]);
      chain_.push_back(node);
    }
    current_ = node;
    return true;
  }
  void ExpectValues(size_t count) override {
    current_->ReserveValues(current_->ValueCount() + count);
  }
  bool SetValue(std::u16string_view name, uint32_t type, std::span<const uint8_t> data,
                std::string*) override {
    change_.SetValue(*current_, name, type, data);
    return true;
  }
  bool RemoveValue(std::u16string_view name, std::string*) override {
    change_.RemoveValue(*current_, name);
    return true;
  }

 private:
  static bool EqualsIgnoringCaseFast(std::u16string_view a, std::u16string_view b) {
    return a == b || EqualsIgnoringCase(a, b);
  }

  KeyNode& root_;
  TreeChange& change_;
  KeyNode* current_ = nullptr;
  std::vector<KeyNode*> chain_;  // root and the keys of the last key line
};

class Reader {
 public:
  Reader(RegSink& sink, std::string* error) : sink_(sink), error_(error) {}

  // Reads text from more (appended to its argument; false on a read error
  // with *error set) a piece at a time instead of from one whole text.
  void Stream(const std::function<bool(std::string*, bool*, std::string*)>* more) {
    more_ = more;
    eof_ = false;
  }

  // The lines after the header.
  bool RunLines(std::string_view text) {
    text_ = text;
    return Body();
  }

  bool Run(std::string_view text) {
    text_ = text;
    std::string_view line;
    while (NextLine(&line) && Trim(line).empty()) {
    }
    if (failed_) {
      return false;
    }
    std::string_view header = Trim(line);
    if (header.empty()) {
      return Fail(1, "empty file: expected \"Windows Registry Editor Version 5.00\"");
    }
    if (header == HeaderV4) {
      legacy_ = true;
    } else if (header != HeaderV5) {
      return Fail(lineNumber_,
                  "not a registry file: expected \"Windows Registry Editor Version 5.00\"");
    }
    return Body();
  }

 private:
  bool Body() {
    std::string_view line;
    while (NextLine(&line)) {
      size_t number = lineNumber_;
      line = Trim(line);
      if (line.empty() || line.front() == ';') {
        continue;
      }
      bool ok = line.front() == '[' ? KeyLine(line, number) : ValueLine(line, number);
      if (!ok) {
        return false;
      }
    }
    return !failed_;
  }

  // Reads on until the text from position_ holds a whole line (its end
  // and the byte after it, to tell "\r\n"), or all there is.
  // Bytes already searched are not searched again, so that a long line
  // costs its length, not its length times the number of pieces.
  bool HaveLine() {
    while (!eof_) {
      size_t end = text_.find_first_of("\r\n", std::max(position_, scanned_));
      if (end != std::string_view::npos && end + 1 < text_.size()) {
        return true;
      }
      scanned_ = end != std::string_view::npos ? end : text_.size();
      buffer_.erase(0, position_);
      scanned_ -= std::min(scanned_, position_);
      position_ = 0;
      if (!(*more_)(&buffer_, &eof_, error_)) {
        failed_ = true;
        return false;
      }
      text_ = buffer_;
    }
    return true;
  }

  // A line read piece by piece is checked on its own: not UTF-8 is an
  // error, or Latin-1 in a REGEDIT4 file.
  bool CheckEncoding(std::string_view* line) {
    size_t invalid = FindInvalidUtf8(*line);
    if (invalid == std::string_view::npos) {
      return true;
    }
    if (!legacy_) {
      failed_ = true;
      Fail(lineNumber_ + 1, "the text is not valid UTF-8");
      return false;
    }
    latin1_.clear();
    for (char c : *line) {
      auto b = static_cast<uint8_t>(c);
      if (b < 0x80) {
        latin1_.push_back(c);
      } else {
        latin1_.push_back(static_cast<char>(0xC0 | b >> 6));
        latin1_.push_back(static_cast<char>(0x80 | (b & 0x3F)));
      }
    }
    *line = latin1_;
    return true;
  }

  bool NextLine(std::string_view* line) {
    if (more_ != nullptr && !HaveLine()) {
      return false;
    }
    if (position_ >= text_.size()) {
      *line = {};
      return false;
    }
    size_t end = position_;
    while (end < text_.size() && text_[end] != '\n' && text_[end] != '\r') {
      ++end;
    }
    *line = text_.substr(position_, end - position_);
    if (more_ != nullptr && !CheckEncoding(line)) {
      return false;
    }
    if (end < text_.size() && text_[end] == '\r' && end + 1 < text_.size() &&
        text_[end + 1] == '\n') {
      ++end;
    }
    position_ = end + 1;
    ++lineNumber_;
    return true;
  }

  bool Fail(size_t line, std::string_view what) {
    *error_ = LineError(line, what);
    return false;
  }

  // The path's components below the root, each a valid key name.
  bool KeyComponents(std::string_view path, size_t line) {
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

  bool KeyLine(std::string_view line, size_t number) {
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
  size_t ValueLinesAhead() const {
    size_t count = 0;
    for (size_t at = position_; at < text_.size();) {
      while (at < text_.size() && IsBlank(text_[at])) {
        ++at;
      }
      if (at < text_.size() && text_[at] == '[') {
        break;
      }
      count += at < text_.size() && (text_[at] == '"' || text_[at] == '@');
      size_t end = text_.find('\n', at);
      at = end == std::string_view::npos ? text_.size() : end + 1;
    }
    return count;
  }

  // Reads a quoted text that starts at text[*pos] == '"'; "\x" stands for x.
  static bool Quoted(std::string_view text, size_t* pos, std::u16string* out) {
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

  static bool IsHexValue(std::string_view line) { return line.find("=hex") != line.npos; }

  bool ValueLine(std::string_view line, size_t number) {
    // A hex value goes on over the next lines while a line ends in "\".
    if (line.back() == '\\' && IsHexValue(line)) {
      joined_.assign(line);
      std::string_view next;
      while (!joined_.empty() && joined_.back() == '\\' && NextLine(&next)) {
        joined_.pop_back();
        joined_ += Trim(next);
      }
      if (failed_) {
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

  bool TooLarge(size_t number) {
    return Fail(number, "a value larger than " + std::to_string(MaxValueSize) + " bytes");
  }

  bool Dword(std::string_view digits, size_t number) {
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

  bool HexValue(std::string_view rest, size_t number, uint32_t* type) {
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

  RegSink& sink_;
  std::string* error_;
  std::string_view text_;
  size_t position_ = 0;
  size_t lineNumber_ = 0;
  bool legacy_ = false;
  bool haveKey_ = false;  // a key line came, and it did not delete
  bool failed_ = false;
  const std::function<bool(std::string*, bool*, std::string*)>* more_ = nullptr;
  size_t scanned_ = 0;  // where HaveLine's search for a line end goes on
  bool eof_ = true;
  std::string buffer_;  // the text read piece by piece, from the line being read
  std::string latin1_;
  std::vector<std::u16string> components_;  // the first componentCount_ are this line's
  size_t componentCount_ = 0;
  std::string joined_;
  std::u16string name_;
  std::u16string textValue_;
  std::vector<uint8_t> data_;
};

}  // namespace

bool ReadRegText(std::string_view bytes, KeyNode& root, TreeChange& change, std::string* error) {
  std::string storage;
  std::string_view text;
  if (!DecodeText(bytes, &storage, &text, error)) {
    return false;
  }
  TreeSink sink(root, change);
  Reader reader(sink, error);
  return reader.Run(text);
}

bool ReadRegLines(std::string_view lines, KeyNode& root, TreeChange& change, std::string* error) {
  size_t invalid = FindInvalidUtf8(lines);
  if (invalid != std::string_view::npos) {
    *error = LineError(LineOf(lines, invalid), "the text is not valid UTF-8");
    return false;
  }
  TreeSink sink(root, change);
  Reader reader(sink, error);
  return reader.RunLines(lines);
}

bool ReadRegText(std::string_view bytes, KeyNode& root, std::string* error) {
  TreeChange change(TreeChange::Options{});
  return ReadRegText(bytes, root, change, error);
}

}  // namespace velmora

namespace velmora {

namespace {

// Turns the bytes of a file, a piece at a time, into UTF-8 text up to an
// end-of-file mark, as DecodeText does for a whole file.
class StreamDecoder {
 public:
  explicit StreamDecoder(const std::function<bool(std::string*, bool*, std::string*)>& read)
      : read_(read) {}

  bool More(std::string* text, bool* eof, std::string* error) {
    std::string bytes;
    bool end = false;
    if (!read_(&bytes, &end, error)) {
      return false;
    }
    if (first_) {
      first_ = false;
      if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF &&
          static_cast<uint8_t>(bytes[1]) == 0xFE) {
        utf16_ = true;
        bytes.erase(0, 2);
      } else if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.erase(0, 3);
      }
    }
    std::string decoded;
    if (utf16_) {
      carry_ += bytes;
      size_t usable = end ? carry_.size() : carry_.size() & ~size_t{1};
      // A high surrogate at the end waits for its partner.
      if (!end && usable >= 2) {
        auto last = static_cast<uint16_t>(static_cast<uint8_t>(carry_[usable - 2]) |
                                          static_cast<uint8_t>(carry_[usable - 1]) << 8);
        if (last >= 0xD800 && last <= 0xDBFF) {
          usable -= 2;
        }
      }
      if (!Utf16ToUtf8(std::string_view(carry_).substr(0, usable), &decoded, error)) {
        return false;
      }
      carry_.erase(0, usable);
    } else {
      decoded = std::move(bytes);
    }
    size_t mark = decoded.find(EndOfFileMark);
    if (mark != std::string::npos) {
      decoded.resize(mark);
      end = true;
    }
    text->append(decoded);
    *eof = end;
    return true;
  }

 private:
  const std::function<bool(std::string*, bool*, std::string*)>& read_;
  bool first_ = true;
  bool utf16_ = false;
  std::string carry_;
};

}  // namespace

bool ReadRegStream(const std::function<bool(std::string*, bool*, std::string*)>& read,
                   RegSink& sink, std::string* error) {
  StreamDecoder decoder(read);
  std::function<bool(std::string*, bool*, std::string*)> more =
      [&](std::string* text, bool* eof, std::string* why) { return decoder.More(text, eof, why); };
  Reader reader(sink, error);
  reader.Stream(&more);
  return reader.Run({});
}

}  // namespace velmora
