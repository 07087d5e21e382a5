// The framework's growable array of strings (the handheld's CStringArray):
// owned copies addressed by index 0 to GetSize() - 1. Each string lives on
// its own, so that inserting in the middle moves pointers, not strings.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::ui {

class StringArray {
 public:
  virtual ~StringArray() { RemoveAll(); }

  int GetSize() const { return static_cast<int>(items_.size()); }
  const std::u16string& GetAt(int index) const { return *items_[static_cast<size_t>(index)]; }
  const std::u16string& operator[](int index) const { return GetAt(index); }
  int Add(std::u16string_view text) {
    items_.push_back(std::make_unique<std::u16string>(text));
    return GetSize() - 1;
  }
  void InsertAt(int index, std::u16string_view text) {
    items_.insert(items_.begin() + index, std::make_unique<std::u16string>(text));
  }
  void RemoveAll() { items_.clear(); }

 private:
  std::vector<std::unique_ptr<std::u16string>> items_;
};

}  // namespace velmora::ui
