// The registry store and its .reg text: import (streamed, as one change)
// and export (in lmdb_registry.h).
#pragma once

#include <functional>
#include <string>

#include "platform/registry/lmdb_registry.h"

namespace velmora {

// "Drivers\Active": the device manager's running state, not configuration.
inline constexpr std::u16string_view ActiveDevicesKey = u"Drivers\\Active";

struct ImportOptions {
  // Leave "Drivers\Active" as it is: its lines are skipped, and a removal
  // of a key above it removes everything else.
  bool keepActive = false;
  // Replace the whole registry with the text instead of merging it.
  bool replace = false;
  // Runs inside the same change after the text (a restore boots there).
  std::function<Status()> then;
};

struct ImportResult {
  bool skippedActive = false;  // the text had lines for "Drivers\Active"
};

// Reads .reg text a piece at a time (ReadRegStream) and applies it as one
// change: nothing is changed when the text does not parse, then fails, or
// the change cannot be stored. *error is "line N: ..." or the store's.
bool ImportRegStream(LmdbRegistry& registry,
                     const std::function<bool(std::string*, bool*, std::string*)>& read,
                     const ImportOptions& options, ImportResult* result, std::string* error);

// A reader over a file descriptor for ImportRegStream, refusing more than
// limit bytes. Its messages ("cannot read: ...", "larger than N MiB") leave
// naming the input to the caller.
std::function<bool(std::string*, bool*, std::string*)> ReadFromDescriptor(int fd, size_t limit);

}  // namespace velmora
