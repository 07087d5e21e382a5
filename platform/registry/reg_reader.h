// Reading the registry's text form: "Windows Registry Editor Version 5.00"
// files as regedit writes them, and "REGEDIT4" files.
//
// Accepted: UTF-8 (with or without byte-order mark) and UTF-16LE with a
// byte-order mark; REGEDIT4 files that are not valid UTF-8 are read as
// Latin-1. A Ctrl-Z (0x1A) ends the file, as in files of older regedits.
// Understood: [key] and [-key] lines below HKEY_LOCAL_MACHINE (or HKLM),
// "name"= and @= values as "string", dword:, hex:, hex(n): (n in hex) with
// "\" line continuations, "name"=- deletions and ";" comments.
//
// The reader holds the text to the registry's own rules (registry_limits.h):
// a name the registry would refuse, keys nested too deep, a value too large
// and text that cannot be stored without loss (an unpaired UTF-16
// surrogate, bytes that are not UTF-8) are errors that name their line.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "platform/registry/key_tree.h"
#include "platform/registry/tree_change.h"

namespace velmora {

// Where the lines of a .reg text go. Each call returns false to stop the
// reading (with *error set).
class RegSink {
 public:
  virtual ~RegSink() = default;
  // A key line: the components of its path below the root (none for the
  // root itself); remove for a "[-...]" line.
  virtual bool Key(std::span<const std::u16string> path, bool remove, std::string* error) = 0;
  // How many value lines follow the last key line, as far as read.
  virtual void ExpectValues(size_t) {}
  // A value of the last key line, or its removal ("name"=-).
  virtual bool SetValue(std::u16string_view name, uint32_t type, std::span<const uint8_t> data,
                        std::string* error) = 0;
  virtual bool RemoveValue(std::u16string_view name, std::string* error) = 0;
};

// Reads a .reg text a piece at a time: read appends the next bytes to its
// first argument and sets its second at the end (false on a read error,
// with *error set). Memory stays within a few pieces and the longest line.
// A line that is not UTF-8 is an error naming it; in a REGEDIT4 file it is
// read as Latin-1 (a whole text read at once is judged as a whole).
bool ReadRegStream(const std::function<bool(std::string*, bool*, std::string*)>& read,
                   RegSink& sink, std::string* error);

// Applies the text to root through change. On failure *error is
// "line N: what"; what the text did before that line stays applied (undo it
// through change, or read into a fresh tree).
bool ReadRegText(std::string_view bytes, KeyNode& root, TreeChange& change, std::string* error);

// The lines of one journal record: version 5.00 text without its header.
bool ReadRegLines(std::string_view lines, KeyNode& root, TreeChange& change, std::string* error);

// The same into a fresh tree, for tests and tools.
bool ReadRegText(std::string_view bytes, KeyNode& root, std::string* error);

}  // namespace velmora
