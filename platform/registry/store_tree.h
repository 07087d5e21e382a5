// The registry's keys and values as records of the store, read and changed
// inside one LMDB transaction (store_format.h has the tables). Reading is
// StoreReader's (store_reader.h); this adds the changes: creating subkeys,
// setting and removing values, removing keys and whole subtrees, and the
// store's counters. Every record read is checked: a damaged one gives
// StatusRegistryCorrupt and an error naming the file and the record; an
// LMDB failure gives StatusRegistryCorrupt (a damaged file) or
// StatusRegistryIoFailed (a full disk, a store at its size limit).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/registry/store_reader.h"

namespace velmora {

class StoreTree : public StoreReader {
 public:
  StoreTree(const StoreEnv& env, MDB_txn* txn, std::string* error) : StoreReader(env, txn, error) {}

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
};

}  // namespace velmora
