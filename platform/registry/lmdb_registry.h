// The device registry kept in the device folder: an implementation of
// AtomicRegistry over the records of an LMDB store (store_format.h).
//
// A process opens it without reading it: every call reads only the
// records it needs, in a read transaction of its own (or in the open
// change). A change - one changing call, or everything inside Atomically
// - is one write transaction: made on the newest state (LMDB lets one
// writer in at a time, across processes), stored and flushed as a whole
// before the call returns, or not at all. Names, depth and value sizes are
// held to the limits of registry_limits.h.
//
// Damage is never used and never written over: a record whose CRC does
// not match, or a file LMDB cannot read, fails the call with
// StatusRegistryCorrupt and an error naming the file and the record. From
// then on every call fails the same way, and a note beside the store
// ("registry.mdb.damaged") keeps every other process from changing it
// until `velmora-device reg repair` has rebuilt it. A store made read-only
// by the user is never changed (every change fails as a write failure).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

#include "platform/host_io.h"
#include "platform/registry/atomic_registry.h"
#include "platform/registry/store_env.h"
#include "platform/registry/store_tree.h"

namespace velmora {

class LmdbRegistry final : public AtomicRegistry {
 public:
  ~LmdbRegistry() override;

  // Opens the store at path (creating an empty one when create is set and
  // there is none). nullptr and *error when it cannot be opened, is
  // damaged, or carries a damage note.
  static std::unique_ptr<LmdbRegistry> Open(const std::string& path, bool create,
                                            std::string* error);

  // The note written beside a store found damaged.
  static std::string DamageNotePath(const std::string& storePath) { return storePath + ".damaged"; }

  Status OpenKey(HKEY parent, std::u16string_view path, uint32_t access, HKEY* result) override;
  Status CreateKey(HKEY parent, std::u16string_view path, uint32_t access, HKEY* result) override;
  Status CloseKey(HKEY key) override;
  Status EnumSubkey(HKEY key, uint32_t index, char16_t* name, uint32_t* capacity) override;
  Status EnumValue(HKEY key, uint32_t index, char16_t* name, uint32_t* nameCapacity, uint32_t* type,
                   uint8_t* data, uint32_t* dataSize) override;
  Status QueryValue(HKEY key, std::u16string_view name, uint32_t* type, uint8_t* data,
                    uint32_t* size) override;
  Status SetValue(HKEY key, std::u16string_view name, uint32_t type, const uint8_t* data,
                  uint32_t size) override;
  Status DeleteValue(HKEY key, std::u16string_view name) override;
  Status DeleteKey(HKEY parent, std::u16string_view path) override;
  Status Atomically(const std::function<Status()>& change) override;
  Status NextNumber(std::string_view counter, uint32_t first, uint32_t* value) override;
  const std::string& lastError() const override { return lastError_; }

  // Runs work on the records: inside the open change when there is one,
  // else in a read transaction (write: in a change of its own).
  Status Read(const std::function<Status(StoreTree&)>& work);
  Status Change(const std::function<Status(StoreTree&)>& work);

  // The whole registry as .reg text, in creation order, handed to write a
  // piece at a time from one consistent state. False (and *error) when the
  // registry cannot be read or write fails.
  bool Export(const std::function<bool(std::string_view)>& write, std::string* error);
  std::string ExportText();
  // Applies .reg text as one change (as regedit imports: keys and values
  // are added or replaced, [-key] and "name"=- delete).
  bool ImportText(std::string_view text, std::string* error);

  const std::string& path() const { return env_->path(); }

  // Makes changes fail at a chosen stage: "commit" (before the transaction
  // is committed) or "committed" (after); tests only.
  void SetWriteFaultForTesting(WriteFault fault) { writeFault_ = std::move(fault); }

 private:
  explicit LmdbRegistry(std::shared_ptr<StoreEnv> env) : env_(std::move(env)) {}

  struct Handle {
    uint64_t id = 0;
    // Where the last EnumSubkey stopped, valid for one state of the store.
    bool positioned = false;
    uint64_t stamp = 0;
    StoreTree::Position position;
  };

  Status Resolve(StoreTree& tree, HKEY key, uint64_t* id);
  Status Walk(StoreTree& tree, uint64_t start, std::u16string_view path, bool create, uint64_t* id);
  HKEY NewHandle(uint64_t id);
  // The state a position is valid in: the transaction and this process's
  // changes inside it.
  uint64_t Stamp() const;
  Status Failed(Status status, const std::string& error);
  bool Writable();
  // Gives processes watching the folder an event after a commit.
  void TellWatchers();
  void MarkDamaged();

  std::shared_ptr<StoreEnv> env_;
  MDB_txn* read_ = nullptr;   // kept between calls, reset when idle
  MDB_txn* write_ = nullptr;  // the innermost open change
  uint64_t changes_ = 0;      // changing calls made by this registry
  std::unordered_map<HKEY, Handle> handles_;
  HKEY nextHandle_ = 0x100;
  bool corrupt_ = false;
  std::string lastError_;
  WriteFault writeFault_;
};

}  // namespace velmora
