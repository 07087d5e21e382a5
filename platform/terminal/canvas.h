// The picture of the terminal front end: a grid of character cells, each
// with a style, and where the text cursor stands. The terminal host turns
// styles into colours (or, on a monochrome terminal, into reverse video,
// bold and underline); the layout tests read the grid as text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::terminal {

struct CellRect {
  int col = 0;
  int row = 0;
  int width = 0;
  int height = 0;
  bool Contains(int c, int r) const {
    return c >= col && c < col + width && r >= row && r < row + height;
  }
  bool Intersects(const CellRect& other) const {
    return col < other.col + other.width && other.col < col + width &&
           row < other.row + other.height && other.row < row + height;
  }
  int right() const { return col + width; }
  int bottom() const { return row + height; }
};

enum class Style : uint8_t {
  Normal,
  Caption,
  CaptionButton,
  Button,
  Focused,
  Disabled,
  Field,
  Header,
  Selected,
  SelectedFocused,
  Message,
  MessageButton,
};

struct Cell {
  char16_t ch = u' ';
  Style style = Style::Normal;
};

class Canvas {
 public:
  Canvas(int width, int height);
  int width() const { return width_; }
  int height() const { return height_; }
  void Fill(const CellRect& area, Style style);
  // Writes text from (col, row), cut at the canvas edge or after maxWidth
  // cells.
  void Put(int col, int row, std::u16string_view text, Style style, int maxWidth = -1);
  // Writes text centred in the cells [col, col + width) of row.
  void PutCentred(int col, int row, int width, std::u16string_view text, Style style);
  const Cell& At(int col, int row) const;
  // Row as UTF-8 text, trailing blanks removed.
  std::string RowText(int row) const;
  // The whole picture, one line per row.
  std::string Text() const;

  // Where the text cursor shows; none unless set.
  void SetCursor(int col, int row);
  void HideCursor() { cursorCol_ = cursorRow_ = -1; }
  bool hasCursor() const { return cursorCol_ >= 0; }
  int cursorCol() const { return cursorCol_; }
  int cursorRow() const { return cursorRow_; }

 private:
  int width_;
  int height_;
  std::vector<Cell> cells_;
  int cursorCol_ = -1;
  int cursorRow_ = -1;
};

}  // namespace velmora::terminal
