// What the front end keeps of a running dialog beside the dialog's own
// state, and where the parts lie that the layout does not place: the
// scroll positions of lists, the cursor of text fields, the open drop-down
// list and the caption row's buttons. Drawing and hit testing both read
// this, so a click lands on what is shown.
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

// The row a list's keys start from and its focus mark stands on: the
// focused entry, else the first selected one, else none (-1).
int CurrentEntry(const ui::ListView& list);

// Cells the columns of a list take side by side.
int ColumnCells(const ui::ListView& list);

// The caption row's Done button and help hint.
CellRect DoneCells(int width);
CellRect HelpCells(int width, std::u16string_view caption);

}  // namespace velmora::terminal
