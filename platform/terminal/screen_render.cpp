#include "platform/terminal/screen_render.h"

#include <algorithm>
#include <vector>

#include "platform/text.h"

namespace velmora::terminal {

namespace {

constexpr char16_t FocusMark[] = u"»";
constexpr char16_t HelpHint[] = u"F1 Hilfe";
constexpr int MessageBoxWidest = 64;

std::u16string Number(int n) {
  return FromUtf8(std::to_string(n));
}

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

// The cells of a list that hold its columns: right of the gutter.
CellRect ListBody(const CellRect& cells) {
  return CellRect{cells.col + 1, cells.row, std::max(0, cells.width - 1), cells.height};
}

int ListRows(const DialogLayout& layout, const ui::ListView& list) {
  return VisibleListRows(layout.Of(list));
}

const ListPosition& PositionOf(const DialogView& view, int id) {
  static const ListPosition none;
  auto found = view.lists.find(id);
  return found == view.lists.end() ? none : found->second;
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

// Message box geometry: centred, its text wrapped to its width.
struct MessageBox {
  CellRect box;
  std::vector<std::u16string> lines;
};

MessageBox PlaceMessage(const MessageState& message, int width, int height) {
  MessageBox placed;
  int boxWidth = std::clamp(width - 2, 1, MessageBoxWidest);
  placed.lines = WrapText(message.text, boxWidth - 4);
  int boxHeight = static_cast<int>(placed.lines.size()) + 5;
  placed.box = CellRect{(width - boxWidth) / 2, std::max(CaptionRows, (height - boxHeight) / 2),
                        boxWidth, boxHeight};
  return placed;
}

std::vector<std::u16string> MessageButtons(const MessageState& message) {
  if (message.yesNo) {
    return {ButtonLabel(u"Ja", message.focusedButton == 0),
            ButtonLabel(u"Nein", message.focusedButton == 1)};
  }
  return {ButtonLabel(u"OK", true)};
}

int MessageButtonCol(const CellRect& box, const std::vector<std::u16string>& buttons, int index) {
  int total = 0;
  for (const auto& b : buttons) {
    total += static_cast<int>(b.size()) + 2;
  }
  int col = box.col + (box.width - total + 2) / 2;
  for (int i = 0; i < index; ++i) {
    col += static_cast<int>(buttons[static_cast<size_t>(i)].size()) + 2;
  }
  return col;
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

int MessageHeight(const MessageState& message, int width) {
  return PlaceMessage(message, width, 0).box.height;
}

void RenderMessage(const MessageState& message, Canvas& canvas) {
  MessageBox placed = PlaceMessage(message, canvas.width(), canvas.height());
  const CellRect& box = placed.box;
  canvas.Fill(box, Style::Message);
  canvas.Fill(CellRect{box.col, box.row, box.width, 1}, Style::Caption);
  canvas.Put(box.col + 1, box.row, message.caption, Style::Caption, box.width - 2);
  for (int r = box.row + 1; r < box.bottom() - 1; ++r) {
    canvas.Put(box.col, r, u"│", Style::Message);
    canvas.Put(box.right() - 1, r, u"│", Style::Message);
  }
  std::u16string bottom(static_cast<size_t>(std::max(0, box.width - 2)), u'─');
  canvas.Put(box.col, box.bottom() - 1, u"└" + bottom + u"┘", Style::Message);
  std::u16string sign = message.yesNo ? u"⚠ " : u"";
  for (size_t i = 0; i < placed.lines.size(); ++i) {
    canvas.Put(box.col + 2, box.row + 2 + static_cast<int>(i),
               (i == 0 ? sign : u"") + placed.lines[i], Style::Message, box.width - 3);
  }
  std::vector<std::u16string> buttons = MessageButtons(message);
  for (size_t i = 0; i < buttons.size(); ++i) {
    Style style =
        static_cast<int>(i) == message.focusedButton ? Style::Focused : Style::MessageButton;
    canvas.Put(MessageButtonCol(box, buttons, static_cast<int>(i)), box.bottom() - 2, buttons[i],
               style);
  }
}

void RenderTooSmall(int neededWidth, int neededHeight, std::u16string_view leave, Canvas& canvas) {
  canvas.Fill(CellRect{0, 0, canvas.width(), canvas.height()}, Style::Normal);
  std::u16string size = Number(neededWidth) + u" × " + Number(neededHeight);
  std::u16string line = u"Das Terminal ist zu klein: mindestens " + size + u" Zeichen nötig.";
  if (static_cast<int>(line.size()) > canvas.width()) {
    line = u"Mindestens " + size;
  }
  int row = canvas.height() / 2;
  canvas.PutCentred(0, row, canvas.width(), line, Style::Normal);
  // How to leave, on one line or, on a narrow terminal, a line for each key.
  std::vector<std::u16string_view> parts{leave};
  size_t comma = leave.find(u", ");
  if (static_cast<int>(leave.size()) > canvas.width() && comma != std::u16string_view::npos) {
    parts = {leave.substr(0, comma), leave.substr(comma + 2)};
  }
  for (std::u16string_view part : parts) {
    if (++row < canvas.height()) {
      canvas.PutCentred(0, row, canvas.width(), part, Style::Normal);
    }
  }
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

Hit HitMessage(const MessageState& message, int width, int height, int col, int row) {
  MessageBox placed = PlaceMessage(message, width, height);
  std::vector<std::u16string> buttons = MessageButtons(message);
  Hit hit;
  for (size_t i = 0; i < buttons.size(); ++i) {
    int start = MessageButtonCol(placed.box, buttons, static_cast<int>(i));
    if (row == placed.box.bottom() - 2 && col >= start &&
        col < start + static_cast<int>(buttons[i].size())) {
      hit.kind = Hit::Kind::MessageButton;
      hit.index = static_cast<int>(i);
    }
  }
  return hit;
}

}  // namespace velmora::terminal
