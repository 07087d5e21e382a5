#include "driver/port_table.h"

#include "platform/platform.h"
#include "platform/ui/application.h"
#include "support/field_text.h"
#include "support/scoped_key.h"
#include "support/subkey_walk.h"

namespace velmora {

namespace {

// Read limits, in bytes.
constexpr uint32_t NameLimit = 256;
constexpr uint32_t HandleLimit = 4;
constexpr uint32_t KeyLimit = 64;
constexpr uint32_t OwnNameLimit = 64;
constexpr uint32_t SubkeyNameLimit = 128;

// The port a device name stands for: "COM" and a digit, or -1.
int PortOfName(const char16_t* name, uint32_t bytes) {
  if (bytes <= 3 || name[0] != u'C' || name[1] != u'O' || name[2] != u'M' || name[3] < u'0' ||
      name[3] > u'9') {
    return -1;
  }
  return name[3] - u'0';
}

// The driver's description: its key's "FriendlyName", or that of the first
// subkey that has one.
void ReadDescription(PortRecord& record) {
  ScopedKey driver;
  if (driver.Open(HKEY_LOCAL_MACHINE, FieldText(record.driverKey)) != StatusSuccess) {
    return;
  }
  if (driver.Read(u"FriendlyName", record.friendlyName, OwnNameLimit)) {
    return;
  }
  ForEachSubkey(driver.get(), [&](std::u16string_view name) {
    ScopedKey sub;
    return !(sub.Open(driver.get(), name) == StatusSuccess &&
             sub.Read(u"FriendlyName", record.friendlyName, SubkeyNameLimit));
  });
}

void ScanEntry(HKEY active, std::u16string_view entryName, PortTable& table) {
  ScopedKey entry;
  if (entry.Open(active, entryName) != StatusSuccess) {
    return;
  }
  char16_t name[NameLimit / 2] = {};
  uint32_t bytes = 0;
  if (!entry.Read(u"Name", name, NameLimit, &bytes)) {
    return;
  }
  int port = PortOfName(name, bytes);
  if (port < 0) {
    return;
  }
  PortRecord& record = table[port];
  record.inUse = 1;
  entry.Read(u"Hnd", &record.deviceHandle, HandleLimit);
  if (entry.Read(u"Key", record.driverKey, KeyLimit)) {
    ReadDescription(record);
  }
  record.examined = 1;
}

}  // namespace

void ScanPorts(PortTable& table) {
  ui::ScopedWaitCursor wait;
  table.Clear();
  ScopedKey active;
  if (active.Open(HKEY_LOCAL_MACHINE, u"Drivers\\Active") != StatusSuccess) {
    return;
  }
  ForEachSubkey(active.get(), [&](std::u16string_view name) {
    ScanEntry(active.get(), name, table);
    return true;
  });
}

}  // namespace velmora
