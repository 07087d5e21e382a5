#include "platform/terminal/screen_render.h"

#include <algorithm>
#include <vector>

#include "platform/terminal/screen_view_parts.h"

namespace velmora::terminal {

namespace {

constexpr char16_t FocusMark[] = u"»";

bool HasFocus(const ui::Dialog& dialog, const ui::Control& control) {
  return control.id() != ui::NoControlId && control.id() == dialog.focusId() && control.enabled();
}

// Where the columns of a list begin, in cells from the first column.
std::vector<int> ColumnStarts(const ui::ListView& list) {
  std::vector<int> starts;
  int at = 0;
  for (const auto& column : list.columns()) {
    starts.push_back(at);
    at += column.width / PixelsPerCell;
  }
  return starts;
}

void RenderList(const ui::ListView& list, const CellRect& cells, bool focused,
                const ListPosition& position, Canvas& canvas) {
  canvas.Fill(cells, Style::Field);
  CellRect body = ListBody(cells);
  std::vector<int> starts = ColumnStarts(list);
  auto put = [&](int row, size_t column, std::u16string_view text, Style style) {
    int start = starts[column] - position.sideways;
    int width = list.columns()[column].width / PixelsPerCell;
    int end = std::min(start + width - 1, body.width);  // one blank between columns
    if (end <= 0 || start >= body.width) {
      return;
    }
    int skip = std::max(0, -start);
    if (skip < static_cast<int>(text.size())) {
      canvas.Put(body.col + std::max(start, 0), row, text.substr(static_cast<size_t>(skip)), style,
                 end - std::max(start, 0));
    }
  };
  canvas.Fill(CellRect{cells.col, cells.row, cells.width, 1}, Style::Header);
  for (size_t c = 0; c < list.columns().size(); ++c) {
    put(cells.row, c, list.columns()[c].header, Style::Header);
  }
  int rows = cells.height - 1;
  int current = CurrentEntry(list);
  int markRow = cells.row;  // the header when no current entry is in view
  for (int r = 0; r < rows; ++r) {
    int item = position.top + r;
    if (item >= list.GetItemCount()) {
      break;
    }
    int row = cells.row + 1 + r;
    bool selected = list.GetItemState(item, ui::StateSelected) != 0;
    Style style = selected ? (focused ? Style::SelectedFocused : Style::Selected) : Style::Field;
    canvas.Fill(CellRect{cells.col, row, cells.width, 1}, style);
    for (size_t c = 0; c < list.columns().size(); ++c) {
      put(row, c, list.GetItemText(item, static_cast<int>(c)), style);
    }
    if (item == current) {
      markRow = row;
    }
  }
  if (focused) {
    canvas.Put(cells.col, markRow, FocusMark, Style::Focused);
  }
  int last = cells.right() - 1;
  if (position.top > 0) {
    canvas.Put(last, cells.row + 1, u"↑", Style::Header);
  }
  if (position.top + rows < list.GetItemCount()) {
    canvas.Put(last, cells.row + rows, u"↓", Style::Header);
  }
  if (ColumnCells(list) - position.sideways > body.width) {
    canvas.Put(last, cells.row, u"→", Style::Header);
  }
  if (position.sideways > 0) {
    canvas.Put(body.col, cells.row, u"←", Style::Header);
  }
}

void RenderButton(const ui::Control& button, const ControlCells& place, bool focused,
                  Canvas& canvas) {
  Style style = !button.enabled() ? Style::Disabled : focused ? Style::Focused : Style::Button;
  std::u16string label = ButtonLabel(button.text(), focused);
  const CellRect& cells = place.cells;
  if (cells.height > 1 && button.enabled()) {
    canvas.Fill(cells, style);  // a button of several rows is a block
  }
  canvas.PutCentred(cells.col, place.textRow, cells.width, label, style);
}

void RenderEdit(const ui::Edit& edit, const CellRect& cells, bool focused, const EditCursor* cursor,
                Canvas& canvas) {
  Style style = !edit.enabled()   ? Style::Disabled
                : focused         ? Style::Focused
                : edit.readOnly() ? Style::Normal
                                  : Style::Field;
  canvas.Fill(CellRect{cells.col, cells.row, cells.width, 1}, style);
  std::u16string_view text = edit.text();
  int size = static_cast<int>(text.size());
  if (focused && cursor != nullptr) {
    int at = std::clamp(cursor->cursor, 0, size);
    int start = std::max(0, at - (cells.width - 1));  // the cursor stays in view
    canvas.Put(cells.col, cells.row, text.substr(static_cast<size_t>(start)), style, cells.width);
    canvas.SetCursor(cells.col + at - start, cells.row);
    return;
  }
  if (size > cells.width) {
    text.remove_prefix(static_cast<size_t>(size - cells.width));  // the end in view
  }
  canvas.Put(cells.col, cells.row, text, style, cells.width);
}

void RenderCombo(const ui::ComboBox& combo, const CellRect& cells, bool focused, Canvas& canvas) {
  Style style = !combo.enabled() ? Style::Disabled : focused ? Style::Focused : Style::Field;
  canvas.Fill(CellRect{cells.col, cells.row, cells.width, 1}, style);
  if (focused) {
    canvas.Put(cells.col, cells.row, FocusMark, style);
  }
  int selection = combo.GetCurSel();
  if (selection >= 0) {
    canvas.Put(cells.col + 1, cells.row, combo.items()[static_cast<size_t>(selection)].text, style,
               cells.width - 3);
  }
  canvas.Put(cells.right() - 1, cells.row, u"▼", style);
}

void RenderDropDown(const ui::ComboBox& combo, const DropDown& drop, const DialogView& view,
                    Canvas& canvas) {
  const CellRect& items = drop.items;
  for (int r = 0; r < items.height; ++r) {
    int item = drop.first + r;
    Style style = item == view.comboHighlight ? Style::SelectedFocused : Style::Message;
    canvas.Fill(CellRect{items.col, items.row + r, items.width, 1}, style);
    canvas.Put(items.col, items.row + r, item == view.comboHighlight ? FocusMark : u" ", style);
    canvas.Put(items.col + 1, items.row + r, combo.items()[static_cast<size_t>(item)].text, style,
               items.width - 2);
  }
  if (drop.moreAbove) {
    canvas.Put(items.right() - 1, items.row, u"↑", Style::Header);
  }
  if (drop.moreBelow) {
    canvas.Put(items.right() - 1, items.bottom() - 1, u"↓", Style::Header);
  }
}

void RenderCaption(const ui::Dialog& dialog, bool waiting, Canvas& canvas) {
  int width = canvas.width();
  canvas.Fill(CellRect{0, 0, width, 1}, Style::Caption);
  std::u16string caption = u" " + dialog.caption();
  if (waiting) {
    caption += u"   ⌛ Bitte warten …";
  }
  CellRect help = HelpCells(width, dialog.caption());
  int room = (help.width > 0 ? help.col : DoneCells(width).col) - 1;
  canvas.Put(0, 0, caption, Style::Caption, room);
  if (help.width > 0) {
    canvas.Put(help.col, 0, HelpHint, Style::Caption);
  }
  canvas.Put(DoneCells(width).col, 0, u"[OK]", Style::CaptionButton);
}

}  // namespace

void RenderDialog(const ui::Dialog& dialog, const DialogLayout& layout, const DialogView& view,
                  bool waiting, Canvas& canvas) {
  canvas.Fill(CellRect{0, 0, canvas.width(), canvas.height()}, Style::Normal);
  RenderCaption(dialog, waiting, canvas);
  const ui::ComboBox* dropped = nullptr;
  for (const auto& control : dialog.controls()) {
    if (!control->visible()) {
      continue;
    }
    const ControlCells& place = layout.Of(*control);
    const CellRect& cells = place.cells;
    bool focused = HasFocus(dialog, *control) && view.openCombo == ui::NoControlId;
    switch (control->kind()) {
      case ui::ControlKind::StaticText: {
        bool oneLine = cells.height == 1;
        std::vector<std::u16string> lines =
            WrapText(control->text(), oneLine ? place.textRoom : cells.width);
        if (oneLine) {
          lines = {control->text()};
        }
        for (int i = 0; i < static_cast<int>(lines.size()) && i < cells.height; ++i) {
          canvas.Put(cells.col, cells.row + i, lines[static_cast<size_t>(i)], Style::Normal,
                     oneLine ? place.textRoom : cells.width);
        }
        break;
      }
      case ui::ControlKind::PushButton:
        RenderButton(*control, place, focused, canvas);
        break;
      case ui::ControlKind::CheckBox: {
        const auto& box = static_cast<const ui::CheckBox&>(*control);
        Style style = !box.enabled() ? Style::Disabled : focused ? Style::Focused : Style::Normal;
        std::u16string text = box.checked() ? u"[x]" : u"[ ]";
        text += focused ? FocusMark + box.text() + u"«" : u" " + box.text();
        canvas.Put(cells.col, cells.row, text, style, place.textRoom);
        break;
      }
      case ui::ControlKind::Edit: {
        auto cursor = view.edits.find(control->id());
        RenderEdit(static_cast<const ui::Edit&>(*control), cells, focused,
                   cursor == view.edits.end() ? nullptr : &cursor->second, canvas);
        break;
      }
      case ui::ControlKind::ComboBox: {
        const auto& combo = static_cast<const ui::ComboBox&>(*control);
        bool open = combo.id() == view.openCombo;
        RenderCombo(combo, cells, focused || open, canvas);
        if (open) {
          dropped = &combo;
        }
        break;
      }
      case ui::ControlKind::ListView:
        RenderList(static_cast<const ui::ListView&>(*control), cells, focused,
                   PositionOf(view, control->id()), canvas);
        break;
    }
  }
  if (dropped != nullptr) {
    RenderDropDown(*dropped, PlaceDropDown(dialog, layout, view), view, canvas);
  }
}

}  // namespace velmora::terminal
