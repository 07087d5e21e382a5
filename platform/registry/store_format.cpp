#include "platform/registry/store_format.h"

#include <cstring>

#include "platform/registry/journal_format.h"
#include "platform/text.h"

namespace velmora::store {

namespace {

void PutBig(uint8_t* out, uint64_t value) {
  for (int i = 7; i >= 0; --i) {
    out[i] = static_cast<uint8_t>(value);
    value >>= 8;
  }
}

uint64_t GetBig(const char* in) {
  uint64_t value = 0;
  for (int i = 0; i < 8; ++i) {
    value = value << 8 | static_cast<uint8_t>(in[i]);
  }
  return value;
}

void PutLittle(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    out.push_back(static_cast<char>(value >> (8 * i)));
  }
}

uint64_t GetLittle(std::string_view in, size_t at, int bytes) {
  uint64_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) {
    value = value << 8 | static_cast<uint8_t>(in[at + static_cast<size_t>(i)]);
  }
  return value;
}

void PutName(std::string& out, std::u16string_view name) {
  PutLittle(out, name.size(), 2);
  for (char16_t c : name) {
    PutLittle(out, c, 2);
  }
}

// Reads a name at *at; false when the bytes end before it does.
bool GetName(std::string_view in, size_t* at, std::u16string* name) {
  if (*at + 2 > in.size()) {
    return false;
  }
  size_t length = GetLittle(in, *at, 2);
  *at += 2;
  if (*at + 2 * length > in.size()) {
    return false;
  }
  name->resize(length);
  for (size_t i = 0; i < length; ++i) {
    (*name)[i] = static_cast<char16_t>(GetLittle(in, *at + 2 * i, 2));
  }
  *at += 2 * length;
  return true;
}

uint32_t SealCrc(std::string_view tableKey, std::string_view payload) {
  return journal::Crc32(payload, journal::Crc32(tableKey));
}

}  // namespace

IdKey MakeKey(uint64_t first) {
  IdKey key{};
  PutBig(key.bytes, first);
  key.size = 8;
  return key;
}

IdKey MakeKey(uint64_t first, uint64_t second) {
  IdKey key{};
  PutBig(key.bytes, first);
  PutBig(key.bytes + 8, second);
  key.size = 16;
  return key;
}

uint64_t FirstOf(std::string_view tableKey) {
  return tableKey.size() >= 8 ? GetBig(tableKey.data()) : 0;
}

uint64_t SecondOf(std::string_view tableKey) {
  return tableKey.size() >= 16 ? GetBig(tableKey.data() + 8) : 0;
}

uint64_t NameHash(std::u16string_view name) {
  uint64_t hash = 1469598103934665603ull;  // FNV-1a
  for (char16_t c : name) {
    char16_t folded = FoldCase(c);
    hash = (hash ^ (folded & 0xFF)) * 1099511628211ull;
    hash = (hash ^ (folded >> 8)) * 1099511628211ull;
  }
  return hash;
}

std::string Seal(std::string_view tableKey, std::string_view payload) {
  std::string out(payload);
  PutLittle(out, SealCrc(tableKey, payload), 4);
  return out;
}

bool Unseal(std::string_view tableKey, std::string_view stored, std::string_view* payload) {
  if (stored.size() < 4) {
    return false;
  }
  *payload = stored.substr(0, stored.size() - 4);
  return GetLittle(stored, stored.size() - 4, 4) == SealCrc(tableKey, *payload);
}

std::string EncodeKey(const KeyRecord& record) {
  std::string out;
  out.reserve(34 + 2 * record.name.size());
  PutLittle(out, record.parent, 8);
  PutLittle(out, record.place, 8);
  PutLittle(out, record.nextSubkey, 8);
  PutLittle(out, record.nextValue, 8);
  PutName(out, record.name);
  return out;
}

bool DecodeKey(std::string_view payload, KeyRecord* record) {
  if (payload.size() < 34) {
    return false;
  }
  record->parent = GetLittle(payload, 0, 8);
  record->place = GetLittle(payload, 8, 8);
  record->nextSubkey = GetLittle(payload, 16, 8);
  record->nextValue = GetLittle(payload, 24, 8);
  size_t at = 32;
  return GetName(payload, &at, &record->name) && at == payload.size();
}

std::string EncodeValue(uint32_t type, std::u16string_view name, std::span<const uint8_t> data) {
  std::string out;
  out.reserve(6 + 2 * name.size() + data.size());
  PutLittle(out, type, 4);
  PutName(out, name);
  out.append(reinterpret_cast<const char*>(data.data()), data.size());
  return out;
}

bool DecodeValueName(std::string_view payload, std::u16string* name, uint32_t* type,
                     std::string_view* data) {
  size_t at = 4;
  if (payload.size() < 6 || !GetName(payload, &at, name)) {
    return false;
  }
  *type = static_cast<uint32_t>(GetLittle(payload, 0, 4));
  *data = payload.substr(at);
  return true;
}

bool DecodeValue(std::string_view payload, ValueRecord* record) {
  std::string_view data;
  if (!DecodeValueName(payload, &record->name, &record->type, &data)) {
    return false;
  }
  record->data.assign(data);
  return true;
}

std::string EncodeNumber(uint64_t value) {
  std::string out;
  PutLittle(out, value, 8);
  return out;
}

bool DecodeNumber(std::string_view payload, uint64_t* value) {
  if (payload.size() != 8) {
    return false;
  }
  *value = GetLittle(payload, 0, 8);
  return true;
}

}  // namespace velmora::store
