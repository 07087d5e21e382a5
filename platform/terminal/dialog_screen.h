// The terminal front end without the terminal: what a person sees of the
// running dialogs and message boxes, and what their keys and mouse do. The
// terminal host feeds it the terminal's size, keys and mouse events and
// prints its picture; the tests drive it directly.
//
// The dialog screen decides who takes a key or a click (the key help, the
// message box on top, an open drop-down list, the dialog) and keeps what
// outlives one: the views of the running dialogs, the open message boxes,
// the button a first click pressed. What a key does to a control is in
// control_keys.h, what the mouse does on a dialog in dialog_mouse.h.
//
// Keys (the README's key table):
//   Tab, Shift+Tab      next, previous control
//   Enter               press the focused button or check box, open a
//                       focused drop-down list; elsewhere the dialog's
//                       Enter command (its default button, else OK)
//   Space               press the focused button or check box, open a
//                       drop-down list; in a list: tap the current row;
//                       in a text field: a blank
//   F2                  double-tap the current row of the focused list
//   Up, Down, Page Up, Page Down, Home, End
//                       move in a list or an open drop-down list; Up and
//                       Down choose in a closed drop-down list
//   Left, Right         a list's own arrow keys (in the folder chooser
//                       Left goes up, Right accepts when the accept
//                       button is enabled and otherwise opens); in a
//                       text field: move the cursor
//   Home, End, Delete, Backspace   in a text field
//   < and >, Shift+Left and Shift+Right   scroll a list sideways
//   Escape              cancel ("Abbrechen", "Beenden", "Cancel")
//   F10                 Done (the caption's "[OK]")
//   F1, ?               the key help
//   Ctrl+C              end the program at once, as SIGINT does
// Message boxes: Enter or Space presses the marked button, Tab and the
// arrows move the mark, "j" is Ja, "n" and Escape are Nein.
// Too small a terminal: only Escape and F10 work, as the dialog or message
// box below would take them, and the screen says so.
// Mouse: a click taps (on a list row it selects that row only), a double
// click on a list row double-taps and on a button or check box is two
// clicks, the wheel scrolls a list or an open drop-down list, a
// click on a scroll mark scrolls by a page (or sideways).
#pragma once

#include <map>
#include <optional>
#include <vector>

#include "platform/terminal/canvas.h"
#include "platform/terminal/key_press.h"
#include "platform/terminal/screen_render.h"
#include "platform/ui/ui_host.h"

namespace velmora::terminal {

class DialogScreen {
 public:
  explicit DialogScreen(const ui::UiHost& host);

  void Resize(int width, int height);
  int width() const { return width_; }
  int height() const { return height_; }
  void SetWaiting(bool waiting) { waiting_ = waiting; }

  // The whole picture: the topmost dialog, a message box over it, the key
  // help over both, or the line asking for a larger terminal.
  void Draw(Canvas& canvas);

  // A message box over the dialogs until it is answered; Answer() is 0
  // until then (1 OK, 6 Ja, 7 Nein). CloseMessage removes it and returns
  // the answer.
  void OpenMessage(MessageState message);
  int Answer() const;
  int CloseMessage();

  bool helpShown() const { return help_; }
  bool tooSmall();

  // False when the person asked to end the program (Ctrl+C).
  bool Press(const KeyPress& key);
  void Click(int col, int row, bool twice);
  // by > 0 scrolls down.
  void Wheel(int col, int row, int by);

 private:
  ui::Dialog* Top() const;
  DialogView& ViewOf(const ui::Dialog& dialog);
  DialogLayout Layout(const ui::Dialog& dialog) const;
  void Sync();
  // Below the smallest size: what leaves and how the screen says so.
  void Leave(const KeyPress& key);
  std::u16string_view LeaveHint() const;
  void KeyToMessage(const KeyPress& key);
  // The dialog's own keys (focus, Escape, F10, help, Enter); the rest go
  // to the focused control.
  void DialogKey(ui::Dialog& dialog, const KeyPress& key);
  void AnswerWith(int button);

  const ui::UiHost& host_;
  int width_ = 80;
  int height_ = 24;
  bool waiting_ = false;
  bool help_ = false;
  std::map<const ui::Dialog*, DialogView> views_;
  struct OpenMessageBox {
    MessageState state;
    int answer = 0;
  };
  std::vector<OpenMessageBox> messages_;
  // The control the last click pressed, for the second click of a double
  // click.
  struct ClickTarget {
    const ui::Dialog* dialog = nullptr;
    int control = ui::NoControlId;
    bool operator==(const ClickTarget&) const = default;
  };
  ClickTarget lastClick_;
};

// The key help shown by F1, in German.
MessageState KeyHelp();

}  // namespace velmora::terminal
