#include "platform/registry/bsp_reg.h"

#include <map>

#include "platform/registry/bsp_limits.h"
#include "platform/registry/bsp_preprocessor.h"
#include "platform/registry/bsp_syntax.h"
#include "platform/registry/bsp_value.h"

namespace velmora {

namespace {

constexpr uint32_t OwnLine = UINT32_MAX;

}  // namespace

// Writes the lines that count as version 5.00 text, keeping where each
// line came from.
class BspWriter {
 public:
  BspWriter(const BspPreprocessor& source, const std::map<std::string, std::string>& strings,
            BspTranslation& out)
      : source_(source), strings_(strings), out_(out) {}

  bool Run(std::string* error) {
    Emit("Windows Registry Editor Version 5.00", OwnLine, 0);
    const std::vector<BspLine>& lines = source_.lines();
    for (size_t i = 0; i < lines.size(); ++i) {
      const BspLine& line = lines[i];
      std::string_view text = line.text;
      bool ok = true;
      if (text.empty()) {
        continue;
      }
      if (text.front() == '[') {
        ok = KeyLine(line);
      } else if (text.front() == '"' || text.front() == '@') {
        ok = ValueLine(lines, &i);
      } else if (text != "Windows Registry Editor Version 5.00" && text != "REGEDIT4") {
        ok = Fail(line, "unexpected text \"" + std::string(text.substr(0, 40)) + "\"");
      }
      if (!ok) {
        *error = error_;
        return false;
      }
      if (out_.text_.size() > MaxBspTotalSize) {
        *error = Where(line) + "the registry made from the files is larger than " +
                 std::to_string(MaxBspTotalSize) + " bytes";
        return false;
      }
    }
    for (const auto& [root, first] : otherRoots_) {
      out_.warnings_.push_back(first.where + "left out " + std::to_string(first.count) +
                               " key(s) below " + root +
                               ": the device's registry holds HKEY_LOCAL_MACHINE only");
    }
    if (!missingTexts_.empty()) {
      std::string names;
      for (const std::string& name : missingTexts_) {
        names += (names.empty() ? "" : ", ") + name;
      }
      out_.warnings_.push_back("no text for " + names +
                               " (give it with -D NAME=TEXT or --strings FILE): the name is "
                               "stored as the text");
    }
    return true;
  }

 private:
  struct OtherRoot {
    std::string where;
    size_t count;
  };

  std::string Where(const BspLine& line) const {
    return source_.fileNames()[line.file] + ": line " + std::to_string(line.line) + ": ";
  }

  bool Fail(const BspLine& line, const std::string& what) {
    error_ = Where(line) + what;
    return false;
  }

  void Emit(std::string_view text, uint32_t file, uint32_t line) {
    out_.text_.append(text);
    out_.text_.push_back('\n');
    out_.origins_.push_back({file, line});
  }

  bool KeyLine(const BspLine& line) {
    std::string_view text = line.text;
    if (text.back() != ']') {
      return Fail(line, "a key line must end with \"]\"");
    }
    std::string_view path = BspTrim(text.substr(1, text.size() - 2));
    bool remove = !path.empty() && path.front() == '-';
    if (remove) {
      path = BspTrim(path.substr(1));
    }
    std::string root = BspUpper(path.substr(0, path.find('\\')));
    std::string_view below = path;
    inKey_ = true;
    skipping_ = false;
    if (root == "HKEY_LOCAL_MACHINE" || root == "HKLM") {
      below = path.substr(root.size());
      below.remove_prefix(below.empty() ? 0 : 1);
    } else if (BspStartsIgnoringCase(root, "HKEY_") || root == "HKCU" || root == "HKCR" ||
               root == "HKU" || root == "HKCC") {
      ++otherRoots_.try_emplace(root, OtherRoot{Where(line), 0}).first->second.count;
      skipping_ = true;
      return true;
    }
    std::string key = remove ? "[-HKEY_LOCAL_MACHINE" : "[HKEY_LOCAL_MACHINE";
    if (!below.empty()) {
      key += "\\" + std::string(below);
    }
    Emit(key + "]", line.file, line.line);
    return true;
  }

