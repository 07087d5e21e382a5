// The picture of a running dialog (or of a message box over it) on the
// terminal, and what lies under a cell, for the mouse.
//
// - Row 0 is the caption with "F1 Hilfe" and the Done button "[OK]".
// - The focused control is marked in text as well as by its style, so it
//   shows on a monochrome terminal too: a button reads "[»Text«]", a check
//   box "[x]»Text«", a drop-down list and a list have "»" in their first
//   cell (a list on its current row, or on its header when no row is
//   current), and a text field shows the text cursor.
// - A list has a one-cell gutter for that mark, a header row, and scroll
//   marks: "↑" and "↓" at the right end of its first and last row when
//   rows are out of view, "←" and "→" at the ends of its header when
//   columns are.
// - An open drop-down list lies below its field, or above it when there is
//   more room there, cut to the room there is with "↑"/"↓" scroll marks.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "platform/terminal/canvas.h"
#include "platform/terminal/screen_layout.h"
#include "platform/ui/dialog.h"

namespace velmora::terminal {

// What the front end keeps of a list beside the list's own state.
struct ListPosition {
  int top = 0;       // first entry shown
  int sideways = 0;  // first cell of the columns shown
  // What the list looked like when last shown: a change made by the
  // program (a new listing, a new focused entry) brings its focused entry
  // into view, while rows scrolled away by the wheel stay away.
  int seenFocus = -2;
  int seenCount = -1;
  int seenTop = -1;
};

struct EditCursor {
  int cursor = 0;           // before which character the cursor stands
  std::u16string seenText;  // the text the cursor belongs to
};

// What the front end shows of one dialog besides the dialog's own state.
struct DialogView {
  std::map<int, ListPosition> lists;
  std::map<int, EditCursor> edits;
  int openCombo = ui::NoControlId;  // drop-down list that is open
  int comboHighlight = 0;
  int comboTop = 0;        // first item shown of the open drop-down list
  int seenHighlight = -1;  // a new highlight is brought into view
};

struct MessageState {
  std::u16string caption;
  std::u16string text;
  bool yesNo = false;
  int focusedButton = 0;  // 0 OK / Ja, 1 Nein
};

// Brings the front end's view of a dialog up to date with the dialog:
// scroll positions of lists, the cursor of text fields, the open
// drop-down list. Runs before every picture and every hit test.
void SyncView(const ui::Dialog& dialog, const DialogLayout& layout, DialogView& view);

// Where an open drop-down list's items lie (empty when none is open).
struct DropDown {
  CellRect items;  // one row per shown item
  int first = 0;   // the item on the first row
  bool moreAbove = false;
  bool moreBelow = false;
};
DropDown PlaceDropDown(const ui::Dialog& dialog, const DialogLayout& layout,
                       const DialogView& view);

void RenderDialog(const ui::Dialog& dialog, const DialogLayout& layout, const DialogView& view,
                  bool waiting, Canvas& canvas);
void RenderMessage(const MessageState& message, Canvas& canvas);
// What is shown when the terminal is too small: a centred line with the
// size needed and below it how to leave (the keys that still work there).
void RenderTooSmall(int neededWidth, int neededHeight, std::u16string_view leave, Canvas& canvas);
// How to leave a dialog, or a message box, that does not fit.
inline constexpr std::u16string_view LeaveDialog = u"Esc: Abbrechen, F10: OK";
inline constexpr std::u16string_view LeaveMessageOk = u"Esc: OK";
inline constexpr std::u16string_view LeaveMessageNo = u"Esc: Nein";

// Rows a message box needs on a terminal of this width.
int MessageHeight(const MessageState& message, int width);

// The row a list's keys start from and its focus mark stands on: the
// focused entry, else the first selected one, else none (-1).
int CurrentEntry(const ui::ListView& list);

// Cells the columns of a list take side by side.
int ColumnCells(const ui::ListView& list);

// What lies under a cell.
struct Hit {
  enum class Kind {
    None,
    Done,
    Help,
    Control,
    ListRow,
    ListScroll,    // index -1 up, 1 down
    ListSideways,  // index -1 left, 1 right
    ComboItem,
    ComboScroll,  // index -1 up, 1 down
    MessageButton,
  } kind = Kind::None;
  int controlId = ui::NoControlId;
  int index = -1;  // list row, combo item, message button or direction
};
Hit HitDialog(const ui::Dialog& dialog, const DialogLayout& layout, const DialogView& view, int col,
              int row);
Hit HitMessage(const MessageState& message, int width, int height, int col, int row);

// The caption row's Done button and help hint.
CellRect DoneCells(int width);
CellRect HelpCells(int width, std::u16string_view caption);

}  // namespace velmora::terminal
