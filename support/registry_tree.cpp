#include "support/registry_tree.h"

#include "platform/platform.h"
#include "support/scoped_key.h"

namespace velmora {

bool DeleteRegistryTree(HKEY parent, std::u16string_view name) {
  PlatformRegistry& registry = Registry();
  ScopedKey key;
  if (key.Open(parent, name) == StatusSuccess) {
    for (uint32_t index = 0;;) {
      char16_t child[256];
      uint32_t capacity = 256;
      if (registry.EnumSubkey(key.get(), index, child, &capacity) != StatusSuccess) {
        break;
      }
      if (!DeleteRegistryTree(key.get(), child)) {
        ++index;  // it stays: the next one is at the next index
      }
    }
    for (uint32_t index = 0;;) {
      char16_t value[256];
      uint32_t capacity = 256;
      uint8_t data[256];
      uint32_t size = sizeof data;
      if (registry.EnumValue(key.get(), index, value, &capacity, nullptr, data, &size) !=
          StatusSuccess) {
        break;
      }
      if (registry.DeleteValue(key.get(), value) != StatusSuccess) {
        ++index;
      }
    }
  }
  key.Close();
  return registry.DeleteKey(parent, name) == StatusSuccess;
}

}  // namespace velmora
