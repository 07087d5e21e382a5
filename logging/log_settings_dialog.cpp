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

// "LogDir", or the default folder when it cannot be read.
std::u16string StoredFolder(RegistryKey& key) {
  std::u16string folder = DefaultFolder;
  key.ReadString(u"LogDir", &folder);
  return folder;
}

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
  RegistryKey key(DriverKeyPath, HKEY_LOCAL_MACHINE);
  SetControlText(FolderTextId, StoredFolder(key));
  Find<ui::CheckBox>(ReadLogBoxId)->SetCheck(key.ReadFlagOr(u"ReadLog", false));
  Find<ui::CheckBox>(WriteLogBoxId)->SetCheck(key.ReadFlagOr(u"WriteLog", false));
  return true;
}

// A change that could not be stored must not look stored: after a failed
// write the control shows again what the registry holds.
void LogSettingsDialog::StoreFlag(int checkBoxId, std::u16string_view valueName) {
  RegistryKey key(DriverKeyPath, HKEY_LOCAL_MACHINE);
  ui::CheckBox* box = Find<ui::CheckBox>(checkBoxId);
  if (!key.WriteFlag(valueName, box->checked())) {
    box->SetCheck(key.ReadFlagOr(valueName, false));
  }
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
    if (!key.WriteString(u"LogDir", chooser.path)) {
      SetControlText(FolderTextId, StoredFolder(key));
    }
  }
}

void LogSettingsDialog::OnDismiss() {
  if (StopDriver()) {
    StartDriver();
  }
  ui::Dialog::OnDismiss();
}

}  // namespace velmora
