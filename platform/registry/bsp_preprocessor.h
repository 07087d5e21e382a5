// The preprocessor of the CE build's .reg dialect: it reads a board's .reg
// files and gives the lines that count, each with the file and line it
// came from.
//
//   ; comment                 anywhere on a line, outside quotes (so also
//                             "; @CESYSGEN IF ..." lines)
//   #define NAME VALUE        NAME is VALUE from here on ("#define NAME": "")
//   #undef NAME
//   #include "FILE"           FILE with $(NAME)s, "\" or "/" between folders;
//                             looked up beside the including file, then in
//                             each -I folder
//   IF NAME                   NAME is defined
//   IF NAME !                 NAME is not defined
//   IF NAME == VALUE          NAME is defined as VALUE (ignoring ASCII case;
//                             "IF NAME=VALUE" too)
//   IF NAME != VALUE          NAME is not defined as VALUE (also when undefined)
//   ELSE, ENDIF [NAME]        nested; every IF closes in its own file
//   $(NAME)                   NAME's value, in every line that counts
//
// Names come from -D, #define and (when the options allow) the
// environment, in that order; a -D without value is "1". A $(NAME) that is
// not defined is an error, as is an IF without ENDIF, an ELSE or ENDIF
// without IF, and an #include whose file is not found (a warning, once per
// file, with skipMissingIncludes). Limits: bsp_limits.h.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/bsp_source.h"

namespace velmora {

struct BspLine {
  std::string text;  // without comment and surrounding blanks, $(NAME)s replaced
  uint32_t file;     // index into fileNames()
  uint32_t line;     // 1-based
};

class BspPreprocessor {
 public:
  explicit BspPreprocessor(const BspOptions& options) : options_(options) {}

  // Takes in the -D definitions; false with *error when one is malformed.
  bool Start(std::string* error);

  // Reads a file (and what it includes) after those read before: their
  // definitions stay in force. On failure *error is "FILE: line N: what".
  bool ReadFile(const std::string& path, std::string* error);

  const std::vector<BspLine>& lines() const { return lines_; }
  const std::vector<std::string>& fileNames() const { return fileNames_; }
  const std::vector<std::string>& warnings() const { return warnings_; }

  // NAME's value from -D or #define (not the environment): for =LOC_NAME.
  bool Defined(std::string_view name, std::string* value) const;

 private:
  struct Block {
    bool outerActive;  // the lines around the IF count
    bool active;       // the lines of the current branch count
    bool inElse;
    std::string name;
    uint32_t line;
  };

  bool Process(const std::string& found, const std::string& key, std::string* error);
  bool Line(std::string_view line, uint32_t number, std::string* error);
  bool Include(std::string_view argument, uint32_t number, std::string* error);
  // Leaves out an included file with a warning, once per file.
  bool Skip(const std::string& file, std::string warning);
  bool If(std::string_view argument, uint32_t number, std::string* error);
  bool Lookup(std::string_view name, std::string* value) const;
  bool Expand(std::string_view text, size_t depth, std::string* out, std::string* what) const;
  bool Active() const { return blocks_.empty() || blocks_.back().active; }
  std::string Where(uint32_t number) const;

  const BspOptions& options_;
  std::map<std::string, std::string> names_;  // -D and #define
  std::vector<BspLine> lines_;
  std::vector<std::string> fileNames_;
  std::vector<std::string> warnings_;
  std::vector<std::string> skipped_;    // missing includes warned about
  std::vector<std::string> including_;  // keys of the files open now
  std::vector<Block> blocks_;
  uint32_t file_ = 0;  // the file being read
  size_t filesRead_ = 0;
  size_t bytesRead_ = 0;
};

}  // namespace velmora
