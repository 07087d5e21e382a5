#include "platform/terminal/screen_view.h"

#include <algorithm>

#include "platform/terminal/screen_view_parts.h"

namespace velmora::terminal {

namespace {

int ListRows(const DialogLayout& layout, const ui::ListView& list) {
  return VisibleListRows(layout.Of(list));
}

}  // namespace

int CurrentEntry(const ui::ListView& list) {
  int current = list.FocusedItem();
  return current >= 0 ? current : list.FirstSelected();
}

int ColumnCells(const ui::ListView& list) {
  int total = 0;
  for (const auto& column : list.columns()) {
    total += column.width / PixelsPerCell;
  }
  return total;
}

void SyncView(const ui::Dialog& dialog, const DialogLayout& layout, DialogView& view) {
  for (const auto& control : dialog.controls()) {
    if (auto* list = dynamic_cast<const ui::ListView*>(control.get())) {
      ListPosition& position = view.lists[list->id()];
      int rows = ListRows(layout, *list);
      int count = list->GetItemCount();
      int focus = list->FocusedItem();
      if (count != position.seenCount || focus != position.seenFocus ||
          list->topIndex() != position.seenTop) {
        if (count != position.seenCount || list->topIndex() != position.seenTop) {
          position.top = list->topIndex();
        }
        if (focus >= 0 && focus < position.top) {
          position.top = focus;
        } else if (focus >= position.top + rows) {
          position.top = focus - rows + 1;
        }
        position.seenCount = count;
        position.seenFocus = focus;
        position.seenTop = list->topIndex();
      }
      position.top = std::clamp(position.top, 0, std::max(0, count - rows));
      int room = ListBody(layout.Of(*list).cells).width;
      position.sideways = std::clamp(position.sideways, 0, std::max(0, ColumnCells(*list) - room));
    } else if (auto* edit = dynamic_cast<const ui::Edit*>(control.get())) {
      EditCursor& cursor = view.edits[edit->id()];
      if (edit->text() != cursor.seenText) {
        cursor.seenText = edit->text();  // set by the program: the cursor goes to its end
        cursor.cursor = static_cast<int>(cursor.seenText.size());
      }
      cursor.cursor = std::clamp(cursor.cursor, 0, static_cast<int>(cursor.seenText.size()));
    }
  }
  auto* combo = dialog.Find<ui::ComboBox>(view.openCombo);
  if (combo == nullptr || !combo->enabled() || !combo->visible() || combo->GetCount() == 0 ||
      !dialog.enabled()) {
    view.openCombo = ui::NoControlId;
    return;
  }
  view.comboHighlight = std::clamp(view.comboHighlight, 0, combo->GetCount() - 1);
  int shown = PlaceDropDown(dialog, layout, view).items.height;
  if (view.comboHighlight != view.seenHighlight) {
    if (view.comboHighlight < view.comboTop) {
      view.comboTop = view.comboHighlight;
    } else if (view.comboHighlight >= view.comboTop + shown) {
      view.comboTop = view.comboHighlight - shown + 1;
    }
    view.seenHighlight = view.comboHighlight;
  }
  view.comboTop = std::clamp(view.comboTop, 0, std::max(0, combo->GetCount() - shown));
}

DropDown PlaceDropDown(const ui::Dialog& dialog, const DialogLayout& layout,
                       const DialogView& view) {
  DropDown drop;
  auto* combo = dialog.Find<ui::ComboBox>(view.openCombo);
  if (combo == nullptr || combo->GetCount() == 0) {
    return drop;
  }
  const CellRect& field = layout.Of(*combo).cells;
  int count = combo->GetCount();
  int below = layout.height() - field.bottom();
  int above = field.row - CaptionRows;
  int shown = 0;
  int top = field.bottom();
  if (count <= below || below >= above) {
    shown = std::min(count, below);
  } else {
    shown = std::min(count, above);
    top = field.row - shown;
  }
  if (shown <= 0) {
    return drop;
  }
  int widest = 0;
  for (const auto& item : combo->items()) {
    widest = std::max(widest, static_cast<int>(item.text.size()));
  }
  int width = std::min(layout.width(), std::max(field.width, widest + 3));
  int col = std::min(field.col, layout.width() - width);
  drop.items = CellRect{col, top, width, shown};
  drop.first = std::clamp(view.comboTop, 0, count - shown);
  drop.moreAbove = drop.first > 0;
  drop.moreBelow = drop.first + shown < count;
  return drop;
}

CellRect DoneCells(int width) {
  return CellRect{width - 5, 0, 4, 1};
}

CellRect HelpCells(int width, std::u16string_view caption) {
  int hint = static_cast<int>(std::u16string_view(HelpHint).size());
  int col = DoneCells(width).col - 2 - hint;
  if (col < 1 + static_cast<int>(caption.size()) + 2) {
    return CellRect{};
  }
  return CellRect{col, 0, hint, 1};
}

}  // namespace velmora::terminal
