#include "platform/registry/bsp_reg.h"

#include <cstdio>
#include <map>

#include "platform/registry/bsp_limits.h"
#include "platform/registry/bsp_preprocessor.h"
#include "platform/text.h"

namespace velmora {

namespace {

constexpr uint32_t OwnLine = UINT32_MAX;

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

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

std::string Upper(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 32);
    }
  }
  return result;
}

bool StartsIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && Upper(text.substr(0, prefix.size())) == Upper(prefix);
}

bool IsName(std::string_view text) {
  for (char c : text) {
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) {
      return false;
    }
  }
  return !text.empty();
}

// A quoted text at the start of text ("\" escapes the next character):
// its characters in *out, the rest after the closing quote in *rest.
bool Quoted(std::string_view text, std::string* out, std::string_view* rest) {
  if (text.empty() || text.front() != '"') {
    return false;
  }
  out->clear();
  for (size_t i = 1; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      out->push_back(text[++i]);
    } else if (text[i] == '"') {
      *rest = text.substr(i + 1);
      return true;
    } else {
      out->push_back(text[i]);
    }
  }
  return false;
}

// A text as regedit quotes it.
std::string Quote(std::string_view text) {
  std::string result = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') {
      result.push_back('\\');
    }
    result.push_back(c);
  }
  return result + "\"";
}

void AppendHexByte(std::string& out, uint8_t byte) {
  static const char Digits[] = "0123456789abcdef";
  if (out.back() != ':') {
    out.push_back(',');
  }
  out.push_back(Digits[byte >> 4]);
  out.push_back(Digits[byte & 15]);
}

// A text as UTF-16LE hex bytes with its terminating zero.
void AppendWideText(std::string& out, std::string_view text) {
  for (char16_t unit : FromUtf8(text)) {
    AppendHexByte(out, static_cast<uint8_t>(unit & 0xFF));
    AppendHexByte(out, static_cast<uint8_t>(unit >> 8));
  }
  AppendHexByte(out, 0);
  AppendHexByte(out, 0);
}

// The --strings table: "LOC_NAME text", "LOC_NAME=text", with "#define"
// before and the text in quotes or not.
bool ReadStrings(const BspOptions& options, std::map<std::string, std::string>* table,
                 std::string* error) {
  std::string found;
  std::string key;
  std::string text;
  if (!FindBspFile(options.stringsFile, options, &found, &key)) {
    *error = "cannot find the strings table '" + options.stringsFile + "'";
    return false;
  }
  if (!ReadBspFile(found, options, &text, error)) {
    return false;
  }
  uint32_t number = 0;
  size_t position = 0;
  while (position < text.size()) {
    size_t end = text.find('\n', position);
    end = end == std::string::npos ? text.size() : end;
    std::string_view line = std::string_view(text).substr(position, end - position);
    position = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    line = Trim(BspWithoutComment(line));
    if (line.empty()) {
      continue;
    }
    if (StartsIgnoringCase(line, "#define") && line.size() > 7 && IsBlank(line[7])) {
      line = Trim(line.substr(7));
    }
    size_t nameEnd = 0;
    while (nameEnd < line.size() && IsName(line.substr(nameEnd, 1))) {
      ++nameEnd;
    }
    std::string_view value = Trim(line.substr(nameEnd));
    if (!value.empty() && value.front() == '=') {
      value = Trim(value.substr(1));
    }
    std::string unquoted;
    std::string_view rest;
    bool quoted = !value.empty() && value.front() == '"';
    if (nameEnd == 0 || (quoted && (!Quoted(value, &unquoted, &rest) || !Trim(rest).empty()))) {
      *error = found + ": line " + std::to_string(number) + ": expected \"LOC_NAME \"text\"\"";
      return false;
    }
    (*table)[Upper(line.substr(0, nameEnd))] = quoted ? unquoted : std::string(value);
  }
  return true;
}

}  // namespace

