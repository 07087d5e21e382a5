#include "platform/terminal/dialog_screen.h"

#include <algorithm>
#include <utility>

#include "platform/platform.h"

namespace velmora::terminal {

namespace {

constexpr int WheelRows = 3;
constexpr int SidewaysCells = 8;

// A person's tap or key selects one entry only, also in a list that
// allows several: the others are deselected first.
void DeselectOthers(ui::ListView& list, int keep) {
  for (int i = 0; i < list.GetItemCount(); ++i) {
    if (i != keep && list.GetItemState(i, ui::StateSelected) != 0) {
      list.SetItemState(i, 0, ui::StateSelected);
    }
  }
}

bool Usable(const ui::Control* control) {
  return control != nullptr && control->enabled() && control->visible();
}

}  // namespace

MessageState KeyHelp() {
  MessageState help;
  help.caption = u"Tasten";
  help.text =
      u"Tab, Umschalt+Tab  nächstes, voriges Element\n"
      u"Eingabe            drücken, aufklappen; sonst OK\n"
      u"Leertaste          drücken; in Listen: antippen\n"
      u"F2                 Zeile doppelt antippen (öffnen)\n"
      u"↑ ↓ Bild Pos1 Ende in Listen bewegen, wählen\n"
      u"← →                Pfeiltasten der Liste; Cursor\n"
      u"                   Ordnerwahl: ← höher; → übernimmt,\n"
      u"                   wenn OK geht, sonst öffnet es\n"
      u"< >                Liste seitwärts schieben\n"
      u"Esc                Abbrechen, Beenden\n"
      u"F10                Fertig ([OK] oben rechts)\n"
      u"Strg+C             Programm sofort beenden\n"
      u"Maus: Klick tippt an; Doppelklick auf eine Zeile\n"
      u"tippt doppelt an, sonst sind es zwei Klicks;\n"
      u"Rad und die Pfeile am Listenrand blättern.";
  return help;
}

DialogScreen::DialogScreen(const ui::UiHost& host) : host_(host) {}

void DialogScreen::Resize(int width, int height) {
  width_ = std::max(1, width);
  height_ = std::max(1, height);
}

ui::Dialog* DialogScreen::Top() const {
  return host_.Topmost();
}

DialogView& DialogScreen::ViewOf(const ui::Dialog& dialog) {
  return views_[&dialog];
}

DialogLayout DialogScreen::Layout(const ui::Dialog& dialog) const {
  return DialogLayout(dialog, width_, height_);
}

void DialogScreen::Sync() {
  const std::vector<ui::Dialog*>& running = host_.running();
  for (auto it = views_.begin(); it != views_.end();) {
    if (std::find(running.begin(), running.end(), it->first) == running.end()) {
      it = views_.erase(it);  // that dialog has ended
    } else {
      ++it;
    }
  }
  if (ui::Dialog* top = Top()) {
    SyncView(*top, Layout(*top), ViewOf(*top));
  }
}

bool DialogScreen::tooSmall() {
  ui::Dialog* top = Top();
  if (top != nullptr && !Layout(*top).Fits()) {
    return true;
  }
  return !messages_.empty() && MessageHeight(messages_.back().state, width_) > height_;
}

void DialogScreen::Draw(Canvas& canvas) {
  Sync();
  canvas.Fill(CellRect{0, 0, canvas.width(), canvas.height()}, Style::Normal);
  canvas.HideCursor();
  if (ui::Dialog* top = Top()) {
    DialogLayout layout = Layout(*top);
    if (!layout.Fits()) {
      RenderTooSmall(layout.neededWidth(), layout.neededHeight(), LeaveHint(), canvas);
      return;
    }
    RenderDialog(*top, layout, ViewOf(*top), waiting_, canvas);
  }
  if (!messages_.empty()) {
    const MessageState& message = messages_.back().state;
    canvas.HideCursor();
    int needed = MessageHeight(message, width_);
    if (needed > height_) {
      RenderTooSmall(width_, needed, LeaveHint(), canvas);
      return;
    }
    RenderMessage(message, canvas);
  }
  if (help_) {
    canvas.HideCursor();
    RenderMessage(KeyHelp(), canvas);
  }
}

void DialogScreen::OpenMessage(MessageState message) {
  help_ = false;
  messages_.push_back(OpenMessageBox{std::move(message), 0});
}

int DialogScreen::Answer() const {
  return messages_.empty() ? 0 : messages_.back().answer;
}

int DialogScreen::CloseMessage() {
  int answer = Answer();
  if (!messages_.empty()) {
    messages_.pop_back();
  }
  return answer;
}

void DialogScreen::AnswerWith(int button) {
  OpenMessageBox& open = messages_.back();
  open.answer = !open.state.yesNo ? AnswerOk : (button == 0 ? AnswerYes : AnswerNo);
}

bool DialogScreen::Press(const KeyPress& key) {
  if (key.key == Key::Interrupt) {
    return false;
  }
  Sync();
  if (tooSmall()) {
    help_ = false;  // not shown there
    // Only the keys that leave work on the line asking for a larger
    // terminal: Escape and F10, as the dialog or message box would take them.
    if (key.key == Key::Escape || key.key == Key::Done) {
      Leave(key);
    }
    return true;
  }
  if (help_) {
    help_ = false;  // any key closes the help
    return true;
  }
  if (!messages_.empty()) {
    MessageKey(key);
    return true;
  }
  ui::Dialog* top = Top();
  if (top == nullptr) {
    return true;
  }
  if (ViewOf(*top).openCombo != ui::NoControlId) {
    DropDownKey(*top, key);
  } else {
    DialogKey(*top, key);
  }
  return true;
}

std::u16string_view DialogScreen::LeaveHint() const {
  if (messages_.empty()) {
    return LeaveDialog;
  }
  return messages_.back().state.yesNo ? LeaveMessageNo : LeaveMessageOk;
}

void DialogScreen::Leave(const KeyPress& key) {
  if (!messages_.empty()) {
    MessageKey(key);
    return;
  }
  if (ui::Dialog* top = Top()) {
    ViewOf(*top).openCombo = ui::NoControlId;  // not shown, so not left open either
    DialogKey(*top, key);
  }
}

void DialogScreen::MessageKey(const KeyPress& key) {
  OpenMessageBox& open = messages_.back();
  if (open.answer != 0) {
    return;
  }
  MessageState& message = open.state;
  int buttons = message.yesNo ? 2 : 1;
  switch (key.key) {
    case Key::Tab:
    case Key::BackTab:
    case Key::Left:
    case Key::Right:
      message.focusedButton = (message.focusedButton + 1) % buttons;
      break;
    case Key::Enter:
    case Key::Space:
      AnswerWith(message.focusedButton);
      break;
    case Key::Escape:
      AnswerWith(buttons - 1);
      break;
    case Key::Character:
      if (message.yesNo && (key.ch == u'j' || key.ch == u'J')) {
        AnswerWith(0);
      } else if (message.yesNo && (key.ch == u'n' || key.ch == u'N')) {
        AnswerWith(1);
      }
      break;
    default:
      break;
  }
}

void DialogScreen::DropDownKey(ui::Dialog& dialog, const KeyPress& key) {
  DialogView& view = ViewOf(dialog);
  auto* combo = dialog.Find<ui::ComboBox>(view.openCombo);
  int count = combo->GetCount();
  int page = std::max(1, PlaceDropDown(dialog, Layout(dialog), view).items.height - 1);
  int& highlight = view.comboHighlight;
  switch (key.key) {
    case Key::Up:
      highlight = std::max(0, highlight - 1);
      break;
    case Key::Down:
      highlight = std::min(count - 1, highlight + 1);
      break;
    case Key::PageUp:
      highlight = std::max(0, highlight - page);
      break;
    case Key::PageDown:
      highlight = std::min(count - 1, highlight + page);
      break;
    case Key::Home:
      highlight = 0;
      break;
    case Key::End:
      highlight = count - 1;
      break;
    case Key::Enter:
    case Key::Space:
      view.openCombo = ui::NoControlId;
      combo->Choose(highlight);
      break;
    case Key::Escape:
    case Key::Tab:
    case Key::BackTab:
      view.openCombo = ui::NoControlId;
      break;
    default:
      break;
  }
}

void DialogScreen::DialogKey(ui::Dialog& dialog, const KeyPress& key) {
  ui::Control* focus = dialog.FindControl(dialog.focusId());
  if (!Usable(focus)) {
    focus = nullptr;
  }
  switch (key.key) {
    case Key::Tab:
      dialog.MoveFocus(true);
      return;
    case Key::BackTab:
      dialog.MoveFocus(false);
      return;
    case Key::Escape:
      dialog.CancelCommand();
      return;
    case Key::Done:
      dialog.OkCommand();
      return;
    case Key::Help:
      help_ = true;
      return;
    default:
      break;
  }
  bool pressed = key.key == Key::Enter || key.key == Key::Space;
  if (auto* button = dynamic_cast<ui::Button*>(focus); button != nullptr && pressed) {
    button->Click();
    return;
  }
  if (auto* box = dynamic_cast<ui::CheckBox*>(focus); box != nullptr && pressed) {
    box->Click();
    return;
  }
  if (auto* combo = dynamic_cast<ui::ComboBox*>(focus)) {
    if (pressed) {
      OpenDropDown(*combo);
      return;
    }
    if (key.key == Key::Up || key.key == Key::Down) {
      int next = combo->GetCurSel() + (key.key == Key::Up ? -1 : 1);
      if (next >= 0 && next < combo->GetCount()) {
        combo->Choose(next);
      }
      return;
    }
  }
  if (auto* list = dynamic_cast<ui::ListView*>(focus);
      list != nullptr && ListKey(dialog, *list, key)) {
    return;
  }
  if (auto* edit = dynamic_cast<ui::Edit*>(focus); edit != nullptr && EditKey(*edit, key)) {
    return;
  }
  if (key.key == Key::Enter) {
    dialog.EnterKey();
  } else if (key.key == Key::Character && key.ch == u'?') {
    help_ = true;
  }
}

bool DialogScreen::ListKey(ui::Dialog& dialog, ui::ListView& list, const KeyPress& key) {
  int rows = VisibleListRows(Layout(dialog).Of(list));
  int current = CurrentEntry(list);
  switch (key.key) {
    case Key::Up:
    case Key::Down:
      MoveInList(list, current < 0 ? 0 : current + (key.key == Key::Up ? -1 : 1));
      return true;
    case Key::PageUp:
    case Key::PageDown:
      MoveInList(list, std::max(0, current) + (key.key == Key::PageUp ? -rows : rows));
      return true;
    case Key::Home:
      MoveInList(list, 0);
      return true;
    case Key::End:
      MoveInList(list, list.GetItemCount() - 1);
      return true;
    case Key::Space:
      TapCurrent(list, false);
      return true;
    case Key::DoubleTap:
      TapCurrent(list, true);
      return true;
    case Key::Left:
    case Key::Right:
      list.PressKey(key.key == Key::Left ? ui::KeyLeft : ui::KeyRight);
      return true;
    case Key::ScrollLeft:
    case Key::ScrollRight:
      ScrollSideways(list, key.key == Key::ScrollLeft ? -SidewaysCells : SidewaysCells);
      return true;
    case Key::Character:
      if (key.ch == u'<' || key.ch == u'>') {
        ScrollSideways(list, key.ch == u'<' ? -SidewaysCells : SidewaysCells);
        return true;
      }
      return false;
    default:
      return false;
  }
}

bool DialogScreen::EditKey(ui::Edit& edit, const KeyPress& key) {
  EditCursor& cursor = ViewOf(*Top()).edits[edit.id()];
  std::u16string text = edit.text();
  int size = static_cast<int>(text.size());
  int at = std::clamp(cursor.cursor, 0, size);
  auto type = [&](std::u16string changed, int newCursor) {
    cursor.seenText = changed;  // the cursor belongs to the typed text
    cursor.cursor = newCursor;
    edit.Type(changed);
  };
  switch (key.key) {
    case Key::Left:
      cursor.cursor = std::max(0, at - 1);
      return true;
    case Key::Right:
      cursor.cursor = std::min(size, at + 1);
      return true;
    case Key::Home:
      cursor.cursor = 0;
      return true;
    case Key::End:
      cursor.cursor = size;
      return true;
    case Key::Backspace:
      if (at > 0) {
        type(text.erase(static_cast<size_t>(at - 1), 1), at - 1);
      }
      return true;
    case Key::Delete:
      if (at < size) {
        type(text.erase(static_cast<size_t>(at), 1), at);
      }
      return true;
    case Key::Space:
      type(text.insert(static_cast<size_t>(at), 1, u' '), at + 1);
      return true;
    case Key::Character:
      if (key.ch >= 0x20 && key.ch != 0x7F) {
        type(text.insert(static_cast<size_t>(at), 1, key.ch), at + 1);
        return true;
      }
      return false;
    default:
      return false;
  }
}

void DialogScreen::MoveInList(ui::ListView& list, int to) {
  int count = list.GetItemCount();
  if (count == 0) {
    return;
  }
  to = std::clamp(to, 0, count - 1);
  DeselectOthers(list, to);
  list.SetItemState(to, ui::StateSelected | ui::StateFocused, ui::StateSelected | ui::StateFocused);
  list.EnsureVisible(to);
}

void DialogScreen::TapCurrent(ui::ListView& list, bool twice) {
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

void DialogScreen::OpenDropDown(ui::ComboBox& combo) {
  if (!combo.enabled() || combo.GetCount() == 0) {
    return;
  }
  DialogView& view = ViewOf(*Top());
  view.openCombo = combo.id();
  view.comboHighlight = std::max(0, combo.GetCurSel());
  view.seenHighlight = -1;
}

void DialogScreen::Scroll(ui::ListView& list, int rows) {
  ViewOf(*Top()).lists[list.id()].top += rows;  // kept in range by the next Sync
}

void DialogScreen::ScrollSideways(ui::ListView& list, int cells) {
  ViewOf(*Top()).lists[list.id()].sideways += cells;
}

void DialogScreen::Click(int col, int row, bool twice) {
  ClickTarget previous = std::exchange(lastClick_, ClickTarget{});
  Sync();
  if (help_) {
    help_ = false;
    return;
  }
  if (tooSmall()) {
    return;
  }
  if (!messages_.empty()) {
    Hit hit = HitMessage(messages_.back().state, width_, height_, col, row);
    if (hit.kind == Hit::Kind::MessageButton && messages_.back().answer == 0 && !twice) {
      AnswerWith(hit.index);
    }
    return;
  }
  ui::Dialog* dialog = Top();
  if (dialog == nullptr) {
    return;
  }
  DialogLayout layout = Layout(*dialog);
  DialogView& view = ViewOf(*dialog);
  Hit hit = HitDialog(*dialog, layout, view, col, row);
  int wasOpen = view.openCombo;
  if (hit.kind != Hit::Kind::ComboItem && hit.kind != Hit::Kind::ComboScroll) {
    view.openCombo = ui::NoControlId;  // a click elsewhere closes the drop-down list
  }
  // The second click of a double click on the button or check box the
  // first one pressed presses it again (a quick untick is no lost click).
  // Lists take it as a double tap; elsewhere the first click did all.
  if (hit.kind == Hit::Kind::Control) {
    const ui::Control* control = dialog->FindControl(hit.controlId);
    if (dynamic_cast<const ui::Button*>(control) != nullptr ||
        dynamic_cast<const ui::CheckBox*>(control) != nullptr) {
      lastClick_ = ClickTarget{dialog, hit.controlId};
    }
  }
  bool again = lastClick_.dialog != nullptr && previous == lastClick_;
  if (twice && hit.kind != Hit::Kind::ListRow && !again) {
    return;
  }
  switch (hit.kind) {
    case Hit::Kind::Done:
      dialog->OkCommand();
      break;
    case Hit::Kind::Help:
      help_ = true;
      break;
    case Hit::Kind::ComboItem:
      view.openCombo = ui::NoControlId;
      dialog->Find<ui::ComboBox>(hit.controlId)->Choose(hit.index);
      break;
    case Hit::Kind::ComboScroll: {
      int page = std::max(1, PlaceDropDown(*dialog, layout, view).items.height - 1);
      view.comboTop = std::max(0, view.comboTop + hit.index * page);
      break;
    }
    case Hit::Kind::ListScroll: {
      auto* list = dialog->Find<ui::ListView>(hit.controlId);
      Scroll(*list, hit.index * std::max(1, VisibleListRows(layout.Of(*list)) - 1));
      break;
    }
    case Hit::Kind::ListSideways:
      ScrollSideways(*dialog->Find<ui::ListView>(hit.controlId), hit.index * SidewaysCells);
      break;
    case Hit::Kind::ListRow: {
      auto* list = dialog->Find<ui::ListView>(hit.controlId);
      if (!list->enabled()) {
        break;
      }
      dialog->SetFocus(hit.controlId);
      DeselectOthers(*list, hit.index);
      if (twice) {
        list->DoubleTap(hit.index);
      } else {
        list->Tap(hit.index);
      }
      break;
    }
    case Hit::Kind::Control: {
      ui::Control* control = dialog->FindControl(hit.controlId);
      if (!control->enabled()) {
        break;
      }
      if (control->takesFocus()) {
        dialog->SetFocus(hit.controlId);
      }
      if (auto* button = dynamic_cast<ui::Button*>(control)) {
        button->Click();
      } else if (auto* box = dynamic_cast<ui::CheckBox*>(control)) {
        box->Click();
      } else if (auto* combo = dynamic_cast<ui::ComboBox*>(control);
                 combo != nullptr && wasOpen != combo->id()) {
        OpenDropDown(*combo);
      }
      break;
    }
    default:
      break;
  }
}

void DialogScreen::Wheel(int col, int row, int by) {
  Sync();
  if (help_ || tooSmall() || !messages_.empty()) {
    return;
  }
  ui::Dialog* dialog = Top();
  if (dialog == nullptr) {
    return;
  }
  DialogView& view = ViewOf(*dialog);
  if (view.openCombo != ui::NoControlId) {
    view.comboTop = std::max(0, view.comboTop + by * WheelRows);
    return;
  }
  Hit hit = HitDialog(*dialog, Layout(*dialog), view, col, row);
  if (auto* list = dialog->Find<ui::ListView>(hit.controlId)) {
    Scroll(*list, by * WheelRows);
  }
}

}  // namespace velmora::terminal
