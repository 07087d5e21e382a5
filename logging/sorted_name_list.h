// A list of names in ascending order ignoring case (FoldCase), never
// holding two names that are equal ignoring case. The folder chooser sorts
// a folder's entries with it, since its list view does not sort.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/ui/string_array.h"

namespace velmora {

class SortedNameList : public ui::StringArray {
 public:
  ~SortedNameList() override { RemoveAll(); }

  // Stores a copy at its place and returns its index; -1 (list unchanged)
  // when an equal name is present already.
  int32_t Insert(std::u16string_view name);
  // The index of the name, or -1.
  int32_t Find(std::u16string_view name) const;

 private:
  // The binary search in single precision: the index to walk from.
  int32_t SearchStart(std::u16string_view name, int32_t* equalAt) const;
};

}  // namespace velmora
