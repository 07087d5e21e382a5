// The registry store's LMDB environment: one file "registry.mdb" and its
// lock file "registry.mdb-lock" beside it.
//
// LMDB forbids opening one environment twice in a process (closing the
// second would drop the first one's locks), so every registry on one file
// in a process shares one StoreEnv. A child process made by fork never
// uses its parent's: it opens its own.
//
// Settings: the data file is written with pwrite, never through a writable
// mapping (so a full disk is an error of the commit, not a signal), every
// commit is flushed before it returns, and the map covers MaxStoreSize.
#pragma once

#include <lmdb.h>
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>

namespace velmora {

class StoreEnv {
 public:
  ~StoreEnv();
  StoreEnv(const StoreEnv&) = delete;
  StoreEnv& operator=(const StoreEnv&) = delete;

  // Opens the store at path. A missing file is created (with an empty
  // registry) when create is set, else it is an error. *error names the
  // file and what is wrong with it.
  static std::shared_ptr<StoreEnv> Open(const std::string& path, bool create, std::string* error);

  MDB_env* env() const { return env_; }
  const std::string& path() const { return path_; }
  // The file could not be opened for writing: every change fails.
  bool readOnly() const { return readOnly_; }

  // The tables (store_format.h).
  MDB_dbi meta = 0;
  MDB_dbi keys = 0;
  MDB_dbi children = 0;
  MDB_dbi order = 0;
  MDB_dbi values = 0;
  MDB_dbi names = 0;

  // "<path>: <what LMDB says>".
  std::string Describe(int rc) const;
  // Whether the file is as long as its last committed page needs (a file
  // cut short would fault when read).
  bool WholeFile(std::string* error) const;

 private:
  explicit StoreEnv(std::string path) : path_(std::move(path)) {}
  bool OpenTables(bool create, std::string* error);
  // The records of an empty registry.
  int Initialize(MDB_txn* txn);

  std::string path_;
  MDB_env* env_ = nullptr;
  bool readOnly_ = false;
  pid_t owner_ = 0;
  friend struct StoreEnvCache;
};

// A transaction that is aborted unless committed.
class StoreTxn {
 public:
  StoreTxn() = default;
  ~StoreTxn() { Abort(); }
  StoreTxn(const StoreTxn&) = delete;
  StoreTxn& operator=(const StoreTxn&) = delete;

  int Begin(MDB_env* env, bool write);
  int Commit();
  void Abort();
  MDB_txn* get() const { return txn_; }
  explicit operator bool() const { return txn_ != nullptr; }

 private:
  MDB_txn* txn_ = nullptr;
};

}  // namespace velmora
