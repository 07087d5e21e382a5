// The terminal front end: shows the running dialogs full-screen in the
// terminal with the FINAL CUT widget toolkit. What is shown and what keys
// and the mouse do is DialogScreen's (see its header for the keys); this
// host gives it the terminal's size and events and prints its picture.
//
// Colours come from the terminfo entry of TERM; on a terminal with fewer
// than eight colours (TERM=vt100, xterm-mono) the styles become reverse
// video, bold and underline, and the focus marks of DialogScreen show
// either way.
#pragma once

#include <memory>
#include <string>

#include "platform/terminal/terminal_session.h"
#include "platform/ui/ui_host.h"

namespace finalcut {
class FApplication;
}

namespace velmora::terminal {

class TerminalHost final : public ui::UiHost {
 public:
  TerminalHost();
  ~TerminalHost() override;

  // Readies the process for the terminal (see TerminalSession): false and
  // *error when standard input or output is not a terminal.
  bool Open(std::string* error);

  void RunModalLoop(ui::Dialog& dialog) override;
  int ShowMessage(ui::Dialog* owner, std::u16string_view text, std::u16string_view caption,
                  uint32_t flags) override;
  void WaitCursorChanged(bool shown) override;
  void BringToFront(ui::Dialog& dialog) override;

 private:
  class Frame;
  class Screen;
  // The terminal is taken over only when the first dialog shows.
  Screen& Start();

  TerminalSession session_;
  std::unique_ptr<finalcut::FApplication> toolkit_;
  std::unique_ptr<Frame> frame_;
  std::unique_ptr<Screen> screen_;
};

}  // namespace velmora::terminal
