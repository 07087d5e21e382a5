// The registry's keys and values as records of the store, read and changed
// inside one LMDB transaction (store_format.h has the tables). Every record
// read is checked: a damaged one gives StatusRegistryCorrupt and an error
// naming the file and the record; an LMDB failure gives
// StatusRegistryCorrupt (a damaged file) or StatusRegistryIoFailed (a full
// disk, a store at its size limit).
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "platform/registry/store_env.h"
#include "platform/registry/store_format.h"
#include "platform/status.h"

namespace velmora {

class StoreTree {
 public:
  StoreTree(const StoreEnv& env, MDB_txn* txn, std::string* error)
      : env_(env), txn_(txn), error_(error) {}

  // Why the last call failed, when the store failed it.
  const std::string& error() const { return *error_; }

  // A subkey's place in its parent's creation order, to go on from.
  struct Position {
    uint32_t index = 0;
    uint64_t place = 0;
  };

  Status ReadKey(uint64_t id, store::KeyRecord* record);
  Status FindChild(uint64_t parent, std::u16string_view name, uint64_t* child);
  // The index-th subkey; from (when not null) is the position of an
  // earlier subkey of the same parent in the same state.
  Status ChildAt(uint64_t parent, uint32_t index, const Position* from, uint64_t* child,
                 Position* at);
  Status HasChildren(uint64_t parent, bool* has);
  Status ValueAt(uint64_t key, uint32_t index, store::ValueRecord* value);
  Status FindValue(uint64_t key, std::u16string_view name, uint64_t* place,
                   store::ValueRecord* value);

  // Walks in creation order; each stops at the first status that is not
  // StatusSuccess and returns it.
  Status ForEachChild(uint64_t parent,
                      const std::function<Status(uint64_t, const store::KeyRecord&)>& visit);
  Status ForEachValue(uint64_t key, const std::function<Status(const store::ValueRecord&)>& visit);

  Status CreateChild(uint64_t parent, std::u16string_view name, uint64_t* child);
  Status SetValue(uint64_t key, std::u16string_view name, uint32_t type,
                  std::span<const uint8_t> data);
  Status RemoveValue(uint64_t key, std::u16string_view name);
  // Removes a key without subkeys, with its values.
  Status RemoveKey(uint64_t id);
  // Removes id and everything below it, except keep and the keys on the way
  // to it (0: nothing is kept). *kept tells whether anything was.
  Status RemoveTree(uint64_t id, uint64_t keep, bool* kept);

  // A counter kept in the store that never goes back: *value is its
  // current value (first when there is none yet), and it moves on by one.
  Status NextNumber(std::string_view name, uint64_t first, uint64_t* value);

 private:
  Status Get(MDB_dbi dbi, const char* table, std::string_view key, std::string_view* payload);
  Status Put(MDB_dbi dbi, std::string_view key, std::string_view payload, unsigned flags = 0);
  Status Del(MDB_dbi dbi, std::string_view key, const std::string* sealed = nullptr);
  // Walks the index entries of owner's subkeys or values whose name has
  // the hash of name: visit gets each one's key or place and its stored
  // bytes, and sets *done to stop. StatusFileNotFound when none is left.
  Status ScanIndex(MDB_dbi dbi, const char* table, uint64_t owner, std::u16string_view name,
                   const std::function<Status(uint64_t, std::string_view, bool*)>& visit);
  Status Lmdb(int rc);
  Status Damaged(const char* table, std::string_view key);
  // The place of name among key's values, with its record; the index
  // record's sealed bytes for removing it.
  Status LookUpValue(uint64_t key, std::u16string_view name, uint64_t* place,
                     store::ValueRecord* value, std::string* indexEntry);

  const StoreEnv& env_;
  MDB_txn* txn_;
  std::string* error_;
};

}  // namespace velmora
