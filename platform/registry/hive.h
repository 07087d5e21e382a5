// The device registry kept by this host: an implementation of
// PlatformRegistry over a KeyNode tree, either purely in memory (tests) or
// backed by the device's registry files (hive_store.h).
//
// A file-backed hive stores every successful change before the call
// returns: one journal record, flushed. Several hives - in one process or
// in several, like the program and velmora-device - can share the files: a
// change is made under the exclusive lock on the newest state, and every
// call first takes in what others changed (a memory read tells whether
// there is anything). A file that cannot be parsed is reported with file
// and line and is never written over: until it is mended every call fails
// with StatusRegistryCorrupt. Names, depth and value sizes are held to the
// limits of registry_limits.h.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>

#include "platform/host_io.h"
#include "platform/registry/atomic_registry.h"
#include "platform/registry/hive_store.h"
#include "platform/registry/key_tree.h"
#include "platform/registry/tree_change.h"

namespace velmora {

class Hive final : public AtomicRegistry {
 public:
  // An empty registry in memory.
  Hive();
  ~Hive() override;

  // A registry backed by filePath (registry.reg) and the journal beside it.
  // A missing file is an empty registry; the files are created by the first
  // change. nullptr and *error set ("<file>: line N: ...") when a file
  // cannot be read or parsed.
  static std::unique_ptr<Hive> Open(const std::string& filePath, std::string* error);

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
  // Counters live in memory only.
  Status NextNumber(std::string_view counter, uint32_t first, uint32_t* value) override;

  // The whole registry as .reg text.
  std::string ExportText();
  // Applies .reg text as one change (as regedit imports a file: keys and
  // values are added or replaced, [-key] and "name"=- delete). Nothing is
  // changed when the text does not parse or cannot be stored.
  bool ImportText(std::string_view text, std::string* error);
  // Writes the whole registry into registry.reg now (folding the journal).
  bool Compact(std::string* error);

  const std::string& lastError() const override { return lastError_; }

  // The store of a file-backed hive (tests and benchmarks look at it).
  const HiveStore* store() const { return store_.get(); }

  // Makes stores fail at a chosen stage ("append", "sync" of a journal
  // record; "write", "sync", "rename" of a snapshot); tests only.
  void SetWriteFaultForTesting(WriteFault fault) { writeFault_ = std::move(fault); }

 private:
  Status Resolve(HKEY key, KeyNode** node);
  Status Walk(KeyNode* start, std::u16string_view path, TreeChange* create, KeyNode** node);
  HKEY NewHandle(KeyNode* node);

  // Takes in what other processes changed. False when the files cannot be
  // read or parsed (lastError_ says why).
  bool Refresh();
  bool CatchUp();
  bool Reload();
  // After a damaged file everything is read again; else only what was added.
  bool TakeInChanges();
  // Runs one change of the registry (or a part of the open one).
  Status Change(const std::function<Status(TreeChange&)>& change);
  // Drops the keys a change took out of the tree; handles on them fail
  // from then on as deleted.
  void DropRemoved(TreeChange& change);

  std::unique_ptr<KeyNode> root_;
  std::unordered_map<HKEY, KeyNode*> handles_;  // nullptr: the key was deleted
  HKEY nextHandle_ = 0x100;
  std::unique_ptr<HiveStore> store_;  // null: memory only
  TreeChange* open_ = nullptr;        // the change being made
  bool corrupt_ = false;
  std::string lastError_;
  WriteFault writeFault_;
  std::unordered_map<std::string, uint32_t> counters_;
};

}  // namespace velmora
