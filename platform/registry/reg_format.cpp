#include "platform/registry/reg_format.h"

#include <cstdint>
#include <vector>

#include "platform/registry.h"
#include "platform/text.h"

namespace velmora {

namespace {

constexpr std::u16string_view HeaderV5 = u"Windows Registry Editor Version 5.00";
constexpr std::u16string_view HeaderV4 = u"REGEDIT4";
constexpr std::u16string_view RootName = u"HKEY_LOCAL_MACHINE";
constexpr std::u16string_view RootShort = u"HKLM";

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

bool StartsWithIgnoringCase(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// Decodes the file's bytes to UTF-16 text; false when they are not text.
bool DecodeText(std::string_view bytes, std::u16string* text, std::string* error) {
  if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF &&
      static_cast<uint8_t>(bytes[1]) == 0xFE) {
    if (bytes.size() % 2 != 0) {
      *error = "line 1: UTF-16 file with an odd number of bytes";
      return false;
    }
    text->clear();
    for (size_t i = 2; i < bytes.size(); i += 2) {
      text->push_back(static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                            (static_cast<uint8_t>(bytes[i + 1]) << 8)));
    }
    return true;
  }
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    bytes.remove_prefix(3);
  }
  bool valid = true;
  *text = FromUtf8(bytes, &valid);
  if (!valid) {
    if (bytes.substr(0, HeaderV4.size()) == "REGEDIT4") {
      text->clear();  // an old ANSI file: read its bytes as Latin-1
      for (char c : bytes) {
        text->push_back(static_cast<char16_t>(static_cast<uint8_t>(c)));
      }
      return true;
    }
    *error = "line 1: the file is not valid UTF-8 text";
    return false;
  }
  return true;
}

class Parser {
 public:
  Parser(KeyNode& root, std::string* error) : root_(root), error_(error) {}

  bool Run(std::u16string_view text) {
    std::vector<std::u16string_view> lines = SplitLines(text);
    size_t i = 0;
    while (i < lines.size() && Trim(lines[i]).empty()) {
      ++i;
    }
    if (i == lines.size()) {
      return Fail(1, "empty file: expected \"Windows Registry Editor Version 5.00\"");
    }
    std::u16string_view header = Trim(lines[i]);
    if (header == HeaderV5) {
      legacy_ = false;
    } else if (header == HeaderV4) {
      legacy_ = true;
    } else {
      return Fail(i + 1, "not a registry file: expected \"Windows Registry Editor Version 5.00\"");
    }
    for (++i; i < lines.size(); ++i) {
      size_t first = i;
      std::u16string_view line = Trim(lines[i]);
      if (line.empty() || line.front() == u';') {
        continue;
      }
      if (line.front() == u'[') {
        if (!KeyLine(line, first + 1)) {
          return false;
        }
        continue;
      }
      std::u16string logical(line);
      // A hex value goes on over the next lines while a line ends in "\".
      while (!logical.empty() && logical.back() == u'\\' && IsHexValue(logical) &&
             i + 1 < lines.size()) {
        logical.pop_back();
        logical += Trim(lines[++i]);
      }
      if (!ValueLine(logical, first + 1)) {
        return false;
      }
    }
    return true;
  }

