#include "platform/terminal/screen_layout.h"

#include <algorithm>

#include "platform/text.h"

namespace velmora::terminal {

namespace {

int Col(int units) {
  return units * 2 / 5;
}
int Row(int units) {
  return (units + 4) / 8;
}

std::u16string ButtonLabel(const ui::Control& control) {
  return u"[ " + control.text() + u" ]";
}

// Message box geometry: centred, wide enough for its text.
CellRect MessageBox(const MessageState& message, int width, int height,
                    std::vector<std::u16string>* lines) {
  int boxWidth = std::min(width - 4, 60);
  *lines = WrapText(message.text, boxWidth - 4);
  int boxHeight = static_cast<int>(lines->size()) + 5;
  return CellRect{(width - boxWidth) / 2, std::max(1, (height - boxHeight) / 2), boxWidth,
                  boxHeight};
}

std::vector<std::u16string> MessageButtons(const MessageState& message) {
  if (message.yesNo) {
    return {u"[ Ja ]", u"[ Nein ]"};
  }
  return {u"[ OK ]"};
}

int MessageButtonCol(const CellRect& box, const std::vector<std::u16string>& buttons, int index) {
  int total = 0;
  for (const auto& b : buttons) {
    total += static_cast<int>(b.size()) + 2;
  }
  int col = box.col + (box.width - total) / 2;
  for (int i = 0; i < index; ++i) {
    col += static_cast<int>(buttons[static_cast<size_t>(i)].size()) + 2;
  }
  return col;
}

void RenderList(const ui::ListView& list, const CellRect& cells, bool focused,
                const ViewState& view, Canvas& canvas) {
  canvas.Fill(cells, Style::Field);
  auto scroll = view.listScroll.find(list.id());
  int offset = scroll == view.listScroll.end() ? 0 : scroll->second;
  // Column starts in cells, from the pixel widths.
  std::vector<int> starts;
  int at = 0;
  for (const auto& column : list.columns()) {
    starts.push_back(at);
    at += column.width / PixelsPerCell;
  }
  auto put = [&](int row, int column, std::u16string_view text, Style style) {
    int start = starts[static_cast<size_t>(column)] - offset;
    int width = list.columns()[static_cast<size_t>(column)].width / PixelsPerCell;
    int end = std::min(start + width - 1, cells.width);  // one blank between columns
    if (end <= 0 || start >= cells.width) {
      return;
    }
    int skip = std::max(0, -start);
    if (skip < static_cast<int>(text.size())) {
      canvas.Put(cells.col + std::max(start, 0), row, text.substr(static_cast<size_t>(skip)), style,
                 end - std::max(start, 0));
    }
  };
  canvas.Fill(CellRect{cells.col, cells.row, cells.width, 1}, Style::Header);
  for (size_t c = 0; c < list.columns().size(); ++c) {
    put(cells.row, static_cast<int>(c), list.columns()[c].header, Style::Header);
  }
  int rows = VisibleListRows(list);
  for (int r = 0; r < rows; ++r) {
    int item = list.topIndex() + r;
    if (item >= list.GetItemCount()) {
      break;
    }
    int row = cells.row + 1 + r;
    bool selected = list.GetItemState(item, ui::StateSelected) != 0;
    Style style = selected ? (focused ? Style::SelectedFocused : Style::Selected) : Style::Field;
    canvas.Fill(CellRect{cells.col, row, cells.width, 1}, style);
    for (size_t c = 0; c < list.columns().size(); ++c) {
      put(row, static_cast<int>(c), list.GetItemText(item, static_cast<int>(c)), style);
    }
  }
  // Marks for more entries or columns than fit.
  if (list.topIndex() > 0) {
    canvas.Put(cells.col + cells.width - 1, cells.row + 1, u"↑", Style::Header);
  }
  if (list.topIndex() + rows < list.GetItemCount()) {
    canvas.Put(cells.col + cells.width - 1, cells.row + rows, u"↓", Style::Header);
  }
  if (at - offset > cells.width) {
    canvas.Put(cells.col + cells.width - 1, cells.row, u"→", Style::Header);
  }
  if (offset > 0) {
    canvas.Put(cells.col, cells.row, u"←", Style::Header);
  }
}

void RenderCombo(const ui::ComboBox& combo, const CellRect& cells, bool focused, Canvas& canvas) {
  Style style = !combo.enabled() ? Style::Disabled : focused ? Style::Focused : Style::Field;
  CellRect line{cells.col, cells.row, cells.width, 1};
  canvas.Fill(line, style);
  int selection = combo.GetCurSel();
  if (selection >= 0) {
    canvas.Put(cells.col + 1, cells.row, combo.items()[static_cast<size_t>(selection)].text, style,
               cells.width - 3);
  }
  canvas.Put(cells.col + cells.width - 1, cells.row, u"▼", style);
}

void RenderDropDown(const ui::ComboBox& combo, const CellRect& cells, const ViewState& view,
                    Canvas& canvas) {
  for (int i = 0; i < combo.GetCount(); ++i) {
    int row = cells.row + 1 + i;
    Style style = i == view.comboHighlight ? Style::SelectedFocused : Style::Message;
    canvas.Fill(CellRect{cells.col, row, cells.width, 1}, style);
    canvas.Put(cells.col + 1, row, combo.items()[static_cast<size_t>(i)].text, style,
               cells.width - 1);
  }
}

}  // namespace

CellRect ControlCells(const ui::Control& control) {
  const ui::Rect& r = control.rect();
  CellRect cells;
  cells.col = Col(r.x);
  cells.row = Row(r.y) + CaptionRows;
  cells.width = std::max(1, Col(r.x + r.width) - cells.col);
  cells.height = std::max(1, Row(r.y + r.height) - Row(r.y));
  if (control.kind() == ui::ControlKind::ComboBox ||
      control.kind() == ui::ControlKind::PushButton ||
      control.kind() == ui::ControlKind::CheckBox) {
    cells.height = 1;  // a closed drop-down list and buttons take one row
  }
  return cells;
}

int VisibleListRows(const ui::ListView& list) {
  return std::max(1, ControlCells(list).height - 1);
}

std::vector<std::u16string> WrapText(std::u16string_view text, int width) {
  std::vector<std::u16string> lines;
  width = std::max(1, width);
  size_t start = 0;
  while (start <= text.size()) {
    size_t newline = text.find(u'\n', start);
    std::u16string_view paragraph =
        text.substr(start, newline == std::u16string_view::npos ? text.npos : newline - start);
    while (static_cast<int>(paragraph.size()) > width) {
      size_t cut = paragraph.rfind(u' ', static_cast<size_t>(width));
      if (cut == std::u16string_view::npos || cut == 0) {
        cut = static_cast<size_t>(width);
      }
      lines.emplace_back(paragraph.substr(0, cut));
      paragraph.remove_prefix(cut);
      while (!paragraph.empty() && paragraph.front() == u' ') {
        paragraph.remove_prefix(1);
      }
    }
    lines.emplace_back(paragraph);
    if (newline == std::u16string_view::npos) {
      break;
    }
    start = newline + 1;
  }
  return lines;
}

Canvas::Canvas(int width, int height)
    : width_(width), height_(height), cells_(static_cast<size_t>(width * height)) {}

void Canvas::Fill(const CellRect& area, Style style) {
  for (int r = area.row; r < area.row + area.height; ++r) {
    for (int c = area.col; c < area.col + area.width; ++c) {
      if (r >= 0 && r < height_ && c >= 0 && c < width_) {
        cells_[static_cast<size_t>(r * width_ + c)] = Cell{u' ', style};
      }
    }
  }
}

void Canvas::Put(int col, int row, std::u16string_view text, Style style, int maxWidth) {
  if (row < 0 || row >= height_) {
    return;
  }
  for (size_t i = 0; i < text.size(); ++i) {
    int c = col + static_cast<int>(i);
    if (c >= width_ || (maxWidth >= 0 && static_cast<int>(i) >= maxWidth)) {
      break;
    }
    if (c >= 0) {
      cells_[static_cast<size_t>(row * width_ + c)] = Cell{text[i], style};
    }
  }
}

const Cell& Canvas::At(int col, int row) const {
  return cells_[static_cast<size_t>(row * width_ + col)];
}

std::string Canvas::RowText(int row) const {
  std::u16string text;
  for (int c = 0; c < width_; ++c) {
    text.push_back(At(c, row).ch);
  }
  while (!text.empty() && text.back() == u' ') {
    text.pop_back();
  }
  return ToUtf8(text);
}

void RenderDialog(const ui::Dialog& dialog, const ViewState& view, Canvas& canvas) {
  canvas.Fill(CellRect{0, 0, canvas.width(), canvas.height()}, Style::Normal);
  canvas.Fill(CellRect{0, 0, canvas.width(), 1}, Style::Caption);
  std::u16string caption = u" " + dialog.caption();
  if (view.waiting) {
    caption += u"   ⌛ Bitte warten …";
  }
  canvas.Put(0, 0, caption, Style::Caption, canvas.width() - 6);
  canvas.Put(canvas.width() - 5, 0, u"[OK]", Style::CaptionButton);

  const ui::ComboBox* dropped = nullptr;
  for (const auto& control : dialog.controls()) {
    if (!control->visible()) {
      continue;
    }
    CellRect cells = ControlCells(*control);
    bool focused = control->id() == dialog.focusId() && control->id() != ui::NoControlId;
    switch (control->kind()) {
      case ui::ControlKind::StaticText: {
        std::vector<std::u16string> lines = WrapText(control->text(), cells.width);
        for (int i = 0; i < static_cast<int>(lines.size()) && i < std::max(cells.height, 1); ++i) {
          canvas.Put(cells.col, cells.row + i, lines[static_cast<size_t>(i)], Style::Normal);
        }
        break;
      }
      case ui::ControlKind::PushButton: {
        Style style = !control->enabled() ? Style::Disabled
                      : focused           ? Style::Focused
                                          : Style::Button;
        std::u16string label = ButtonLabel(*control);
        int pad = std::max(0, (cells.width - static_cast<int>(label.size())) / 2);
        canvas.Put(cells.col + pad, cells.row, label, style);
        break;
      }
      case ui::ControlKind::CheckBox: {
        const auto& box = static_cast<const ui::CheckBox&>(*control);
        Style style = !box.enabled() ? Style::Disabled : focused ? Style::Focused : Style::Normal;
        canvas.Put(cells.col, cells.row, (box.checked() ? u"[x] " : u"[ ] ") + box.text(), style);
        break;
      }
      case ui::ControlKind::Edit: {
        const auto& edit = static_cast<const ui::Edit&>(*control);
        Style style = edit.readOnly()   ? Style::Normal
                      : !edit.enabled() ? Style::Disabled
                      : focused         ? Style::Focused
                                        : Style::Field;
        canvas.Fill(CellRect{cells.col, cells.row, cells.width, 1}, style);
        std::u16string_view text = edit.text();
        int room = cells.width - (focused ? 1 : 0);
        if (static_cast<int>(text.size()) > room) {
          text.remove_prefix(text.size() - static_cast<size_t>(room));  // keep the end in view
        }
        canvas.Put(cells.col, cells.row, text, style);
        break;
      }
      case ui::ControlKind::ComboBox: {
        const auto& combo = static_cast<const ui::ComboBox&>(*control);
        RenderCombo(combo, cells, focused, canvas);
        if (combo.id() == view.openCombo) {
          dropped = &combo;
        }
        break;
      }
      case ui::ControlKind::ListView:
        RenderList(static_cast<const ui::ListView&>(*control), cells, focused, view, canvas);
        break;
    }
  }
  if (dropped != nullptr) {
    RenderDropDown(*dropped, ControlCells(*dropped), view, canvas);
  }
}

void RenderMessage(const MessageState& message, Canvas& canvas) {
  std::vector<std::u16string> lines;
  CellRect box = MessageBox(message, canvas.width(), canvas.height(), &lines);
  canvas.Fill(box, Style::Message);
  canvas.Fill(CellRect{box.col, box.row, box.width, 1}, Style::Caption);
  canvas.Put(box.col + 1, box.row, message.caption, Style::Caption, box.width - 2);
  std::u16string sign = message.yesNo ? u"⚠ " : u"";
  for (size_t i = 0; i < lines.size(); ++i) {
    canvas.Put(box.col + 2, box.row + 2 + static_cast<int>(i), (i == 0 ? sign : u"") + lines[i],
               Style::Message, box.width - 3);
  }
  std::vector<std::u16string> buttons = MessageButtons(message);
  for (size_t i = 0; i < buttons.size(); ++i) {
    Style style =
        static_cast<int>(i) == message.focusedButton ? Style::Focused : Style::MessageButton;
    canvas.Put(MessageButtonCol(box, buttons, static_cast<int>(i)), box.row + box.height - 2,
               buttons[i], style);
  }
}

Hit HitDialog(const ui::Dialog& dialog, const ViewState& view, int width, int col, int row) {
  Hit hit;
  if (row == 0 && col >= width - 5) {
    hit.kind = Hit::Kind::Done;
    return hit;
  }
  if (view.openCombo != ui::NoControlId) {
    if (auto* combo = dialog.Find<ui::ComboBox>(view.openCombo)) {
      CellRect cells = ControlCells(*combo);
      CellRect items{cells.col, cells.row + 1, cells.width, combo->GetCount()};
      if (items.Contains(col, row)) {
        hit.kind = Hit::Kind::ComboItem;
        hit.controlId = combo->id();
        hit.index = row - items.row;
        return hit;
      }
    }
  }
  for (const auto& control : dialog.controls()) {
    if (!control->visible() || control->id() == ui::NoControlId) {
      continue;
    }
    CellRect cells = ControlCells(*control);
    if (!cells.Contains(col, row)) {
      continue;
    }
    hit.controlId = control->id();
    hit.kind = Hit::Kind::Control;
    if (auto* list = dynamic_cast<const ui::ListView*>(control.get())) {
      int item = list->topIndex() + row - cells.row - 1;
      if (row > cells.row && item < list->GetItemCount()) {
        hit.kind = Hit::Kind::ListRow;
        hit.index = item;
      }
    }
    return hit;
  }
  return hit;
}

Hit HitMessage(const MessageState& message, int width, int height, int col, int row) {
  std::vector<std::u16string> lines;
  CellRect box = MessageBox(message, width, height, &lines);
  std::vector<std::u16string> buttons = MessageButtons(message);
  Hit hit;
  for (size_t i = 0; i < buttons.size(); ++i) {
    int start = MessageButtonCol(box, buttons, static_cast<int>(i));
    if (row == box.row + box.height - 2 && col >= start &&
        col < start + static_cast<int>(buttons[i].size())) {
      hit.kind = Hit::Kind::MessageButton;
      hit.index = static_cast<int>(i);
    }
  }
  return hit;
}

}  // namespace velmora::terminal
