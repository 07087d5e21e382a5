// Status codes of the platform services: the handheld's error numbers.
// 0 is success; every other value is a failure whose number says why.
#pragma once

#include <cstdint>

namespace velmora {

using Status = int32_t;

inline constexpr Status StatusSuccess = 0;
inline constexpr Status StatusFileNotFound = 2;
inline constexpr Status StatusAccessDenied = 5;
inline constexpr Status StatusInvalidHandle = 6;
inline constexpr Status StatusInvalidParameter = 87;
inline constexpr Status StatusMoreData = 234;
inline constexpr Status StatusNoMoreItems = 259;
inline constexpr Status StatusRegistryCorrupt = 1015;
inline constexpr Status StatusRegistryIoFailed = 1016;
inline constexpr Status StatusKeyDeleted = 1018;

}  // namespace velmora
