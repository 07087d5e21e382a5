// The registry's contents as a tree of keys in memory: what the hive works
// on and what the .reg reader and writer turn into text and back.
//
// Enumeration order: subkeys and values are kept in the order in which they
// were created (a value that is replaced keeps its place). The .reg writer
// writes them in that order and the reader creates them in file order, so
// the order survives a save and reload.
//
// A registry can hold hundreds of thousands of keys, so the tree is kept
// compact: small arrays that grow in small steps, names and value data held
// inside their objects when short, and a name index only on keys with many
// subkeys or values (short lists are searched in place). Walks over the
// tree (destruction, comparison, marking a removed subtree) are iterative.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmora {

// A growable array of 16 bytes that grows in small steps: most keys have a
// handful of values and subkeys.
template <typename T>
class PackedArray {
 public:
  PackedArray() = default;
  ~PackedArray() { delete[] items_; }
  PackedArray(const PackedArray&) = delete;
  PackedArray& operator=(const PackedArray&) = delete;

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T& operator[](size_t i) { return items_[i]; }
  const T& operator[](size_t i) const { return items_[i]; }
  T* begin() { return items_; }
  T* end() { return items_ + size_; }
  const T* begin() const { return items_; }
  const T* end() const { return items_ + size_; }

  void Insert(size_t position, T item) {
    if (size_ == capacity_) {
      Grow();
    }
    for (size_t i = size_; i > position; --i) {
      items_[i] = std::move(items_[i - 1]);
    }
    items_[position] = std::move(item);
    ++size_;
  }
  void PushBack(T item) { Insert(size_, std::move(item)); }
  // Room for count items without growing again.
  void Reserve(size_t count) {
    if (count > capacity_) {
      Grow(static_cast<uint32_t>(count));
    }
  }

  T Take(size_t position) {
    T item = std::move(items_[position]);
    for (size_t i = position + 1; i < size_; ++i) {
      items_[i - 1] = std::move(items_[i]);
    }
    --size_;
    items_[size_] = T();
    return item;
  }

 private:
  void Grow() { Grow(capacity_ < 4 ? capacity_ + 1 : capacity_ + capacity_ / 2); }
  void Grow(uint32_t capacity) {
    T* items = new T[capacity];
    for (size_t i = 0; i < size_; ++i) {
      items[i] = std::move(items_[i]);
    }
    delete[] items_;
    items_ = items;
    capacity_ = capacity;
  }

  T* items_ = nullptr;
  uint32_t size_ = 0;
  uint32_t capacity_ = 0;
};

// A value: name, type and data in 32 bytes. Name and data share one
// buffer, held inside the object when together they take at most 22 bytes
// (a short name with a number or a short string), otherwise on the heap
// (the pointer then kept in the same bytes).
class RegValue {
 public:
  RegValue() = default;
  RegValue(std::u16string_view name, uint32_t type, std::span<const uint8_t> data);
  ~RegValue();
  RegValue(RegValue&& other) noexcept;
  RegValue& operator=(RegValue&& other) noexcept;
  RegValue(const RegValue&) = delete;
  RegValue& operator=(const RegValue&) = delete;

  std::u16string_view name() const { return {Buffer(), nameLength_}; }
  uint32_t type() const { return type_; }
  std::span<const uint8_t> data() const {
    return {reinterpret_cast<const uint8_t*>(Buffer() + nameLength_), dataSize_};
  }
  std::vector<uint8_t> DataCopy() const { return {data().begin(), data().end()}; }

  // The same name with new type and data.
  RegValue WithData(uint32_t type, std::span<const uint8_t> data) const {
    return RegValue(name(), type, data);
  }

  bool operator==(const RegValue& other) const;

 private:
  static constexpr size_t InlineUnits = 11;  // 22 bytes
  size_t Units() const { return nameLength_ + (dataSize_ + 1) / 2; }
  bool OnHeap() const { return Units() > InlineUnits; }
  const char16_t* Buffer() const;
  void TakeFrom(RegValue& other);
  void Release();

  uint32_t type_ = 0;
  uint32_t dataSize_ = 0;
  uint16_t nameLength_ = 0;
  char16_t units_[InlineUnits] = {};
};

// A key name in 16 bytes: held inside the object when it has at most 7
// characters, otherwise on the heap (the pointer kept in the same bytes).
class KeyName {
 public:
  KeyName() = default;
  explicit KeyName(std::u16string_view name);
  ~KeyName();
  KeyName(const KeyName&) = delete;
  KeyName& operator=(const KeyName&) = delete;

