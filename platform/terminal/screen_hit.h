// What lies under a cell of a dialog's picture, for the mouse: the caption
// row's buttons, a control, a list's row or scroll mark, an item or scroll
// mark of the open drop-down list, a message box's button.
#pragma once

#include "platform/terminal/screen_layout.h"
#include "platform/terminal/screen_view.h"
#include "platform/ui/dialog.h"

namespace velmora::terminal {

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

}  // namespace velmora::terminal
