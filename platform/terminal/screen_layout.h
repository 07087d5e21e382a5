// How the terminal front end lays a dialog out in character cells, and the
// picture it draws, kept apart from the terminal toolkit so that it can be
// tested.
//
// Scale: 8 dialog units per row (rounded to the nearest row) and 2.5
// dialog units per column, so the widest template (184 units) takes 74 of
// 80 columns and no text of the templates is cut. List column widths are
// in pixels, at 5 pixels per column (2 pixels per dialog unit). Row 0 of
// the screen is the caption with the Done button "[OK]" at its right; the
// dialog's own rows begin below it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/ui/dialog.h"

namespace velmora::terminal {

inline constexpr int PixelsPerCell = 5;
inline constexpr int CaptionRows = 1;

struct CellRect {
  int col = 0;
  int row = 0;
  int width = 0;
  int height = 0;
  bool Contains(int c, int r) const {
    return c >= col && c < col + width && r >= row && r < row + height;
  }
};

// Where a control of a template goes on the screen (caption row included).
CellRect ControlCells(const ui::Control& control);

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
  // Writes text from (col, row), cut at the canvas edge or at maxWidth.
  void Put(int col, int row, std::u16string_view text, Style style, int maxWidth = -1);
  const Cell& At(int col, int row) const;
  // Row as UTF-8 text, trailing blanks removed.
  std::string RowText(int row) const;

 private:
  int width_;
  int height_;
  std::vector<Cell> cells_;
};

// What the front end shows besides the dialog's own state.
struct ViewState {
  std::map<int, int> listScroll;    // list id -> first visible column (cells)
  int openCombo = ui::NoControlId;  // combo box whose list is dropped down
  int comboHighlight = -1;
  bool waiting = false;  // the wait cursor
};

struct MessageState {
  std::u16string caption;
  std::u16string text;
  bool yesNo = false;
  int focusedButton = 0;  // 0 OK / Ja, 1 Nein
};

void RenderDialog(const ui::Dialog& dialog, const ViewState& view, Canvas& canvas);
void RenderMessage(const MessageState& message, Canvas& canvas);

// What lies under a cell.
struct Hit {
  enum class Kind { None, Done, Control, ListRow, ComboItem, MessageButton } kind = Kind::None;
  int controlId = ui::NoControlId;
  int index = -1;  // list row, combo item or message button
};
Hit HitDialog(const ui::Dialog& dialog, const ViewState& view, int width, int col, int row);
Hit HitMessage(const MessageState& message, int width, int height, int col, int row);

// Rows of the list's entries that are visible (below its header).
int VisibleListRows(const ui::ListView& list);

// Lines of text wrapped at width (words kept whole where they fit).
std::vector<std::u16string> WrapText(std::u16string_view text, int width);

}  // namespace velmora::terminal
