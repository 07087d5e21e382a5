#include "support/registry_key.h"

#include <locale.h>
#include <stdlib.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "platform/platform.h"
#include "platform/text.h"
#include "support/format_string.h"
#include "support/registry_tree.h"

namespace velmora {

namespace {

// The text form of the composite values is ASCII; scanning it as UTF-8 is
// exact for every text the writers produce.
std::string Narrow(const std::u16string& text) {
  return ToUtf8(text);
}

// A decimal number as a 32-bit string-to-integer conversion reads it:
// leading white space, a sign, digits; no digits give 0, and a number
// beyond the 32-bit range gives the nearest end of it.
int32_t ToInt32(const char* text) {
  long number = std::strtol(text, nullptr, 10);
  return static_cast<int32_t>(std::clamp<long>(number, std::numeric_limits<int32_t>::min(),
                                               std::numeric_limits<int32_t>::max()));
}

// A decimal number (leading white space, a sign, digits with an optional
// point and exponent), read as the C locale reads it. Anything else counts
// as no number and gives 0: hexadecimal ("0x1p3" reads as its leading 0),
// "inf" and "nan" included.
double DecimalToDouble(const std::string& text) {
  size_t at = text.find_first_not_of(" \t\n\v\f\r");
  if (at == std::string::npos) {
    return 0;
  }
  size_t digits = text[at] == '+' || text[at] == '-' ? at + 1 : at;
  auto isDigit = [&](size_t i) { return i < text.size() && text[i] >= '0' && text[i] <= '9'; };
  if (!isDigit(digits) && !(digits < text.size() && text[digits] == '.' && isDigit(digits + 1))) {
    return 0;
  }
  if (text[digits] == '0' && digits + 1 < text.size() &&
      (text[digits + 1] == 'x' || text[digits + 1] == 'X')) {
    return 0;
  }
  static const locale_t cLocale = ::newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(0));
  return cLocale != static_cast<locale_t>(0) ? ::strtod_l(text.c_str() + at, nullptr, cLocale)
                                             : std::strtod(text.c_str() + at, nullptr);
}

}  // namespace

RegistryKey::RegistryKey(HKEY root) : rootKey_(root) {}

RegistryKey::RegistryKey(std::u16string_view path, HKEY root) : rootKey_(root) {
  if (path.empty()) {
    heldKey_ = root;
  } else {
    keyPath_ = path;
    Registry().OpenKey(rootKey_, keyPath_, KeyAllAccess, &heldKey_);
  }
}

RegistryKey::~RegistryKey() {
  CloseHeld();
}

void RegistryKey::CloseHeld() {
  if (heldKey_ != 0) {
    Registry().CloseKey(heldKey_);
    heldKey_ = 0;
  }
}

Status RegistryKey::Target(std::u16string_view path, bool create) {
  std::u16string target = path.empty() ? keyPath_ : std::u16string(path);
  if (target == keyPath_ && heldKey_ != 0) {
    return StatusSuccess;
  }
  CloseHeld();
  keyPath_ = target;
  if (create) {
    return Registry().CreateKey(rootKey_, keyPath_, KeyAllAccess, &heldKey_);
  }
  return Registry().OpenKey(rootKey_, keyPath_, KeyAllAccess, &heldKey_);
}

Status RegistryKey::OpenPath(std::u16string_view path) {
  return Target(path, false);
}

Status RegistryKey::CreatePath(std::u16string_view path) {
  return Target(path, true);
}

bool RegistryKey::ReadString(std::u16string_view name, std::u16string* out,
                             std::u16string_view path) {
  OpenPath(path);
  if (heldKey_ == 0) {
    return false;
  }
  // Another process may change the value between the size query and the
  // read: then query again, and give up rather than return a cut text.
  for (int attempt = 0; attempt < 3; ++attempt) {
    uint32_t size = 0;
    if (Registry().QueryValue(heldKey_, name, nullptr, nullptr, &size) != StatusSuccess) {
      return false;
    }
    std::u16string buffer((size + 1) / 2 + 1, u'\0');
    uint32_t got = size;
    Status status = Registry().QueryValue(heldKey_, name, nullptr,
                                          reinterpret_cast<uint8_t*>(buffer.data()), &got);
    if (status == StatusMoreData) {
      continue;
    }
    if (status != StatusSuccess) {
      return false;
    }
    buffer.resize((got + 1) / 2);
    size_t end = buffer.find(u'\0');
    *out = end == std::u16string::npos ? buffer : buffer.substr(0, end);
    return true;
  }
  return false;
}

