#include "platform/window/report_list.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "platform/ui/dialog.h"
#include "platform/window/qt_text.h"
#include "platform/window/screen_geometry.h"

namespace velmora::window {

ReportList::ReportList(ui::Dialog& dialog, ui::ListView& list,
                       std::function<void(std::function<void()>)> act, QWidget* parent)
    : QTreeWidget(parent), dialog_(dialog), list_(list), act_(std::move(act)) {
  setRootIsDecorated(false);
  setIndentation(0);
  setUniformRowHeights(true);
  setItemsExpandable(false);
  setAllColumnsShowFocus(true);
  // The framework keeps the selection; Qt only draws it.
  setSelectionMode(QAbstractItemView::NoSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setTextElideMode(Qt::ElideNone);
  header()->setSectionsClickable(false);
  header()->setSectionsMovable(false);
  header()->setStretchLastSection(false);
  header()->setSectionResizeMode(QHeaderView::Fixed);
  header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header()->setMinimumSectionSize(0);
  if ((list.style() & ui::StyleBorder) != 0) {
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(ListBorder);
  } else {
    setFrameStyle(QFrame::NoFrame);
  }
}

void ReportList::Refresh() {
  bool rebuilt = ShowColumns();
  rebuilt = ShowEntries() || rebuilt;
  QItemSelectionModel* selection = selectionModel();
  for (int row = 0; row < list_.GetItemCount(); ++row) {
    QModelIndex index = model()->index(row, 0);
    bool selected = list_.GetItemState(row, ui::StateSelected) != 0;
    if (selection->isSelected(index) != selected) {
      selection->select(index,
                        (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                            QItemSelectionModel::Rows);
    }
  }
  int focused = list_.FocusedItem();
  QModelIndex current = focused >= 0 ? model()->index(focused, 0) : QModelIndex();
  if (current != currentIndex()) {
    selection->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
  }
  // Scroll the focused entry (or the framework's top entry) into view when
  // the entries, the focus or the framework's scrolling changed.
  if (rebuilt || focused != shownFocus_ || list_.topIndex() != shownTop_) {
    int row = focused >= 0 ? focused : list_.topIndex();
    if (row >= 0 && row < topLevelItemCount()) {
      executeDelayedItemsLayout();
      scrollToItem(topLevelItem(row), QAbstractItemView::EnsureVisible);
    }
  }
  shownFocus_ = focused;
  shownTop_ = list_.topIndex();
}

bool ReportList::ShowColumns() {
  const auto& columns = list_.columns();
  int count = std::max<int>(1, static_cast<int>(columns.size()));
  bool changed = columnCount() != count;
  if (changed) {
    setColumnCount(count);
  }
  QStringList headers;
  for (int c = 0; c < count; ++c) {
    const ui::ListView::Column* column =
        c < static_cast<int>(columns.size()) ? &columns[static_cast<size_t>(c)] : nullptr;
    headers << (column != nullptr ? ToQString(column->header) : QString());
    int width = column != nullptr ? column->width : 0;
    if (header()->sectionSize(c) != width) {
      header()->resizeSection(c, width);
    }
  }
  QStringList shown;
  for (int c = 0; c < headerItem()->columnCount(); ++c) {
    shown << headerItem()->text(c);
  }
  if (shown != headers) {
    setHeaderLabels(headers);
  }
  return changed;
}

bool ReportList::ShowEntries() {
  int columns = columnCount();
  bool same = topLevelItemCount() == list_.GetItemCount();
  for (int row = 0; same && row < list_.GetItemCount(); ++row) {
    QTreeWidgetItem* item = topLevelItem(row);
    for (int c = 0; c < columns && same; ++c) {
      same = item->text(c) == ToQString(list_.GetItemText(row, c));
    }
  }
  if (same) {
    return false;
  }
  clear();
  QList<QTreeWidgetItem*> items;
  for (int row = 0; row < list_.GetItemCount(); ++row) {
    auto* item = new QTreeWidgetItem();
    for (int c = 0; c < columns; ++c) {
      item->setText(c, ToQString(list_.GetItemText(row, c)));
    }
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    items << item;
  }
  addTopLevelItems(items);
  return true;
}

int ReportList::RowAt(const QPoint& position) const {
  QTreeWidgetItem* item = itemAt(position);
  return item != nullptr ? indexOfTopLevelItem(item) : -1;
}

int ReportList::VisibleRows() const {
  int rowHeight = topLevelItemCount() > 0 ? visualItemRect(topLevelItem(0)).height() : 0;
  return rowHeight > 0 ? std::max(1, viewport()->height() / rowHeight) : 1;
}

void ReportList::ScrollSideways(int steps) {
  QScrollBar* bar = horizontalScrollBar();
  bar->setValue(bar->value() + steps * bar->singleStep() * 4);
}

void ReportList::mousePressEvent(QMouseEvent* event) {
  event->accept();
  pressedRow_ = -1;
  if (event->button() != Qt::LeftButton) {
    return;
  }
  int row = RowAt(event->position().toPoint());
  if (row >= 0) {
    pressedRow_ = row;
    act_([this, row] { list_.Tap(row); });
  }
}

void ReportList::mouseDoubleClickEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() != Qt::LeftButton) {
    return;
  }
  if (pressedRow_ >= 0) {
    // The press of this second click has tapped already: only the double
    // tap is left to raise, for the entry that press tapped.
    int row = pressedRow_;
    pressedRow_ = -1;
    act_([this, row] {
      if (list_.enabled()) {
        ui::NotifyInfo info;
        info.item = row;
        dialog_.Notify(ui::Notification::DoubleTap, list_.id(), info);
      }
    });
    return;
  }
  int row = RowAt(event->position().toPoint());
  if (row >= 0) {
    act_([this, row] { list_.DoubleTap(row); });
  }
}

void ReportList::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  pressedRow_ = -1;
}

