// What a person's key, click or wheel does to a list or a drop-down list
// of the dialog shown: move the current row, tap it, scroll, open the
// drop-down list. Keys and mouse share these, so both act alike.
#pragma once

#include "platform/terminal/screen_view.h"
#include "platform/ui/dialog.h"

namespace velmora::terminal {

// Rows one notch of the wheel scrolls.
inline constexpr int WheelRows = 3;
// Cells a list scrolls sideways by a key or a click on its "←"/"→" mark.
inline constexpr int SidewaysCells = 8;

// A person's tap or key selects one entry only, also in a list that
// allows several: the others are deselected first.
void DeselectOthers(ui::ListView& list, int keep);

// Makes entry to (kept in the list) the only selected and the focused
// one, in view.
void MoveInList(ui::ListView& list, int to);

// Taps, or double-taps, the current entry (the first when none is).
void TapCurrent(ui::ListView& list, bool twice);

// Opens a combo box's drop-down list with its chosen item highlighted;
// not a disabled or empty one.
void OpenDropDown(DialogView& view, const ui::ComboBox& combo);

// Scroll a list by rows (> 0 down) or sideways by cells (> 0 right); the
// next SyncView keeps the position in range.
void ScrollList(DialogView& view, const ui::ListView& list, int rows);
void ScrollSideways(DialogView& view, const ui::ListView& list, int cells);

}  // namespace velmora::terminal
