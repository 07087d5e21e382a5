#include "platform/registry/registry_limits.h"

namespace velmora {

namespace {

bool IsHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

std::string_view NameProblem(std::u16string_view name, bool backslashAllowed) {
  if (name.size() > MaxNameLength) {
    return "a name longer than 255 characters";
  }
  for (size_t i = 0; i < name.size(); ++i) {
    char16_t c = name[i];
    if (c < 0x20) {
      return "a control character in a name";
    }
    if (c == u'\\' && !backslashAllowed) {
      return "a \"\\\" in a key name";
    }
    if (IsLowSurrogate(c)) {
      return "an unpaired UTF-16 surrogate in a name";
    }
    if (IsHighSurrogate(c)) {
      if (i + 1 == name.size() || !IsLowSurrogate(name[i + 1])) {
        return "an unpaired UTF-16 surrogate in a name";
      }
      ++i;
    }
  }
  return {};
}

}  // namespace

std::string_view KeyNameProblem(std::u16string_view name) {
  if (name.empty()) {
    return "an empty key name";
  }
  return NameProblem(name, false);
}

std::string_view ValueNameProblem(std::u16string_view name) {
  return NameProblem(name, true);
}

bool IsValidKeyName(std::u16string_view name) {
  return KeyNameProblem(name).empty();
}

bool IsValidValueName(std::u16string_view name) {
  return ValueNameProblem(name).empty();
}

}  // namespace velmora
