// The registry store's records as LMDB holds them, for the store's own
// parts (store_reader.h, store_tree.h, store_check.h): every record is
// sealed when written and checked when read (store_format.h), and an LMDB
// failure becomes a status with an error naming the file.
#pragma once

#include <string>
#include <string_view>

#include "platform/registry/store_env.h"
#include "platform/status.h"

namespace velmora {

// The bytes LMDB hands back, as text.
inline std::string_view View(const MDB_val& value) {
  return {static_cast<const char*>(value.mv_data), value.mv_size};
}

inline MDB_val Val(std::string_view bytes) {
  return MDB_val{bytes.size(), const_cast<char*>(bytes.data())};
}

// "<path>: the record <key> of the table "<table>" is damaged", the key
// given by its numbers (as "5" or "5/7"), a name of "meta" as it is.
std::string DamagedRecord(const std::string& path, const char* table, std::string_view key);

// Stores payload sealed under key; LMDB's result.
int PutSealed(MDB_txn* txn, MDB_dbi dbi, std::string_view key, std::string_view payload,
              unsigned flags = 0);

// A cursor that closes itself.
class StoreCursor {
 public:
  StoreCursor(MDB_txn* txn, MDB_dbi dbi) { rc_ = mdb_cursor_open(txn, dbi, &cursor_); }
  ~StoreCursor() {
    if (cursor_ != nullptr) {
      mdb_cursor_close(cursor_);
    }
  }
  StoreCursor(const StoreCursor&) = delete;
  StoreCursor& operator=(const StoreCursor&) = delete;
  int opened() const { return rc_; }
  int Get(MDB_val* key, MDB_val* value, MDB_cursor_op op) {
    return mdb_cursor_get(cursor_, key, value, op);
  }

 private:
  MDB_cursor* cursor_ = nullptr;
  int rc_ = 0;
};

// The records of one transaction. A damaged record gives
// StatusRegistryCorrupt; an LMDB failure StatusRegistryCorrupt (a damaged
// file) or StatusRegistryIoFailed (a full disk, a store at its size
// limit). Either way *error says why.
class StoreRecords {
 public:
  StoreRecords(const StoreEnv& env, MDB_txn* txn, std::string* error)
      : env_(env), txn_(txn), error_(error) {}

  // Why the last call failed, when the store failed it.
  const std::string& error() const { return *error_; }
  const StoreEnv& env() const { return env_; }
  MDB_txn* txn() const { return txn_; }

  // StatusFileNotFound when there is no record under key.
  Status Get(MDB_dbi dbi, const char* table, std::string_view key, std::string_view* payload);
  Status Put(MDB_dbi dbi, std::string_view key, std::string_view payload, unsigned flags = 0);
  // Removes the record under key (with sealed: that one of its duplicates);
  // one that is not there is no failure.
  Status Del(MDB_dbi dbi, std::string_view key, const std::string* sealed = nullptr);
  Status Lmdb(int rc);
  Status Damaged(const char* table, std::string_view key);

 private:
  const StoreEnv& env_;
  MDB_txn* txn_;
  std::string* error_;
};

}  // namespace velmora
