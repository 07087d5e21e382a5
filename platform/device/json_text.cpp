#include "platform/device/json_text.h"

#include <cstdint>
#include <cstdio>

namespace velmora {

namespace {

// The length of the valid UTF-8 sequence at text[at], 0 when there is
// none (a stray continuation byte, a cut or overlong sequence, a
// surrogate, beyond U+10FFFF).
size_t Utf8Length(std::string_view text, size_t at) {
  auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  uint8_t lead = byte(at);
  size_t length = 0;
  uint8_t low = 0x80;
  uint8_t high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) {
    return 0;
  }
  for (size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) {
      return 0;
    }
  }
  return length;
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string json = "\"";
  for (size_t at = 0; at < text.size();) {
    char c = text[at];
    auto byte = static_cast<uint8_t>(c);
    if (byte >= 0x80) {
      size_t length = Utf8Length(text, at);
      if (length == 0) {
        json += "\\ufffd";
        ++at;
      } else {
        json.append(text.substr(at, length));
        at += length;
      }
      continue;
    }
    ++at;
    switch (c) {
      case '"':
        json += "\\\"";
        break;
      case '\\':
        json += "\\\\";
        break;
      case '\n':
        json += "\\n";
        break;
      case '\r':
        json += "\\r";
        break;
      case '\t':
        json += "\\t";
        break;
      case '\b':
        json += "\\b";
        break;
      case '\f':
        json += "\\f";
        break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
          json += escaped;
        } else {
          json += c;
        }
    }
  }
  return json + "\"";
}

}  // namespace velmora
