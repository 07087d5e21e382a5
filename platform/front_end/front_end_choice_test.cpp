#include "platform/front_end/front_end_choice.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

struct Case {
  std::vector<std::string> args;
  bool display;
  bool windowBuilt;
  std::string expected;     // "window 2", "asked window 2", "terminal", "help", "version"
                            // or the error
  std::string device = "";  // the device folder chosen
};

std::string Choose(const Case& c) {
  FrontEndChoice choice;
  std::string error;
  if (!ChooseFrontEnd(c.args, c.display, c.windowBuilt, &choice, &error)) {
    return error;
  }
  EXPECT_EQ(choice.device, c.device) << ::testing::PrintToString(c.args);
  if (choice.help) {
    return "help";
  }
  if (choice.version) {
    return "version";
  }
  if (choice.frontEnd == FrontEnd::Terminal) {
    return "terminal";
  }
  return (choice.windowAsked ? "asked window " : "window ") + std::to_string(choice.scale);
}

TEST(FrontEndChoice, AWindowWhenADisplayIsThereTheTerminalOtherwise) {
  const Case cases[] = {
      {{}, true, true, "window 2"},
      {{}, false, true, "terminal"},
      {{}, true, false, "terminal"},  // no window in this build
      {{"--terminal"}, true, true, "terminal"},
      {{"--window"}, true, true, "asked window 2"},
      {{"--window", "--scale", "3"}, true, true, "asked window 3"},
      {{"--scale=1"}, true, true, "window 1"},
      {{"--scale", "8"}, false, true, "terminal"},  // the scale waits for a window
      {{"--help"}, false, false, "help"},
      {{"--window", "--help"}, false, false, "help"},
      {{"-h"}, true, true, "help"},
      {{"--version"}, false, false, "version"},
      {{"--window", "--version"}, false, true, "version"},
      {{"--device", "/d"}, false, true, "terminal", "/d"},
      {{"--device=/d x", "--window"}, true, true, "asked window 2", "/d x"},
      {{"--terminal", "-d", "dev"}, true, true, "terminal", "dev"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Choose(c), c.expected) << ::testing::PrintToString(c.args);
  }
}

TEST(FrontEndChoice, BadUseGetsAClearError) {
  const std::string scale = "--scale needs a whole number from 1 to 8";
  const Case cases[] = {
      {{"--window"},
       false,
       true,
       "--window needs a display, but neither DISPLAY nor WAYLAND_DISPLAY is set; use "
       "--terminal"},
      {{"--window"},
       true,
       false,
       "--window: this build has no window front end (Qt 6 was not found); use --terminal"},
      {{"--window", "--terminal"}, true, true, "--terminal and --window exclude each other"},
      {{"--scale"}, true, true, scale},
      {{"--scale", "0"}, true, true, scale + ", not '0'"},
      {{"--scale", "9"}, true, true, scale + ", not '9'"},
      {{"--scale=2x"}, true, true, scale + ", not '2x'"},
      {{"--scale", "-1"}, true, true, scale + ", not '-1'"},
      {{"--scale", "99999999999"}, true, true, scale + ", not '99999999999'"},
      {{"--frobnicate"}, true, true, "unknown argument '--frobnicate' (see --help)"},
      {{"extra"}, false, true, "unknown argument 'extra' (see --help)"},
      {{"--device"}, false, true, "--device needs a folder"},
      {{"--device="}, false, true, "--device needs a folder"},
      {{"-d", ""}, false, true, "--device needs a folder"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Choose(c), c.expected) << ::testing::PrintToString(c.args);
  }
}

TEST(FrontEndChoice, TheHelpSaysHowTheFrontEndIsChosen) {
  std::string help = FrontEndHelp("VelmoraCfg", true);
  for (const char* part : {"Usage: VelmoraCfg [--window | --terminal] [--scale N]", "DISPLAY",
                           "WAYLAND_DISPLAY", "--window", "--terminal", "--scale N",
                           "1 to 8, default 2", "VELMORA_DEVICE", "--device DIR"}) {
    EXPECT_NE(help.find(part), std::string::npos) << part;
  }
  EXPECT_EQ(help.find("no window front end"), std::string::npos);
  EXPECT_NE(FrontEndHelp("VelmoraCfg", false).find("no window front end"), std::string::npos);
}

TEST(FrontEndChoice, ADisplayIsAnEnvironmentVariableThatIsSetAndNotEmpty) {
  struct Env {
    const char* display;
    const char* wayland;
    bool there;
  } cases[] = {
      {nullptr, nullptr, false},    {"", "", false},         {":0", nullptr, true},
      {nullptr, "wayland-0", true}, {"", "wayland-0", true},
  };
  std::string savedDisplay = std::getenv("DISPLAY") != nullptr ? std::getenv("DISPLAY") : "";
  std::string savedWayland =
      std::getenv("WAYLAND_DISPLAY") != nullptr ? std::getenv("WAYLAND_DISPLAY") : "";
  bool hadDisplay = std::getenv("DISPLAY") != nullptr;
  bool hadWayland = std::getenv("WAYLAND_DISPLAY") != nullptr;
  for (const Env& e : cases) {
    e.display != nullptr ? setenv("DISPLAY", e.display, 1) : unsetenv("DISPLAY");
    e.wayland != nullptr ? setenv("WAYLAND_DISPLAY", e.wayland, 1) : unsetenv("WAYLAND_DISPLAY");
    EXPECT_EQ(DisplayThere(), e.there);
  }
  hadDisplay ? setenv("DISPLAY", savedDisplay.c_str(), 1) : unsetenv("DISPLAY");
  hadWayland ? setenv("WAYLAND_DISPLAY", savedWayland.c_str(), 1) : unsetenv("WAYLAND_DISPLAY");
}

}  // namespace
}  // namespace velmora
