// The files of a board's registry (the CE build's .reg dialect): where they
// are found and their bytes as UTF-8 text.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// How a board's .reg files are read; the options of `velmora-device init
// --from` and `reg import --bsp`.
struct BspOptions {
  // -D NAME[=VALUE], in the order given: "NAME" defines NAME as "1".
  std::vector<std::string> defines;
  // -I DIR: where #include looks after the folder of the including file.
  std::vector<std::string> includeDirs;
  // --strings FILE: the texts of =LOC_NAME values ("" for none).
  std::string stringsFile;
  // --skip-missing-includes: an #include whose file is not found is left
  // out with a warning instead of being an error.
  bool skipMissingIncludes = false;
  // Whether $(NAME) and IF NAME also look at the environment (after -D and
  // #define), as the CE build does.
  bool useEnvironment = true;
  // When set, the only files there are, by path (tests, fuzzing).
  const std::map<std::string, std::string>* memoryFiles = nullptr;
};

// A file's bytes as UTF-8 text: a UTF-8 or UTF-16LE byte-order mark is
// honoured, a Ctrl-Z ends the text, and text that is not valid UTF-8 is
// read as Windows-1252 (the code page of the CE build's files).
std::string DecodeBspText(std::string_view bytes);

// "\" to "/", and "." and "dir/.." components taken out where they can be.
std::string NormalizeBspPath(std::string_view path);

// The file at path when there is one: its key (the same for every path to
// one file, for the include cycle check) and its host path. On the host,
// a path that does not exist as written is also looked up ignoring ASCII
// case component by component, as the board's files come from a system
// that ignores case.
bool FindBspFile(const std::string& path, const BspOptions& options, std::string* found,
                 std::string* key);

// Reads a file found by FindBspFile (at most MaxRegFileSize bytes, regular
// files only) and decodes it.
bool ReadBspFile(const std::string& found, const BspOptions& options, std::string* text,
                 std::string* error);

}  // namespace velmora
