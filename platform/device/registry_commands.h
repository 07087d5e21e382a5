// The `reg` commands of velmora-device: the registry as .reg text (export,
// import, restore) and its repair. Each returns the command's exit code and
// writes its messages to standard error.
#pragma once

#include <string>

namespace velmora {

class Device;

// Writes the registry as .reg text to file, replacing it atomically, or to
// standard output for "" and "-".
int RunRegExport(Device& device, const std::string& file);

// Merges file ("-": standard input) into the registry in one change,
// leaving "Drivers\Active" (the running devices) alone.
int RunRegImport(Device& device, const std::string& file);

// Replaces the whole registry with file in one change and boots the device
// in the same change, as a restart would.
int RunRegRestore(Device& device, const std::string& file);

// Checks every record of the device folder's registry: exit 0 when whole,
// 1 (each damaged record named) when not.
int RunRegCheck(const std::string& folder);

// Rebuilds the registry from every record that can be read, keeping the
// damaged store as a copy, and says what was lost.
int RunRegRepair(const std::string& folder);

}  // namespace velmora
