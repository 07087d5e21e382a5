#include "platform/registry/bsp_preprocessor.h"

#include <cstdlib>

#include "platform/registry/bsp_limits.h"
#include "platform/registry/bsp_syntax.h"

namespace velmora {

namespace {

// The first word (up to a blank) and the rest, trimmed.
void SplitWord(std::string_view line, std::string_view* word, std::string_view* rest) {
  size_t end = 0;
  while (end < line.size() && !BspIsBlank(line[end])) {
    ++end;
  }
  *word = line.substr(0, end);
  *rest = BspTrim(line.substr(end));
}

std::string_view Unquoted(std::string_view text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    return text.substr(1, text.size() - 2);
  }
  return text;
}

std::string Folder(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool BspPreprocessor::Start(std::string* error) {
  for (const std::string& define : options_.defines) {
    size_t equals = define.find('=');
    std::string_view name = std::string_view(define).substr(0, equals);
    if (!BspIsName(name)) {
      *error = "-D " + define + ": a name is letters, digits and \"_\"";
      return false;
    }
    names_[BspUpper(name)] = equals == std::string::npos ? "1" : define.substr(equals + 1);
  }
  return true;
}

bool BspPreprocessor::Defined(std::string_view name, std::string* value) const {
  auto found = names_.find(BspUpper(name));
  if (found == names_.end()) {
    return false;
  }
  *value = found->second;
  return true;
}

bool BspPreprocessor::Lookup(std::string_view name, std::string* value) const {
  if (Defined(name, value)) {
    return true;
  }
  if (!options_.useEnvironment) {
    return false;
  }
  const char* environment = std::getenv(std::string(name).c_str());
  if (environment == nullptr || *environment == 0) {
    return false;
  }
  *value = environment;
  return true;
}

std::string BspPreprocessor::Where(uint32_t number) const {
  return fileNames_[file_] + ": line " + std::to_string(number) + ": ";
}

bool BspPreprocessor::Expand(std::string_view text, size_t depth, std::string* out,
                             std::string* what) const {
  size_t start = 0;
  while (start < text.size()) {
    size_t open = text.find("$(", start);
    if (open == std::string_view::npos) {
      out->append(text.substr(start));
      break;
    }
    out->append(text.substr(start, open - start));
    size_t close = text.find(')', open + 2);
    if (close == std::string_view::npos) {
      *what = "\"$(\" without \")\"";
      return false;
    }
    std::string_view name = text.substr(open + 2, close - open - 2);
    std::string value;
    if (!BspIsName(name)) {
      *what = "\"$(" + std::string(name) + ")\" is not a name";
      return false;
    }
    if (!Lookup(name, &value)) {
      *what = "$(" + std::string(name) + ") is not defined (define it with -D " +
              std::string(name) + "=VALUE)";
      return false;
    }
    if (depth == MaxBspMacroDepth) {
      *what = "$(" + std::string(name) + ") nests deeper than " + std::to_string(MaxBspMacroDepth) +
              " definitions";
      return false;
    }
    if (!Expand(value, depth + 1, out, what)) {
      return false;
    }
    if (out->size() > MaxBspLineLength) {
      *what = "a line longer than " + std::to_string(MaxBspLineLength) + " bytes";
      return false;
    }
    start = close + 1;
  }
  if (out->size() > MaxBspLineLength) {
    *what = "a line longer than " + std::to_string(MaxBspLineLength) + " bytes";
    return false;
  }
  return true;
}

bool BspPreprocessor::ReadFile(const std::string& path, std::string* error) {
  std::string found;
  std::string key;
  if (!FindBspFile(path, options_, &found, &key)) {
    *error = "cannot find '" + path + "'";
    return false;
  }
  return Process(found, key, error);
}

bool BspPreprocessor::Process(const std::string& found, const std::string& key,
                              std::string* error) {
  if (++filesRead_ > MaxBspFiles) {
    *error = "more than " + std::to_string(MaxBspFiles) + " files read";
    return false;
  }
  std::string text;
  if (!ReadBspFile(found, options_, &text, error)) {
    return false;
  }
  bytesRead_ += text.size();
  if (bytesRead_ > MaxBspTotalSize) {
    *error = "the files read hold more than " + std::to_string(MaxBspTotalSize) + " bytes";
    return false;
  }
  uint32_t outerFile = file_;
  size_t outerBlocks = blocks_.size();
  file_ = static_cast<uint32_t>(fileNames_.size());
  fileNames_.push_back(found);
  including_.push_back(key);
  uint32_t number = 0;
  size_t position = 0;
  bool ok = true;
  while (ok && position < text.size()) {
    size_t end = position;
    while (end < text.size() && text[end] != '\n' && text[end] != '\r') {
      ++end;
    }
    ok = Line(std::string_view(text).substr(position, end - position), ++number, error);
    if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') {
      ++end;
    }
    position = end + 1;
  }
  if (ok && blocks_.size() > outerBlocks) {
    const Block& open = blocks_[outerBlocks];
    *error = Where(open.line) + "IF " + open.name + " without ENDIF";
    ok = false;
  }
  including_.pop_back();
  file_ = outerFile;
  return ok;
}

bool BspPreprocessor::Line(std::string_view line, uint32_t number, std::string* error) {
  line = BspTrim(BspWithoutComment(line));
  if (line.empty()) {
    return true;
  }
  std::string_view word;
  std::string_view rest;
  SplitWord(line, &word, &rest);
  if (BspSameIgnoringCase(word, "IF")) {
    return If(rest, number, error);
  }
  if (BspSameIgnoringCase(word, "ELSE") || BspSameIgnoringCase(word, "ENDIF")) {
    bool isElse = word.size() == 4;
    if (blocks_.empty() || blocks_.back().line == 0) {
      *error = Where(number) + std::string(word) + " without IF";
      return false;
    }
    Block& block = blocks_.back();
    if (isElse) {
      if (block.inElse) {
        *error = Where(number) + "a second ELSE for IF " + block.name + " of line " +
                 std::to_string(block.line);
        return false;
      }
      block.inElse = true;
      block.active = block.outerActive && !block.active;
      return true;
    }
    std::string_view closes = rest.substr(0, rest.find_first_of(" \t"));
    if (!closes.empty() && !BspSameIgnoringCase(closes, block.name) && block.outerActive) {
      warnings_.push_back(Where(number) + "ENDIF " + std::string(closes) + " closes IF " +
                          block.name + " of line " + std::to_string(block.line));
    }
    blocks_.pop_back();
    return true;
  }
  if (!Active()) {
    return true;
  }
  if (BspSameIgnoringCase(word, "#define") || BspSameIgnoringCase(word, "#undef")) {
    std::string_view name;
    std::string_view value;
    SplitWord(rest, &name, &value);
    if (!BspIsName(name) || (word.size() == 6 && !value.empty())) {
      *error = Where(number) + "expected \"" + std::string(word) +
               (word.size() == 6 ? " NAME\"" : " NAME VALUE\"");
      return false;
    }
    if (word.size() == 6) {
      names_.erase(BspUpper(name));
    } else {
      names_[BspUpper(name)] = std::string(value);
    }
    return true;
  }
  if (BspSameIgnoringCase(word, "#include")) {
    return Include(rest, number, error);
  }
  BspLine result{std::string(), file_, number};
  std::string what;
  if (!Expand(line, 0, &result.text, &what)) {
    *error = Where(number) + what;
    return false;
  }
  lines_.push_back(std::move(result));
  return true;
}

bool BspPreprocessor::If(std::string_view argument, uint32_t number, std::string* error) {
  if (blocks_.size() == MaxBspIfDepth) {
    *error = Where(number) + "IF blocks nest deeper than " + std::to_string(MaxBspIfDepth);
    return false;
  }
  size_t end = 0;
  while (end < argument.size() && BspIsNameChar(argument[end])) {
    ++end;
  }
  std::string_view name = argument.substr(0, end);
  std::string_view test = BspTrim(argument.substr(end));
  Block block{Active(), false, false, std::string(name), number};
  if (!block.outerActive) {
    blocks_.push_back(block);  // not looked at: only its ENDIF matters
    return true;
  }
  std::string_view op = test.substr(0, test.size() >= 2 && test[1] == '=' ? 2 : 1);
  std::string_view expected = BspTrim(test.substr(op.size()));
  // "IF LOCALE=0411" as some of the CE tree's own files write it.
  bool equality = op == "==" || op == "=";
  bool wellFormed = !name.empty() && (test.empty() || test == "!" ||
                                      ((equality || op == "!=") && !expected.empty()));
  if (!wellFormed) {
    *error = Where(number) +
             "expected \"IF NAME\", \"IF NAME !\", \"IF NAME == VALUE\" or \"IF NAME != VALUE\"";
    return false;
  }
  std::string value;
  bool defined = Lookup(name, &value);
  if (test.empty() || test == "!") {
    block.active = defined == test.empty();
  } else {
    std::string expanded;
    std::string what;
    if (defined && Expand(value, 0, &expanded, &what)) {
      value = expanded;
    }
    bool equal = defined && BspSameIgnoringCase(Unquoted(BspTrim(value)), Unquoted(expected));
    block.active = equal == equality;
  }
  blocks_.push_back(block);
  return true;
}

bool BspPreprocessor::Skip(const std::string& file, std::string warning) {
  for (const std::string& skipped : skipped_) {
    if (skipped == file) {
      return true;
    }
  }
  skipped_.push_back(file);
  warnings_.push_back(std::move(warning));
  return true;
}

bool BspPreprocessor::Include(std::string_view argument, uint32_t number, std::string* error) {
  std::string what;
  std::string path;
  if (argument.size() >= 2 && argument.front() == '<' && argument.back() == '>') {
    argument = argument.substr(1, argument.size() - 2);
  }
  argument = Unquoted(argument);
  if (argument.empty()) {
    *error = Where(number) + "expected #include \"FILE\"";
    return false;
  }
  if (!Expand(argument, 0, &path, &what)) {
    // A file of a tree that is not there often has a root that is not
    // defined either.
    if (!options_.skipMissingIncludes) {
      *error = Where(number) + what;
      return false;
    }
    return Skip(std::string(argument), Where(number) + "left out the included file \"" +
                                           std::string(argument) + "\": " + what);
  }
  std::string wanted = NormalizeBspPath(path);
  std::vector<std::string> candidates;
  if (wanted.front() == '/') {
    candidates.push_back(wanted);
  } else {
    candidates.push_back(Folder(fileNames_[file_]) + "/" + wanted);
    for (const std::string& folder : options_.includeDirs) {
      candidates.push_back(folder + "/" + wanted);
    }
  }
  std::string found;
  std::string key;
  for (const std::string& candidate : candidates) {
    if (FindBspFile(candidate, options_, &found, &key)) {
      break;
    }
    found.clear();
  }
  if (found.empty()) {
    if (!options_.skipMissingIncludes) {
      *error = Where(number) + "cannot find the included file \"" + path +
               "\" (give its folder with -I, or --skip-missing-includes)";
      return false;
    }
    return Skip(wanted, Where(number) + "left out the missing included file \"" + path + "\"");
  }
  for (const std::string& open : including_) {
    if (open == key) {
      *error = Where(number) + "\"" + path + "\" includes itself";
      return false;
    }
  }
  if (including_.size() == MaxBspIncludeDepth) {
    *error = Where(number) + "#include nests deeper than " + std::to_string(MaxBspIncludeDepth) +
             " files";
    return false;
  }
  blocks_.push_back(Block{Active(), true, false, "", 0});  // the file's own IFs start here
  bool ok = Process(found, key, error);
  blocks_.pop_back();
  return ok;
}

}  // namespace velmora
