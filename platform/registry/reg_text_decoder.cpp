#include "platform/registry/reg_text_decoder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/registry/reg_text_common.h"
#include "platform/registry/reg_writer.h"

namespace velmora::regtext {

namespace {

constexpr char EndOfFileMark = 0x1A;

constexpr std::string_view Utf16Mark = "\xFF\xFE";
constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";

bool StartsWithUtf16Mark(std::string_view bytes) {
  return bytes.substr(0, Utf16Mark.size()) == Utf16Mark;
}

// The bytes so far could still become a byte-order mark.
bool MayBecomeMark(std::string_view bytes) {
  return (bytes.size() < Utf16Mark.size() && Utf16Mark.starts_with(bytes)) ||
         (bytes.size() < Utf8Mark.size() && Utf8Mark.starts_with(bytes));
}

// UTF-16LE bytes (after the byte-order mark) to UTF-8; an unpaired
// surrogate cannot be stored as text and is an error naming its line
// (the bytes start on line firstLine).
bool Utf16ToUtf8(std::string_view bytes, size_t firstLine, std::string* out, std::string* error) {
  if (bytes.size() % 2 != 0) {
    *error = LineError(1, "UTF-16 file with an odd number of bytes");
    return false;
  }
  std::u16string units(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                     static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
  }
  size_t line = firstLine;
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

}  // namespace

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

void AppendLatin1AsUtf8(std::string& out, std::string_view bytes) {
  for (char c : bytes) {
    auto b = static_cast<uint8_t>(c);
    if (b < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(static_cast<char>(0xC0 | b >> 6));
      out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
}

bool DecodeRegBytes(std::string_view bytes, std::string* storage, std::string_view* text,
                    std::string* error) {
  if (StartsWithUtf16Mark(bytes)) {
    if (!Utf16ToUtf8(bytes.substr(Utf16Mark.size()), 1, storage, error)) {
      return false;
    }
    bytes = *storage;
  } else if (bytes.substr(0, 3) == Utf8Mark) {
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
    AppendLatin1AsUtf8(latin1, bytes);
    *storage = std::move(latin1);
    bytes = *storage;
  }
  *text = bytes;
  return true;
}

bool StreamDecoder::More(std::string* text, bool* eof, std::string* error) {
  std::string bytes;
  bool end = false;
  if (!read_(&bytes, &end, error)) {
    return false;
  }
  if (first_) {
    // A first piece too short to tell a byte-order mark waits for more.
    head_ += bytes;
    if (!end && MayBecomeMark(head_)) {
      *eof = false;
      return true;
    }
    first_ = false;
    bytes = std::move(head_);
    if (StartsWithUtf16Mark(bytes)) {
      utf16_ = true;
      bytes.erase(0, Utf16Mark.size());
    } else if (std::string_view(bytes).substr(0, Utf8Mark.size()) == Utf8Mark) {
      bytes.erase(0, Utf8Mark.size());
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
    if (!Utf16ToUtf8(std::string_view(carry_).substr(0, usable), line_, &decoded, error)) {
      return false;
    }
    line_ += static_cast<size_t>(std::count(decoded.begin(), decoded.end(), '\n'));
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

}  // namespace velmora::regtext