// Writes the lines that count as version 5.00 text, keeping where each
// line came from.
class BspWriter {
 public:
  BspWriter(const BspPreprocessor& source, const std::map<std::string, std::string>& strings,
            BspTranslation& out)
      : source_(source), strings_(strings), out_(out) {}

  bool Run(std::string* error) {
    Emit("Windows Registry Editor Version 5.00", OwnLine, 0);
    const std::vector<BspLine>& lines = source_.lines();
    for (size_t i = 0; i < lines.size(); ++i) {
      const BspLine& line = lines[i];
      std::string_view text = line.text;
      bool ok = true;
      if (text.empty()) {
        continue;
      }
      if (text.front() == '[') {
        ok = KeyLine(line);
      } else if (text.front() == '"' || text.front() == '@') {
        ok = ValueLine(lines, &i);
      } else if (text != "Windows Registry Editor Version 5.00" && text != "REGEDIT4") {
        ok = Fail(line, "unexpected text \"" + std::string(text.substr(0, 40)) + "\"");
      }
      if (!ok) {
        *error = error_;
        return false;
      }
      if (out_.text_.size() > MaxBspTotalSize) {
        *error = Where(line) + "the registry made from the files is larger than " +
                 std::to_string(MaxBspTotalSize) + " bytes";
        return false;
      }
    }
    for (const auto& [root, first] : otherRoots_) {
      out_.warnings_.push_back(first.where + "left out " + std::to_string(first.count) +
                               " key(s) below " + root +
                               ": the device's registry holds HKEY_LOCAL_MACHINE only");
    }
    if (!missingTexts_.empty()) {
      std::string names;
      for (const std::string& name : missingTexts_) {
        names += (names.empty() ? "" : ", ") + name;
      }
      out_.warnings_.push_back("no text for " + names +
                               " (give it with -D NAME=TEXT or --strings FILE): the name is "
                               "stored as the text");
    }
    return true;
  }

 private:
  struct OtherRoot {
    std::string where;
    size_t count;
  };

  std::string Where(const BspLine& line) const {
    return source_.fileNames()[line.file] + ": line " + std::to_string(line.line) + ": ";
  }

  bool Fail(const BspLine& line, const std::string& what) {
    error_ = Where(line) + what;
    return false;
  }

  void Emit(std::string_view text, uint32_t file, uint32_t line) {
    out_.text_.append(text);
    out_.text_.push_back('\n');
    out_.origins_.push_back({file, line});
  }

  bool KeyLine(const BspLine& line) {
    std::string_view text = line.text;
    if (text.back() != ']') {
      return Fail(line, "a key line must end with \"]\"");
    }
    std::string_view path = Trim(text.substr(1, text.size() - 2));
    bool remove = !path.empty() && path.front() == '-';
    if (remove) {
      path = Trim(path.substr(1));
    }
    std::string root = Upper(path.substr(0, path.find('\\')));
    std::string_view below = path;
    inKey_ = true;
    skipping_ = false;
    if (root == "HKEY_LOCAL_MACHINE" || root == "HKLM") {
      below = path.substr(root.size());
      below.remove_prefix(below.empty() ? 0 : 1);
    } else if (StartsIgnoringCase(root, "HKEY_") || root == "HKCU" || root == "HKCR" ||
               root == "HKU" || root == "HKCC") {
      auto [entry, added] = otherRoots_.try_emplace(root, OtherRoot{Where(line), 0});
      ++entry->second.count;
      skipping_ = true;
      return true;
    }
    std::string key = remove ? "[-HKEY_LOCAL_MACHINE" : "[HKEY_LOCAL_MACHINE";
    if (!below.empty()) {
      key += "\\" + std::string(below);
    }
    Emit(key + "]", line.file, line.line);
    return true;
  }

