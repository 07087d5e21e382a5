// The text form of the registry: "Windows Registry Editor Version 5.00"
// files as regedit writes them, and "REGEDIT4" files.
//
// Reading accepts UTF-8 (with or without byte-order mark) and UTF-16LE with
// a byte-order mark; REGEDIT4 files that are not valid UTF-8 are read as
// Latin-1. Understood: [key] and [-key] lines below HKEY_LOCAL_MACHINE,
// "name"= and @= values as "string", dword:, hex:, hex(n): (n in hex) with
// "\" line continuations, "name"=- deletions and ";" comments.
//
// Writing gives UTF-8 version 5.00 text with "\n" line ends, every key in
// enumeration order (pre-order), values in their order. Strings that text
// cannot carry exactly (no terminator, embedded zero or control characters,
// unpaired surrogates) are written as hex(1), so every value round-trips.
#pragma once

#include <string>
#include <string_view>

#include "platform/registry/key_tree.h"

namespace velmora {

// Applies the file to root. On failure *error is "line N: what" and root
// may hold part of the file: parse into a fresh tree.
bool ParseRegText(std::string_view bytes, KeyNode& root, std::string* error);

std::string FormatRegText(const KeyNode& root);

}  // namespace velmora
