#include "platform/terminal/screen_hit.h"

#include "platform/terminal/screen_view_parts.h"

namespace velmora::terminal {

Hit HitDialog(const ui::Dialog& dialog, const DialogLayout& layout, const DialogView& view, int col,
              int row) {
  Hit hit;
  if (row == 0) {
    if (DoneCells(layout.width()).Contains(col, row)) {
      hit.kind = Hit::Kind::Done;
    } else if (HelpCells(layout.width(), dialog.caption()).Contains(col, row)) {
      hit.kind = Hit::Kind::Help;
    }
    return hit;
  }
  DropDown drop = PlaceDropDown(dialog, layout, view);
  if (drop.items.Contains(col, row)) {
    hit.controlId = view.openCombo;
    bool scrollMark = col == drop.items.right() - 1;
    if (scrollMark && drop.moreAbove && row == drop.items.row) {
      hit.kind = Hit::Kind::ComboScroll;
      hit.index = -1;
    } else if (scrollMark && drop.moreBelow && row == drop.items.bottom() - 1) {
      hit.kind = Hit::Kind::ComboScroll;
      hit.index = 1;
    } else {
      hit.kind = Hit::Kind::ComboItem;
      hit.index = drop.first + row - drop.items.row;
    }
    return hit;
  }
  for (const auto& control : dialog.controls()) {
    if (!control->visible() || control->id() == ui::NoControlId) {
      continue;
    }
    const ControlCells& place = layout.Of(*control);
    CellRect cells = place.cells;
    if (control->kind() == ui::ControlKind::CheckBox) {
      cells.width = place.textRoom;  // its label is part of it
    }
    if (!cells.Contains(col, row)) {
      continue;
    }
    hit.controlId = control->id();
    hit.kind = Hit::Kind::Control;
    auto* list = dynamic_cast<const ui::ListView*>(control.get());
    if (list == nullptr) {
      return hit;
    }
    const ListPosition& position = PositionOf(view, list->id());
    int rows = cells.height - 1;
    int last = cells.right() - 1;
    if (row == cells.row) {
      if (col == cells.col + 1 && position.sideways > 0) {
        hit.kind = Hit::Kind::ListSideways;
        hit.index = -1;
      } else if (col == last && ColumnCells(*list) - position.sideways > ListBody(cells).width) {
        hit.kind = Hit::Kind::ListSideways;
        hit.index = 1;
      }
      return hit;
    }
    if (col == last && row == cells.row + 1 && position.top > 0) {
      hit.kind = Hit::Kind::ListScroll;
      hit.index = -1;
      return hit;
    }
    if (col == last && row == cells.row + rows && position.top + rows < list->GetItemCount()) {
      hit.kind = Hit::Kind::ListScroll;
      hit.index = 1;
      return hit;
    }
    int item = position.top + row - cells.row - 1;
    if (item < list->GetItemCount()) {
      hit.kind = Hit::Kind::ListRow;
      hit.index = item;
    }
    return hit;
  }
  return hit;
}

}  // namespace velmora::terminal
