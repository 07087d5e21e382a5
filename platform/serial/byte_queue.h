// Bytes waiting for a descriptor that cannot take them yet, up to a fixed
// capacity. A chunk that does not fit whole is refused, so what is kept is
// always whole chunks in their order, never a chunk cut in the middle.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora {

class ByteQueue {
 public:
  explicit ByteQueue(size_t capacity) : capacity_(capacity) {}

  // Appends bytes when all of them fit; false (nothing kept) otherwise.
  bool Push(std::string_view bytes);
  // The oldest bytes, in one piece.
  std::string_view Front() const { return std::string_view(data_).substr(head_); }
  // Forgets the first count bytes (at most size()).
  void Pop(size_t count);
  void Clear();

  size_t size() const { return data_.size() - head_; }
  bool empty() const { return size() == 0; }
  size_t room() const { return capacity_ - size(); }
  size_t capacity() const { return capacity_; }

 private:
  std::string data_;
  size_t head_ = 0;
  size_t capacity_;
};

}  // namespace velmora
