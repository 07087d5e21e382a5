// A descriptor that becomes readable when the registry of a device folder
// changes, for a process that follows changes made by others (the running
// device following "Drivers\Active") without looking at the registry on a
// timer.
//
// It watches the device folder itself, not one file: whatever the store
// keeps there (a snapshot renamed into place, a journal appended to, files
// written in place), every file whose name begins with "registry." counts.
// A change is seen when such a file is written, modified, touched,
// created or renamed into the folder. Readiness only says "look again": the reader
// drains the descriptor and then reads what it needs through the registry,
// which gives it the committed state.
#pragma once

#include <string>

#include "platform/unique_fd.h"

namespace velmora {

class RegistryWatch {
 public:
  // Files of the store are those whose names begin with this.
  static constexpr const char* StorePrefix = "registry.";

  RegistryWatch() = default;

  // Starts watching deviceFolder. False and *error when the host cannot
  // watch it (no such folder, out of watches).
  bool Open(const std::string& deviceFolder, std::string* error);
  bool isOpen() const { return static_cast<bool>(fd_); }

  // Readable (POLLIN) when something happened in the folder; never blocks.
  int fd() const { return fd_.get(); }

  // Takes every event waiting on fd() without blocking: true when one of
  // them was a change of the registry's files, false when there were
  // only changes of other files (or none).
  bool Drain();

 private:
  UniqueFd fd_;
};

}  // namespace velmora
