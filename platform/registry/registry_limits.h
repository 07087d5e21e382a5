// The limits of the device's registry, kept in this one place and enforced
// by every way into it: the registry's interface, the .reg reader (registry.reg,
// its journal and `reg import`) and the journal writer. They are the
// handheld's own, so nothing the registry holds can exceed what the program
// (name buffers of 256 characters) or the device could read back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velmora {

// Characters of one key or value name.
inline constexpr size_t MaxNameLength = 255;

// Keys below HKEY_LOCAL_MACHINE: "Drivers\BuiltIn\Serial" is 3 deep.
inline constexpr size_t MaxKeyDepth = 16;

// Bytes of one value's data.
inline constexpr uint32_t MaxValueSize = 4096;

// Bytes of a .reg file that is read (registry.reg, its journal, an import).
inline constexpr size_t MaxRegFileSize = size_t{64} << 20;

// Bytes of the registry store (registry.mdb): room for a registry that
// fills a .reg file of MaxRegFileSize many times over. A change that would
// need more fails as a write failure.
inline constexpr size_t MaxStoreSize = size_t{512} << 20;

// A key name: 1 to MaxNameLength characters, no "\", no control
// characters, every surrogate paired (so UTF-8 carries it exactly).
bool IsValidKeyName(std::u16string_view name);

// A value name: like a key name, but it may be empty (the default value)
// and may hold "\".
bool IsValidValueName(std::u16string_view name);

// Why a name is refused, for messages: "" when it is valid.
std::string_view KeyNameProblem(std::u16string_view name);
std::string_view ValueNameProblem(std::u16string_view name);

}  // namespace velmora
