// The picture of a running dialog on the terminal, and the parts the
// dialog screen draws over it or instead of it: a message box, the line
// asking for a larger terminal.
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
//
// What lies under a cell for the mouse is in screen_hit.h, the view state
// the picture is drawn from in screen_view.h.
#pragma once

#include "platform/terminal/canvas.h"
#include "platform/terminal/screen_hit.h"
#include "platform/terminal/screen_layout.h"
#include "platform/terminal/screen_message.h"
#include "platform/terminal/screen_too_small.h"
#include "platform/terminal/screen_view.h"
#include "platform/ui/dialog.h"

namespace velmora::terminal {

void RenderDialog(const ui::Dialog& dialog, const DialogLayout& layout, const DialogView& view,
                  bool waiting, Canvas& canvas);

}  // namespace velmora::terminal
