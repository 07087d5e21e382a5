#include "logging/log_settings_dialog.h"

#include "driver/driver_control.h"
#include "driver/driver_names.h"
#include "logging/file_chooser_dialog.h"
#include "platform/dialog_templates.h"
#include "support/registry_key.h"

namespace velmora {

namespace {

constexpr int ReadLogBoxId = 1006;
constexpr int FolderTextId = 1007;
constexpr int BrowseButtonId = 1008;
constexpr int WriteLogBoxId = 1009;
constexpr char16_t DefaultFolder[] = u"\\My Documents";

}  // namespace

LogSettingsDialog::LogSettingsDialog(ui::Dialog* parent)
    : ui::Dialog(DialogTemplateById(LogSettingsTemplate), parent) {}

LogSettingsDialog::~LogSettingsDialog() = default;

const ui::CommandTable& LogSettingsDialog::Commands() const {
  using N = ui::Notification;
  static const ui::CommandTable table = ui::MakeCommandTable<LogSettingsDialog>({
      {N::Clicked, ReadLogBoxId, &LogSettingsDialog::OnReadLogClicked},
      {N::Clicked, WriteLogBoxId, &LogSettingsDialog::OnWriteLogClicked},
      {N::Clicked, BrowseButtonId, &LogSettingsDialog::OnBrowse},
  });
  return table;
}

bool LogSettingsDialog::InitialiseDialog() {
  ui::Dialog::InitialiseDialog();
  std::u16string folder = DefaultFolder;
  RegistryKey key(DriverKeyPath, HKEY_LOCAL_MACHINE);
  key.ReadString(u"LogDir", &folder);
  SetControlText(FolderTextId, folder);
  Find<ui::CheckBox>(ReadLogBoxId)->SetCheck(key.ReadFlagOr(u"ReadLog", false));
  Find<ui::CheckBox>(WriteLogBoxId)->SetCheck(key.ReadFlagOr(u"WriteLog", false));
  return true;
}

void LogSettingsDialog::StoreFlag(int checkBoxId, std::u16string_view valueName) {
  RegistryKey key(DriverKeyPath, HKEY_LOCAL_MACHINE);
  key.WriteFlag(valueName, Find<ui::CheckBox>(checkBoxId)->checked());
}

void LogSettingsDialog::OnReadLogClicked() {
  StoreFlag(ReadLogBoxId, u"ReadLog");
}

void LogSettingsDialog::OnWriteLogClicked() {
  StoreFlag(WriteLogBoxId, u"WriteLog");
}

void LogSettingsDialog::OnBrowse() {
  FileChooserDialog chooser;
  chooser.foldersOnly = 1;
  chooser.existingOnly = 0;
  chooser.path = ControlText(FolderTextId);
  if (chooser.RunModal() == ui::EndOk) {
    SetControlText(FolderTextId, chooser.path);
    RegistryKey key(DriverKeyPath, HKEY_LOCAL_MACHINE);
    key.WriteString(u"LogDir", chooser.path);
  }
}

void LogSettingsDialog::OnDismiss() {
  if (StopDriver()) {
    StartDriver();
  }
  ui::Dialog::OnDismiss();
}

}  // namespace velmora