  bool ValueLine(const std::vector<BspLine>& lines, size_t* index) {
    const BspLine& line = lines[*index];
    std::string_view text = line.text;
    std::string name;
    std::string_view rest;
    if (text.front() == '@') {
      rest = text.substr(1);
    } else if (!Quoted(text, &name, &rest)) {
      return Fail(line, "unterminated value name");
    }
    rest = Trim(rest);
    if (rest.empty() || rest.front() != '=') {
      return Fail(line, "expected \"=\" after the value name");
    }
    std::string data(Trim(rest.substr(1)));
    // Continued values: a "\" at the end, or a list that ends in ",".
    while (!data.empty() && *index + 1 < lines.size()) {
      bool list = StartsIgnoringCase(data, "hex") || StartsIgnoringCase(data, "multi_sz");
      if (data.back() == '\\') {
        data.pop_back();
      } else if (!(list && data.back() == ',')) {
        break;
      }
      data += lines[++*index].text;
      if (data.size() > MaxBspLineLength) {
        return Fail(line, "a value longer than " + std::to_string(MaxBspLineLength) + " bytes");
      }
    }
    if (!inKey_) {
      return Fail(line, "a value outside of a key");
    }
    if (skipping_) {
      return true;
    }
    std::string value;
    if (!Data(line, Trim(data), &value)) {
      return false;
    }
    Emit((text.front() == '@' ? std::string("@") : Quote(name)) + "=" + value, line.file,
         line.line);
    return true;
  }

  bool Data(const BspLine& line, std::string_view data, std::string* value) {
    std::string text;
    std::string_view rest;
    if (data == "-") {
      *value = "-";
    } else if (!data.empty() && data.front() == '"') {
      if (!Quoted(data, &text, &rest) || !Trim(rest).empty()) {
        return Fail(line, "malformed string value");
      }
      *value = Quote(text);
    } else if (StartsIgnoringCase(data, "dword:")) {
      std::string_view digits = Trim(data.substr(6));
      uint32_t number = 0;
      bool wellFormed = !digits.empty() && digits.size() <= 8;
      for (char c : digits) {
        wellFormed = wellFormed && HexDigit(c) >= 0;
        number = number << 4 | static_cast<uint32_t>(wellFormed ? HexDigit(c) : 0);
      }
      if (!wellFormed) {
        return Fail(line, "a dword needs 1 to 8 hex digits, not \"" +
                              std::string(digits.substr(0, 40)) + "\"");
      }
      char formatted[16];
      std::snprintf(formatted, sizeof formatted, "dword:%08x", number);
      *value = formatted;
    } else if (StartsIgnoringCase(data, "hex")) {
      return Hex(line, data.substr(3), value);
    } else if (StartsIgnoringCase(data, "multi_sz:")) {
      *value = "hex(7):";
      rest = Trim(data.substr(9));
      while (!rest.empty()) {
        if (!Quoted(rest, &text, &rest)) {
          return Fail(line, "multi_sz: expects texts in quotes, separated by \",\"");
        }
        AppendWideText(*value, text);
        rest = Trim(rest);
        if (!rest.empty() && rest.front() == ',') {
          rest = Trim(rest.substr(1));
        } else if (!rest.empty()) {
          return Fail(line, "multi_sz: expects texts in quotes, separated by \",\"");
        }
      }
      AppendHexByte(*value, 0);
      AppendHexByte(*value, 0);
    } else if (StartsIgnoringCase(data, "expand_sz:")) {
      if (!Quoted(Trim(data.substr(10)), &text, &rest) || !Trim(rest).empty()) {
        return Fail(line, "expand_sz: expects a text in quotes");
      }
      *value = "hex(2):";
      AppendWideText(*value, text);
    } else if (StartsIgnoringCase(data, "LOC_") && IsName(data)) {
      *value = Quote(LocalText(data));
    } else {
      return Fail(line, "unknown value data \"" + std::string(data.substr(0, 40)) + "\"");
    }
    return true;
  }

