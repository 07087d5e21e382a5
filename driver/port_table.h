// The inventory of the ten serial ports COM0 to COM9: which running driver
// holds each one, built from the device manager's "Drivers\Active".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace velmora {

struct PortRecord {
  char16_t friendlyName[64];  // the driver's description; may fill all 64 units
  char16_t driverKey[64];     // "Key" of the active device
  uint8_t inUse;              // an active device is named "COM" + this digit
  uint8_t examined;           // the scan looked up handle, key and description
  uint32_t deviceHandle;      // "Hnd" of the active device
};

inline constexpr int PortCount = 10;

// Exactly ten records; the index is the COM number.
class PortTable {
 public:
  PortTable() { Clear(); }
  void Clear() { records_ = {}; }
  PortRecord& operator[](int port) { return records_[static_cast<size_t>(port)]; }
  const PortRecord& operator[](int port) const { return records_[static_cast<size_t>(port)]; }

 private:
  std::array<PortRecord, PortCount> records_;
};

// Rebuilds the table from "Drivers\Active" with the wait cursor shown.
// Every registry failure only leaves a port or a field empty.
void ScanPorts(PortTable& table);

}  // namespace velmora
