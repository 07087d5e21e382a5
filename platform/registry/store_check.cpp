#include "platform/registry/store_check.h"

#include <algorithm>
#include <functional>
#include <map>

#include "platform/registry/store_env.h"
#include "platform/registry/store_format.h"
#include "platform/registry/store_records.h"
#include "platform/registry/tree_change.h"

namespace velmora {

namespace {

// Walks every record of one table; visit gets the table key and payload,
// or damaged is called. False when LMDB cannot go on.
bool Walk(MDB_txn* txn, MDB_dbi dbi, const std::string& path, const char* table,
          std::vector<std::string>* damage,
          const std::function<bool(std::string_view, std::string_view)>& visit) {
  StoreCursor cursor(txn, dbi);
  MDB_val k{};
  MDB_val v{};
  int rc = cursor.opened();
  for (rc = rc == 0 ? cursor.Get(&k, &v, MDB_FIRST) : rc; rc == 0;
       rc = cursor.Get(&k, &v, MDB_NEXT)) {
    std::string_view payload;
    if (!store::Unseal(View(k), View(v), &payload) || !visit(View(k), payload)) {
      damage->push_back(DamagedRecord(path, table, View(k)));
    }
  }
  if (rc != MDB_NOTFOUND) {
    damage->push_back(path + ": the table \"" + table + "\" cannot be read: " + mdb_strerror(rc));
    return false;
  }
  return true;
}

}  // namespace

StoreReport CheckStore(const std::string& path, KeyNode* salvage) {
  StoreReport report;
  std::string error;
  std::shared_ptr<StoreEnv> env = StoreEnv::Open(path, false, &error);
  if (!env) {
    report.damage.push_back(error);
    return report;
  }
  report.opened = true;
  StoreTxn txn;
  int rc = txn.Begin(env->env(), false);
  if (rc != 0) {
    report.damage.push_back(env->Describe(rc));
    return report;
  }
  std::map<uint64_t, store::KeyRecord> keys;
  std::map<std::pair<uint64_t, uint64_t>, store::ValueRecord> values;
  std::vector<std::string>* damage = &report.damage;
  Walk(txn.get(), env->keys, path, "keys", damage, [&](std::string_view key, std::string_view p) {
    store::KeyRecord record;
    if (key.size() != 8 || !store::DecodeKey(p, &record)) {
      return false;
    }
    keys[store::FirstOf(key)] = std::move(record);
    return true;
  });
  Walk(txn.get(), env->values, path, "values", damage,
       [&](std::string_view key, std::string_view p) {
         store::ValueRecord value;
         if (key.size() != 16 || !store::DecodeValue(p, &value)) {
           return false;
         }
         values[{store::FirstOf(key), store::SecondOf(key)}] = std::move(value);
         return true;
       });
  auto indexEntry = [](std::string_view key, std::string_view p) {
    return key.size() == 8 && p.size() == 16;
  };
  Walk(txn.get(), env->children, path, "children", damage, indexEntry);
  Walk(txn.get(), env->order, path, "order", damage,
       [](std::string_view key, std::string_view p) { return key.size() == 16 && p.size() == 8; });
  Walk(txn.get(), env->names, path, "names", damage, indexEntry);
  Walk(txn.get(), env->meta, path, "meta", damage, [&](std::string_view key, std::string_view p) {
    uint64_t number = 0;
    if (key == "next-handle" && store::DecodeNumber(p, &number)) {
      report.nextHandle = number;
    } else if (key == "next-entry" && store::DecodeNumber(p, &number)) {
      report.nextEntry = number;
    }
    return key == "identity" || store::DecodeNumber(p, &number);
  });
  // Keys whose parent is gone are lost with everything below them.
  std::map<uint64_t, std::vector<std::pair<uint64_t, uint64_t>>> children;  // parent -> place, id
  for (const auto& [id, record] : keys) {
    if (id != store::RootKey) {
      if (keys.count(record.parent) == 0) {
        report.damage.push_back(path + ": the key " + std::to_string(id) + " has lost its parent " +
                                std::to_string(record.parent));
      }
      children[record.parent].emplace_back(record.place, id);
    }
  }
  if (keys.count(store::RootKey) == 0) {
    report.damage.push_back(path + ": the root key's record is missing");
  }
  report.keys = keys.size();
  report.values = values.size();
  if (salvage == nullptr || keys.count(store::RootKey) == 0) {
    return report;
  }
  TreeChange change(TreeChange::Options{});
  std::vector<std::pair<uint64_t, KeyNode*>> pending{{store::RootKey, salvage}};
  while (!pending.empty()) {
    auto [id, node] = pending.back();
    pending.pop_back();
    for (auto it = values.lower_bound({id, 0}); it != values.end() && it->first.first == id; ++it) {
      const store::ValueRecord& value = it->second;
      change.SetValue(*node, value.name, value.type,
                      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(value.data.data()),
                                               value.data.size()));
    }
    std::vector<std::pair<uint64_t, uint64_t>>& list = children[id];
    std::sort(list.begin(), list.end());
    std::vector<std::pair<uint64_t, KeyNode*>> made;
    for (const auto& [place, child] : list) {
      made.emplace_back(child, change.CreateKey(*node, keys[child].name));
    }
    pending.insert(pending.end(), made.rbegin(), made.rend());
  }
  return report;
}

}  // namespace velmora
