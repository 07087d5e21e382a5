#include "platform/registry/store_env.h"

#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "platform/host_io.h"
#include "platform/registry/registry_limits.h"
#include "platform/registry/store_format.h"
#include "platform/registry/store_records.h"

namespace velmora {

// The environments this process has open, by file.
struct StoreEnvCache {
  static std::map<std::string, std::weak_ptr<StoreEnv>>& Map() {
    static auto* map = new std::map<std::string, std::weak_ptr<StoreEnv>>();
    return *map;
  }
};

namespace {

bool Exists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

}  // namespace

int StoreTxn::Begin(MDB_env* env, bool write) {
  Abort();
  return mdb_txn_begin(env, nullptr, write ? 0 : MDB_RDONLY, &txn_);
}

int StoreTxn::Commit() {
  int rc = mdb_txn_commit(txn_);
  txn_ = nullptr;
  return rc;
}

void StoreTxn::Abort() {
  if (txn_ != nullptr) {
    mdb_txn_abort(txn_);
    txn_ = nullptr;
  }
}

StoreEnv::~StoreEnv() {
  // A copy inherited through fork belongs to the parent: closing it here
  // would touch the parent's reader slots and locks.
  if (env_ != nullptr && owner_ == ::getpid()) {
    mdb_env_close(env_);
  }
}

std::string StoreEnv::Describe(int rc) const {
  return path_ + ": " + mdb_strerror(rc);
}

bool StoreEnv::WholeFile(std::string* error) const {
  MDB_envinfo info{};
  MDB_stat stat{};
  struct stat file {};
  if (mdb_env_info(env_, &info) != 0 || mdb_env_stat(env_, &stat) != 0 ||
      ::stat(path_.c_str(), &file) != 0) {
    *error = path_ + ": cannot be examined";
    return false;
  }
  uint64_t needed = (static_cast<uint64_t>(info.me_last_pgno) + 1) * stat.ms_psize;
  if (static_cast<uint64_t>(file.st_size) < needed) {
    *error = path_ + ": the file is cut short (" + std::to_string(file.st_size) + " of " +
             std::to_string(needed) + " bytes)";
    return false;
  }
  return true;
}

std::shared_ptr<StoreEnv> StoreEnv::Open(const std::string& path, bool create, std::string* error) {
  auto& cache = StoreEnvCache::Map();
  auto found = cache.find(path);
  if (found != cache.end()) {
    std::shared_ptr<StoreEnv> shared = found->second.lock();
    if (shared && shared->owner_ == ::getpid()) {
      return shared;
    }
    cache.erase(found);
  }
  bool missing = !Exists(path);
  if (missing && !create) {
    *error = path + ": no such file";
    return nullptr;
  }
  std::shared_ptr<StoreEnv> store(new StoreEnv(path));
  store->owner_ = ::getpid();
  store->readOnly_ = !missing && (IsReadOnlyFile(path) || ::access(path.c_str(), W_OK) != 0);
  int rc = mdb_env_create(&store->env_);
  if (rc == 0) {
    rc = mdb_env_set_maxdbs(store->env_, 8);
  }
  if (rc == 0) {
    rc = mdb_env_set_mapsize(store->env_, MaxStoreSize);
  }
  if (rc == 0) {
    unsigned flags = MDB_NOSUBDIR | MDB_NOTLS | (store->readOnly_ ? MDB_RDONLY : 0);
    rc = mdb_env_open(store->env_, path.c_str(), flags, 0644);
  }
  if (rc != 0) {
    *error = store->Describe(rc);
    return nullptr;
  }
  if (!store->WholeFile(error) || !store->OpenTables(missing, error)) {
    return nullptr;
  }
  // Reader slots of processes that were killed would keep old pages from
  // being used again.
  int dead = 0;
  mdb_reader_check(store->env_, &dead);
  cache[path] = store;
  return store;
}

int StoreEnv::Initialize(MDB_txn* txn) {
  uint8_t identity[16] = {};
  if (::getrandom(identity, sizeof identity, 0) != sizeof identity) {
    std::memset(identity, 0, sizeof identity);
  }
  store::KeyRecord root;
  store::IdKey rootKey = store::MakeKey(store::RootKey);
  int rc = PutSealed(txn, meta, "format", store::EncodeNumber(store::FormatVersion));
  if (rc == 0) {
    rc = PutSealed(txn, meta, "identity",
                   std::string_view(reinterpret_cast<const char*>(identity), sizeof identity));
  }
  if (rc == 0) {
    rc = PutSealed(txn, meta, "next-key", store::EncodeNumber(store::RootKey + 1));
  }
  if (rc == 0) {
    rc = PutSealed(txn, keys, rootKey.view(), store::EncodeKey(root));
  }
  return rc;
}

bool StoreEnv::OpenTables(bool create, std::string* error) {
  StoreTxn txn;
  int rc = txn.Begin(env_, create);
  const unsigned make = create ? MDB_CREATE : 0;
  struct Table {
    const char* name;
    MDB_dbi* dbi;
    unsigned flags;
  } tables[] = {{"meta", &meta, 0},
                {"keys", &keys, 0},
                {"children", &children, MDB_DUPSORT | MDB_DUPFIXED},
                {"order", &order, 0},
                {"values", &values, 0},
                {"names", &names, MDB_DUPSORT | MDB_DUPFIXED}};
  for (const Table& table : tables) {
    if (rc == 0) {
      rc = mdb_dbi_open(txn.get(), table.name, table.flags | make, table.dbi);
    }
  }
  if (rc == MDB_NOTFOUND || rc == MDB_INCOMPATIBLE) {
    *error = path_ + ": not a registry store (a table is missing)";
    return false;
  }
  if (rc == 0 && create) {
    // Two processes may create the store at once: the first one fills it.
    MDB_val k{6, const_cast<char*>("format")};
    MDB_val v{};
    rc = mdb_get(txn.get(), meta, &k, &v);
    if (rc == MDB_NOTFOUND) {
      rc = Initialize(txn.get());
    }
  }
  if (rc == 0) {
    // The format this program knows, or a clear refusal.
    MDB_val k{6, const_cast<char*>("format")};
    MDB_val v{};
    std::string_view payload;
    uint64_t format = 0;
    rc = mdb_get(txn.get(), meta, &k, &v);
    if (rc == 0 &&
        (!store::Unseal("format", {static_cast<const char*>(v.mv_data), v.mv_size}, &payload) ||
         !store::DecodeNumber(payload, &format))) {
      *error = path_ + ": the record \"format\" of the table \"meta\" is damaged";
      return false;
    }
    if (rc == 0 && format != store::FormatVersion) {
      *error = path_ + ": a store of format " + std::to_string(format) + " (this program reads " +
               std::to_string(store::FormatVersion) + ")";
      return false;
    }
  }
  if (rc == 0) {
    rc = txn.Commit();  // also keeps the table handles
  }
  if (rc != 0) {
    *error = rc == MDB_NOTFOUND ? path_ + ": not a registry store" : Describe(rc);
    return false;
  }
  return true;
}

}  // namespace velmora
