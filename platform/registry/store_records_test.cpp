// The store's record layer: which LMDB failures count as damage (a store
// marked damaged stays refused until repaired) and which as a failed write,
// and how a damaged record is named.
#include "platform/registry/store_records.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/registry/store_format.h"
#include "tests/test_support.h"

namespace velmora {
namespace {

using testing::TempDir;

struct LmdbCase {
  int rc;
  Status status;
  const char* error;  // after "<path>: "
};

TEST(StoreRecords, LmdbFailuresAreDamageOnlyWhenTheFileIsDamaged) {
  TempDir dir;
  std::string error;
  std::shared_ptr<StoreEnv> env = StoreEnv::Open(dir / "registry.mdb", true, &error);
  ASSERT_NE(env, nullptr) << error;
  const LmdbCase cases[] = {
      {MDB_CORRUPTED, StatusRegistryCorrupt, "MDB_CORRUPTED"},
      {MDB_PAGE_NOTFOUND, StatusRegistryCorrupt, "MDB_PAGE_NOTFOUND"},
      {MDB_INVALID, StatusRegistryCorrupt, "MDB_INVALID"},
      {MDB_MAP_FULL, StatusRegistryIoFailed, "the registry has reached its size limit"},
      {ENOSPC, StatusRegistryIoFailed, "No space left on device"},
      {EIO, StatusRegistryIoFailed, "Input/output error"},
  };
  for (const LmdbCase& c : cases) {
    StoreRecords records(*env, nullptr, &error);
    EXPECT_EQ(records.Lmdb(c.rc), c.status) << c.error;
    EXPECT_EQ(records.error().rfind(env->path() + ": ", 0), 0u) << records.error();
    EXPECT_NE(records.error().find(c.error), std::string::npos) << records.error();
  }
}

TEST(StoreRecords, ARecordSealedForAnotherKeyIsDamagedAndNamed) {
  TempDir dir;
  std::string error;
  std::shared_ptr<StoreEnv> env = StoreEnv::Open(dir / "registry.mdb", true, &error);
  ASSERT_NE(env, nullptr) << error;
  StoreTxn txn;
  ASSERT_EQ(txn.Begin(env->env(), true), 0);
  StoreRecords records(*env, txn.get(), &error);
  store::IdKey key = store::MakeKey(5, 7);
  store::IdKey other = store::MakeKey(5, 8);
  std::string_view payload;
  EXPECT_EQ(records.Get(env->values, "values", key.view(), &payload), StatusFileNotFound);
  EXPECT_EQ(records.Del(env->values, key.view()), StatusSuccess);  // nothing there
  ASSERT_EQ(records.Put(env->values, key.view(), "payload"), StatusSuccess);
  ASSERT_EQ(records.Get(env->values, "values", key.view(), &payload), StatusSuccess);
  EXPECT_EQ(payload, "payload");

  // The same bytes under another key: the seal covers the key too.
  MDB_val k = Val(key.view());
  MDB_val v{};
  ASSERT_EQ(mdb_get(txn.get(), env->values, &k, &v), 0);
  std::string moved(View(v));
  k = Val(other.view());
  v = Val(moved);
  ASSERT_EQ(mdb_put(txn.get(), env->values, &k, &v, 0), 0);
  EXPECT_EQ(records.Get(env->values, "values", other.view(), &payload), StatusRegistryCorrupt);
  EXPECT_EQ(records.error(), env->path() + ": the record 5/8 of the table \"values\" is damaged");
  EXPECT_EQ(DamagedRecord("f", "meta", "next-key"),
            "f: the record next-key of the table \"meta\" is damaged");
}

}  // namespace
}  // namespace velmora
