// A registry in memory: an implementation of PlatformRegistry over a
// KeyNode tree, for tests and for the program's own use of a registry that
// is not the device's (the device's is lmdb_registry.h). Names, depth and
// value sizes are held to the limits of registry_limits.h.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>

#include "platform/registry/atomic_registry.h"
#include "platform/registry/key_tree.h"
#include "platform/registry/tree_change.h"

namespace velmora {

class Hive final : public AtomicRegistry {
 public:
  // An empty registry in memory.
  Hive();
  ~Hive() override;

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
  const std::string& lastError() const override { return lastError_; }

 private:
  Status Resolve(HKEY key, KeyNode** node);
  Status Walk(KeyNode* start, std::u16string_view path, TreeChange* create, KeyNode** node);
  HKEY NewHandle(KeyNode* node);

  // Runs one change of the registry (or a part of the open one).
  Status Change(const std::function<Status(TreeChange&)>& change);
  // Drops the keys a change took out of the tree; handles on them fail
  // from then on as deleted.
  void DropRemoved(TreeChange& change);

  std::unique_ptr<KeyNode> root_;
  std::unordered_map<HKEY, KeyNode*> handles_;  // nullptr: the key was deleted
  HKEY nextHandle_ = 0x100;
  TreeChange* open_ = nullptr;  // the change being made
  std::string lastError_;
  std::unordered_map<std::string, uint32_t> counters_;
};

}  // namespace velmora
