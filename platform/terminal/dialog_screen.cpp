#include "platform/terminal/dialog_screen.h"

#include <algorithm>
#include <utility>

#include "platform/platform.h"
#include "platform/terminal/control_keys.h"
#include "platform/terminal/dialog_mouse.h"
#include "platform/terminal/view_actions.h"

namespace velmora::terminal {

namespace {

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
    KeyToMessage(key);
    return true;
  }
  ui::Dialog* top = Top();
  if (top == nullptr) {
    return true;
  }
  DialogView& view = ViewOf(*top);
  if (view.openCombo != ui::NoControlId) {
    int page = std::max(1, PlaceDropDown(*top, Layout(*top), view).items.height - 1);
    DropDownKey(*top->Find<ui::ComboBox>(view.openCombo), page, view, key);
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
    KeyToMessage(key);
    return;
  }
  if (ui::Dialog* top = Top()) {
    ViewOf(*top).openCombo = ui::NoControlId;  // not shown, so not left open either
    DialogKey(*top, key);
  }
}

void DialogScreen::KeyToMessage(const KeyPress& key) {
  OpenMessageBox& open = messages_.back();
  if (open.answer != 0) {
    return;
  }
  int button = MessageKey(open.state, key);
  if (button >= 0) {
    AnswerWith(button);
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
      OpenDropDown(ViewOf(dialog), *combo);
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
      list != nullptr &&
      ListKey(*list, VisibleListRows(Layout(dialog).Of(*list)), ViewOf(dialog), key)) {
    return;
  }
  if (auto* edit = dynamic_cast<ui::Edit*>(focus);
      edit != nullptr && EditKey(*edit, ViewOf(dialog).edits[edit->id()], key)) {
    return;
  }
  if (key.key == Key::Enter) {
    dialog.EnterKey();
  } else if (key.key == Key::Character && key.ch == u'?') {
    help_ = true;
  }
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
  bool acts = !twice || hit.kind == Hit::Kind::ListRow || again;
  if (ClickDialog(*dialog, layout, view, hit, twice, acts)) {
    help_ = true;
  }
}

void DialogScreen::Wheel(int col, int row, int by) {
  Sync();
  if (help_ || tooSmall() || !messages_.empty()) {
    return;
  }
  if (ui::Dialog* dialog = Top()) {
    WheelDialog(*dialog, Layout(*dialog), ViewOf(*dialog), col, row, by);
  }
}

}  // namespace velmora::terminal