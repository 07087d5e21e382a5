// A registry key of the device the program runs on, closed when it goes.
#pragma once

#include "platform/platform.h"
#include "platform/registry/key_handle.h"

namespace velmora {

class ScopedKey : public KeyHandle {
 public:
  ScopedKey() : KeyHandle(Registry()) {}
};

}  // namespace velmora
