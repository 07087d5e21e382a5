#include "platform/terminal/canvas.h"

#include <algorithm>

#include "platform/text.h"

namespace velmora::terminal {

Canvas::Canvas(int width, int height)
    : width_(std::max(0, width)),
      height_(std::max(0, height)),
      cells_(static_cast<size_t>(width_) * static_cast<size_t>(height_)) {}

void Canvas::Fill(const CellRect& area, Style style) {
  int top = std::max(0, area.row);
  int bottom = std::min(height_, area.bottom());
  int left = std::max(0, area.col);
  int right = std::min(width_, area.right());
  for (int r = top; r < bottom; ++r) {
    for (int c = left; c < right; ++c) {
      cells_[static_cast<size_t>(r * width_ + c)] = Cell{u' ', style};
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

void Canvas::PutCentred(int col, int row, int width, std::u16string_view text, Style style) {
  int pad = std::max(0, (width - static_cast<int>(text.size())) / 2);
  Put(col + pad, row, text, style, width - pad);
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

std::string Canvas::Text() const {
  std::string out;
  for (int row = 0; row < height_; ++row) {
    out += RowText(row) + "\n";
  }
  return out;
}

void Canvas::SetCursor(int col, int row) {
  if (col >= 0 && col < width_ && row >= 0 && row < height_) {
    cursorCol_ = col;
    cursorRow_ = row;
  }
}

}  // namespace velmora::terminal
