// A modal dialog that picks a folder or a file by browsing the device's
// folders in a two-column list. File mode (the default) navigates folders
// and picks files, optionally only those ending with one of filters;
// folder mode (foldersOnly) lists folders only and picks one. Unless
// existingOnly, a name can be typed, and in folder mode a typed folder that
// does not exist is created when it is accepted.
#pragma once

#include <string>

#include "platform/ui/dialog.h"
#include "platform/ui/string_array.h"

namespace velmora {

class FileChooserDialog final : public ui::Dialog {
 public:
  explicit FileChooserDialog(ui::Dialog* parent = nullptr);
  ~FileChooserDialog() override;

  uint8_t existingOnly = 1;
  uint8_t foldersOnly = 0;
  std::u16string path;  // in: where to start; out (OK result): the choice
  ui::StringArray filters;

  const std::u16string& folder() const { return currentFolder; }

 protected:
  const ui::CommandTable& Commands() const override;
  void BindControls() override;
  bool InitialiseDialog() override;
  void OnOkCommand() override;

 private:
  void ListFolder(std::u16string_view selectionName);
  void OpenSelectedEntry();
  void AcceptEntry();
  void OnSelectionChanged();
  void OnTap();
  void OnDoubleTap();
  void OnNameEdited();
  void OnListKey(const ui::NotifyInfo& info);
  void GoUp();
  bool AcceptEnabled() const;
  std::u16string SelectedName() const;  // "" when nothing is selected
  bool Matches(std::u16string_view name) const;

  ui::ListView* entryList = nullptr;
  std::u16string currentFolder;
};

}  // namespace velmora
