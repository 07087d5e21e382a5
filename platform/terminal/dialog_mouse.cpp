#include "platform/terminal/dialog_mouse.h"

#include <algorithm>

#include "platform/terminal/view_actions.h"

namespace velmora::terminal {

bool ClickDialog(ui::Dialog& dialog, const DialogLayout& layout, DialogView& view, const Hit& hit,
                 bool twice, bool acts) {
  int wasOpen = view.openCombo;
  if (hit.kind != Hit::Kind::ComboItem && hit.kind != Hit::Kind::ComboScroll) {
    view.openCombo = ui::NoControlId;  // a click elsewhere closes the drop-down list
  }
  if (!acts) {
    return false;
  }
  switch (hit.kind) {
    case Hit::Kind::Done:
      dialog.OkCommand();
      break;
    case Hit::Kind::Help:
      return true;
    case Hit::Kind::ComboItem:
      view.openCombo = ui::NoControlId;
      dialog.Find<ui::ComboBox>(hit.controlId)->Choose(hit.index);
      break;
    case Hit::Kind::ComboScroll: {
      int page = std::max(1, PlaceDropDown(dialog, layout, view).items.height - 1);
      view.comboTop = std::max(0, view.comboTop + hit.index * page);
      break;
    }
    case Hit::Kind::ListScroll: {
      auto* list = dialog.Find<ui::ListView>(hit.controlId);
      ScrollList(view, *list, hit.index * std::max(1, VisibleListRows(layout.Of(*list)) - 1));
      break;
    }
    case Hit::Kind::ListSideways:
      ScrollSideways(view, *dialog.Find<ui::ListView>(hit.controlId), hit.index * SidewaysCells);
      break;
    case Hit::Kind::ListRow: {
      auto* list = dialog.Find<ui::ListView>(hit.controlId);
      if (!list->enabled()) {
        break;
      }
      dialog.SetFocus(hit.controlId);
      DeselectOthers(*list, hit.index);
      if (twice) {
        list->DoubleTap(hit.index);
      } else {
        list->Tap(hit.index);
      }
      break;
    }
    case Hit::Kind::Control: {
      ui::Control* control = dialog.FindControl(hit.controlId);
      if (!control->enabled()) {
        break;
      }
      if (control->takesFocus()) {
        dialog.SetFocus(hit.controlId);
      }
      if (auto* button = dynamic_cast<ui::Button*>(control)) {
        button->Click();
      } else if (auto* box = dynamic_cast<ui::CheckBox*>(control)) {
        box->Click();
      } else if (auto* combo = dynamic_cast<ui::ComboBox*>(control);
                 combo != nullptr && wasOpen != combo->id()) {
        OpenDropDown(view, *combo);
      }
      break;
    }
    default:
      break;
  }
  return false;
}

void WheelDialog(const ui::Dialog& dialog, const DialogLayout& layout, DialogView& view, int col,
                 int row, int by) {
  if (view.openCombo != ui::NoControlId) {
    view.comboTop = std::max(0, view.comboTop + by * WheelRows);
    return;
  }
  Hit hit = HitDialog(dialog, layout, view, col, row);
  if (auto* list = dialog.Find<ui::ListView>(hit.controlId)) {
    ScrollList(view, *list, by * WheelRows);
  }
}

}  // namespace velmora::terminal
