// Loads the window front end, a module of its own beside the program (in
// the build folder) or in its library folder (installed), so that only a
// program that shows a window loads Qt.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/ui_host.h"

namespace velmora {

// The file name of the module.
inline constexpr char WindowModuleName[] = "velmora-window.so";

// The window host at that scale; nullptr and *error when the module cannot
// be found or loaded. The module stays loaded for the rest of the process.
std::unique_ptr<ui::UiHost> LoadWindowHost(int scale, std::string* error);

}  // namespace velmora
