#include "platform/terminal/screen_layout.h"

#include <algorithm>

namespace velmora::terminal {

namespace {

// Controls that show one line of text whatever their height.
bool OneLine(const ui::Control& control) {
  switch (control.kind()) {
    case ui::ControlKind::ComboBox:
    case ui::ControlKind::CheckBox:
    case ui::ControlKind::Edit:
      return true;
    case ui::ControlKind::StaticText:
      return control.rect().height <= 12;
    default:
      return false;
  }
}

// From a control's top edge to the middle of its text line, in dialog
// units (text is 8 units high; a closed drop-down list is about 14).
int TextMiddle(const ui::Control& control) {
  const ui::Rect& r = control.rect();
  switch (control.kind()) {
    case ui::ControlKind::ComboBox:
      return 7;
    case ui::ControlKind::Edit:
      return std::min(r.height, 12) / 2;
    case ui::ControlKind::StaticText:
      return 4;
    default:
      return r.height / 2;
  }
}

bool SharesRow(const CellRect& cells, int row) {
  return row >= cells.row && row < cells.bottom();
}

int TextWidth(std::u16string_view text) {
  return static_cast<int>(text.size());
}

const ControlCells& NoCells() {
  static const ControlCells none;
  return none;
}

}  // namespace

DialogLayout::DialogLayout(const ui::Dialog& dialog, int width, int height)
    : dialog_(dialog), width_(std::max(0, width)), height_(std::max(0, height)) {
  unitsWide_ = std::max(1, dialog.templateRect().width);
  unitsHigh_ = std::max(1, dialog.templateRect().height);
  for (const auto& control : dialog.controls()) {
    if (control->visible()) {
      const ui::Rect& r = control->rect();
      unitsWide_ = std::max(unitsWide_, r.x + r.width);
      int bottom = control->kind() == ui::ControlKind::ComboBox ? r.y + 14 : r.y + r.height;
      unitsHigh_ = std::max(unitsHigh_, bottom);
    }
  }
  Place();
  fits_ = FitsDown() && FitsAcross();
}

void DialogLayout::Measure() const {
  if (measured_) {
    return;
  }
  measured_ = true;
  if (fits_) {
    neededWidth_ = std::min(width_, LargestCheckedWidth);
    neededHeight_ = std::min(height_, LargestCheckedHeight);
    return;
  }
  // From the largest size down, the last size from which on every larger
  // one fits; first the rows at this width, then the columns at a height
  // that has enough rows.
  neededHeight_ = 1;
  for (int h = LargestCheckedHeight; h >= 1; --h) {
    if (!DialogLayout(dialog_, width_, h).FitsDown()) {
      neededHeight_ = h + 1;
      break;
    }
  }
  int probeHeight = std::max(height_, neededHeight_);
  neededWidth_ = 1;
  for (int w = LargestCheckedWidth; w >= 1; --w) {
    if (!DialogLayout(dialog_, w, probeHeight).FitsAcross()) {
      neededWidth_ = w + 1;
      break;
    }
  }
}

void DialogLayout::Place() {
  int rows = std::max(0, height_ - CaptionRows);
  auto col = [&](int x) { return x * width_ / unitsWide_; };
  auto row = [&](int y) { return CaptionRows + y * rows / unitsHigh_; };
  for (const auto& control : dialog_.controls()) {
    const ui::Rect& r = control->rect();
    ControlCells place;
    place.cells.col = col(r.x);
    place.cells.width = std::max(1, col(r.x + r.width) - place.cells.col);
    int top = row(r.y);
    int bottom = row(r.y + r.height);
    if (OneLine(*control)) {
      top = row(r.y + TextMiddle(*control));
      bottom = top + 1;
    } else if (control->kind() == ui::ControlKind::StaticText) {
      top = row(r.y + TextMiddle(*control));  // its first line beside a label's line
    }
    place.cells.row = top;
    place.cells.height = std::max(1, bottom - top);
    place.textRow = std::clamp(row(r.y + TextMiddle(*control)), top, place.cells.bottom() - 1);
    place.textRoom = place.cells.width;
    cells_[control.get()] = place;
  }
  // One-line labels and check boxes run on over free cells to their right.
  for (const auto& control : dialog_.controls()) {
    bool runsOn = control->kind() == ui::ControlKind::CheckBox ||
                  (control->kind() == ui::ControlKind::StaticText && OneLine(*control));
    if (!control->visible() || !runsOn) {
      continue;
    }
    ControlCells& place = cells_[control.get()];
    int limit = width_;
    for (const auto& other : dialog_.controls()) {
      if (other == control || !other->visible()) {
        continue;
      }
      const CellRect& cells = cells_[other.get()].cells;
      if (!SharesRow(cells, place.cells.row) || cells.right() <= place.cells.col) {
        continue;
      }
      limit = std::min(limit, std::max(cells.col, place.cells.right()));
    }
    place.textRoom = std::max(place.cells.width, limit - place.cells.col);
  }
}

bool DialogLayout::FitsAcross() const {
  // The caption row: a blank, the caption, a blank and "[OK]" with one
  // blank after it.
  if (1 + TextWidth(dialog_.caption()) + 1 + 5 > width_) {
    return false;
  }
  for (const auto& control : dialog_.controls()) {
    if (!control->visible()) {
      continue;
    }
    const ControlCells& place = Of(*control);
    int text = TextWidth(control->text());
    switch (control->kind()) {
      case ui::ControlKind::PushButton:
        if (TextWidth(ButtonLabel(control->text(), false)) > place.cells.width) {
          return false;
        }
        break;
      case ui::ControlKind::CheckBox:
        if (4 + text + 1 > place.textRoom) {  // "[x]»text«" when it has the focus
          return false;
        }
        break;
      case ui::ControlKind::StaticText:
        // Labels are the template's; texts with an id are set at run time
        // and wrap or are cut like any running text.
        if (control->id() == ui::NoControlId && OneLine(*control) && text > place.textRoom) {
          return false;
        }
        break;
      case ui::ControlKind::ComboBox:
      case ui::ControlKind::ListView:
        if (place.cells.width < 4) {
          return false;
        }
        break;
      case ui::ControlKind::Edit:
        if (place.cells.width < 2) {
          return false;
        }
        break;
    }
  }
  return true;
}

bool DialogLayout::FitsDown() const {
  std::vector<const ui::Control*> shown;
  for (const auto& control : dialog_.controls()) {
    if (!control->visible()) {
      continue;
    }
    const ControlCells& place = Of(*control);
    if (place.cells.bottom() > height_) {
      return false;
    }
    if (control->kind() == ui::ControlKind::ListView && place.cells.height < 2) {
      return false;
    }
    if (control->kind() == ui::ControlKind::StaticText && control->id() == ui::NoControlId &&
        !OneLine(*control) &&
        (!WrapsWhole(control->text(), place.cells.width) ||
         static_cast<int>(WrapText(control->text(), place.cells.width).size()) >
             place.cells.height)) {
      return false;
    }
    for (const ui::Control* other : shown) {
      if (Of(*other).cells.Intersects(place.cells)) {
        return false;
      }
    }
    shown.push_back(control.get());
  }
  return true;
}

const ControlCells& DialogLayout::Of(const ui::Control& control) const {
  auto found = cells_.find(&control);
  return found == cells_.end() ? NoCells() : found->second;
}

int VisibleListRows(const ControlCells& list) {
  return std::max(1, list.cells.height - 1);
}

std::u16string ButtonLabel(std::u16string_view text, bool focused) {
  return (focused ? u"[»" : u"[ ") + std::u16string(text) + (focused ? u"«]" : u" ]");
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

bool WrapsWhole(std::u16string_view text, int width) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of(u" \n", start);
    if (end == std::u16string_view::npos) {
      end = text.size();
    }
    if (static_cast<int>(end - start) > width) {
      return false;
    }
    start = end + 1;
  }
  return true;
}

}  // namespace velmora::terminal
