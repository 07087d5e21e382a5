// A registry that can make several calls one change, for the device's own
// stand-ins (the device manager writes an active entry as one change).
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace velmora {

class AtomicRegistry : public PlatformRegistry {
 public:
  // Runs change; the changing calls it makes through this registry form one
  // change of the registry: made on the newest state under the exclusive
  // lock (so no other process changes anything meanwhile), stored as a
  // whole when change returns StatusSuccess, undone as a whole when it
  // returns a failure or storing fails (the status then says why). Nested
  // calls join the outer change; a nested change that fails is undone alone.
  virtual Status Atomically(const std::function<Status()>& change) = 0;

  // A counter kept with the registry that never goes back (the device
  // manager's handles): *value gets its current value (first when it has
  // none yet) and the counter moves on by one, as part of the open change.
  // A number taken by a change that is undone was never seen by anyone; it
  // may be handed out again.
  virtual Status NextNumber(std::string_view counter, uint32_t first, uint32_t* value) = 0;

  // Why the last call failed with StatusRegistryCorrupt or
  // StatusRegistryIoFailed.
  virtual const std::string& lastError() const = 0;
};

}  // namespace velmora
