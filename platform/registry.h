// The device registry as the program sees it.
//
// Keys are reached through opaque 32-bit handles. HKEY_LOCAL_MACHINE is
// predefined and always open; every path is relative to a parent handle and
// uses "\" between its components. Key and value names are looked up
// ignoring case (FoldCase) and keep the case they were created with.
// Every operation returns a Status: StatusSuccess (0) or the reason it failed.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/status.h"

namespace velmora {

using HKEY = uint32_t;

inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;

// The only access mask the program uses: full access.
inline constexpr uint32_t KeyAllAccess = 0xF003F;

// Value types.
inline constexpr uint32_t RegNone = 0;
inline constexpr uint32_t RegString = 1;  // UTF-16LE with terminator
inline constexpr uint32_t RegExpandString = 2;
inline constexpr uint32_t RegBinary = 3;
inline constexpr uint32_t RegNumber = 4;  // 32-bit little-endian
inline constexpr uint32_t RegMultiString = 7;

class PlatformRegistry {
 public:
  virtual ~PlatformRegistry() = default;

  // Opens path below parent. "" opens a new handle to parent itself.
  // On failure *result is 0 and the status says why (StatusFileNotFound
  // for a missing key, StatusInvalidHandle for an unknown parent,
  // StatusKeyDeleted for a parent that was deleted).
  virtual Status OpenKey(HKEY parent, std::u16string_view path, uint32_t access, HKEY* result) = 0;

  // Like OpenKey, but creates every missing key on the way.
  virtual Status CreateKey(HKEY parent, std::u16string_view path, uint32_t access,
                           HKEY* result) = 0;

  // Releases a handle. Closing HKEY_LOCAL_MACHINE is a harmless no-op.
  virtual Status CloseKey(HKEY key) = 0;

  // Name of the index-th subkey, in the hive's enumeration order (the order
  // in which the subkeys were created). *capacity is in characters,
  // terminator included; on success it receives the name's length without
  // the terminator. StatusMoreData when the name does not fit (name left
  // untouched), StatusNoMoreItems past the last subkey.
  virtual Status EnumSubkey(HKEY key, uint32_t index, char16_t* name, uint32_t* capacity) = 0;

  // The index-th value: its name like EnumSubkey, its type if type is not
  // null, and its data if data is not null. *dataSize is in bytes, in and
  // out; with data null it receives the size needed. Data that does not fit
  // gives StatusMoreData and leaves both buffers untouched.
  virtual Status EnumValue(HKEY key, uint32_t index, char16_t* name, uint32_t* nameCapacity,
                           uint32_t* type, uint8_t* data, uint32_t* dataSize) = 0;

  // Reads a value. With data null, *size receives the size needed. A buffer
  // that is too small gives StatusMoreData, *size the size needed, and the
  // buffer is left untouched. A missing value gives StatusFileNotFound.
  virtual Status QueryValue(HKEY key, std::u16string_view name, uint32_t* type, uint8_t* data,
                            uint32_t* size) = 0;

  // Creates or replaces a value. "" names the key's default value.
  virtual Status SetValue(HKEY key, std::u16string_view name, uint32_t type, const uint8_t* data,
                          uint32_t size) = 0;

  virtual Status DeleteValue(HKEY key, std::u16string_view name) = 0;

  // Deletes path below parent together with its values. A key that still
  // has subkeys, the path "" and the predefined root are refused with
  // StatusAccessDenied. Handles still open on the key fail from then on.
  virtual Status DeleteKey(HKEY parent, std::u16string_view path) = 0;
};

}  // namespace velmora
