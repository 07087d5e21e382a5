// The main dialog: the ten serial ports with their state and driver, the
// choice of the port to install the splitter on ("Installiert auf") and
// of the port it connects to ("Verbinde mit"), "Übernehmen" to install and
// "Erweitert" for the logging options.
#pragma once

#include <cstdint>

#include "driver/install_driver.h"
#include "driver/port_table.h"
#include "platform/ui/dialog.h"

namespace velmora {

class ConfigDialog final : public ui::Dialog, private InstallerView {
 public:
  explicit ConfigDialog(ui::Dialog* parent = nullptr);
  ~ConfigDialog() override;

 protected:
  const ui::CommandTable& Commands() const override;
  void BindControls() override;
  bool InitialiseDialog() override;
  void OnDismiss() override;

 private:
  void RefreshPortViews() override;
  void FillPortViews();
  void RefillConnectCombo();
  void SelectCurrentSetting();
  void OnConnectChanged();
  void OnAdvanced();
  void OnInstall();

  // InstallerView
  int32_t SelectedInstallIndex() const override;
  int32_t SelectedConnectIndex() const override;
  PortTable& Ports() override { return portTable; }
  ui::Dialog* MessageOwner() override { return this; }
  void SetStatusText(std::u16string_view text) override;
  void MarkInstalled() override;

  PortTable portTable;
  ui::ComboBox* connectCombo = nullptr;
  ui::ComboBox* installCombo = nullptr;
  ui::ListView* portList = nullptr;
  int32_t installedThisRun = 0;
  int icon = 0;
};

}  // namespace velmora
