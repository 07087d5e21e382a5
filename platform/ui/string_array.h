// The framework's growable array of strings (the handheld's CStringArray):
// owned copies addressed by index 0 to GetSize() - 1.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora::ui {

class StringArray {
 public:
  virtual ~StringArray() { RemoveAll(); }

  int GetSize() const { return static_cast<int>(items_.size()); }
  const std::u16string& GetAt(int index) const { return items_[static_cast<size_t>(index)]; }
  const std::u16string& operator[](int index) const { return GetAt(index); }
  int Add(std::u16string_view text) {
    items_.emplace_back(text);
    return GetSize() - 1;
  }
  void InsertAt(int index, std::u16string_view text) {
    items_.emplace(items_.begin() + index, text);
  }
  void RemoveAll() { items_.clear(); }

 private:
  std::vector<std::u16string> items_;
};

}  // namespace velmora::ui
