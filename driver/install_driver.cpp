#include "driver/install_driver.h"

#include <cstdint>

#include "driver/driver_names.h"
#include "platform/platform.h"
#include "support/field_text.h"
#include "support/format_string.h"
#include "support/registry_tree.h"
#include "support/scoped_key.h"

namespace velmora {

namespace {

constexpr char16_t WarningText[] =
    u"Dies ist ein Eingriff in das System und kann zu Problemen führen. Führen Sie den nächsten "
    u"Schritt nur aus, wenn Sie vorher ein Backup erstellt haben und somit bei Problemen den "
    u"aktuellen Stand wiederherstellen können.\n\nWollen Sie die Installation fortsetzen?";
constexpr char16_t SuccessText[] =
    u"Der Treiber wurde erfolgreich installiert. Bitte beachten Sie, dass Ihre GPS Software jetzt "
    u"auf COM%d umkonfiguriert werden muss.";
constexpr char16_t StartFailedText[] =
    u"Bei der Installation ist ein Fehler aufgetreten. Bitte rebooten Sie den PPC";
constexpr uint32_t DemotedOrder = 2;

// Stops every running instance of the driver that the table knows of.
void StopRunningDriver(const PortTable& table) {
  for (int port = 0; port < PortCount; ++port) {
    const PortRecord& record = table[port];
    if (FieldText(record.driverKey) == DriverKeyPath && record.deviceHandle != 0) {
      Devices().DeactivateDriver(record.deviceHandle);
    }
  }
}

// Gives a port taken over by an earlier installation back to its driver:
// its "Order" as it was, the driver started again, the record removed.
void UndoTakeover() {
  ScopedKey driver;
  if (driver.Open(HKEY_LOCAL_MACHINE, DriverKeyPath) != StatusSuccess) {
    return;
  }
  char16_t replaced[128] = {};
  if (!driver.Read(u"ReplacedDrv", replaced, 256)) {
    return;
  }
  Registry().DeleteValue(driver.get(), u"ReplacedDrv");
  std::u16string_view replacedPath = FieldText(replaced);
  if (replacedPath.empty()) {
    return;  // nothing on record: an empty path would name the registry's root
  }
  uint32_t order = 0;
  bool hadOrder = driver.ReadNumber(u"ReplacedDrvOrder", &order);
  ScopedKey other;
  if (other.Open(HKEY_LOCAL_MACHINE, replacedPath) == StatusSuccess) {
    if (hadOrder) {
      other.WriteNumber(u"Order", order);
    } else {
      Registry().DeleteValue(other.get(), u"Order");  // it had none before
    }
  }
  other.Close();
  driver.Close();
  Devices().ActivateDriver(replacedPath, 0);
}

// Takes the port of record over from the driver that holds it.
void TakeOver(const ScopedKey& driver, const PortRecord& record) {
  std::u16string_view otherKey = FieldText(record.driverKey);
  if (!otherKey.empty()) {
    if (otherKey != DriverKeyPath) {
      driver.WriteString(u"ReplacedDrv", otherKey);
    }
    ScopedKey other;
    if (other.Open(HKEY_LOCAL_MACHINE, otherKey) == StatusSuccess) {
      uint32_t order = 0;
      if (other.ReadNumber(u"Order", &order)) {
        driver.WriteNumber(u"ReplacedDrvOrder", order);
      } else {
        // No order to give back: the undo then removes the demoted one.
        Registry().DeleteValue(driver.get(), u"ReplacedDrvOrder");
      }
      other.WriteNumber(u"Order", DemotedOrder);
    }
  }
  if (record.deviceHandle != 0) {
    Devices().DeactivateDriver(record.deviceHandle);
  }
}

// Creates the driver's key and writes its values; false at the first
// failure.
bool WriteDriverKey(ScopedKey& builtIn, ScopedKey& driver, int32_t installIndex,
                    int32_t connectIndex) {
  if (builtIn.Open(HKEY_LOCAL_MACHINE, u"Drivers\\BuiltIn") != StatusSuccess ||
      driver.Create(builtIn.get(), DriverName) != StatusSuccess) {
    return false;
  }
  return driver.WriteString(u"Prefix", u"COM") == StatusSuccess &&
         driver.WriteString(u"FriendlyName", DriverFriendlyName) == StatusSuccess &&
         driver.WriteString(u"Dll", DriverDllName) == StatusSuccess &&
         driver.WriteNumber(u"Order", 1) == StatusSuccess &&
         driver.WriteNumber(u"Index", static_cast<uint32_t>(installIndex)) == StatusSuccess &&
         driver.WriteNumber(u"DeviceArrayIndex", static_cast<uint32_t>(installIndex)) ==
             StatusSuccess &&
         driver.WriteNumber(u"ConnectTo", static_cast<uint32_t>(connectIndex)) == StatusSuccess;
}

}  // namespace

bool DeleteKeyTree(HKEY parent, std::u16string_view name) {
  return DeleteRegistryTree(parent, name);
}

void InstallDriver(InstallerView& view) {
  if (ShowMessage(view.MessageOwner(), WarningText, u"Warnung",
                  MessageYesNo | MessageIconExclamation) != AnswerYes) {
    return;
  }
  int32_t installIndex = view.SelectedInstallIndex();
  int32_t connectIndex = view.SelectedConnectIndex();
  PortTable& table = view.Ports();

  // The table is rebuilt before each use: since the last refresh the driver
  // may have been restarted under a new handle, and the undo below hands a
  // port back to another driver.
  ScanPorts(table);
  StopRunningDriver(table);
  UndoTakeover();
  ScanPorts(table);

  std::u16string status;
  if (installIndex < 0 || connectIndex < 0) {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, DriverKeyPath);
    status = u"Driver not installed";
  } else {
    {
      ScopedKey builtIn;
      ScopedKey driver;
      if (!WriteDriverKey(builtIn, driver, installIndex, connectIndex)) {
        view.SetStatusText(u"Error: Could Not Create registry key.");
        return;
      }
      if (installIndex < PortCount && table[installIndex].inUse) {
        TakeOver(driver, table[installIndex]);
      }
    }
    if (Devices().ActivateDriver(DriverKeyPath, 0) != 0) {
      ShowMessage(view.MessageOwner(), FormatString(SuccessText, installIndex), u"", MessageOk);
      status = u"Treiber erfolgreich installiert.";
    } else {
      ShowMessage(view.MessageOwner(), StartFailedText, u"", MessageOk);
      status = u"Error: Treiber konnte nicht gestartet werden.";
    }
  }
  view.SetStatusText(status);
  view.RefreshPortViews();
  view.MarkInstalled();
}

}  // namespace velmora
