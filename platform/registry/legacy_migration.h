// Device folders made before the registry store kept the registry as text:
// "registry.reg" (a snapshot of one generation), "registry.journal" (the
// changes since, journal_format.h) and "device.state" (the device
// manager's counters). They are read once into "registry.mdb" and kept as
// a backup ("<name>.migrated").
//
// The old files are read strictly, so that damage is never mistaken for a
// crash: only a journal whose last record is cut short (the file ends
// inside it) counts as torn. A bad CRC with more bytes after it, a record
// length that runs over the records after it, a journal of a newer
// generation than the snapshot, or of another device (the files name
// their device on a line "; device <id>"), is an error naming the file and
// the record, and then nothing is migrated or written.
#pragma once

#include <string>

#include "platform/registry/key_tree.h"

namespace velmora {

// The old files' registry as of their last whole change. With lost given
// (a repair), a damaged journal is read up to its damage instead, and
// *lost says what was left out.
bool ReadTextRegistry(const std::string& snapshotPath, KeyNode& root, std::string* error,
                      std::string* lost = nullptr);

// Makes folder/registry.mdb from the old files when there is no store yet
// (once, under a lock: a second process waits and finds it made). True
// when there is a store afterwards, or nothing to migrate (*migrated
// tells). *error names the file and record that stopped it.
bool MigrateTextRegistry(const std::string& folder, bool* migrated, std::string* error,
                         std::string* lost = nullptr);

}  // namespace velmora
