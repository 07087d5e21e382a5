#include "platform/registry/lmdb_registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/registry/key_tree.h"
#include "platform/registry/registry_limits.h"
#include "platform/registry/value_copy.h"

namespace velmora {

namespace {

bool Exists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

std::span<const uint8_t> AsBytes(const std::string& data) {
  return {reinterpret_cast<const uint8_t*>(data.data()), data.size()};
}

}  // namespace

LmdbRegistry::~LmdbRegistry() {
  if (read_ != nullptr) {
    mdb_txn_abort(read_);
  }
}

std::unique_ptr<LmdbRegistry> LmdbRegistry::Open(const std::string& path, bool create,
                                                 std::string* error) {
  std::string note;
  if (Exists(DamageNotePath(path))) {
    ReadHostFile(DamageNotePath(path), &note, error);
    while (!note.empty() && note.back() == '\n') {
      note.pop_back();
    }
    *error = (note.empty() ? path + ": damaged" : note) +
             " (see 'velmora-device reg check' and 'reg repair')";
    return nullptr;
  }
  std::shared_ptr<StoreEnv> env = StoreEnv::Open(path, create, error);
  if (!env) {
    return nullptr;
  }
  return std::unique_ptr<LmdbRegistry>(new LmdbRegistry(std::move(env)));
}

void LmdbRegistry::MarkDamaged() {
  corrupt_ = true;
  // Beside the store, never in it: the damaged file stays as it is.
  std::string ignored;
  WriteHostFileAtomically(DamageNotePath(path()), lastError_ + "\n", &ignored);
}

Status LmdbRegistry::Failed(Status status, const std::string& error) {
  if (status == StatusRegistryCorrupt || status == StatusRegistryIoFailed) {
    lastError_ = error;
  }
  if (status == StatusRegistryCorrupt && !corrupt_) {
    MarkDamaged();
  }
  return status;
}

uint64_t LmdbRegistry::Stamp() const {
  MDB_txn* txn = write_ != nullptr ? write_ : read_;
  return (static_cast<uint64_t>(mdb_txn_id(txn)) << 24) ^ changes_;
}

Status LmdbRegistry::Read(const std::function<Status(StoreTree&)>& work) {
  if (corrupt_) {
    return StatusRegistryCorrupt;
  }
  std::string error;
  if (write_ != nullptr) {
    StoreTree tree(*env_, write_, &error);
    return Failed(work(tree), error);
  }
  if (read_ != nullptr) {
    mdb_txn_abort(read_);
    read_ = nullptr;
  }
  int rc = mdb_txn_begin(env_->env(), nullptr, MDB_RDONLY, &read_);
  if (rc != 0) {
    if (read_ != nullptr && rc != 0) {
      mdb_txn_abort(read_);
      read_ = nullptr;
    }
    return Failed(
        rc == MDB_CORRUPTED || rc == MDB_INVALID ? StatusRegistryCorrupt : StatusRegistryIoFailed,
        env_->Describe(rc));
  }
  StoreTree tree(*env_, read_, &error);
  Status status = work(tree);
  mdb_txn_reset(read_);
  return Failed(status, error);
}

void LmdbRegistry::TellWatchers() {
  // LMDB's last write of a commit (the meta page) comes before the commit
  // is published to readers, so a reader woken by that write alone could
  // still be handed the state before it. Touching the file once the commit
  // has returned gives watchers (registry_watch.h) an event that comes
  // after it. Nothing depends on it but their wake-up: it is not flushed.
  ::utimensat(AT_FDCWD, path().c_str(), nullptr, 0);
}

bool LmdbRegistry::Writable() {
  if (env_->readOnly() || IsReadOnlyFile(path())) {
    lastError_ = "'" + path() + "' is read-only: the registry cannot be changed";
    return false;
  }
  return true;
}

Status LmdbRegistry::Change(const std::function<Status(StoreTree&)>& work) {
  if (corrupt_) {
    return StatusRegistryCorrupt;
  }
  std::string error;
  MDB_txn* outer = write_;
  if (outer == nullptr && !Writable()) {
    return StatusRegistryIoFailed;
  }
  MDB_txn* txn = nullptr;
  int rc = mdb_txn_begin(env_->env(), outer, 0, &txn);
  if (rc != 0) {
    return Failed(StatusRegistryIoFailed, "cannot change '" + path() + "': " + mdb_strerror(rc));
  }
  if (outer == nullptr) {
    // Under the writer's lock now: damage another process found, or a file
    // cut short, keeps this change from being made.
    std::string why;
    if (Exists(DamageNotePath(path())) || !env_->WholeFile(&why)) {
      mdb_txn_abort(txn);
      return Failed(StatusRegistryCorrupt, why.empty() ? path() + ": damaged" : why);
    }
  }
  write_ = txn;
  StoreTree tree(*env_, txn, &error);
  Status status = work(tree);
  ++changes_;
  write_ = outer;
  if (status == StatusRegistryCorrupt || status == StatusRegistryIoFailed) {
    lastError_ = error;
  }
  if (status != StatusSuccess || corrupt_) {
    mdb_txn_abort(txn);
    return Failed(corrupt_ ? StatusRegistryCorrupt : status, corrupt_ ? lastError_ : error);
  }
  if (outer == nullptr && writeFault_ && !writeFault_("commit")) {
    mdb_txn_abort(txn);
    errno = EIO;
    return Failed(StatusRegistryIoFailed, "cannot write '" + path() + "': " + std::strerror(EIO));
  }
  rc = mdb_txn_commit(txn);
  if (rc != 0) {
    // LMDB reports a write cut short by a full disk as an I/O error.
    struct statvfs disk {};
    if (rc == EIO && ::statvfs(path().c_str(), &disk) == 0 && disk.f_bavail == 0) {
      rc = ENOSPC;
    }
    return Failed(StatusRegistryIoFailed, "cannot write '" + path() + "': " + mdb_strerror(rc));
  }
  if (outer == nullptr) {
    TellWatchers();
    if (writeFault_) {
      writeFault_("committed");
    }
  }
  return StatusSuccess;
}

Status LmdbRegistry::Atomically(const std::function<Status()>& change) {
  return Change([&](StoreTree&) { return change(); });
}

Status LmdbRegistry::NextNumber(std::string_view counter, uint32_t first, uint32_t* value) {
  uint64_t next = 0;
  Status status = Change([&](StoreTree& tree) { return tree.NextNumber(counter, first, &next); });
  *value = static_cast<uint32_t>(next);
  return status;
}

Status LmdbRegistry::Resolve(StoreTree& tree, HKEY key, uint64_t* id) {
  if (key == HKEY_LOCAL_MACHINE) {
    *id = store::RootKey;
    return StatusSuccess;
  }
  auto it = handles_.find(key);
  if (it == handles_.end()) {
    return StatusInvalidHandle;
  }
  store::KeyRecord record;
  Status status = tree.ReadKey(it->second.id, &record);
  if (status == StatusFileNotFound) {
    return StatusKeyDeleted;  // key numbers are never used again
  }
  *id = it->second.id;
  return status;
}

Status LmdbRegistry::Walk(StoreTree& tree, uint64_t start, std::u16string_view path, bool create,
                          uint64_t* id) {
  uint64_t current = start;
  size_t depth = SIZE_MAX;  // found when something is created
  for (std::u16string_view part : SplitKeyPath(path)) {
    if (!IsValidKeyName(part)) {
      return StatusInvalidParameter;
    }
    uint64_t next = 0;
    Status status = tree.FindChild(current, part, &next);
    if (status == StatusFileNotFound && create) {
      if (depth == SIZE_MAX) {
        depth = 0;
        store::KeyRecord record;
        for (uint64_t at = current; at != store::RootKey; at = record.parent, ++depth) {
          status = tree.ReadKey(at, &record);
          if (status != StatusSuccess || depth > MaxKeyDepth) {
            return status == StatusSuccess ? StatusInvalidParameter : status;
          }
        }
      }
      if (depth >= MaxKeyDepth) {
        return StatusInvalidParameter;
      }
      status = tree.CreateChild(current, part, &next);
    }
    if (status != StatusSuccess) {
      return status;
    }
    if (depth != SIZE_MAX) {
      ++depth;
    }
    current = next;
  }
  *id = current;
  return StatusSuccess;
}

HKEY LmdbRegistry::NewHandle(uint64_t id) {
  HKEY handle = nextHandle_++;
  handles_[handle].id = id;
  return handle;
}

Status LmdbRegistry::OpenKey(HKEY parent, std::u16string_view path, uint32_t, HKEY* result) {
  *result = 0;
  uint64_t id = 0;
  Status status = Read([&](StoreTree& tree) {
    uint64_t start = 0;
    Status resolved = Resolve(tree, parent, &start);
    return resolved == StatusSuccess ? Walk(tree, start, path, false, &id) : resolved;
  });
  if (status == StatusSuccess) {
    *result = NewHandle(id);
  }
  return status;
}

Status LmdbRegistry::CreateKey(HKEY parent, std::u16string_view path, uint32_t access,
                               HKEY* result) {
  // An existing key is opened without a change.
  Status status = OpenKey(parent, path, access, result);
  if (status != StatusFileNotFound) {
    return status;
  }
  uint64_t id = 0;
  status = Change([&](StoreTree& tree) {
    uint64_t start = 0;
    Status resolved = Resolve(tree, parent, &start);
    return resolved == StatusSuccess ? Walk(tree, start, path, true, &id) : resolved;
  });
  if (status == StatusSuccess) {
    *result = NewHandle(id);
  }
  return status;
}

Status LmdbRegistry::CloseKey(HKEY key) {
  if (key == HKEY_LOCAL_MACHINE) {
    return StatusSuccess;
  }
  return handles_.erase(key) == 1 ? StatusSuccess : StatusInvalidHandle;
}

Status LmdbRegistry::EnumSubkey(HKEY key, uint32_t index, char16_t* name, uint32_t* capacity) {
  return Read([&](StoreTree& tree) {
    uint64_t id = 0;
    Status status = Resolve(tree, key, &id);
    if (status != StatusSuccess) {
      return status;
    }
    // Going through the subkeys one after another costs one step each.
    auto it = handles_.find(key);
    Handle* handle = it != handles_.end() ? &it->second : nullptr;
    uint64_t stamp = Stamp();
    const StoreTree::Position* from = nullptr;
    if (handle != nullptr && handle->positioned && handle->stamp == stamp &&
        handle->position.index <= index) {
      from = &handle->position;
    }
    uint64_t child = 0;
    StoreTree::Position at;
    status = tree.ChildAt(id, index, from, &child, &at);
    store::KeyRecord record;
    if (status == StatusSuccess) {
      status = tree.ReadKey(child, &record);
    }
    if (status == StatusSuccess && handle != nullptr) {
      handle->positioned = true;
      handle->stamp = stamp;
      handle->position = at;
    }
    return status == StatusSuccess ? CopyName(record.name, name, capacity) : status;
  });
}

Status LmdbRegistry::EnumValue(HKEY key, uint32_t index, char16_t* name, uint32_t* nameCapacity,
                               uint32_t* type, uint8_t* data, uint32_t* dataSize) {
  store::ValueRecord value;
  Status status = Read([&](StoreTree& tree) {
    uint64_t id = 0;
    Status resolved = Resolve(tree, key, &id);
    return resolved == StatusSuccess ? tree.ValueAt(id, index, &value) : resolved;
  });
  if (status != StatusSuccess) {
    return status;
  }
  return CopyEnumeratedValue(value.name, value.type, AsBytes(value.data), name, nameCapacity, type,
                             data, dataSize);
}

Status LmdbRegistry::QueryValue(HKEY key, std::u16string_view name, uint32_t* type, uint8_t* data,
                                uint32_t* size) {
  store::ValueRecord value;
  Status status = Read([&](StoreTree& tree) {
    uint64_t id = 0;
    uint64_t place = 0;
    Status resolved = Resolve(tree, key, &id);
    return resolved == StatusSuccess ? tree.FindValue(id, name, &place, &value) : resolved;
  });
  if (status != StatusSuccess) {
    return status;
  }
  return CopyQueriedValue(value.type, AsBytes(value.data), type, data, size);
}

Status LmdbRegistry::SetValue(HKEY key, std::u16string_view name, uint32_t type,
                              const uint8_t* data, uint32_t size) {
  if (!IsValidValueName(name) || (data == nullptr && size != 0) || size > MaxValueSize) {
    return StatusInvalidParameter;
  }
  return Change([&](StoreTree& tree) {
    uint64_t id = 0;
    Status status = Resolve(tree, key, &id);
    return status == StatusSuccess
               ? tree.SetValue(id, name, type, std::span<const uint8_t>(data, size))
               : status;
  });
}

Status LmdbRegistry::DeleteValue(HKEY key, std::u16string_view name) {
  return Change([&](StoreTree& tree) {
    uint64_t id = 0;
    Status status = Resolve(tree, key, &id);
    return status == StatusSuccess ? tree.RemoveValue(id, name) : status;
  });
}

Status LmdbRegistry::DeleteKey(HKEY parent, std::u16string_view path) {
  if (path.empty()) {
    return StatusAccessDenied;
  }
  return Change([&](StoreTree& tree) {
    uint64_t start = 0;
    uint64_t id = 0;
    Status status = Resolve(tree, parent, &start);
    if (status == StatusSuccess) {
      status = Walk(tree, start, path, false, &id);
    }
    bool has = false;
    if (status == StatusSuccess) {
      status = tree.HasChildren(id, &has);
    }
    if (status != StatusSuccess) {
      return status;
    }
    if (id == store::RootKey || has) {
      return StatusAccessDenied;
    }
    return tree.RemoveKey(id);
  });
}

}  // namespace velmora
