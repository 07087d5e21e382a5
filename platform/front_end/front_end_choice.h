// Which front end shows the program's dialogs, chosen from the command
// line and the environment as programs with both usually do: a window when
// a display is there (DISPLAY or WAYLAND_DISPLAY set), the terminal
// otherwise. "--terminal" and "--window" force one; "--scale N" sizes the
// window; "--device DIR" names the device folder; "--help" describes all
// of this.
#pragma once

#include <string>
#include <vector>

namespace velmora {

enum class FrontEnd { Terminal, Window };

// The window's scale: the handheld's screen drawn N times as large.
inline constexpr int MinWindowScale = 1;
inline constexpr int MaxWindowScale = 8;
inline constexpr int DefaultWindowScale = 2;

struct FrontEndChoice {
  FrontEnd frontEnd = FrontEnd::Terminal;
  int scale = DefaultWindowScale;
  bool help = false;         // show the help and start nothing
  bool version = false;      // show the version and start nothing
  std::string device;        // --device DIR; empty: VELMORA_DEVICE or the default
  bool windowAsked = false;  // --window: the window or nothing
};

// Reads the arguments after the program's name. displayThere: the
// environment names a display; windowBuilt: this build has the window
// front end. False and *error (one line, no program name) for bad use.
bool ChooseFrontEnd(const std::vector<std::string>& args, bool displayThere, bool windowBuilt,
                    FrontEndChoice* choice, std::string* error);

// DISPLAY or WAYLAND_DISPLAY is set and not empty.
bool DisplayThere();

// The text of --help.
std::string FrontEndHelp(const std::string& programName, bool windowBuilt);

}  // namespace velmora
