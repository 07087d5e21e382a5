// Dialogs on the program's templates, filled as the program fills them,
// for the terminal front end's tests.
#pragma once

#include <string>

#include "platform/dialog_templates.h"
#include "platform/text.h"
#include "platform/ui/dialog.h"

namespace velmora::terminal {

// The main dialog's port list and "Installiert auf" as the program fills
// them on the sample device: ten ports, "keinem" chosen.
inline void FillPorts(ui::Dialog& dialog) {
  dialog.SetCaption(u"Velmora 2.1.0.4 Configuration");
  auto* list = dialog.Find<ui::ListView>(1000);
  list->InsertColumn(0, u"#", 50);
  list->InsertColumn(1, u"Verfügb.", 80);
  list->InsertColumn(2, u"Bezeichnung", 200);
  for (int n = 0; n < 10; ++n) {
    list->InsertItem(n, u"COM" + FromUtf8(std::to_string(n)));
    list->SetItemText(n, 1, n == 1 ? u"Belegt" : u"Frei");
  }
  list->SetItemText(1, 2, u"Serial Cable on COM1:");
  auto* combo = dialog.Find<ui::ComboBox>(1003);
  combo->AddString(u"keinem");
  for (int n = 0; n < 10; ++n) {
    combo->AddString(u"COM" + FromUtf8(std::to_string(n)));
  }
  combo->SetCurSel(0);
}

}  // namespace velmora::terminal
