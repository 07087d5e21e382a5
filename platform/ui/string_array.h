// The framework's growable array of strings (the handheld's CStringArray):
// owned copies addressed by index 0 to GetSize() - 1.
//
// Each string lives on its own, and the entries are kept in blocks of at
// most MaxBlock: inserting in the middle moves the pointers of one block and
// the start indices of the blocks after it, never the whole array, so
// filling an array by inserts in order costs about n * (MaxBlock + n /
// MaxBlock) moves instead of n * n. Index access finds the block by a
// binary search over the blocks' start indices, trying the block of the last
// access first; like the framework's array, one array is for one thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora::ui {

class StringArray {
 public:
  static constexpr size_t MaxBlock = 512;

  StringArray() = default;
  virtual ~StringArray() { RemoveAll(); }
  StringArray(const StringArray&) = delete;
  StringArray& operator=(const StringArray&) = delete;

  int GetSize() const { return count_; }
  const std::u16string& GetAt(int index) const {
    size_t block = BlockOf(index);
    return *blocks_[block][static_cast<size_t>(index - starts_[block])];
  }
  const std::u16string& operator[](int index) const { return GetAt(index); }
  int Add(std::u16string_view text);
  void InsertAt(int index, std::u16string_view text);
  void RemoveAll();

 private:
  // The array owns every string it points to (RemoveAll deletes them);
  // plain pointers let an insert move a block's entries as bytes.
  using Block = std::vector<std::u16string*>;
  // The block that holds index (0 <= index < count_). A binary search
  // probes neighbouring indices once its steps are small, so the block of
  // the last access is tried first.
  size_t BlockOf(int index) const {
    size_t last = lastBlock_;
    if (last < starts_.size() && starts_[last] <= index &&
        (last + 1 == starts_.size() || index < starts_[last + 1])) {
      return last;
    }
    return FindBlock(index);
  }
  size_t FindBlock(int index) const;

  std::vector<Block> blocks_;  // none empty
  std::vector<int> starts_;    // the index of each block's first entry
  int count_ = 0;
  mutable size_t lastBlock_ = 0;  // where BlockOf found the last index
};

}  // namespace velmora::ui
