#include "platform/registry/bsp_syntax.h"

namespace velmora {

bool BspIsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view BspTrim(std::string_view text) {
  while (!text.empty() && BspIsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && BspIsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

bool BspIsNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

bool BspIsName(std::string_view text) {
  for (char c : text) {
    if (!BspIsNameChar(c)) {
      return false;
    }
  }
  return !text.empty();
}

std::string BspUpper(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 32);
    }
  }
  return result;
}

bool BspSameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && BspUpper(a) == BspUpper(b);
}

bool BspStartsIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && BspSameIgnoringCase(text.substr(0, prefix.size()), prefix);
}

std::string_view BspWithoutComment(std::string_view line) {
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (quoted && c == '\\') {
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ';' && !quoted) {
      return line.substr(0, i);
    }
  }
  return line;
}

bool BspQuoted(std::string_view text, std::string* out, std::string_view* rest) {
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

std::string BspQuote(std::string_view text) {
  std::string result = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') {
      result.push_back('\\');
    }
    result.push_back(c);
  }
  return result + "\"";
}

}  // namespace velmora
