// Installing, taking over, undoing and removing: what "Übernehmen" does.
#pragma once

#include <cstdint>
#include <string_view>

#include "driver/port_table.h"
#include "platform/registry.h"

namespace velmora {

namespace ui {
class Dialog;
}

// What the installation needs of the dialog it runs for.
class InstallerView {
 public:
  virtual ~InstallerView() = default;
  // Item data of the selected entry of "Installiert auf" and "Verbinde
  // mit"; -1 for "keinem" or no selection.
  virtual int32_t SelectedInstallIndex() const = 0;
  virtual int32_t SelectedConnectIndex() const = 0;
  virtual PortTable& Ports() = 0;
  virtual ui::Dialog* MessageOwner() = 0;
  virtual void SetStatusText(std::u16string_view text) = 0;
  // Rebuilds the port table and the views, and disables "Übernehmen".
  virtual void RefreshPortViews() = 0;
  // Relabels the cancel button "Beenden" and notes that an installation ran.
  virtual void MarkInstalled() = 0;
};

// Asks for confirmation, stops the running driver, undoes an earlier
// takeover, then removes the driver (a selection is -1) or installs it on
// the chosen port, taking the port over from the driver that holds it, and
// starts it. Reports through message boxes and the status text.
void InstallDriver(InstallerView& view);

// Deletes name below parent with everything below it; true when the key
// itself was deleted.
bool DeleteKeyTree(HKEY parent, std::u16string_view name);

}  // namespace velmora
