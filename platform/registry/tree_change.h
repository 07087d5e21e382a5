// Changes to a key tree, one operation at a time, keeping what is needed to
// undo them and, when asked, the .reg text that redoes them (the hive's
// journal record). Every change of the registry - a call of the interface,
// an import, a journal record being replayed, a file being loaded - goes
// through this one class.
//
// Keys removed by the change are not freed at once: they stay in the
// "removed" list, marked deleted, so that open handles can be told apart
// from live keys until the owner has dropped them (TakeRemoved).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/key_tree.h"

namespace velmora {

class TreeChange {
 public:
  struct Options {
    bool undoable = false;  // keep an undo log
    bool record = false;    // write the .reg text of every operation
  };
  explicit TreeChange(Options options) : options_(options) {}
  TreeChange(const TreeChange&) = delete;
  TreeChange& operator=(const TreeChange&) = delete;

  // The subkey name of parent: the existing one, or a new one at the end.
  KeyNode* CreateKey(KeyNode& parent, std::u16string_view name);
  // Removes parent's subkey name with everything below it; false when
  // there is none.
  bool RemoveKey(KeyNode& parent, std::u16string_view name);
  // Creates or replaces a value (a replaced value keeps its place and name).
  void SetValue(KeyNode& key, std::u16string_view name, uint32_t type,
                std::span<const uint8_t> data);
  bool RemoveValue(KeyNode& key, std::u16string_view name);

  // A point to go back to: Undo(mark) undoes every operation after it.
  struct Mark {
    size_t undo = 0;
    size_t record = 0;
    const KeyNode* recordKey = nullptr;
  };
  Mark MarkHere() const { return {undo_.size(), record_.size(), recordKey_}; }
  void Undo(const Mark& mark);
  void UndoAll() { Undo(Mark{}); }
  // Forgets the undo log: what was done stays done.
  void Commit();

  bool changed() const { return changed_; }
  const std::string& record() const { return record_; }
  // Keys taken out of the tree (by removal or by undoing a creation), still
  // allocated and marked deleted.
  std::vector<std::unique_ptr<KeyNode>> TakeRemoved();

 private:
  struct Step {
    enum class Kind { AddedKey, RemovedKey, InsertedValue, ReplacedValue, RemovedValue };
    Kind kind;
    KeyNode* node;  // the parent for key steps, the key for value steps
    size_t position;
    std::unique_ptr<KeyNode> subtree;  // RemovedKey
    RegValue value;                    // ReplacedValue, RemovedValue: the old one
  };

  void RecordKey(const KeyNode& key);

  Options options_;
  std::vector<Step> undo_;
  std::vector<std::unique_ptr<KeyNode>> removed_;
  std::string record_;
  const KeyNode* recordKey_ = nullptr;  // the key the record's last "[...]" line names
  bool changed_ = false;
};

}  // namespace velmora