  std::u16string_view view() const { return {Units(), length_}; }

 private:
  static constexpr size_t InlineUnits = 7;
  const char16_t* Units() const;

  alignas(8) char16_t units_[InlineUnits] = {};
  uint16_t length_ = 0;
};

// Positions in a list of names, found by a name ignoring case (FoldCase).
class NameIndex {
 public:
  NameIndex() = default;
  NameIndex(const NameIndex&) = delete;
  NameIndex& operator=(const NameIndex&) = delete;

  bool built() const { return slots_ != nullptr; }
  // Position of name, or -1. nameAt(i) gives the name at position i.
  template <typename NameAt>
  int64_t Find(std::u16string_view name, const NameAt& nameAt) const;
  // Records that name now stands at position (the end of the list); false
  // when the index is too full and must be rebuilt.
  bool Add(uint32_t position, std::u16string_view name);
  // Indexes names 0..count-1 from scratch.
  template <typename NameAt>
  void Rebuild(size_t count, const NameAt& nameAt);
  void Clear();

 private:
  static uint32_t Hash(std::u16string_view name);
  void Place(uint32_t position, uint32_t hash);

  std::unique_ptr<uint32_t[]> slots_;  // position + 1; 0 is empty
  uint32_t mask_ = 0;
  uint32_t count_ = 0;
};

class KeyNode {
 public:
  explicit KeyNode(std::u16string_view name = u"") : name_(name) {}
  ~KeyNode();
  KeyNode(const KeyNode&) = delete;
  KeyNode& operator=(const KeyNode&) = delete;

  std::u16string_view name() const { return name_.view(); }
  KeyNode* parent() const { return parent_; }
  // A key that was taken out of the tree (with everything below it).
  bool deleted() const { return deleted_; }
  // Keys between this one and the root: the root's subkeys are 1 deep.
  size_t Depth() const;

  // Subkeys.
  size_t SubkeyCount() const { return children_.size(); }
  KeyNode* Subkey(size_t index) const { return children_[index].get(); }
  int64_t SubkeyPosition(std::u16string_view name) const;
  KeyNode* FindSubkey(std::u16string_view name) const;
  // The subkey of that name; created at the end when there is none.
  KeyNode* AddSubkey(std::u16string_view name, bool* created = nullptr);
  // Unlinks the subkey at position and marks it and everything below it
  // deleted; AttachSubkey puts such a subtree back (undo).
  std::unique_ptr<KeyNode> DetachSubkey(size_t position);
  void AttachSubkey(size_t position, std::unique_ptr<KeyNode> subtree);

  // Values.
  size_t ValueCount() const { return values_.size(); }
  const RegValue& Value(size_t index) const { return values_[index]; }
  int64_t ValuePosition(std::u16string_view name) const;
  const RegValue* FindValue(std::u16string_view name) const;
  void InsertValue(size_t position, RegValue value);
  void ReserveValues(size_t count) { values_.Reserve(count); }
  RegValue TakeValue(size_t position);
  // Replaces the value at position, keeping its place and name.
  RegValue ReplaceValue(size_t position, RegValue value);
  // Creates or replaces a value by name (a new one goes at the end).
  void SetValue(std::u16string_view name, uint32_t type, std::span<const uint8_t> data);
  bool RemoveValue(std::u16string_view name);

  // Path from the root, names joined by "\" (the root itself is "").
  std::u16string Path() const;

  // Deep comparison of names (exact case), order, values.
  bool SameContent(const KeyNode& other) const;

 private:
  struct Indexes {
    NameIndex subkeys;
    NameIndex values;
  };
  // Lists longer than this get a name index.
  static constexpr size_t IndexThreshold = 12;

  void MarkSubtree(bool deleted);
  Indexes& EnsureIndexes();
  void ReindexSubkeys();
  void ReindexValues();

  KeyNode* parent_ = nullptr;
  PackedArray<std::unique_ptr<KeyNode>> children_;
  PackedArray<RegValue> values_;
  std::unique_ptr<Indexes> indexes_;
  KeyName name_;
  bool deleted_ = false;
};

// Splits a registry path at "\". An empty path gives no components.
std::vector<std::u16string_view> SplitKeyPath(std::u16string_view path);

}  // namespace velmora
