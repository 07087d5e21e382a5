// The logging options of the driver: whether it logs read and write
// operations, and the folder of its logs. Every change is stored at once;
// leaving through "Abbrechen" restarts a running driver so that it picks
// the settings up. The dialog keeps no state of its own: its controls show
// what the registry holds, also after a write that failed.
#pragma once

#include "platform/ui/dialog.h"

namespace velmora {

class LogSettingsDialog final : public ui::Dialog {
 public:
  explicit LogSettingsDialog(ui::Dialog* parent = nullptr);
  ~LogSettingsDialog() override;

 protected:
  const ui::CommandTable& Commands() const override;
  bool InitialiseDialog() override;
  void OnDismiss() override;

 private:
  void OnReadLogClicked();
  void OnWriteLogClicked();
  void OnBrowse();
  void StoreFlag(int checkBoxId, std::u16string_view valueName);
};

}  // namespace velmora
