// A board's registry in the CE build's .reg dialect (platform.reg and the
// driver .reg files of a board support package) made into "Windows
// Registry Editor Version 5.00" text, which the registry imports like any
// .reg file. The preprocessor (#define, #include, IF/ELSE/ENDIF, $(NAME))
// is bsp_preprocessor.h; the lines that count may then be:
//
//   [Drivers\BuiltIn\Serial]      a key below HKEY_LOCAL_MACHINE, with or
//   [HKEY_LOCAL_MACHINE\...]      without the root's name ([HKLM\...] too);
//   [-KEY]                        its deletion. Keys of other roots
//                                 (HKEY_CURRENT_USER, ...) are not part of
//                                 the device's registry: they are left out
//                                 with their values, with one warning.
//   "name" = "text"               blanks around "=" as the file likes
//   "name"=dword:3F               1 to 8 hex digits
//   "name"=hex: 01, 02 ,03        blanks after ":" and ","; hex(N): too
//   "name"=multi_sz:"a","b"       a list; a line ending in "," goes on in
//                                 the next line (so does one ending in "\")
//   "name"=expand_sz:"%x%"
//   "name"=LOC_NAME               a localisation macro: its text from -D
//                                 LOC_NAME=..., #define or the --strings
//                                 table, else the macro's name itself (with
//                                 one warning listing every such name)
//   "name"=-                      deletes the value; @ names the default
//
// Strings use "\" to escape the next character, as regedit's do. A
// "Windows Registry Editor Version 5.00" or "REGEDIT4" line is passed over.
// The --strings table has one text a line, "LOC_NAME text", "LOC_NAME
// "text"", "LOC_NAME=text" or "#define LOC_NAME "text"", with ";"
// comments.
//
// Errors read "FILE: line N: what" with the file and line the text came
// from; Explain() turns the registry's own errors about the made text
// ("line N: what") into the same form.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/bsp_source.h"

namespace velmora {

class BspTranslation {
 public:
  // "Windows Registry Editor Version 5.00" text, UTF-8.
  const std::string& text() const { return text_; }
  // What the person should know: missing includes left out, LOC_ macros
  // without text, keys of other roots. Each names its file and line.
  const std::vector<std::string>& warnings() const { return warnings_; }

  // An error "line N: what" about text() as "FILE: line M: what" of the
  // line it came from; other errors as they are.
  std::string Explain(std::string_view readerError) const;

 private:
  friend class BspWriter;
  friend bool TranslateBspFiles(const std::vector<std::string>&, const BspOptions&, BspTranslation*,
                                std::string*);

  std::string text_;
  std::vector<std::string> warnings_;
  std::vector<std::string> fileNames_;
  // For each line of text_ (the first at index 0): where it came from;
  // file UINT32_MAX for the lines of our own (the header).
  struct Origin {
    uint32_t file;
    uint32_t line;
  };
  std::vector<Origin> origins_;
};

// Reads the files in order (definitions carry from one to the next, as
// the CE build merges them) into *result. False with *error ("FILE: line
// N: what") when a file cannot be found or read or the dialect is broken.
bool TranslateBspFiles(const std::vector<std::string>& files, const BspOptions& options,
                       BspTranslation* result, std::string* error);

}  // namespace velmora
