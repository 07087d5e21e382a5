#include "platform/registry/store_tree.h"

#include <vector>

namespace velmora {

namespace {

using store::IdKey;
using store::MakeKey;

}  // namespace

Status StoreTree::NextNumber(std::string_view name, uint64_t first, uint64_t* value) {
  std::string_view payload;
  Status status = Get(env().meta, "meta", name, &payload);
  *value = first;
  if (status == StatusSuccess && !store::DecodeNumber(payload, value)) {
    return Damaged("meta", name);
  }
  if (status != StatusSuccess && status != StatusFileNotFound) {
    return status;
  }
  return Put(env().meta, name, store::EncodeNumber(*value + 1));
}

Status StoreTree::CreateChild(uint64_t parent, std::u16string_view name, uint64_t* child) {
  store::KeyRecord parentRecord;
  Status status = ReadKey(parent, &parentRecord);
  uint64_t id = 0;
  if (status == StatusSuccess) {
    status = NextNumber("next-key", store::RootKey + 1, &id);
  }
  if (status != StatusSuccess) {
    return status;
  }
  store::KeyRecord record;
  record.parent = parent;
  record.place = parentRecord.nextSubkey++;
  record.name.assign(name);
  IdKey key = MakeKey(id);
  IdKey parentKey = MakeKey(parent);
  IdKey index = MakeKey(parent);
  IdKey entry = MakeKey(store::NameHash(name), id);
  IdKey order = MakeKey(parent, record.place);
  status = Put(env().keys, key.view(), store::EncodeKey(record), MDB_APPEND);
  if (status == StatusSuccess) {
    status = Put(env().keys, parentKey.view(), store::EncodeKey(parentRecord));
  }
  if (status == StatusSuccess) {
    status = Put(env().children, index.view(), entry.view());
  }
  if (status == StatusSuccess) {
    status = Put(env().order, order.view(), key.view());
  }
  *child = id;
  return status;
}

Status StoreTree::SetValue(uint64_t key, std::u16string_view name, uint32_t type,
                           std::span<const uint8_t> data) {
  uint64_t place = 0;
  store::ValueRecord old;
  Status status = LookUpValue(key, name, &place, &old, nullptr);
  if (status == StatusSuccess) {
    IdKey valueKey = MakeKey(key, place);
    return Put(env().values, valueKey.view(), store::EncodeValue(type, old.name, data));
  }
  if (status != StatusFileNotFound) {
    return status;
  }
  store::KeyRecord record;
  status = ReadKey(key, &record);
  if (status != StatusSuccess) {
    return status;
  }
  place = record.nextValue++;
  IdKey idKey = MakeKey(key);
  IdKey valueKey = MakeKey(key, place);
  IdKey entry = MakeKey(store::NameHash(name), place);
  status = Put(env().keys, idKey.view(), store::EncodeKey(record));
  if (status == StatusSuccess) {
    status = Put(env().values, valueKey.view(), store::EncodeValue(type, name, data));
  }
  if (status == StatusSuccess) {
    status = Put(env().names, idKey.view(), entry.view());
  }
  return status;
}

Status StoreTree::RemoveValue(uint64_t key, std::u16string_view name) {
  uint64_t place = 0;
  store::ValueRecord old;
  std::string entry;
  Status status = LookUpValue(key, name, &place, &old, &entry);
  if (status != StatusSuccess) {
    return status;
  }
  IdKey valueKey = MakeKey(key, place);
  IdKey index = MakeKey(key);
  status = Del(env().values, valueKey.view());
  return status == StatusSuccess ? Del(env().names, index.view(), &entry) : status;
}

Status StoreTree::RemoveKey(uint64_t id) {
  store::KeyRecord record;
  Status status = ReadKey(id, &record);
  if (status != StatusSuccess) {
    return status;
  }
  std::vector<std::u16string> names;
  status = ForEachValue(id, [&](const store::ValueRecord& value) {
    names.push_back(value.name);
    return StatusSuccess;
  });
  for (size_t i = 0; status == StatusSuccess && i < names.size(); ++i) {
    status = RemoveValue(id, names[i]);
  }
  if (status != StatusSuccess) {
    return status;
  }
  IdKey key = MakeKey(id);
  IdKey order = MakeKey(record.parent, record.place);
  IdKey index = MakeKey(record.parent);
  std::string entry = store::Seal(index.view(), MakeKey(store::NameHash(record.name), id).view());
  status = Del(env().order, order.view());
  if (status == StatusSuccess) {
    status = Del(env().children, index.view(), &entry);
  }
  return status == StatusSuccess ? Del(env().keys, key.view()) : status;
}

Status StoreTree::RemoveTree(uint64_t id, uint64_t keep, bool* kept) {
  *kept = id == keep;
  if (*kept) {
    return StatusSuccess;
  }
  std::vector<uint64_t> children;
  Status status = ForEachChild(id, [&](uint64_t child, const store::KeyRecord&) {
    children.push_back(child);
    return StatusSuccess;
  });
  for (uint64_t child : children) {
    bool childKept = false;
    if (status == StatusSuccess) {
      status = RemoveTree(child, keep, &childKept);
    }
    *kept = *kept || childKept;
  }
  if (status != StatusSuccess || *kept || id == store::RootKey) {
    return status;
  }
  return RemoveKey(id);
}

}  // namespace velmora
