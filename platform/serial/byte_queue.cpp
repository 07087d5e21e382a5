#include "platform/serial/byte_queue.h"

#include <algorithm>

namespace velmora {

bool ByteQueue::Push(std::string_view bytes) {
  if (bytes.size() > room()) {
    return false;
  }
  if (head_ != 0 && data_.size() + bytes.size() > capacity_) {
    // Move the kept bytes to the front instead of growing past capacity.
    data_.erase(0, head_);
    head_ = 0;
  }
  data_.append(bytes);
  return true;
}

void ByteQueue::Pop(size_t count) {
  head_ += std::min(count, size());
  if (head_ == data_.size()) {
    Clear();
  }
}

void ByteQueue::Clear() {
  data_.clear();
  head_ = 0;
}

}  // namespace velmora
