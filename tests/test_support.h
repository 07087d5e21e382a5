// Helpers shared by the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/unique_fd.h"

namespace velmora::testing {

// A fresh folder below the system's temporary folder, removed with all its
// contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ReadFileText(const std::string& path);
// The bytes of a text file in UTF-16, little-endian after its byte-order
// mark, as regedit writes its .reg files.
std::string Utf16File(std::u16string_view text);
void WriteFileText(const std::string& path, const std::string& text);

// Registry helpers for arranging and checking state in tests. Paths are
// relative to HKEY_LOCAL_MACHINE; they fail the current test on error.
void SetString(PlatformRegistry& registry, std::u16string_view path, std::u16string_view name,
               std::u16string_view value);
void SetNumber(PlatformRegistry& registry, std::u16string_view path, std::u16string_view name,
               uint32_t value);
void SetBytes(PlatformRegistry& registry, std::u16string_view path, std::u16string_view name,
              uint32_t type, const std::vector<uint8_t>& data);
void MakeKey(PlatformRegistry& registry, std::u16string_view path);
bool KeyExists(PlatformRegistry& registry, std::u16string_view path);

// A value as "type:size:text" for strings ("1:8:COM"), "4:4:5" for
// numbers, "3:1:01" (hex bytes) for everything else, "missing" when absent.
std::string DescribeValue(PlatformRegistry& registry, std::u16string_view path,
                          std::u16string_view name);

// The data part of DescribeValue: "COM", "5", "01".
std::string ValueData(PlatformRegistry& registry, std::u16string_view path,
                      std::u16string_view name);

// The running devices below "Drivers\Active", one per line:
// "<entry> <Name> <Hnd> <Key>", as "01 COM1: 1001 Drivers\BuiltIn\Serial".
std::vector<std::string> ActiveEntries(PlatformRegistry& registry);

// Names of the values of a key, in enumeration order, joined by ",".
std::string ValueNames(PlatformRegistry& registry, std::u16string_view path);

// Names of the subkeys of a key, in enumeration order, joined by ",".
std::string SubkeyNames(PlatformRegistry& registry, std::u16string_view path);

// A TCP port on 127.0.0.1 that nobody listens on now (0 when none).
uint16_t FreePort();

// A non-blocking TCP connection to port on 127.0.0.1, made from the
// loopback address from; an invalid descriptor when it cannot be made.
// *shown, when given, is the "address:port" the server sees.
UniqueFd ConnectLoopback(uint16_t port, const char* from = "127.0.0.1",
                         std::string* shown = nullptr);

}  // namespace velmora::testing
