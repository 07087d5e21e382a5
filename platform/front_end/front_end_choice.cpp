#include "platform/front_end/front_end_choice.h"

#include <cstdlib>

namespace velmora {

namespace {

bool ParseScale(const std::string& text, int* scale) {
  if (text.empty() || text.size() > 2) {
    return false;
  }
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') {
      return false;
    }
    value = value * 10 + (c - '0');
  }
  if (value < MinWindowScale || value > MaxWindowScale) {
    return false;
  }
  *scale = value;
  return true;
}

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

bool ChooseFrontEnd(const std::vector<std::string>& args, bool displayThere, bool windowBuilt,
                    FrontEndChoice* choice, std::string* error) {
  *choice = FrontEndChoice{};
  bool forceTerminal = false;
  bool forceWindow = false;
  const std::string scaleError = "--scale needs a whole number from " +
                                 std::to_string(MinWindowScale) + " to " +
                                 std::to_string(MaxWindowScale);
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      choice->help = true;
    } else if (arg == "--version") {
      choice->version = true;
    } else if (arg == "--terminal") {
      forceTerminal = true;
    } else if (arg == "--window") {
      forceWindow = true;
    } else if (arg == "--device" || arg == "-d" || arg.rfind("--device=", 0) == 0) {
      if (arg.rfind("--device=", 0) == 0) {
        choice->device = arg.substr(9);
      } else if (i + 1 < args.size()) {
        choice->device = args[++i];
      }
      if (choice->device.empty()) {
        *error = "--device needs a folder";
        return false;
      }
    } else if (arg == "--scale" || arg.rfind("--scale=", 0) == 0) {
      std::string value;
      if (arg == "--scale") {
        if (i + 1 == args.size()) {
          *error = scaleError;
          return false;
        }
        value = args[++i];
      } else {
        value = arg.substr(8);
      }
      if (!ParseScale(value, &choice->scale)) {
        *error = scaleError + ", not '" + value + "'";
        return false;
      }
    } else {
      *error = "unknown argument '" + arg + "' (see --help)";
      return false;
    }
  }
  if (choice->help || choice->version) {
    return true;
  }
  if (forceTerminal && forceWindow) {
    *error = "--terminal and --window exclude each other";
    return false;
  }
  if (forceWindow && !windowBuilt) {
    *error = "--window: this build has no window front end (Qt 6 was not found); use --terminal";
    return false;
  }
  if (forceWindow && !displayThere) {
    *error =
        "--window needs a display, but neither DISPLAY nor WAYLAND_DISPLAY is set; use "
        "--terminal";
    return false;
  }
  bool window = forceWindow || (!forceTerminal && displayThere && windowBuilt);
  choice->frontEnd = window ? FrontEnd::Window : FrontEnd::Terminal;
  choice->windowAsked = forceWindow;
  return true;
}

bool DisplayThere() {
  return Set("DISPLAY") || Set("WAYLAND_DISPLAY");
}

std::string FrontEndHelp(const std::string& programName, bool windowBuilt) {
  std::string help =
      "Usage: " + programName + " [--window | --terminal] [--scale N] [--device DIR]\n\n";
  help +=
      "Configures the Velmora virtual serial splitter of the simulated handheld\n"
      "(--device DIR or VELMORA_DEVICE=DIR chooses its device folder).\n\n"
      "The dialogs show in a window when a display is there (DISPLAY or\n"
      "WAYLAND_DISPLAY is set), and full-screen in this terminal otherwise.\n\n"
      "  --window     show the dialogs in a window: the handheld's 240 x 320 screen\n"
      "  --terminal   show the dialogs full-screen in this terminal\n"
      "  --scale N    draw the window's screen N times as large (" +
      std::to_string(MinWindowScale) + " to " + std::to_string(MaxWindowScale) + ", default " +
      std::to_string(DefaultWindowScale) +
      ")\n"
      "  --device DIR the device folder (made with velmora-device init)\n"
      "  --help       show this text\n"
      "  --version    show the version\n";
  if (!windowBuilt) {
    help += "\nThis build has no window front end (it was built without Qt 6).\n";
  }
  return help;
}

}  // namespace velmora
