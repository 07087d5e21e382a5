#include "platform/registry/store_tree.h"

#include <vector>

#include "platform/text.h"

namespace velmora {

namespace {

using store::IdKey;
using store::MakeKey;

std::string_view View(const MDB_val& value) {
  return {static_cast<const char*>(value.mv_data), value.mv_size};
}

MDB_val Val(std::string_view bytes) {
  return MDB_val{bytes.size(), const_cast<char*>(bytes.data())};
}

std::string BigId(uint64_t id) {
  IdKey key = MakeKey(id);
  return std::string(key.view());
}

uint64_t IdOf(std::string_view payload, bool* ok) {
  *ok = payload.size() == 8;
  return *ok ? store::FirstOf(payload) : 0;
}

// A cursor that closes itself.
class Cursor {
 public:
  Cursor(MDB_txn* txn, MDB_dbi dbi) { rc_ = mdb_cursor_open(txn, dbi, &cursor_); }
  ~Cursor() {
    if (cursor_ != nullptr) {
      mdb_cursor_close(cursor_);
    }
  }
  Cursor(const Cursor&) = delete;
  Cursor& operator=(const Cursor&) = delete;
  int opened() const { return rc_; }
  int Get(MDB_val* key, MDB_val* value, MDB_cursor_op op) {
    return mdb_cursor_get(cursor_, key, value, op);
  }

