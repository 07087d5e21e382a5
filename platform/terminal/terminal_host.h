// The terminal front end: shows the running dialog full-screen in the
// terminal (FINAL CUT widget toolkit) and turns keys and mouse clicks into
// a person's actions on its controls.
//
// Keys: Tab and Shift+Tab move the focus; Enter presses the focused button
// or check box, opens a focused drop-down list, else gives the dialog's
// Enter command; Space presses too; Escape is the cancel command; F10 (or
// a click on "[OK]" in the caption) is the caption's Done button; Up and
// Down choose in a drop-down list and move the selection in a list; Left
// and Right in a list send the list its arrow keys; "<" and ">" (or
// Shift+Left and Shift+Right) scroll a list sideways; typing edits a
// focused text field. Mouse: a click taps, a double click double-taps.
#pragma once

#include <memory>

#include "platform/ui/ui_host.h"

namespace finalcut {
class FApplication;
}

namespace velmora::terminal {

class TerminalHost final : public ui::UiHost {
 public:
  TerminalHost();
  ~TerminalHost() override;

  void RunModalLoop(ui::Dialog& dialog) override;
  int ShowMessage(ui::Dialog* owner, std::u16string_view text, std::u16string_view caption,
                  uint32_t flags) override;
  void WaitCursorChanged(bool shown) override;
  void BringToFront(ui::Dialog& dialog) override;

 private:
  class Screen;
  // The terminal is taken over only when the first dialog shows.
  Screen& Start();

  std::unique_ptr<finalcut::FApplication> toolkit_;
  std::unique_ptr<Screen> screen_;
};

}  // namespace velmora::terminal
