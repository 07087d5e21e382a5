#include "platform/ui/string_array.h"

#include <algorithm>

namespace velmora::ui {

size_t StringArray::BlockOf(int index) const {
  // A binary search probes neighbouring indices once its steps are small:
  // look in the block of the last access first.
  size_t last = lastBlock_;
  if (last < starts_.size() && starts_[last] <= index &&
      (last + 1 == starts_.size() || index < starts_[last + 1])) {
    return last;
  }
  lastBlock_ = static_cast<size_t>(std::upper_bound(starts_.begin(), starts_.end(), index) -
                                   starts_.begin()) -
               1;
  return lastBlock_;
}

const std::u16string& StringArray::GetAt(int index) const {
  size_t block = BlockOf(index);
  return *blocks_[block][static_cast<size_t>(index - starts_[block])];
}

int StringArray::Add(std::u16string_view text) {
  InsertAt(count_, text);
  return count_ - 1;
}

void StringArray::InsertAt(int index, std::u16string_view text) {
  auto* entry = new std::u16string(text);
  if (index == count_ && (blocks_.empty() || blocks_.back().size() == MaxBlock)) {
    // Appending to a full block (or to nothing) starts a new one.
    blocks_.emplace_back();
    starts_.push_back(count_);
  }
  size_t b = index == count_ ? blocks_.size() - 1 : BlockOf(index);
  Block& block = blocks_[b];
  block.insert(block.begin() + (index - starts_[b]), entry);
  for (size_t later = b + 1; later < starts_.size(); ++later) {
    ++starts_[later];
  }
  ++count_;
  if (block.size() > MaxBlock) {
    // Split a full block in the middle: later inserts there move half.
    size_t half = block.size() / 2;
    Block upper(block.begin() + static_cast<long>(half), block.end());
    block.resize(half);
    int upperStart = starts_[b] + static_cast<int>(half);
    blocks_.insert(blocks_.begin() + static_cast<long>(b) + 1, std::move(upper));
    starts_.insert(starts_.begin() + static_cast<long>(b) + 1, upperStart);
  }
}

void StringArray::RemoveAll() {
  for (Block& block : blocks_) {
    for (std::u16string* entry : block) {
      delete entry;
    }
  }
  blocks_.clear();
  starts_.clear();
  count_ = 0;
}

}  // namespace velmora::ui