 private:
  MDB_cursor* cursor_ = nullptr;
  int rc_ = 0;
};

std::string Printable(std::string_view key) {
  if (key.size() == 8 || key.size() == 16) {
    std::string text = std::to_string(store::FirstOf(key));
    if (key.size() == 16) {
      text += "/" + std::to_string(store::SecondOf(key));
    }
    return text;
  }
  return std::string(key);
}

}  // namespace

Status StoreTree::Lmdb(int rc) {
  *error_ = env_.Describe(rc);
  switch (rc) {
    case MDB_CORRUPTED:
    case MDB_PAGE_NOTFOUND:
    case MDB_INVALID:
    case MDB_VERSION_MISMATCH:
    case MDB_INCOMPATIBLE:
    case MDB_BAD_VALSIZE:
      return StatusRegistryCorrupt;
    case MDB_MAP_FULL:
      *error_ = env_.path() + ": the registry has reached its size limit";
      return StatusRegistryIoFailed;
    default:
      return StatusRegistryIoFailed;
  }
}

Status StoreTree::Damaged(const char* table, std::string_view key) {
  *error_ =
      env_.path() + ": the record " + Printable(key) + " of the table \"" + table + "\" is damaged";
  return StatusRegistryCorrupt;
}

Status StoreTree::Get(MDB_dbi dbi, const char* table, std::string_view key,
                      std::string_view* payload) {
  MDB_val k = Val(key);
  MDB_val v{};
  int rc = mdb_get(txn_, dbi, &k, &v);
  if (rc == MDB_NOTFOUND) {
    return StatusFileNotFound;
  }
  if (rc != 0) {
    return Lmdb(rc);
  }
  return store::Unseal(key, View(v), payload) ? StatusSuccess : Damaged(table, key);
}

Status StoreTree::Put(MDB_dbi dbi, std::string_view key, std::string_view payload, unsigned flags) {
  std::string sealed = store::Seal(key, payload);
  MDB_val k = Val(key);
  MDB_val v = Val(sealed);
  int rc = mdb_put(txn_, dbi, &k, &v, flags);
  return rc == 0 ? StatusSuccess : Lmdb(rc);
}

Status StoreTree::Del(MDB_dbi dbi, std::string_view key, const std::string* sealed) {
  MDB_val k = Val(key);
  MDB_val v{};
  if (sealed != nullptr) {
    v = Val(*sealed);
  }
  int rc = mdb_del(txn_, dbi, &k, sealed != nullptr ? &v : nullptr);
  return rc == 0 || rc == MDB_NOTFOUND ? StatusSuccess : Lmdb(rc);
}

Status StoreTree::ReadKey(uint64_t id, store::KeyRecord* record) {
  IdKey key = MakeKey(id);
  std::string_view payload;
  Status status = Get(env_.keys, "keys", key.view(), &payload);
  if (status == StatusSuccess && !store::DecodeKey(payload, record)) {
    return Damaged("keys", key.view());
  }
  return status;
}

Status StoreTree::ScanIndex(MDB_dbi dbi, const char* table, uint64_t owner,
                            std::u16string_view name,
                            const std::function<Status(uint64_t, std::string_view, bool*)>& visit) {
  IdKey key = MakeKey(owner);
  IdKey start = MakeKey(store::NameHash(name), 0);
  Cursor cursor(txn_, dbi);
  if (cursor.opened() != 0) {
    return Lmdb(cursor.opened());
  }
  MDB_val k = Val(key.view());
  MDB_val v = Val(start.view());
  int rc = cursor.Get(&k, &v, MDB_GET_BOTH_RANGE);
  for (; rc == 0; rc = cursor.Get(&k, &v, MDB_NEXT_DUP)) {
    std::string_view entry = View(v);
    if (entry.size() < 8 || entry.substr(0, 8) != start.view().substr(0, 8)) {
      break;  // past the entries of this name's hash
    }
    std::string_view payload;
    if (!store::Unseal(key.view(), entry, &payload) || payload.size() != 16) {
      return Damaged(table, key.view());
    }
    bool done = false;
    Status status = visit(store::SecondOf(payload), entry, &done);
    if (status != StatusSuccess || done) {
      return status;
    }
  }
  return rc == 0 || rc == MDB_NOTFOUND ? StatusFileNotFound : Lmdb(rc);
}

Status StoreTree::FindChild(uint64_t parent, std::u16string_view name, uint64_t* child) {
  return ScanIndex(
      env_.children, "children", parent, name, [&](uint64_t id, std::string_view, bool* done) {
        store::KeyRecord record;
        Status status = ReadKey(id, &record);
        if (status == StatusFileNotFound || (status == StatusSuccess && record.parent != parent)) {
          // An index entry without its key.
          return Damaged("children", MakeKey(parent).view());
        }
        if (status == StatusSuccess && EqualsIgnoringCase(record.name, name)) {
          *child = id;
          *done = true;
        }
        return status;
      });
}

Status StoreTree::ChildAt(uint64_t parent, uint32_t index, const Position* from, uint64_t* child,
                          Position* at) {
  Cursor cursor(txn_, env_.order);
  if (cursor.opened() != 0) {
    return Lmdb(cursor.opened());
  }
  IdKey start = MakeKey(parent, from != nullptr ? from->place : 0);
  uint32_t current = from != nullptr ? from->index : 0;
  MDB_val k = Val(start.view());
  MDB_val v{};
  int rc = cursor.Get(&k, &v, from != nullptr ? MDB_SET_KEY : MDB_SET_RANGE);
  if (from == nullptr) {
    current = 0;
  }
  while (rc == 0 && store::FirstOf(View(k)) == parent && current < index) {
    rc = cursor.Get(&k, &v, MDB_NEXT);
    ++current;
  }
  if (rc == MDB_NOTFOUND || (rc == 0 && store::FirstOf(View(k)) != parent)) {
    return StatusNoMoreItems;
  }
  if (rc != 0) {
    return Lmdb(rc);
  }
  std::string_view payload;
  bool ok = false;
  if (store::Unseal(View(k), View(v), &payload)) {
    *child = IdOf(payload, &ok);
  }
  if (!ok) {
    return Damaged("order", View(k));
  }
  at->index = index;
  at->place = store::SecondOf(View(k));
  return StatusSuccess;
}

Status StoreTree::HasChildren(uint64_t parent, bool* has) {
  uint64_t child = 0;
  Position at;
  Status status = ChildAt(parent, 0, nullptr, &child, &at);
  *has = status == StatusSuccess;
  return status == StatusNoMoreItems ? StatusSuccess : status;
}

Status StoreTree::ForEachChild(
    uint64_t parent, const std::function<Status(uint64_t, const store::KeyRecord&)>& visit) {
  Cursor cursor(txn_, env_.order);
  if (cursor.opened() != 0) {
    return Lmdb(cursor.opened());
  }
  IdKey start = MakeKey(parent, 0);
  MDB_val k = Val(start.view());
  MDB_val v{};
  int rc = cursor.Get(&k, &v, MDB_SET_RANGE);
  for (; rc == 0 && store::FirstOf(View(k)) == parent; rc = cursor.Get(&k, &v, MDB_NEXT)) {
    std::string_view payload;
    bool ok = false;
    uint64_t id = 0;
    if (store::Unseal(View(k), View(v), &payload)) {
      id = IdOf(payload, &ok);
    }
    if (!ok) {
      return Damaged("order", View(k));
    }
    store::KeyRecord record;
    Status status = ReadKey(id, &record);
    if (status == StatusFileNotFound) {
      return Damaged("order", View(k));
    }
    if (status == StatusSuccess) {
      status = visit(id, record);
    }
    if (status != StatusSuccess) {
      return status;
    }
  }
  return rc == 0 || rc == MDB_NOTFOUND ? StatusSuccess : Lmdb(rc);
}

Status StoreTree::ForEachValue(uint64_t key,
                               const std::function<Status(const store::ValueRecord&)>& visit) {
  Cursor cursor(txn_, env_.values);
  if (cursor.opened() != 0) {
    return Lmdb(cursor.opened());
  }
  IdKey start = MakeKey(key, 0);
  MDB_val k = Val(start.view());
  MDB_val v{};
  int rc = cursor.Get(&k, &v, MDB_SET_RANGE);
  store::ValueRecord value;
  for (; rc == 0 && store::FirstOf(View(k)) == key; rc = cursor.Get(&k, &v, MDB_NEXT)) {
    std::string_view payload;
    if (!store::Unseal(View(k), View(v), &payload) || !store::DecodeValue(payload, &value)) {
      return Damaged("values", View(k));
    }
    Status status = visit(value);
    if (status != StatusSuccess) {
      return status;
    }
  }
  return rc == 0 || rc == MDB_NOTFOUND ? StatusSuccess : Lmdb(rc);
}

Status StoreTree::ValueAt(uint64_t key, uint32_t index, store::ValueRecord* value) {
  uint32_t current = 0;
  Status found = StatusNoMoreItems;
  Status status = ForEachValue(key, [&](const store::ValueRecord& record) {
    if (current++ == index) {
      *value = record;
      found = StatusSuccess;
      return StatusNoMoreItems;  // stops the walk
    }
    return StatusSuccess;
  });
  return status == StatusSuccess || status == StatusNoMoreItems ? found : status;
}

Status StoreTree::LookUpValue(uint64_t key, std::u16string_view name, uint64_t* place,
                              store::ValueRecord* value, std::string* indexEntry) {
  return ScanIndex(env_.names, "names", key, name,
                   [&](uint64_t at, std::string_view entry, bool* done) {
                     IdKey valueKey = MakeKey(key, at);
                     std::string_view stored;
                     Status status = Get(env_.values, "values", valueKey.view(), &stored);
                     if (status == StatusFileNotFound) {
                       return Damaged("names", MakeKey(key).view());
                     }
                     if (status == StatusSuccess && !store::DecodeValue(stored, value)) {
                       status = Damaged("values", valueKey.view());
                     }
                     if (status == StatusSuccess && EqualsIgnoringCase(value->name, name)) {
                       *place = at;
                       if (indexEntry != nullptr) {
                         indexEntry->assign(entry);
                       }
                       *done = true;
                     }
                     return status;
                   });
}

Status StoreTree::FindValue(uint64_t key, std::u16string_view name, uint64_t* place,
                            store::ValueRecord* value) {
  return LookUpValue(key, name, place, value, nullptr);
}

Status StoreTree::NextNumber(std::string_view name, uint64_t first, uint64_t* value) {
  std::string_view payload;
  Status status = Get(env_.meta, "meta", name, &payload);
  *value = first;
  if (status == StatusSuccess && !store::DecodeNumber(payload, value)) {
    return Damaged("meta", name);
  }
  if (status != StatusSuccess && status != StatusFileNotFound) {
    return status;
  }
  return Put(env_.meta, name, store::EncodeNumber(*value + 1));
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
  std::string big = BigId(id);
  status = Put(env_.keys, key.view(), store::EncodeKey(record), MDB_APPEND);
  if (status == StatusSuccess) {
    status = Put(env_.keys, parentKey.view(), store::EncodeKey(parentRecord));
  }
  if (status == StatusSuccess) {
    status = Put(env_.children, index.view(), entry.view());
  }
  if (status == StatusSuccess) {
    status = Put(env_.order, order.view(), big);
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
    return Put(env_.values, valueKey.view(), store::EncodeValue(type, old.name, data));
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
  status = Put(env_.keys, idKey.view(), store::EncodeKey(record));
  if (status == StatusSuccess) {
    status = Put(env_.values, valueKey.view(), store::EncodeValue(type, name, data));
  }
  if (status == StatusSuccess) {
    status = Put(env_.names, idKey.view(), entry.view());
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
  status = Del(env_.values, valueKey.view());
  return status == StatusSuccess ? Del(env_.names, index.view(), &entry) : status;
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
  status = Del(env_.order, order.view());
  if (status == StatusSuccess) {
    status = Del(env_.children, index.view(), &entry);
  }
  return status == StatusSuccess ? Del(env_.keys, key.view()) : status;
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
