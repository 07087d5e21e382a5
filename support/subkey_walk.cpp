#include "support/subkey_walk.h"

#include "platform/platform.h"

namespace velmora {

void ForEachSubkey(HKEY key, const std::function<bool(std::u16string_view name)>& visit) {
  PlatformRegistry& registry = Registry();
  for (uint32_t index = 0;; ++index) {
    char16_t name[256];
    uint32_t capacity = 256;
    if (registry.EnumSubkey(key, index, name, &capacity) != StatusSuccess ||
        !visit(std::u16string_view(name))) {
      return;
    }
  }
}

}  // namespace velmora