 private:
  static std::vector<std::u16string_view> SplitLines(std::u16string_view text) {
    std::vector<std::u16string_view> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == u'\n' || text[i] == u'\r') {
        lines.push_back(text.substr(start, i - start));
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
          ++i;
        }
        start = i + 1;
      }
    }
    if (start < text.size()) {
      lines.push_back(text.substr(start));
    }
    return lines;
  }

  static bool IsHexValue(std::u16string_view line) {
    size_t eq = line.find(u"=hex");
    return eq != std::u16string_view::npos;
  }

  bool Fail(size_t line, const std::string& what) {
    *error_ = "line " + std::to_string(line) + ": " + what;
    return false;
  }

  // Resolves "HKEY_LOCAL_MACHINE\a\b" to its components below the root.
  bool KeyComponents(std::u16string_view path, size_t line,
                     std::vector<std::u16string_view>* parts) {
    std::u16string_view rest;
    if (StartsWithIgnoringCase(path, RootName)) {
      rest = path.substr(RootName.size());
    } else if (StartsWithIgnoringCase(path, RootShort)) {
      rest = path.substr(RootShort.size());
    } else {
      return Fail(line, "only keys below HKEY_LOCAL_MACHINE can be stored");
    }
    if (!rest.empty() && rest.front() != u'\\') {
      return Fail(line, "only keys below HKEY_LOCAL_MACHINE can be stored");
    }
    if (!rest.empty()) {
      rest.remove_prefix(1);
    }
    *parts = SplitKeyPath(rest);
    for (std::u16string_view part : *parts) {
      if (part.empty()) {
        return Fail(line, "empty key name in \"" + ToUtf8(path) + "\"");
      }
    }
    return true;
  }

  bool KeyLine(std::u16string_view line, size_t number) {
    if (line.back() != u']') {
      return Fail(number, "a key line must end with \"]\"");
    }
    std::u16string_view path = line.substr(1, line.size() - 2);
    bool remove = !path.empty() && path.front() == u'-';
    if (remove) {
      path.remove_prefix(1);
    }
    std::vector<std::u16string_view> parts;
    if (!KeyComponents(path, number, &parts)) {
      return false;
    }
    if (remove) {
      current_ = nullptr;
      if (parts.empty()) {
        return Fail(number, "the root key cannot be deleted");
      }
      KeyNode* parent = &root_;
      for (size_t k = 0; parent != nullptr && k + 1 < parts.size(); ++k) {
        parent = parent->FindSubkey(parts[k]);
      }
      if (parent != nullptr) {
        parent->RemoveSubkey(parts.back());
      }
      return true;
    }
    KeyNode* node = &root_;
    for (std::u16string_view part : parts) {
      node = node->AddSubkey(std::u16string(part));
    }
    current_ = node;
    return true;
  }

  // Reads a quoted text starting at text[*pos] == '"'; \\ and \" are escapes.
  static bool Quoted(std::u16string_view text, size_t* pos, std::u16string* out) {
    out->clear();
    for (size_t i = *pos + 1; i < text.size(); ++i) {
      if (text[i] == u'\\' && i + 1 < text.size()) {
        out->push_back(text[++i]);
      } else if (text[i] == u'"') {
        *pos = i + 1;
        return true;
      } else {
        out->push_back(text[i]);
      }
    }
    return false;
  }

  bool ValueLine(std::u16string_view line, size_t number) {
    if (current_ == nullptr) {
      return Fail(number, "a value outside of a key");
    }
    std::u16string name;
    size_t pos = 0;
    if (line.front() == u'@') {
      pos = 1;
    } else if (line.front() == u'"') {
      if (!Quoted(line, &pos, &name)) {
        return Fail(number, "unterminated value name");
      }
    } else {
      return Fail(number, "unexpected text \"" + ToUtf8(line.substr(0, 40)) + "\"");
    }
    std::u16string_view rest = Trim(line.substr(pos));
    if (rest.empty() || rest.front() != u'=') {
      return Fail(number, "expected \"=\" after the value name");
    }
    rest = Trim(rest.substr(1));
    if (rest == u"-") {
      current_->RemoveValue(name);
      return true;
    }
    uint32_t type = 0;
    std::vector<uint8_t> data;
    if (!rest.empty() && rest.front() == u'"') {
      std::u16string text;
      size_t end = 0;
      if (!Quoted(rest, &end, &text) || !Trim(rest.substr(end)).empty()) {
        return Fail(number, "malformed string value");
      }
      type = RegString;
      for (char16_t c : text) {
        data.push_back(static_cast<uint8_t>(c & 0xFF));
        data.push_back(static_cast<uint8_t>(c >> 8));
      }
      data.push_back(0);
      data.push_back(0);
    } else if (StartsWithIgnoringCase(rest, u"dword:")) {
      std::u16string_view digits = rest.substr(6);
      if (digits.empty() || digits.size() > 8) {
        return Fail(number, "a dword needs 1 to 8 hex digits");
      }
      uint32_t value = 0;
      for (char16_t c : digits) {
        int digit = HexDigit(c);
        if (digit < 0) {
          return Fail(number, "a dword needs 1 to 8 hex digits");
        }
        value = value << 4 | static_cast<uint32_t>(digit);
      }
      type = RegNumber;
      for (int k = 0; k < 4; ++k) {
        data.push_back(static_cast<uint8_t>(value >> (8 * k)));
      }
    } else if (StartsWithIgnoringCase(rest, u"hex")) {
      if (!HexValue(rest.substr(3), number, &type, &data)) {
        return false;
      }
    } else {
      return Fail(number, "unknown value data \"" + ToUtf8(rest.substr(0, 40)) + "\"");
    }
    current_->SetValue(name, type, std::move(data));
    return true;
  }

  bool HexValue(std::u16string_view rest, size_t number, uint32_t* type,
                std::vector<uint8_t>* data) {
    *type = RegBinary;
    if (!rest.empty() && rest.front() == u'(') {
      size_t close = rest.find(u')');
      if (close == std::u16string_view::npos || close == 1 || close > 9) {
        return Fail(number, "malformed hex(type)");
      }
      uint32_t value = 0;
      for (char16_t c : rest.substr(1, close - 1)) {
        int digit = HexDigit(c);
        if (digit < 0) {
          return Fail(number, "malformed hex(type)");
        }
        value = value << 4 | static_cast<uint32_t>(digit);
      }
      *type = value;
      rest = rest.substr(close + 1);
    }
    if (rest.empty() || rest.front() != u':') {
      return Fail(number, "expected \":\" after hex");
    }
    rest = Trim(rest.substr(1));
    while (!rest.empty()) {
      if (rest.size() < 2 || HexDigit(rest[0]) < 0 || HexDigit(rest[1]) < 0) {
        return Fail(number, "malformed hex byte");
      }
      data->push_back(static_cast<uint8_t>(HexDigit(rest[0]) << 4 | HexDigit(rest[1])));
      rest = Trim(rest.substr(2));
      if (!rest.empty()) {
        if (rest.front() != u',') {
          return Fail(number, "hex bytes must be separated by \",\"");
        }
        rest = Trim(rest.substr(1));
      }
    }
    if (legacy_ && (*type == RegExpandString || *type == RegMultiString)) {
      // REGEDIT4 keeps these as single-byte text; the device stores UTF-16.
      std::vector<uint8_t> wide;
      for (uint8_t byte : *data) {
        wide.push_back(byte);
        wide.push_back(0);
      }
      *data = std::move(wide);
    }
    return true;
  }

  KeyNode& root_;
  std::string* error_;
  KeyNode* current_ = nullptr;
  bool legacy_ = false;
};

