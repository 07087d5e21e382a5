// Looking at a registry store as a whole, on purpose: every record of
// every table checked (`velmora-device reg check`), and a new store made
// from every record that can still be read (`reg repair`).
#pragma once

#include <string>
#include <vector>

#include "platform/registry/key_tree.h"

namespace velmora {

struct StoreReport {
  bool opened = false;              // LMDB could read the file at all
  std::vector<std::string> damage;  // "<file>: the record ... is damaged", one each
  size_t keys = 0;                  // whole keys (the root included)
  size_t values = 0;                // whole values
  uint64_t nextHandle = 0;          // the device manager's counters (0: none)
  uint64_t nextEntry = 0;
};

// Checks every record of the store at path; with salvage, also puts every
// key that can be reached from the root through whole records, with its
// whole values, into root (in creation order).
StoreReport CheckStore(const std::string& path, KeyNode* salvage);

}  // namespace velmora