  bool ValueLine(const std::vector<BspLine>& lines, size_t* index) {
    const BspLine& line = lines[*index];
    std::string_view text = line.text;
    std::string name;
    std::string_view rest;
    if (text.front() == '@') {
      rest = text.substr(1);
    } else if (!BspQuoted(text, &name, &rest)) {
      return Fail(line, "unterminated value name");
    }
    rest = BspTrim(rest);
    if (rest.empty() || rest.front() != '=') {
      return Fail(line, "expected \"=\" after the value name");
    }
    std::string data(BspTrim(rest.substr(1)));
    // Continued values: a "\" at the end, or a list that ends in ",".
    while (!data.empty() && *index + 1 < lines.size()) {
      bool list = BspStartsIgnoringCase(data, "hex") || BspStartsIgnoringCase(data, "multi_sz");
      if (data.back() == '\\') {
        data.pop_back();
      } else if (!(list && data.back() == ',')) {
        break;
      }
      data += lines[++*index].text;
      if (data.size() > MaxBspLineLength) {
        return Fail(line, "a value longer than " + std::to_string(MaxBspLineLength) + " bytes");
      }
    }
    if (!inKey_) {
      return Fail(line, "a value outside of a key");
    }
    if (skipping_) {
      return true;
    }
    std::string value;
    std::string what;
    if (!ValueData(
            BspTrim(data), [this](std::string_view local) { return LocalText(local); }, &value,
            &what)) {
      return Fail(line, what);
    }
    Emit((text.front() == '@' ? std::string("@") : BspQuote(name)) + "=" + value, line.file,
         line.line);
    return true;
  }

  std::string LocalText(std::string_view name) {
    std::string text;
    std::string_view rest;
    if (source_.Defined(name, &text)) {
      std::string unquoted;
      return BspQuoted(text, &unquoted, &rest) && BspTrim(rest).empty() ? unquoted : text;
    }
    auto found = strings_.find(BspUpper(name));
    if (found != strings_.end()) {
      return found->second;
    }
    for (const std::string& missing : missingTexts_) {
      if (missing == name) {
        return missing;
      }
    }
    missingTexts_.emplace_back(name);
    return std::string(name);
  }

  const BspPreprocessor& source_;
  const std::map<std::string, std::string>& strings_;
  BspTranslation& out_;
  std::string error_;
  bool inKey_ = false;
  bool skipping_ = false;
  std::map<std::string, OtherRoot> otherRoots_;
  std::vector<std::string> missingTexts_;
};

bool TranslateBspFiles(const std::vector<std::string>& files, const BspOptions& options,
                       BspTranslation* result, std::string* error) {
  *result = BspTranslation();
  std::map<std::string, std::string> strings;
  if (!options.stringsFile.empty() && !ReadBspStrings(options, &strings, error)) {
    return false;
  }
  BspPreprocessor source(options);
  if (!source.Start(error)) {
    return false;
  }
  for (const std::string& file : files) {
    if (!source.ReadFile(file, error)) {
      return false;
    }
  }
  result->warnings_ = source.warnings();
  result->fileNames_ = source.fileNames();
  BspWriter writer(source, strings, *result);
  return writer.Run(error);
}

std::string BspTranslation::Explain(std::string_view readerError) const {
  std::string_view rest = readerError;
  if (rest.substr(0, 5) != "line ") {
    return std::string(readerError);
  }
  rest.remove_prefix(5);
  size_t number = 0;
  size_t digits = 0;
  while (digits < rest.size() && digits < 12 && rest[digits] >= '0' && rest[digits] <= '9') {
    number = number * 10 + static_cast<size_t>(rest[digits] - '0');
    ++digits;
  }
  rest.remove_prefix(digits);
  if (digits == 0 || rest.substr(0, 2) != ": " || number == 0 || number > origins_.size() ||
      origins_[number - 1].file == OwnLine) {
    return std::string(readerError);
  }
  const Origin& origin = origins_[number - 1];
  return fileNames_[origin.file] + ": line " + std::to_string(origin.line) + ": " +
         std::string(rest.substr(2));
}

}  // namespace velmora
