#include "support/format_string.h"

#include <cstdarg>
#include <cstdint>

namespace velmora {

namespace {

std::u16string Digits(uint64_t value, unsigned base, bool upper) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::u16string out;
  do {
    out.insert(out.begin(), static_cast<char16_t>(digits[value % base]));
    value /= base;
  } while (value != 0);
  return out;
}

void Pad(std::u16string& out, std::u16string text, size_t width, bool left, bool zeros) {
  if (text.size() < width) {
    size_t fill = width - text.size();
    if (left) {
      text.append(fill, u' ');
    } else if (zeros) {
      size_t sign = (!text.empty() && text[0] == u'-') ? 1 : 0;
      text.insert(sign, fill, u'0');
    } else {
      text.insert(0, fill, u' ');
    }
  }
  out += text;
}

}  // namespace

std::u16string FormatString(std::u16string_view format, ...) {
  va_list args;
  va_start(args, format);
  std::u16string out;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != u'%') {
      out += format[i];
      continue;
    }
    size_t start = i++;
    bool left = false;
    bool zeros = false;
    for (; i < format.size() && (format[i] == u'-' || format[i] == u'0'); ++i) {
      left |= format[i] == u'-';
      zeros |= format[i] == u'0';
    }
    size_t width = 0;
    for (; i < format.size() && format[i] >= u'0' && format[i] <= u'9'; ++i) {
      width = width * 10 + (format[i] - u'0');
    }
    if (i >= format.size()) {
      out += format.substr(start);
      break;
    }
    switch (format[i]) {
      case u'%':
        out += u'%';
        break;
      case u'd':
      case u'i': {
        int value = va_arg(args, int);
        std::u16string text =
            Digits(value < 0 ? 0 - static_cast<uint64_t>(static_cast<int64_t>(value))
                             : static_cast<uint64_t>(value),
                   10, false);
        Pad(out, value < 0 ? u"-" + text : text, width, left, zeros);
        break;
      }
      case u'u':
        Pad(out, Digits(va_arg(args, unsigned), 10, false), width, left, zeros);
        break;
      case u'x':
      case u'X':
        Pad(out, Digits(va_arg(args, unsigned), 16, format[i] == u'X'), width, left, zeros);
        break;
      case u'c':
        Pad(out, std::u16string(1, static_cast<char16_t>(va_arg(args, int))), width, left, false);
        break;
      case u's': {
        const char16_t* text = va_arg(args, const char16_t*);
        Pad(out, text != nullptr ? std::u16string(text) : u"(null)", width, left, false);
        break;
      }
      default:
        out += format.substr(start, i - start + 1);
        break;
    }
  }
  va_end(args);
  return out;
}

}  // namespace velmora
