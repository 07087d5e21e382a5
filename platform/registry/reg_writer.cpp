#include "platform/registry/reg_writer.h"

#include <vector>

#include "platform/registry.h"

namespace velmora {

namespace {

constexpr std::string_view RootName = "HKEY_LOCAL_MACHINE";
constexpr char HexDigits[] = "0123456789abcdef";

// A string value that the quoted form carries exactly: UTF-16 with one
// terminator at the end and nothing before it that a line could not hold.
bool IsPrintableString(std::span<const uint8_t> data) {
  if (data.size() < 2 || data.size() % 2 != 0 || data[data.size() - 2] != 0 ||
      data[data.size() - 1] != 0) {
    return false;
  }
  size_t units = data.size() / 2 - 1;
  auto unit = [&](size_t i) { return static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8); };
  for (size_t i = 0; i < units; ++i) {
    char16_t c = unit(i);
    if (c < 0x20 || c == 0x7F || (c >= 0xDC00 && c <= 0xDFFF)) {
      return false;
    }
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= units || unit(i + 1) < 0xDC00 || unit(i + 1) > 0xDFFF) {
        return false;
      }
      ++i;
    }
  }
  return true;
}

void AppendQuoted(std::string& out, std::u16string_view text) {
  out.push_back('"');
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\\' || text[i] == u'"') {
      AppendUtf8(out, text.substr(start, i - start));
      out.push_back('\\');
      start = i;  // the character itself goes out with the next piece
    }
  }
  AppendUtf8(out, text.substr(start));
  out.push_back('"');
}

void AppendName(std::string& out, std::u16string_view name) {
  if (name.empty()) {
    out.push_back('@');
  } else {
    AppendQuoted(out, name);
  }
}

void AppendHexBytes(std::string& out, size_t column, std::span<const uint8_t> data) {
  for (size_t i = 0; i < data.size(); ++i) {
    out.push_back(HexDigits[data[i] >> 4]);
    out.push_back(HexDigits[data[i] & 0xF]);
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

void AppendHexNumber(std::string& out, uint32_t value, int digits) {
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
    out.push_back(HexDigits[(value >> shift) & 0xF]);
  }
}

}  // namespace

void AppendUtf8(std::string& out, std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | c >> 6));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | c >> 12));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | c >> 18));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    }
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

void AppendKeyLine(std::string& out, std::u16string_view path, bool remove) {
  out += remove ? "[-" : "[";
  out += RootName;
  if (!path.empty()) {
    out.push_back('\\');
    AppendUtf8(out, path);
  }
  out += "]\n";
}

void AppendValueLine(std::string& out, std::u16string_view name, uint32_t type,
                     std::span<const uint8_t> data) {
  size_t lineStart = out.size();
  AppendName(out, name);
  out.push_back('=');
  if (type == RegString && IsPrintableString(data)) {
    std::u16string text(data.size() / 2 - 1, u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
      text[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    }
    AppendQuoted(out, text);
  } else if (type == RegNumber && data.size() == 4) {
    out += "dword:";
    AppendHexNumber(out,
                    static_cast<uint32_t>(data[0] | data[1] << 8 | data[2] << 16) |
                        static_cast<uint32_t>(data[3]) << 24,
                    8);
  } else {
    if (type == RegBinary) {
      out += "hex:";
    } else {
      out += "hex(";
      int digits = 1;
      while (digits < 8 && (type >> (4 * digits)) != 0) {
        ++digits;
      }
      AppendHexNumber(out, type, digits);
      out += "):";
    }
    AppendHexBytes(out, out.size() - lineStart, data);
  }
  out.push_back('\n');
}

void AppendValueRemoval(std::string& out, std::u16string_view name) {
  AppendName(out, name);
  out += "=-\n";
}

std::string FormatRegText(const KeyNode& root, std::string_view comment) {
  std::string out(RegFileHeader);
  out += comment;
  out.push_back('\n');
  // Pre-order without recursion; path holds the current key's path.
  struct Visit {
    const KeyNode* node;
    size_t pathLength;  // length of the parent's path
  };
  std::vector<Visit> pending{{&root, 0}};
  std::u16string path;
  while (!pending.empty()) {
    Visit visit = pending.back();
    pending.pop_back();
    path.resize(visit.pathLength);
    if (visit.node != &root) {
      if (!path.empty()) {
        path.push_back(u'\\');
      }
      path += visit.node->name();
    }
    AppendKeyLine(out, path);
    for (size_t i = 0; i < visit.node->ValueCount(); ++i) {
      const RegValue& value = visit.node->Value(i);
      AppendValueLine(out, value.name(), value.type(), value.data());
    }
    out.push_back('\n');
    for (size_t i = visit.node->SubkeyCount(); i > 0; --i) {
      pending.push_back(Visit{visit.node->Subkey(i - 1), path.size()});
    }
  }
  return out;
}

}  // namespace velmora
