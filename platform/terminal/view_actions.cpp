#include "platform/terminal/view_actions.h"

#include <algorithm>

namespace velmora::terminal {

void DeselectOthers(ui::ListView& list, int keep) {
  for (int i = 0; i < list.GetItemCount(); ++i) {
    if (i != keep && list.GetItemState(i, ui::StateSelected) != 0) {
      list.SetItemState(i, 0, ui::StateSelected);
    }
  }
}

void MoveInList(ui::ListView& list, int to) {
  int count = list.GetItemCount();
  if (count == 0) {
    return;
  }
  to = std::clamp(to, 0, count - 1);
  DeselectOthers(list, to);
  list.SetItemState(to, ui::StateSelected | ui::StateFocused, ui::StateSelected | ui::StateFocused);
  list.EnsureVisible(to);
}

void TapCurrent(ui::ListView& list, bool twice) {
  if (list.GetItemCount() == 0) {
    return;
  }
  int current = std::max(0, CurrentEntry(list));
  DeselectOthers(list, current);
  if (twice) {
    list.DoubleTap(current);
  } else {
    list.Tap(current);
  }
}

void OpenDropDown(DialogView& view, const ui::ComboBox& combo) {
  if (!combo.enabled() || combo.GetCount() == 0) {
    return;
  }
  view.openCombo = combo.id();
  view.comboHighlight = std::max(0, combo.GetCurSel());
  view.seenHighlight = -1;
}

void ScrollList(DialogView& view, const ui::ListView& list, int rows) {
  view.lists[list.id()].top += rows;
}

void ScrollSideways(DialogView& view, const ui::ListView& list, int cells) {
  view.lists[list.id()].sideways += cells;
}

}  // namespace velmora::terminal
