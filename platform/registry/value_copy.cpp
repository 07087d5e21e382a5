#include "platform/registry/value_copy.h"

#include <algorithm>

namespace velmora {

Status CopyName(std::u16string_view name, char16_t* buffer, uint32_t* capacity) {
  if (buffer == nullptr || capacity == nullptr) {
    return StatusInvalidParameter;
  }
  if (name.size() + 1 > *capacity) {
    return StatusMoreData;
  }
  std::copy(name.begin(), name.end(), buffer);
  buffer[name.size()] = 0;
  *capacity = static_cast<uint32_t>(name.size());
  return StatusSuccess;
}

Status CopyEnumeratedValue(std::u16string_view valueName, uint32_t valueType,
                           std::span<const uint8_t> valueData, char16_t* name,
                           uint32_t* nameCapacity, uint32_t* type, uint8_t* data,
                           uint32_t* dataSize) {
  if (name == nullptr || nameCapacity == nullptr) {
    return StatusInvalidParameter;
  }
  uint32_t size = static_cast<uint32_t>(valueData.size());
  if (valueName.size() + 1 > *nameCapacity) {
    return StatusMoreData;
  }
  if (data != nullptr && (dataSize == nullptr || size > *dataSize)) {
    if (dataSize != nullptr) {
      *dataSize = size;
    }
    return StatusMoreData;
  }
  CopyName(valueName, name, nameCapacity);
  if (type != nullptr) {
    *type = valueType;
  }
  if (data != nullptr) {
    std::copy(valueData.begin(), valueData.end(), data);
  }
  if (dataSize != nullptr) {
    *dataSize = size;
  }
  return StatusSuccess;
}

Status CopyQueriedValue(uint32_t valueType, std::span<const uint8_t> valueData, uint32_t* type,
                        uint8_t* data, uint32_t* size) {
  if (data != nullptr && size == nullptr) {
    return StatusInvalidParameter;
  }
  uint32_t stored = static_cast<uint32_t>(valueData.size());
  if (data != nullptr && stored > *size) {
    *size = stored;
    return StatusMoreData;
  }
  if (type != nullptr) {
    *type = valueType;
  }
  if (data != nullptr) {
    std::copy(valueData.begin(), valueData.end(), data);
  }
  if (size != nullptr) {
    *size = stored;
  }
  return StatusSuccess;
}

}  // namespace velmora