// A string value that the quoted form carries exactly.
bool PrintableString(const std::vector<uint8_t>& data, std::u16string* text) {
  if (data.size() < 2 || data.size() % 2 != 0) {
    return false;
  }
  text->clear();
  for (size_t i = 0; i + 2 < data.size(); i += 2) {
    text->push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
  }
  if (data[data.size() - 2] != 0 || data[data.size() - 1] != 0) {
    return false;
  }
  for (size_t i = 0; i < text->size(); ++i) {
    char16_t c = (*text)[i];
    if (c < 0x20 || c == 0x7F) {
      return false;
    }
    bool high = c >= 0xD800 && c <= 0xDBFF;
    bool low = c >= 0xDC00 && c <= 0xDFFF;
    if (low) {
      return false;
    }
    if (high) {
      if (i + 1 >= text->size() || (*text)[i + 1] < 0xDC00 || (*text)[i + 1] > 0xDFFF) {
        return false;
      }
      ++i;
    }
  }
  return true;
}

std::string QuotedText(std::u16string_view text) {
  std::string out = "\"";
  for (char c : ToUtf8(text)) {
    if (c == '\\' || c == '"') {
      out.push_back('\\');
    }
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

void AppendHex(std::string& out, size_t prefixLength, const std::vector<uint8_t>& data) {
  static const char* const Digits = "0123456789abcdef";
  size_t column = prefixLength;
  for (size_t i = 0; i < data.size(); ++i) {
    out.push_back(Digits[data[i] >> 4]);
    out.push_back(Digits[data[i] & 0xF]);
    column += 2;
    if (i + 1 < data.size()) {
      out.push_back(',');
      ++column;
      if (column > 76) {
        out += "\\\n  ";
        column = 2;
      }
    }
  }
}

void FormatValue(std::string& out, const RegValue& value) {
  std::string line = value.name.empty() ? "@=" : QuotedText(value.name) + "=";
  std::u16string text;
  if (value.type == RegString && PrintableString(value.data, &text)) {
    line += QuotedText(text);
  } else if (value.type == RegNumber && value.data.size() == 4) {
    char buffer[16];
    uint32_t number = static_cast<uint32_t>(value.data[0]) | value.data[1] << 8 |
                      value.data[2] << 16 | static_cast<uint32_t>(value.data[3]) << 24;
    std::snprintf(buffer, sizeof buffer, "dword:%08x", number);
    line += buffer;
  } else {
    if (value.type == RegBinary) {
      line += "hex:";
    } else {
      char buffer[24];
      std::snprintf(buffer, sizeof buffer, "hex(%x):", value.type);
      line += buffer;
    }
    AppendHex(line, line.size(), value.data);
  }
  out += line;
  out += '\n';
}

void FormatKey(std::string& out, const KeyNode& key, const std::u16string& path) {
  out += "[" + ToUtf8(path) + "]\n";
  for (const RegValue& value : key.values()) {
    FormatValue(out, value);
  }
  out += '\n';
  for (size_t i = 0; i < key.SubkeyCount(); ++i) {
    const KeyNode* child = key.Subkey(i);
    FormatKey(out, *child, path + u"\\" + child->name());
  }
}

}  // namespace

bool ParseRegText(std::string_view bytes, KeyNode& root, std::string* error) {
  std::u16string text;
  if (!DecodeText(bytes, &text, error)) {
    return false;
  }
  Parser parser(root, error);
  return parser.Run(text);
}

std::string FormatRegText(const KeyNode& root) {
  std::string out = "Windows Registry Editor Version 5.00\n\n";
  FormatKey(out, root, std::u16string(RootName));
  return out;
}

}  // namespace velmora