bool RegistryKey::WriteString(std::u16string_view name, std::u16string_view value,
                              std::u16string_view path) {
  CreatePath(path);
  if (heldKey_ == 0) {
    return false;
  }
  std::u16string data(value);
  return Registry().SetValue(heldKey_, name, RegString,
                             reinterpret_cast<const uint8_t*>(data.c_str()),
                             static_cast<uint32_t>((data.size() + 1) * 2)) == StatusSuccess;
}

bool RegistryKey::ReadNumber(std::u16string_view name, int32_t* out, std::u16string_view path) {
  OpenPath(path);
  int32_t value = 0;
  uint32_t size = 4;
  if (heldKey_ == 0 ||
      Registry().QueryValue(heldKey_, name, nullptr, reinterpret_cast<uint8_t*>(&value), &size) !=
          StatusSuccess) {
    return false;
  }
  *out = value;
  return true;
}

int32_t RegistryKey::ReadNumberOr(std::u16string_view name, int32_t fallback,
                                  std::u16string_view path) {
  int32_t value = fallback;
  return ReadNumber(name, &value, path) ? value : fallback;
}

bool RegistryKey::WriteNumber(std::u16string_view name, int32_t value, std::u16string_view path) {
  CreatePath(path);
  return heldKey_ != 0 &&
         Registry().SetValue(heldKey_, name, RegNumber, reinterpret_cast<const uint8_t*>(&value),
                             4) == StatusSuccess;
}

bool RegistryKey::ReadByte(std::u16string_view name, uint8_t* out, std::u16string_view path) {
  OpenPath(path);
  uint8_t byte = 0;
  uint32_t size = 1;
  if (!ReadBytes(name, &byte, &size)) {
    return false;
  }
  *out = byte;
  return true;
}

bool RegistryKey::ReadFlag(std::u16string_view name, bool* out, std::u16string_view path) {
  uint8_t byte = 0;
  if (!ReadByte(name, &byte, path)) {
    return false;
  }
  *out = byte != 0;
  return true;
}

bool RegistryKey::ReadFlagOr(std::u16string_view name, bool fallback, std::u16string_view path) {
  bool flag = fallback;
  return ReadFlag(name, &flag, path) ? flag : fallback;
}

bool RegistryKey::WriteFlag(std::u16string_view name, bool value, std::u16string_view path) {
  return WriteByte(name, value ? 1 : 0, path);
}

bool RegistryKey::WriteByte(std::u16string_view name, uint8_t value, std::u16string_view path) {
  CreatePath(path);
  return WriteBytes(name, &value, 1) == StatusSuccess;
}

bool RegistryKey::ReadRect(std::u16string_view name, Rectangle* out, std::u16string_view path) {
  std::u16string text;
  if (!ReadString(name, &text, path)) {
    return false;
  }
  int values[4] = {};
  std::sscanf(Narrow(text).c_str(), "RECT(%d,%d,%d,%d)", &values[0], &values[1], &values[2],
              &values[3]);
  *out = Rectangle{values[0], values[1], values[2], values[3]};
  return true;
}

bool RegistryKey::WriteRect(std::u16string_view name, const Rectangle& value,
                            std::u16string_view path) {
  return WriteString(
      name, FormatString(u"RECT(%d,%d,%d,%d)", value.left, value.top, value.right, value.bottom),
      path);
}