  bool Hex(const BspLine& line, std::string_view rest, std::string* value) {
    *value = "hex";
    if (!rest.empty() && rest.front() == '(') {
      size_t close = rest.find(')');
      if (close == std::string_view::npos || close == 1 || close > 9) {
        return Fail(line, "malformed hex(type)");
      }
      for (char c : rest.substr(1, close - 1)) {
        if (HexDigit(c) < 0) {
          return Fail(line, "malformed hex(type)");
        }
      }
      *value += std::string(rest.substr(0, close + 1));
      rest = rest.substr(close + 1);
    }
    rest = Trim(rest);
    if (rest.empty() || rest.front() != ':') {
      return Fail(line, "expected \":\" after hex");
    }
    *value += ":";
    rest = Trim(rest.substr(1));
    while (!rest.empty()) {
      size_t digits = 0;
      while (digits < rest.size() && digits < 3 && HexDigit(rest[digits]) >= 0) {
        ++digits;
      }
      if (digits == 0 || digits > 2) {
        return Fail(line, "malformed hex byte");
      }
      uint8_t byte = static_cast<uint8_t>(HexDigit(rest[0]));
      if (digits == 2) {
        byte = static_cast<uint8_t>(byte << 4 | HexDigit(rest[1]));
      }
      AppendHexByte(*value, byte);
      rest = Trim(rest.substr(digits));
      if (!rest.empty()) {
        if (rest.front() != ',') {
          return Fail(line, "hex bytes must be separated by \",\"");
        }
        rest = Trim(rest.substr(1));
      }
    }
    return true;
  }

  std::string LocalText(std::string_view name) {
    std::string text;
    std::string_view rest;
    if (source_.Defined(name, &text)) {
      std::string unquoted;
      return Quoted(text, &unquoted, &rest) && Trim(rest).empty() ? unquoted : text;
    }
    auto found = strings_.find(Upper(name));
    if (found != strings_.end()) {
      return found->second;
    }
    for (const std::string& missing : missingTexts_) {
      if (missing == name) {
        return missing;
      }
    }
    missingTexts_.emplace_back(name);
    return std::string(name);
  }

  const BspPreprocessor& source_;
  const std::map<std::string, std::string>& strings_;
  BspTranslation& out_;
  std::string error_;
  bool inKey_ = false;
  bool skipping_ = false;
  std::map<std::string, OtherRoot> otherRoots_;
  std::vector<std::string> missingTexts_;
};

bool TranslateBspFiles(const std::vector<std::string>& files, const BspOptions& options,
                       BspTranslation* result, std::string* error) {
  *result = BspTranslation();
  std::map<std::string, std::string> strings;
  if (!options.stringsFile.empty() && !ReadStrings(options, &strings, error)) {
    return false;
  }
  BspPreprocessor source(options);
  if (!source.Start(error)) {
    return false;
  }
  for (const std::string& file : files) {
    if (!source.ReadFile(file, error)) {
      return false;
    }
  }
  result->warnings_ = source.warnings();
  result->fileNames_ = source.fileNames();
  BspWriter writer(source, strings, *result);
  return writer.Run(error);
}

std::string BspTranslation::Explain(std::string_view readerError) const {
  std::string_view rest = readerError;
  if (rest.substr(0, 5) != "line ") {
    return std::string(readerError);
  }
  rest.remove_prefix(5);
  size_t number = 0;
  size_t digits = 0;
  while (digits < rest.size() && digits < 12 && rest[digits] >= '0' && rest[digits] <= '9') {
    number = number * 10 + static_cast<size_t>(rest[digits] - '0');
    ++digits;
  }
  rest.remove_prefix(digits);
  if (digits == 0 || rest.substr(0, 2) != ": " || number == 0 || number > origins_.size() ||
      origins_[number - 1].file == OwnLine) {
    return std::string(readerError);
  }
  const Origin& origin = origins_[number - 1];
  return fileNames_[origin.file] + ": line " + std::to_string(origin.line) + ": " +
         std::string(rest.substr(2));
}

}  // namespace velmora
