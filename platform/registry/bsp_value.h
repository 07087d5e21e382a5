// The data of a value in the CE build's .reg dialect, as regedit writes it:
//   "text"                   "text"
//   dword:3F, dword: 3f      dword:0000003f (1 to 8 hex digits)
//   hex: 01, 2 ,ff           hex:01,02,ff (and hex(N):)
//   multi_sz:"a", "b"        hex(7): the texts as UTF-16LE, each ended by a zero
//   expand_sz:"%x%"          hex(2): the text as UTF-16LE
//   LOC_NAME                 "the text of LOC_NAME"
//   -                        - (the value is deleted)
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "platform/registry/bsp_source.h"

namespace velmora {

// The text of a LOC_NAME value.
using BspLocalText = std::function<std::string(std::string_view name)>;

// False with *what (without file and line) when data is malformed.
bool ValueData(std::string_view data, const BspLocalText& localText, std::string* value,
               std::string* what);

// The --strings table: one text a line, "LOC_NAME text", "LOC_NAME=text",
// "LOC_NAME "text"" or "#define LOC_NAME "text"", with ";" comments; names
// in *table in upper case. *error names the file and line.
bool ReadBspStrings(const BspOptions& options, std::map<std::string, std::string>* table,
                    std::string* error);

}  // namespace velmora
