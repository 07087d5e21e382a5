// The small pieces that the parts of the .reg reader share: the two
// headers a file may start with, errors that name their line, and the
// blanks around a line's text. Only the reader's own files include this.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora::regtext {

inline constexpr std::string_view HeaderV5 = "Windows Registry Editor Version 5.00";
inline constexpr std::string_view HeaderV4 = "REGEDIT4";

// "line N: what", the form of every error of the reader.
inline std::string LineError(size_t line, std::string_view what) {
  return "line " + std::to_string(line) + ": " + std::string(what);
}

// The line (from 1) that holds text[offset].
inline size_t LineOf(std::string_view text, size_t offset) {
  size_t line = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    line += text[i] == '\n';
  }
  return line;
}

inline bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

inline std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace velmora::regtext
