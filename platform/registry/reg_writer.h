// Writing the registry as text: "Windows Registry Editor Version 5.00"
// files as regedit writes them - UTF-8, "\n" line ends, every key in
// enumeration order (pre-order), values in their order. Strings that the
// quoted form cannot carry exactly (no terminator, embedded zero or control
// characters, unpaired surrogates) are written as hex(1), so every value
// round-trips through the reader.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/registry/key_tree.h"

namespace velmora {

inline constexpr std::string_view RegFileHeader = "Windows Registry Editor Version 5.00\n";

// The whole registry, header included; comment (lines starting with ";"),
// when not empty, goes right below the header.
std::string FormatRegText(const KeyNode& root, std::string_view comment = {});

// The pieces, for the journal: "[HKEY_LOCAL_MACHINE\path]" ("[-...]" to
// remove), one value, and the removal of a value ("name"=-).
void AppendKeyLine(std::string& out, std::u16string_view path, bool remove = false);
void AppendValueLine(std::string& out, std::u16string_view name, uint32_t type,
                     std::span<const uint8_t> data);
void AppendValueRemoval(std::string& out, std::u16string_view name);

// UTF-16 to UTF-8, appended (unpaired surrogates become U+FFFD).
void AppendUtf8(std::string& out, std::u16string_view text);

}  // namespace velmora
