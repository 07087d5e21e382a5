// The program's dialog templates: the main dialog (102), the logging
// dialog (103) and the folder chooser (141).
#pragma once

#include "platform/ui/dialog_template.h"

namespace velmora {

inline constexpr int MainDialogTemplate = 102;
inline constexpr int LogSettingsTemplate = 103;
inline constexpr int FileChooserTemplate = 141;
inline constexpr int ProgramIcon = 128;

const ui::DialogTemplate& DialogTemplateById(int id);

}  // namespace velmora
