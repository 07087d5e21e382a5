#include "platform/ui/string_array.h"

#include <algorithm>

namespace velmora::ui {

size_t StringArray::FindBlock(int index) const {
  lastBlock_ = static_cast<size_t>(std::upper_bound(starts_.begin(), starts_.end(), index) -
                                   starts_.begin()) -
               1;
  return lastBlock_;
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
