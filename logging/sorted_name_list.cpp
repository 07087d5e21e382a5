#include "logging/sorted_name_list.h"

#include "platform/text.h"

namespace velmora {

int32_t SortedNameList::SearchStart(std::u16string_view name, int32_t* equalAt) const {
  *equalAt = -1;
  float pos = static_cast<float>(GetSize()) * 0.5f;
  float step = pos;
  while (step >= 1.0f) {
    step *= 0.5f;
    int32_t i = static_cast<int32_t>(pos);
    int comparison = CompareIgnoringCase(name, GetAt(i));
    if (comparison == 0) {
      *equalAt = i;
      return i;
    }
    pos = comparison > 0 ? pos + step : pos - step;
  }
  int32_t start = static_cast<int32_t>(pos - step);
  return start < 0 ? 0 : start;
}

int32_t SortedNameList::Insert(std::u16string_view name) {
  int32_t equalAt = -1;
  int32_t i = SearchStart(name, &equalAt);
  if (equalAt >= 0) {
    return -1;
  }
  for (; i < GetSize(); ++i) {
    int comparison = CompareIgnoringCase(name, GetAt(i));
    if (comparison < 0) {
      InsertAt(i, name);
      return i;
    }
    if (comparison == 0) {
      return -1;
    }
  }
  return Add(name);
}

int32_t SortedNameList::Find(std::u16string_view name) const {
  int32_t equalAt = -1;
  int32_t i = SearchStart(name, &equalAt);
  if (equalAt >= 0) {
    return equalAt;
  }
  for (; i < GetSize(); ++i) {
    if (CompareIgnoringCase(name, GetAt(i)) == 0) {
      return i;
    }
  }
  return -1;
}

}  // namespace velmora
