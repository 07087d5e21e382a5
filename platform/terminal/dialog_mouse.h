// What the mouse does on the dialog shown, once the dialog screen has
// passed a click or a wheel turn to it (no message box or key help over
// the dialog, a terminal large enough): a click taps what lies under it,
// the wheel scrolls a list or the open drop-down list.
#pragma once

#include "platform/terminal/screen_hit.h"
#include "platform/terminal/screen_layout.h"
#include "platform/terminal/screen_view.h"
#include "platform/ui/dialog.h"

namespace velmora::terminal {

// A click, or the second click of a double click (twice), on what hit
// found. Any click outside the open drop-down list closes that list; only
// one that acts does more (the second click of a double click acts on a
// list row, as a double tap, and on the button or check box the first one
// pressed). Returns true when the click asks for the key help.
bool ClickDialog(ui::Dialog& dialog, const DialogLayout& layout, DialogView& view, const Hit& hit,
                 bool twice, bool acts);

// The wheel turned by notches (> 0 down) over a cell: it scrolls the open
// drop-down list, else the list under the cell.
void WheelDialog(const ui::Dialog& dialog, const DialogLayout& layout, DialogView& view, int col,
                 int row, int by);

}  // namespace velmora::terminal
