#include "app/config_dialog.h"

#include "driver/driver_names.h"
#include "logging/log_settings_dialog.h"
#include "platform/dialog_templates.h"
#include "support/field_text.h"
#include "support/file_version_string.h"
#include "support/format_string.h"
#include "support/scoped_key.h"

namespace velmora {

namespace {

constexpr int PortListId = 1000;
constexpr int ApplyButtonId = 1002;
constexpr int InstallComboId = 1003;
constexpr int ConnectComboId = 1004;
constexpr int StatusId = 1005;
constexpr int AdvancedButtonId = 1006;

int32_t SelectedDatum(const ui::ComboBox* combo) {
  int selection = combo->GetCurSel();
  return selection < 0 ? -1 : combo->GetItemData(selection);
}

}  // namespace

ConfigDialog::ConfigDialog(ui::Dialog* parent)
    : ui::Dialog(DialogTemplateById(MainDialogTemplate), parent), icon(ProgramIcon) {}

ConfigDialog::~ConfigDialog() = default;

const ui::CommandTable& ConfigDialog::Commands() const {
  using N = ui::Notification;
  static const ui::CommandTable table = ui::MakeCommandTable<ConfigDialog>({
      {N::Clicked, ApplyButtonId, &ConfigDialog::OnInstall},
      {N::SelectionChanged, InstallComboId, &ConfigDialog::RefillConnectCombo},
      {N::SelectionChanged, ConnectComboId, &ConfigDialog::OnConnectChanged},
      {N::Clicked, AdvancedButtonId, &ConfigDialog::OnAdvanced},
  });
  return table;
}

void ConfigDialog::BindControls() {
  connectCombo = Bind<ui::ComboBox>(ConnectComboId);
  installCombo = Bind<ui::ComboBox>(InstallComboId);
  portList = Bind<ui::ListView>(PortListId);
}

bool ConfigDialog::InitialiseDialog() {
  ui::Dialog::InitialiseDialog();
  SetIcon(icon);
  CentreWindow();
  SetCaption(u"Velmora " + FileVersionString(u"\\windows\\velmora.dll") + u" Configuration");
  portList->InsertColumn(0, u"#", 50);
  portList->InsertColumn(1, u"Verfügb.", 80);
  portList->InsertColumn(2, u"Bezeichnung", 200);
  RefreshPortViews();
  installedThisRun = 0;
  return true;
}

void ConfigDialog::RefreshPortViews() {
  ScanPorts(portTable);
  FillPortViews();
  RefillConnectCombo();
  SelectCurrentSetting();
  EnableControl(ApplyButtonId, false);
}

void ConfigDialog::FillPortViews() {
  portList->DeleteAllItems();
  for (int n = 0; n < PortCount; ++n) {
    const PortRecord& record = portTable[n];
    portList->InsertItem(n, FormatString(u"COM%d", n));
    if (!record.inUse) {
      portList->SetItemText(n, 1, u"Frei");
    } else if (record.examined) {
      portList->SetItemText(n, 1, u"Belegt");
    }
    portList->SetItemText(n, 2, FieldText(record.friendlyName));
  }
  installCombo->ResetContent();
  installCombo->SetItemData(installCombo->AddString(u"keinem"), -1);
  installCombo->SetCurSel(0);
  for (int n = 0; n < PortCount; ++n) {
    if (!portTable[n].inUse || portTable[n].examined) {
      installCombo->SetItemData(installCombo->AddString(FormatString(u"COM%d", n)), n);
    }
  }
}

void ConfigDialog::RefillConnectCombo() {
  if (installCombo->GetCurSel() >= 0) {
    int32_t installIndex = SelectedDatum(installCombo);
    if (installIndex == -1) {
      connectCombo->Enable(false);
    } else {
      connectCombo->Enable(true);
      int32_t remembered = SelectedDatum(connectCombo);
      connectCombo->ResetContent();
      for (int n = 0; n < PortCount; ++n) {
        if (portTable[n].inUse && portTable[n].examined && n != installIndex) {
          int item = connectCombo->AddString(FormatString(u"COM%d", n));
          connectCombo->SetItemData(item, n);
          if (n == remembered) {
            connectCombo->SetCurSel(item);
          }
        }
      }
    }
  }
  EnableControl(ApplyButtonId, true);
}

void ConfigDialog::SelectCurrentSetting() {
  ScopedKey driver;
  if (driver.Open(HKEY_LOCAL_MACHINE, DriverKeyPath) != StatusSuccess) {
    return;
  }
  uint32_t value = 0;
  if (driver.ReadNumber(u"Index", &value)) {
    for (int i = 0; i < installCombo->GetCount(); ++i) {
      if (installCombo->GetItemData(i) == static_cast<int32_t>(value)) {
        installCombo->SetCurSel(i);
        RefillConnectCombo();
        break;
      }
    }
  }
  if (driver.ReadNumber(u"ConnectTo", &value)) {
    for (int i = 0; i < connectCombo->GetCount(); ++i) {
      if (connectCombo->GetItemData(i) == static_cast<int32_t>(value)) {
        connectCombo->SetCurSel(i);
      }
    }
  }
}

void ConfigDialog::OnConnectChanged() {
  EnableControl(ApplyButtonId, true);
}

void ConfigDialog::OnDismiss() {
  if (installedThisRun) {
    OnOkCommand();
  } else {
    EndDialog(ui::EndCancel);
  }
}

void ConfigDialog::OnAdvanced() {
  LogSettingsDialog dialog;
  dialog.RunModal();
}

void ConfigDialog::OnInstall() {
  InstallDriver(*this);
}

int32_t ConfigDialog::SelectedInstallIndex() const {
  return SelectedDatum(installCombo);
}

int32_t ConfigDialog::SelectedConnectIndex() const {
  return SelectedDatum(connectCombo);
}

void ConfigDialog::SetStatusText(std::u16string_view text) {
  SetControlText(StatusId, text);
}

void ConfigDialog::MarkInstalled() {
  SetControlText(ui::IdCancel, u"Beenden");
  installedThisRun = 1;
}

}  // namespace velmora
