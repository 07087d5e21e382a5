#include "platform/registry/bsp_value.h"

#include <cstdio>

#include "platform/registry/bsp_syntax.h"
#include "platform/text.h"

namespace velmora {

namespace {

bool Fail(std::string* what, std::string text) {
  *what = std::move(text);
  return false;
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

bool Hex(std::string_view rest, std::string* value, std::string* what) {
  *value = "hex";
  if (!rest.empty() && rest.front() == '(') {
    size_t close = rest.find(')');
    if (close == std::string_view::npos || close == 1 || close > 9) {
      return Fail(what, "malformed hex(type)");
    }
    for (char c : rest.substr(1, close - 1)) {
      if (HexDigit(c) < 0) {
        return Fail(what, "malformed hex(type)");
      }
    }
    *value += std::string(rest.substr(0, close + 1));
    rest = rest.substr(close + 1);
  }
  rest = BspTrim(rest);
  if (rest.empty() || rest.front() != ':') {
    return Fail(what, "expected \":\" after hex");
  }
  *value += ":";
  rest = BspTrim(rest.substr(1));
  while (!rest.empty()) {
    size_t digits = 0;
    while (digits < rest.size() && digits < 3 && HexDigit(rest[digits]) >= 0) {
      ++digits;
    }
    if (digits == 0 || digits > 2) {
      return Fail(what, "malformed hex byte");
    }
    uint8_t byte = static_cast<uint8_t>(HexDigit(rest[0]));
    if (digits == 2) {
      byte = static_cast<uint8_t>(byte << 4 | HexDigit(rest[1]));
    }
    AppendHexByte(*value, byte);
    rest = BspTrim(rest.substr(digits));
    if (!rest.empty()) {
      if (rest.front() != ',') {
        return Fail(what, "hex bytes must be separated by \",\"");
      }
      rest = BspTrim(rest.substr(1));
    }
  }
  return true;
}

}  // namespace

bool ValueData(std::string_view data, const BspLocalText& localText, std::string* value,
               std::string* what) {
  std::string text;
  std::string_view rest;
  if (data == "-") {
    *value = "-";
  } else if (!data.empty() && data.front() == '"') {
    if (!BspQuoted(data, &text, &rest) || !BspTrim(rest).empty()) {
      return Fail(what, "malformed string value");
    }
    *value = BspQuote(text);
  } else if (BspStartsIgnoringCase(data, "dword:")) {
    std::string_view digits = BspTrim(data.substr(6));
    uint32_t number = 0;
    bool wellFormed = !digits.empty() && digits.size() <= 8;
    for (char c : digits) {
      wellFormed = wellFormed && HexDigit(c) >= 0;
      number = number << 4 | static_cast<uint32_t>(wellFormed ? HexDigit(c) : 0);
    }
    if (!wellFormed) {
      return Fail(what, "a dword needs 1 to 8 hex digits, not \"" +
                            std::string(digits.substr(0, 40)) + "\"");
    }
    char formatted[16];
    std::snprintf(formatted, sizeof formatted, "dword:%08x", number);
    *value = formatted;
  } else if (BspStartsIgnoringCase(data, "hex")) {
    return Hex(data.substr(3), value, what);
  } else if (BspStartsIgnoringCase(data, "multi_sz:")) {
    *value = "hex(7):";
    rest = BspTrim(data.substr(9));
    while (!rest.empty()) {
      if (!BspQuoted(rest, &text, &rest)) {
        return Fail(what, "multi_sz: expects texts in quotes, separated by \",\"");
      }
      AppendWideText(*value, text);
      rest = BspTrim(rest);
      if (!rest.empty() && rest.front() == ',') {
        rest = BspTrim(rest.substr(1));
      } else if (!rest.empty()) {
        return Fail(what, "multi_sz: expects texts in quotes, separated by \",\"");
      }
    }
    AppendHexByte(*value, 0);
    AppendHexByte(*value, 0);
  } else if (BspStartsIgnoringCase(data, "expand_sz:")) {
    if (!BspQuoted(BspTrim(data.substr(10)), &text, &rest) || !BspTrim(rest).empty()) {
      return Fail(what, "expand_sz: expects a text in quotes");
    }
    *value = "hex(2):";
    AppendWideText(*value, text);
  } else if (BspStartsIgnoringCase(data, "LOC_") && BspIsName(data)) {
    *value = BspQuote(localText(data));
  } else {
    return Fail(what, "unknown value data \"" + std::string(data.substr(0, 40)) + "\"");
  }
  return true;
}

// The --strings table: "LOC_NAME text", "LOC_NAME=text", with "#define"
// before and the text in quotes or not.
bool ReadBspStrings(const BspOptions& options, std::map<std::string, std::string>* table,
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
    line = BspTrim(BspWithoutComment(line));
    if (line.empty()) {
      continue;
    }
    if (BspStartsIgnoringCase(line, "#define") && line.size() > 7 && BspIsBlank(line[7])) {
      line = BspTrim(line.substr(7));
    }
    size_t nameEnd = 0;
    while (nameEnd < line.size() && BspIsNameChar(line[nameEnd])) {
      ++nameEnd;
    }
    std::string_view value = BspTrim(line.substr(nameEnd));
    if (!value.empty() && value.front() == '=') {
      value = BspTrim(value.substr(1));
    }
    std::string unquoted;
    std::string_view rest;
    bool quoted = !value.empty() && value.front() == '"';
    if (nameEnd == 0 ||
        (quoted && (!BspQuoted(value, &unquoted, &rest) || !BspTrim(rest).empty()))) {
      *error = found + ": line " + std::to_string(number) + ": expected \"LOC_NAME \"text\"\"";
      return false;
    }
    (*table)[BspUpper(line.substr(0, nameEnd))] = quoted ? unquoted : std::string(value);
  }
  return true;
}

}  // namespace velmora
