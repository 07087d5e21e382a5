// Text helpers shared by every part of the system: conversion between the
// UTF-16 strings the device uses and the UTF-8 of the host, and the one
// case-folding rule for everything that "ignores case" (registry names,
// device file names, the chooser's sorted lists and its filters).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// UTF-16 -> UTF-8. Unpaired surrogates become U+FFFD.
std::string ToUtf8(std::u16string_view text);

// UTF-8 -> UTF-16. Malformed sequences become U+FFFD; *valid (if given)
// reports whether the input was well-formed.
std::u16string FromUtf8(std::string_view text, bool* valid = nullptr);

// The case folding of the device: simple one-to-one upper-casing of the
// Latin-1, Latin Extended-A, Greek and Cyrillic letters (a -> A, ä -> Ä,
// ÿ -> Ÿ, ω -> Ω, я -> Я). Characters without a single upper-case partner
// (ß, digits, punctuation) are their own fold.
char16_t FoldCase(char16_t c);
std::u16string FoldCase(std::u16string_view text);

// Compares code unit by code unit after folding: <0, 0 or >0.
int CompareIgnoringCase(std::u16string_view a, std::u16string_view b);
bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b);

// The components of a path between any of separators; empty components
// (a leading, doubled or trailing separator) are left out.
std::vector<std::u16string> SplitPath(std::u16string_view path, std::u16string_view separators);

// The value of a hexadecimal digit (either case), -1 for any other character.
inline int HexDigit(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

}  // namespace velmora
