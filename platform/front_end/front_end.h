// The program's front end, chosen from its command line and environment
// (front_end_choice.h) and made: the terminal, or the window when this
// build has one.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/ui_host.h"

namespace velmora {

// nullptr when the program is to end at once, with *exitCode: 0 after
// "--help" (the help on standard output), 2 after bad use, 1 when the
// chosen front end cannot start (one line on standard error each).
// *deviceFolder: the folder of --device, empty without it.
std::unique_ptr<ui::UiHost> OpenFrontEnd(int argc, char** argv, int* exitCode,
                                         std::string* deviceFolder);

}  // namespace velmora
