#include "platform/registry/store_reader.h"

#include "platform/text.h"

namespace velmora {

namespace {

using store::IdKey;
using store::MakeKey;

// The key number an "order" record holds.
uint64_t IdOf(std::string_view payload, bool* ok) {
  *ok = payload.size() == 8;
  return *ok ? store::FirstOf(payload) : 0;
}

}  // namespace

Status StoreReader::ReadKey(uint64_t id, store::KeyRecord* record) {
  IdKey key = MakeKey(id);
  std::string_view payload;
  Status status = Get(env().keys, "keys", key.view(), &payload);
  if (status == StatusSuccess && !store::DecodeKey(payload, record)) {
    return Damaged("keys", key.view());
  }
  return status;
}

Status StoreReader::ScanIndex(
    MDB_dbi dbi, const char* table, uint64_t owner, std::u16string_view name,
    const std::function<Status(uint64_t, std::string_view, bool*)>& visit) {
  IdKey key = MakeKey(owner);
  IdKey start = MakeKey(store::NameHash(name), 0);
  StoreCursor cursor(txn(), dbi);
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

Status StoreReader::FindChild(uint64_t parent, std::u16string_view name, uint64_t* child) {
  return ScanIndex(
      env().children, "children", parent, name, [&](uint64_t id, std::string_view, bool* done) {
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

Status StoreReader::ChildAt(uint64_t parent, uint32_t index, const Position* from, uint64_t* child,
                            Position* at) {
  StoreCursor cursor(txn(), env().order);
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

Status StoreReader::HasChildren(uint64_t parent, bool* has) {
  uint64_t child = 0;
  Position at;
  Status status = ChildAt(parent, 0, nullptr, &child, &at);
  *has = status == StatusSuccess;
  return status == StatusNoMoreItems ? StatusSuccess : status;
}

Status StoreReader::ScanOwner(
    MDB_dbi dbi, uint64_t owner,
    const std::function<Status(std::string_view, std::string_view)>& visit) {
  StoreCursor cursor(txn(), dbi);
  if (cursor.opened() != 0) {
    return Lmdb(cursor.opened());
  }
  IdKey start = MakeKey(owner, 0);
  MDB_val k = Val(start.view());
  MDB_val v{};
  int rc = cursor.Get(&k, &v, MDB_SET_RANGE);
  for (; rc == 0 && store::FirstOf(View(k)) == owner; rc = cursor.Get(&k, &v, MDB_NEXT)) {
    Status status = visit(View(k), View(v));
    if (status != StatusSuccess) {
      return status;
    }
  }
  return rc == 0 || rc == MDB_NOTFOUND ? StatusSuccess : Lmdb(rc);
}

Status StoreReader::ForEachChild(
    uint64_t parent, const std::function<Status(uint64_t, const store::KeyRecord&)>& visit) {
  return ScanOwner(env().order, parent, [&](std::string_view k, std::string_view v) {
    std::string_view payload;
    bool ok = false;
    uint64_t id = 0;
    if (store::Unseal(k, v, &payload)) {
      id = IdOf(payload, &ok);
    }
    if (!ok) {
      return Damaged("order", k);
    }
    store::KeyRecord record;
    Status status = ReadKey(id, &record);
    if (status == StatusFileNotFound) {
      return Damaged("order", k);
    }
    return status == StatusSuccess ? visit(id, record) : status;
  });
}

Status StoreReader::ForEachValue(uint64_t key,
                                 const std::function<Status(const store::ValueRecord&)>& visit) {
  store::ValueRecord value;
  return ScanOwner(env().values, key, [&](std::string_view k, std::string_view v) {
    std::string_view payload;
    if (!store::Unseal(k, v, &payload) || !store::DecodeValue(payload, &value)) {
      return Damaged("values", k);
    }
    return visit(value);
  });
}

Status StoreReader::ValueAt(uint64_t key, uint32_t index, store::ValueRecord* value) {
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

Status StoreReader::LookUpValue(uint64_t key, std::u16string_view name, uint64_t* place,
                                store::ValueRecord* value, std::string* indexEntry) {
  return ScanIndex(env().names, "names", key, name,
                   [&](uint64_t at, std::string_view entry, bool* done) {
                     IdKey valueKey = MakeKey(key, at);
                     std::string_view stored;
                     Status status = Get(env().values, "values", valueKey.view(), &stored);
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

Status StoreReader::FindValue(uint64_t key, std::u16string_view name, uint64_t* place,
                              store::ValueRecord* value) {
  return LookUpValue(key, name, place, value, nullptr);
}

}  // namespace velmora
