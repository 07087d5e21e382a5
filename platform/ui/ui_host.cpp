#include "platform/ui/ui_host.h"

#include <algorithm>

#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"

namespace velmora::ui {

int UiHost::ListClientWidth(const ListView& list) const {
  return list.TemplateClientWidth();
}

void UiHost::PushModal(Dialog& dialog) {
  for (Dialog* beneath : running_) {
    beneath->Enable(false);
  }
  running_.push_back(&dialog);
  dialog.Enable(true);
}

void UiHost::PopModal(Dialog& dialog) {
  running_.erase(std::remove(running_.begin(), running_.end(), &dialog), running_.end());
  if (!running_.empty()) {
    running_.back()->Enable(true);
  }
}

}  // namespace velmora::ui
