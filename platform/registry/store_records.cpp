#include "platform/registry/store_records.h"

#include "platform/registry/store_format.h"

namespace velmora {

std::string DamagedRecord(const std::string& path, const char* table, std::string_view key) {
  // Every table but "meta" is keyed by numbers; meta's names are text,
  // some of them eight bytes long.
  std::string name(key);
  if (std::string_view(table) != "meta" && (key.size() == 8 || key.size() == 16)) {
    name = std::to_string(store::FirstOf(key));
    if (key.size() == 16) {
      name += "/" + std::to_string(store::SecondOf(key));
    }
  }
  return path + ": the record " + name + " of the table \"" + table + "\" is damaged";
}

int PutSealed(MDB_txn* txn, MDB_dbi dbi, std::string_view key, std::string_view payload,
              unsigned flags) {
  std::string sealed = store::Seal(key, payload);
  MDB_val k = Val(key);
  MDB_val v = Val(sealed);
  return mdb_put(txn, dbi, &k, &v, flags);
}

Status StoreRecords::Lmdb(int rc) {
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

Status StoreRecords::Damaged(const char* table, std::string_view key) {
  *error_ = DamagedRecord(env_.path(), table, key);
  return StatusRegistryCorrupt;
}

Status StoreRecords::Get(MDB_dbi dbi, const char* table, std::string_view key,
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

Status StoreRecords::Put(MDB_dbi dbi, std::string_view key, std::string_view payload,
                         unsigned flags) {
  int rc = PutSealed(txn_, dbi, key, payload, flags);
  return rc == 0 ? StatusSuccess : Lmdb(rc);
}

Status StoreRecords::Del(MDB_dbi dbi, std::string_view key, const std::string* sealed) {
  MDB_val k = Val(key);
  MDB_val v{};
  if (sealed != nullptr) {
    v = Val(*sealed);
  }
  int rc = mdb_del(txn_, dbi, &k, sealed != nullptr ? &v : nullptr);
  return rc == 0 || rc == MDB_NOTFOUND ? StatusSuccess : Lmdb(rc);
}

}  // namespace velmora
