// One open registry key with typed accessors. Each kind of value is stored
// one fixed way: strings and 32-bit numbers natively, flags and bytes as
// one-byte binary values, rectangles, colours, number lists and floats as
// text. Every accessor may name another path below the same root; the
// wrapper then closes its key and holds the other one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace velmora {

struct Rectangle {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

using Color = uint32_t;  // red in bits 0-7, green 8-15, blue 16-23

class RegistryKey {
 public:
  explicit RegistryKey(HKEY root);
  // Opens path at once (without creating it); an empty path holds the root.
  RegistryKey(std::u16string_view path, HKEY root);
  virtual ~RegistryKey();
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  Status OpenPath(std::u16string_view path = {});
  Status CreatePath(std::u16string_view path = {});

  bool ReadString(std::u16string_view name, std::u16string* out, std::u16string_view path = {});
  bool WriteString(std::u16string_view name, std::u16string_view value,
                   std::u16string_view path = {});
  bool ReadNumber(std::u16string_view name, int32_t* out, std::u16string_view path = {});
  int32_t ReadNumberOr(std::u16string_view name, int32_t fallback, std::u16string_view path = {});
  bool WriteNumber(std::u16string_view name, int32_t value, std::u16string_view path = {});
  bool ReadFlag(std::u16string_view name, bool* out, std::u16string_view path = {});
  bool ReadFlagOr(std::u16string_view name, bool fallback, std::u16string_view path = {});
  bool WriteFlag(std::u16string_view name, bool value, std::u16string_view path = {});
  bool ReadByte(std::u16string_view name, uint8_t* out, std::u16string_view path = {});
  bool WriteByte(std::u16string_view name, uint8_t value, std::u16string_view path = {});
  bool ReadRect(std::u16string_view name, Rectangle* out, std::u16string_view path = {});
  bool WriteRect(std::u16string_view name, const Rectangle& value, std::u16string_view path = {});
  bool ReadColor(std::u16string_view name, Color* out, std::u16string_view path = {});
  bool WriteColor(std::u16string_view name, Color value, std::u16string_view path = {});
  bool ReadNumberList(std::u16string_view name, std::vector<int32_t>* out,
                      std::u16string_view path = {});
  bool WriteNumberList(std::u16string_view name, const std::vector<int32_t>& value,
                       std::u16string_view path = {});
  bool ReadFloat(std::u16string_view name, float* out, std::u16string_view path = {});
  bool WriteFloat(std::u16string_view name, float value, std::u16string_view path = {});

  // On the held key only.
  bool ReadBytes(std::u16string_view name, uint8_t* buffer, uint32_t* size);
  Status WriteBytes(std::u16string_view name, const uint8_t* data, uint32_t size);
  bool RemoveValue(std::u16string_view name);
  bool NextValueName(uint32_t* index, std::u16string* name);
  // Deletes the key at path below the root with everything below it. An
  // empty path is refused: the root is never emptied.
  bool DeleteTree(std::u16string_view path);

  HKEY heldKey() const { return heldKey_; }
  const std::u16string& keyPath() const { return keyPath_; }

 private:
  Status Target(std::u16string_view path, bool create);
  void CloseHeld();

  HKEY heldKey_ = 0;
  HKEY rootKey_;
  std::u16string keyPath_;
};

}  // namespace velmora
