// The small pieces of a dialog's view that its drawing and its hit test
// share; not for the dialog screen, which goes through screen_view.h.
#pragma once

#include <algorithm>

#include "platform/terminal/canvas.h"
#include "platform/terminal/screen_view.h"

namespace velmora::terminal {

// The caption row's help hint, drawn and hit at HelpCells.
inline constexpr char16_t HelpHint[] = u"F1 Hilfe";

// The cells of a list that hold its columns: right of the gutter for the
// focus mark.
inline CellRect ListBody(const CellRect& cells) {
  return CellRect{cells.col + 1, cells.row, std::max(0, cells.width - 1), cells.height};
}

// The position kept of a list, or the start for a list not yet shown.
inline const ListPosition& PositionOf(const DialogView& view, int id) {
  static const ListPosition none;
  auto found = view.lists.find(id);
  return found == view.lists.end() ? none : found->second;
}

}  // namespace velmora::terminal
