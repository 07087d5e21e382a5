// Reading the registry's keys and values from the records of one
// transaction (store_format.h has the tables): a key by its number, a
// subkey or value by its name (ignoring case), and the subkeys and values
// of a key in creation order. Every record read is checked (store_records.h).
// StoreTree (store_tree.h) adds the changes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/registry/store_format.h"
#include "platform/registry/store_records.h"

namespace velmora {

class StoreReader : protected StoreRecords {
 public:
  StoreReader(const StoreEnv& env, MDB_txn* txn, std::string* error)
      : StoreRecords(env, txn, error) {}

  using StoreRecords::error;

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

 protected:
  // The place of name among key's values, with its record; the index
  // record's sealed bytes for removing it.
  Status LookUpValue(uint64_t key, std::u16string_view name, uint64_t* place,
                     store::ValueRecord* value, std::string* indexEntry);

 private:
  // Walks the records of dbi whose key starts with owner, in key order:
  // visit gets each one's key and value and stops the walk with any
  // status but StatusSuccess, which is then returned.
  Status ScanOwner(MDB_dbi dbi, uint64_t owner,
                   const std::function<Status(std::string_view, std::string_view)>& visit);
  // Walks the index entries of owner's subkeys or values whose name has
  // the hash of name: visit gets each one's key or place and its stored
  // bytes, and sets *done to stop. StatusFileNotFound when none is left.
  Status ScanIndex(MDB_dbi dbi, const char* table, uint64_t owner, std::u16string_view name,
                   const std::function<Status(uint64_t, std::string_view, bool*)>& visit);
};

}  // namespace velmora
