// Where the controls of a dialog go on a terminal of a given size. The
// dialog fills the screen below the caption row: its dialog units are
// scaled to cells separately for columns and for rows, so the template
// keeps its proportions at every size (at 80 x 24 the main dialog shows
// all ten ports, at 132 x 43 everything grows).
//
// - Columns: x * width / unitsWide, where unitsWide is the template's
//   width (or its widest control's right edge).
// - Rows: below the caption row, y * (height - 1) / unitsHigh, where
//   unitsHigh reaches the lowest control (the main dialog's status line
//   reaches below the template's nominal height).
// - Controls of one line (closed drop-down lists, check boxes, edits,
//   labels) take the row of their text's middle, so a label and the
//   drop-down list beside it share a row; lists, buttons and texts of
//   several lines take every row of their rectangle.
// - A one-line label or check box may run on to the right over cells that
//   no other control takes, so a label is never cut where its rectangle is
//   a cell too narrow.
// - List column widths are pixels of the handheld, PixelsPerCell pixels to
//   a cell; a list scrolls when its columns are wider.
//
// The layout fits when every text of the dialog is whole, every list shows
// at least one row and no two controls share a cell. Below the smallest
// size that fits, the front end shows only a line asking for that size.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/terminal/canvas.h"
#include "platform/ui/dialog.h"

namespace velmora::terminal {

inline constexpr int PixelsPerCell = 5;
inline constexpr int CaptionRows = 1;

// The widest and highest terminal the layout checks; larger ones fit
// whenever these do.
inline constexpr int LargestCheckedWidth = 400;
inline constexpr int LargestCheckedHeight = 200;

struct ControlCells {
  CellRect cells;    // the control's cells (a closed drop-down list: one row)
  int textRow = 0;   // the row of a button's label
  int textRoom = 0;  // cells a one-line label or check box may use from cells.col
};

class DialogLayout {
 public:
  DialogLayout(const ui::Dialog& dialog, int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }

  // Cells of a control of this dialog (an empty rectangle for one that is
  // not in it).
  const ControlCells& Of(const ui::Control& control) const;

  bool Fits() const { return fits_; }
  // The smallest terminal from which on the dialog fits. Worked out when
  // first asked, as it lays the dialog out at up to every checked size: a
  // layout asked only where the controls are, or whether they fit, is
  // laid out once.
  int neededWidth() const {
    Measure();
    return neededWidth_;
  }
  int neededHeight() const {
    Measure();
    return neededHeight_;
  }

 private:
  void Place();
  bool FitsAcross() const;
  bool FitsDown() const;
  void Measure() const;

  const ui::Dialog& dialog_;
  int width_;
  int height_;
  int unitsWide_ = 1;
  int unitsHigh_ = 1;
  std::map<const ui::Control*, ControlCells> cells_;
  bool fits_ = true;
  mutable bool measured_ = false;
  mutable int neededWidth_ = 0;
  mutable int neededHeight_ = 0;
};

// Rows of the list's entries that are visible below its header.
int VisibleListRows(const ControlCells& list);

// The label a button shows, with the focus marks when it has the focus.
std::u16string ButtonLabel(std::u16string_view text, bool focused);

// Lines of text wrapped at width (words kept whole where they fit).
std::vector<std::u16string> WrapText(std::u16string_view text, int width);

// True when WrapText keeps every word of text whole at width.
bool WrapsWhole(std::u16string_view text, int width);

}  // namespace velmora::terminal
