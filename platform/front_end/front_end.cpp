#include "platform/front_end/front_end.h"

#include <cstdio>
#include <string>
#include <vector>

#include "platform/build_version.h"
#include "platform/front_end/front_end_choice.h"
#include "platform/front_end/window_loader.h"
#include "platform/terminal/terminal_host.h"
#include "platform/text.h"
#include "platform/ui/application.h"

namespace velmora {

namespace {

#ifdef VELMORA_WINDOW
constexpr bool WindowBuilt = true;
#else
constexpr bool WindowBuilt = false;
#endif

}  // namespace

std::unique_ptr<ui::UiHost> OpenFrontEnd(int argc, char** argv, int* exitCode,
                                         std::string* deviceFolder) {
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  std::string name = ToUtf8(ui::ApplicationTitle());
  FrontEndChoice choice;
  std::string error;
  if (!ChooseFrontEnd(args, DisplayThere(), WindowBuilt, &choice, &error)) {
    std::fprintf(stderr, "%s: %s\n", name.c_str(), error.c_str());
    *exitCode = 2;
    return nullptr;
  }
  if (choice.help) {
    std::fputs(FrontEndHelp(name, WindowBuilt).c_str(), stdout);
    *exitCode = 0;
    return nullptr;
  }
  if (choice.version) {
    std::printf("%s %s\n", name.c_str(), BuildVersion);
    *exitCode = 0;
    return nullptr;
  }
  *deviceFolder = choice.device;
  if (choice.frontEnd == FrontEnd::Window) {
    std::unique_ptr<ui::UiHost> host = LoadWindowHost(choice.scale, &error);
    if (host) {
      return host;
    }
    // A window that was asked for is that or nothing. One chosen only
    // because a display is there gives way to the terminal when the module
    // is not installed (a machine with the velmora package alone).
    if (choice.windowAsked) {
      std::fprintf(stderr, "%s: %s\n", name.c_str(), error.c_str());
      *exitCode = 1;
      return nullptr;
    }
  }
  // The terminal's own checks (a terminal on standard input and output,
  // its signals) belong to the terminal alone.
  auto host = std::make_unique<terminal::TerminalHost>();
  if (!host->Open(&error)) {
    std::fprintf(stderr, "%s: %s\n", name.c_str(), error.c_str());
    *exitCode = 1;
    return nullptr;
  }
  return host;
}

}  // namespace velmora
