// The report-view list of the window: a QTreeWidget that shows a
// framework list (columns at their pixel widths, scrolling sideways when
// they are wider) and hands a person's clicks and keys to it instead of
// changing its own selection:
// - a click on an entry taps it (the list selects it, then raises the
//   tap); a double click is the second click's tap and then the double
//   tap, so a double click gives tap, tap, double tap;
// - Up, Down, Page Up, Page Down, Home and End step the selection;
// - Left and Right are the list's own keys (virtual keys 0x25, 0x27);
// - Space taps the focused entry, Shift+Space double-taps it;
// - Shift+Left, Shift+Right, "<" and ">" scroll sideways.
// What the list shows comes only from the framework's list (Refresh). While
// it has the focus (and keys have moved the focus, as for the other
// controls), a dotted line runs inside its border.
#pragma once

#include <QTreeWidget>
#include <functional>

#include "platform/ui/dialog.h"

namespace velmora::window {

class ReportList final : public QTreeWidget {
 public:
  // act runs a person's action on the framework, then brings the screen up
  // to date.
  ReportList(ui::Dialog& dialog, ui::ListView& list, std::function<void(std::function<void()>)> act,
             QWidget* parent);

  // Shows the framework list's columns, entries, selection and focus.
  void Refresh();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  int RowAt(const QPoint& position) const;
  int VisibleRows() const;
  void ScrollSideways(int steps);
  bool ShowColumns();
  bool ShowEntries();

  ui::Dialog& dialog_;
  ui::ListView& list_;
  std::function<void(std::function<void()>)> act_;
  int pressedRow_ = -1;  // the row of a press not yet followed by a release
  int shownFocus_ = -1;
  int shownTop_ = 0;
};

}  // namespace velmora::window
