// The registry's contents as a tree of keys in memory: what the hive works
// on and what the .reg reader and writer turn into text and back.
//
// Enumeration order: subkeys and values are kept in the order in which they
// were created (a value that is replaced keeps its place). The .reg writer
// writes them in that order and the reader creates them in file order, so
// the order survives a save and reload.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace velmora {

struct RegValue {
  std::u16string name;  // "" is the key's default value
  uint32_t type = 0;
  std::vector<uint8_t> data;

  bool operator==(const RegValue&) const = default;
};

class KeyNode {
 public:
  explicit KeyNode(std::u16string name, KeyNode* parent = nullptr)
      : name_(std::move(name)), parent_(parent) {}
  KeyNode(const KeyNode&) = delete;
  KeyNode& operator=(const KeyNode&) = delete;

  const std::u16string& name() const { return name_; }
  KeyNode* parent() const { return parent_; }
  bool deleted() const { return deleted_; }

  // Subkeys.
  size_t SubkeyCount() const { return children_.size(); }
  KeyNode* Subkey(size_t index) const { return children_[index].get(); }
  KeyNode* FindSubkey(std::u16string_view name) const;
  KeyNode* AddSubkey(std::u16string name);  // or the existing one of that name
  // Unlinks a subkey and marks it and everything below it deleted.
  bool RemoveSubkey(std::u16string_view name);
  // Shared ownership so that an open handle keeps a removed key readable as
  // "deleted" rather than dangling.
  std::shared_ptr<KeyNode> SharedSubkey(std::u16string_view name) const;

  // Values.
  const std::vector<RegValue>& values() const { return values_; }
  const RegValue* FindValue(std::u16string_view name) const;
  void SetValue(std::u16string_view name, uint32_t type, std::vector<uint8_t> data);
  bool RemoveValue(std::u16string_view name);

  // Path from the root, names joined by "\" (the root itself is "").
  std::u16string Path() const;

  // Deep comparison of names (exact case), order, values.
  bool SameContent(const KeyNode& other) const;

 private:
  void MarkDeleted();

  std::u16string name_;
  KeyNode* parent_;
  bool deleted_ = false;
  std::vector<std::shared_ptr<KeyNode>> children_;
  std::unordered_map<std::u16string, size_t> childIndex_;  // folded name -> position
  std::vector<RegValue> values_;
};

// Splits a registry path at "\". An empty path gives no components.
std::vector<std::u16string_view> SplitKeyPath(std::u16string_view path);

}  // namespace velmora