void ReportList::mouseMoveEvent(QMouseEvent* event) {
  event->accept();
}

void ReportList::keyPressEvent(QKeyEvent* event) {
  bool shift = (event->modifiers() & Qt::ShiftModifier) != 0;
  int focused = list_.FocusedItem();
  switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down: {
      int step = event->key() == Qt::Key_Up ? -1 : 1;
      act_([this, step] { list_.StepSelection(step); });
      break;
    }
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
      int step = (event->key() == Qt::Key_PageUp ? -1 : 1) * VisibleRows();
      act_([this, step] { list_.StepSelection(step); });
      break;
    }
    case Qt::Key_Home:
    case Qt::Key_End: {
      int step = (event->key() == Qt::Key_Home ? -1 : 1) * std::max(1, list_.GetItemCount());
      act_([this, step] { list_.StepSelection(step); });
      break;
    }
    case Qt::Key_Left:
    case Qt::Key_Right:
      if (shift) {
        ScrollSideways(event->key() == Qt::Key_Left ? -1 : 1);
      } else {
        uint32_t key = event->key() == Qt::Key_Left ? ui::KeyLeft : ui::KeyRight;
        act_([this, key] { list_.PressKey(key); });
      }
      break;
    case Qt::Key_Less:
    case Qt::Key_Greater:
      ScrollSideways(event->key() == Qt::Key_Less ? -1 : 1);
      break;
    case Qt::Key_Space:
      if (focused >= 0) {
        act_([this, focused, shift] {
          if (shift) {
            list_.DoubleTap(focused);
          } else {
            list_.Tap(focused);
          }
        });
      }
      break;
    default:
      event->ignore();
      return;
  }
  event->accept();
}

void ReportList::focusInEvent(QFocusEvent* event) {
  // Not the item view's own: it would make the first entry current.
  QAbstractScrollArea::focusInEvent(event);
  viewport()->update();
}

void ReportList::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  viewport()->update();
}

void ReportList::paintEvent(QPaintEvent* event) {
  QTreeWidget::paintEvent(event);
  // As the other controls show their focus: once keys moved it.
  if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
    QPainter painter(viewport());
    QPen pen(palette().color(QPalette::Active, QPalette::Highlight));
    pen.setStyle(Qt::DotLine);
    painter.setPen(pen);
    painter.drawRect(viewport()->rect().adjusted(0, 0, -1, -1));
  }
}

}  // namespace velmora::window