bool RegistryKey::ReadColor(std::u16string_view name, Color* out, std::u16string_view path) {
  std::u16string text;
  if (!ReadString(name, &text, path)) {
    return false;
  }
  int red = 0;
  int green = 0;
  int blue = 0;
  std::sscanf(Narrow(text).c_str(), "Color(%d,%d,%d)", &red, &green, &blue);
  *out = (static_cast<uint32_t>(red) & 0xFF) | (static_cast<uint32_t>(green) & 0xFF) << 8 |
         (static_cast<uint32_t>(blue) & 0xFF) << 16;
  return true;
}

bool RegistryKey::WriteColor(std::u16string_view name, Color value, std::u16string_view path) {
  return WriteString(
      name,
      FormatString(u"Color(%d,%d,%d)", value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF),
      path);
}

bool RegistryKey::ReadNumberList(std::u16string_view name, std::vector<int32_t>* out,
                                 std::u16string_view path) {
  std::u16string text;
  if (!ReadString(name, &text, path)) {
    return false;
  }
  out->clear();
  std::string narrow = Narrow(text);
  size_t position = 0;
  while (!narrow.empty()) {
    out->push_back(ToInt32(narrow.c_str() + position));
    size_t comma = narrow.find(',', position);
    if (comma == std::string::npos || comma + 1 == narrow.size()) {
      break;
    }
    position = comma + 1;
  }
  return true;
}

bool RegistryKey::WriteNumberList(std::u16string_view name, const std::vector<int32_t>& value,
                                  std::u16string_view path) {
  CreatePath(path);
  if (heldKey_ == 0) {
    return false;
  }
  std::u16string text;
  for (size_t i = 0; i < value.size(); ++i) {
    text += (i == 0 ? u"" : u",") + FormatString(u"%d", value[i]);
  }
  return WriteString(name, text, path);
}

bool RegistryKey::ReadFloat(std::u16string_view name, float* out, std::u16string_view path) {
  std::u16string text;
  if (!ReadString(name, &text, path)) {
    return false;
  }
  double number = DecimalToDouble(Narrow(text));
  // Beyond the range of a float the narrowing is undefined: give infinity.
  if (std::fabs(number) > std::numeric_limits<float>::max() && !std::isinf(number)) {
    number = number > 0 ? HUGE_VAL : -HUGE_VAL;
  }
  *out = static_cast<float>(number);
  return true;
}

bool RegistryKey::WriteFloat(std::u16string_view name, float value, std::u16string_view path) {
  // "%f" as in the C locale: the stored text never depends on the user's.
  char buffer[400];
  std::to_chars_result end = std::to_chars(buffer, buffer + sizeof buffer,
                                           static_cast<double>(value), std::chars_format::fixed, 6);
  return WriteString(name, FromUtf8(std::string_view(buffer, end.ptr - buffer)), path);
}

bool RegistryKey::ReadBytes(std::u16string_view name, uint8_t* buffer, uint32_t* size) {
  if (heldKey_ == 0 ||
      Registry().QueryValue(heldKey_, name, nullptr, buffer, size) != StatusSuccess) {
    *size = 0;
    return false;
  }
  return true;
}

Status RegistryKey::WriteBytes(std::u16string_view name, const uint8_t* data, uint32_t size) {
  if (heldKey_ == 0) {
    return 3;  // no key held: the platform's "path not found"
  }
  return Registry().SetValue(heldKey_, name, RegBinary, data, size);
}

bool RegistryKey::RemoveValue(std::u16string_view name) {
  return heldKey_ != 0 && Registry().DeleteValue(heldKey_, name) == StatusSuccess;
}

bool RegistryKey::NextValueName(uint32_t* index, std::u16string* name) {
  if (heldKey_ == 0) {
    return false;
  }
  char16_t buffer[260];
  uint32_t capacity = 260;
  Status status =
      Registry().EnumValue(heldKey_, (*index)++, buffer, &capacity, nullptr, nullptr, nullptr);
  if (status != StatusSuccess) {
    return false;
  }
  *name = buffer;
  return true;
}

bool RegistryKey::DeleteTree(std::u16string_view path) {
  CloseHeld();
  if (path.empty()) {
    return false;
  }
  return DeleteRegistryTree(rootKey_, path);
}

}  // namespace velmora
