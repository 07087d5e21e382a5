#include "platform/text.h"

#include <algorithm>
#include <cstdint>

namespace velmora {

namespace {

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

bool IsHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

}  // namespace

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      char32_t cp = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      AppendUtf8(out, cp);
      ++i;
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

std::u16string FromUtf8(std::string_view text, bool* valid) {
  std::u16string out;
  out.reserve(text.size());
  bool ok = true;
  size_t i = 0;
  while (i < text.size()) {
    auto b0 = static_cast<uint8_t>(text[i]);
    int extra = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if (b0 < 0x80) {
      cp = b0;
    } else if ((b0 & 0xE0) == 0xC0) {
      extra = 1, cp = b0 & 0x1F, minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
      extra = 2, cp = b0 & 0x0F, minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
      extra = 3, cp = b0 & 0x07, minimum = 0x10000;
    } else {
      ok = false;
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    bool good = i + static_cast<size_t>(extra) < text.size();
    for (int k = 1; good && k <= extra; ++k) {
      auto b = static_cast<uint8_t>(text[i + k]);
      if ((b & 0xC0) != 0x80) {
        good = false;
      } else {
        cp = (cp << 6) | (b & 0x3F);
      }
    }
    if (!good || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      ok = false;
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    AppendUtf16(out, cp);
    i += 1 + extra;
  }
  if (valid != nullptr) {
    *valid = ok;
  }
  return out;
}

char16_t FoldCase(char16_t c) {
  if (c < 0x80) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
  }
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) {  // Latin-1 lower case
    return static_cast<char16_t>(c - 0x20);
  }
  if (c == 0xFF) {
    return 0x178;  // ÿ -> Ÿ
  }
  if (c >= 0x100 && c <= 0x17F) {  // Latin Extended-A: pairs, with two shifts
    if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) {
      return c;  // dotless i, kra, n-apostrophe, long s: no simple partner
    }
    bool oddPairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    bool lower = oddPairs ? (c % 2 == 0) : (c % 2 == 1);
    return lower ? static_cast<char16_t>(c - 1) : c;
  }
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) {  // Greek small letters
    return static_cast<char16_t>(c - 0x20);
  }
  if (c == 0x3C2) {
    return 0x3A3;  // final sigma
  }
  if (c >= 0x430 && c <= 0x44F) {  // Cyrillic small letters
    return static_cast<char16_t>(c - 0x20);
  }
  if (c >= 0x450 && c <= 0x45F) {
    return static_cast<char16_t>(c - 0x50);
  }
  return c;
}

std::u16string FoldCase(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) {
    c = FoldCase(c);
  }
  return out;
}

int CompareIgnoringCase(std::u16string_view a, std::u16string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    char16_t fa = FoldCase(a[i]);
    char16_t fb = FoldCase(b[i]);
    if (fa != fb) {
      return fa < fb ? -1 : 1;
    }
  }
  if (a.size() == b.size()) {
    return 0;
  }
  return a.size() < b.size() ? -1 : 1;
}

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && CompareIgnoringCase(a, b) == 0;
}

std::vector<std::u16string> SplitPath(std::u16string_view path, std::u16string_view separators) {
  std::vector<std::u16string> parts;
  std::u16string current;
  for (char16_t c : path) {
    if (separators.find(c) != std::u16string_view::npos) {
      if (!current.empty()) {
        parts.push_back(std::move(current));
        current.clear();
      }
    } else {
      current.push_back(c);
    }
  }
  if (!current.empty()) {
    parts.push_back(std::move(current));
  }
  return parts;
}

}  // namespace velmora
