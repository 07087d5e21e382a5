// How a registry hands names and values to its caller's buffers, the same
// for every implementation: a buffer that is too small gets StatusMoreData
// (with the size it needs where the interface has room for it) and is left
// unwritten.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/status.h"

namespace velmora {

// Copies name with its terminator into buffer when it fits; *capacity
// becomes the name's length.
Status CopyName(std::u16string_view name, char16_t* buffer, uint32_t* capacity);

// EnumValue's answer for one value: its name, type and data, each only
// where the caller asked for it.
Status CopyEnumeratedValue(std::u16string_view valueName, uint32_t valueType,
                           std::span<const uint8_t> valueData, char16_t* name,
                           uint32_t* nameCapacity, uint32_t* type, uint8_t* data,
                           uint32_t* dataSize);

// QueryValue's answer for one value: its type and data.
Status CopyQueriedValue(uint32_t valueType, std::span<const uint8_t> valueData, uint32_t* type,
                        uint8_t* data, uint32_t* size);

}  // namespace velmora
