// The records of the registry store (registry.mdb, an LMDB environment).
//
// Every key has a number that is never used again (the root,
// HKEY_LOCAL_MACHINE, is 1). The store holds these tables:
//
//   "meta"      name -> number or bytes: format, identity, next key number,
//               the device manager's counters
//   "keys"      key -> parent, place among its siblings, next places for
//               subkeys and values, name (original case)
//   "children"  parent -> hash of the folded name + key, one entry per
//               subkey, sorted (the name is compared in the key's record)
//   "order"     parent + place -> key: subkeys in creation order
//   "values"    key + place -> type, name (original case), data: values in
//               creation order
//   "names"     key -> hash of the folded name + place, one per value
//
// Numbers in table keys are big-endian so that LMDB's byte order is their
// order. Every stored record ends in a CRC-32 of its table key and its
// bytes: a damaged record is found and named, never used.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace velmora::store {

inline constexpr uint64_t RootKey = 1;
inline constexpr uint32_t FormatVersion = 1;

// A table key of one or two numbers.
struct IdKey {
  uint8_t bytes[16];
  size_t size;
  std::string_view view() const { return {reinterpret_cast<const char*>(bytes), size}; }
};
IdKey MakeKey(uint64_t first);
IdKey MakeKey(uint64_t first, uint64_t second);
uint64_t FirstOf(std::string_view tableKey);
uint64_t SecondOf(std::string_view tableKey);

// The hash of a name as the registry compares it (ignoring case).
uint64_t NameHash(std::u16string_view name);

// Frames payload for storing under tableKey: payload + CRC-32.
std::string Seal(std::string_view tableKey, std::string_view payload);
// The payload of a stored record; false when its CRC does not match.
bool Unseal(std::string_view tableKey, std::string_view stored, std::string_view* payload);

struct KeyRecord {
  uint64_t parent = 0;
  uint64_t place = 0;       // among the parent's subkeys
  uint64_t nextSubkey = 1;  // the place of the next subkey created
  uint64_t nextValue = 1;   // the place of the next value created
  std::u16string name;
};
std::string EncodeKey(const KeyRecord& record);
bool DecodeKey(std::string_view payload, KeyRecord* record);

struct ValueRecord {
  uint32_t type = 0;
  std::u16string name;
  std::string data;
};
std::string EncodeValue(uint32_t type, std::u16string_view name, std::span<const uint8_t> data);
bool DecodeValue(std::string_view payload, ValueRecord* record);
// A value record with its data left in place.
bool DecodeValueName(std::string_view payload, std::u16string* name, uint32_t* type,
                     std::string_view* data);

std::string EncodeNumber(uint64_t value);
bool DecodeNumber(std::string_view payload, uint64_t* value);

}  // namespace velmora::store
