#include "platform/terminal/terminal_host.h"

#include <final/final.h>

#include <optional>

#include "platform/platform.h"
#include "platform/terminal/screen_layout.h"
#include "platform/ui/dialog.h"
#include "platform/ui/single_instance.h"

namespace velmora::terminal {

namespace {

using finalcut::FColor;
using finalcut::FKey;

struct Colors {
  FColor foreground;
  FColor background;
};

Colors ColorsOf(Style style) {
  switch (style) {
    case Style::Normal:
      return {FColor::Black, FColor::LightGray};
    case Style::Caption:
      return {FColor::White, FColor::Blue};
    case Style::CaptionButton:
      return {FColor::Yellow, FColor::Blue};
    case Style::Button:
      return {FColor::Black, FColor::Cyan};
    case Style::Focused:
      return {FColor::White, FColor::Red};
    case Style::Disabled:
      return {FColor::DarkGray, FColor::LightGray};
    case Style::Field:
      return {FColor::Black, FColor::White};
    case Style::Header:
      return {FColor::White, FColor::DarkGray};
    case Style::Selected:
      return {FColor::White, FColor::DarkGray};
    case Style::SelectedFocused:
      return {FColor::White, FColor::Blue};
    case Style::Message:
      return {FColor::Black, FColor::LightCyan};
    case Style::MessageButton:
      return {FColor::Black, FColor::Cyan};
  }
  return {FColor::Black, FColor::LightGray};
}

int argumentCount = 1;
char programName[] = "velmora";
char* arguments[] = {programName, nullptr};

}  // namespace

class TerminalHost::Screen final : public finalcut::FWindow {
 public:
  Screen(TerminalHost& host, finalcut::FApplication& app)
      : finalcut::FWindow(&app), host_(host), app_(app) {
    setFocusable(true);
    Fit();
    addTimer(250);
  }

  void Show() {
    finalcut::FWidget::setMainWidget(this);
    show();
    setFocus();
    Repaint();
  }

  // Runs the event loop until done() holds.
  template <class Done>
  void LoopUntil(Done done) {
    Repaint();
    while (!done()) {
      app_.enterLoop();
    }
    Repaint();
  }

  int AskMessage(MessageState message) {
    std::optional<MessageState> previous = message_;
    message_ = std::move(message);
    answer_ = 0;
    LoopUntil([&] { return answer_ != 0; });
    int answer = answer_;
    message_ = previous;
    answer_ = 0;
    Repaint();
    return answer;
  }

  void SetWaiting(bool waiting) {
    view_.waiting = waiting;
    Repaint();
  }

  void Repaint() {
    redraw();
    flush();
  }

 protected:
  void draw() override {
    int width = static_cast<int>(getDesktopWidth());
    int height = static_cast<int>(getDesktopHeight());
    Canvas canvas(width, height);
    if (ui::Dialog* dialog = host_.Topmost()) {
      RenderDialog(*dialog, view_, canvas);
    }
    if (message_) {
      RenderMessage(*message_, canvas);
    }
    for (int row = 0; row < height; ++row) {
      setPrintPos(finalcut::FPoint{1, row + 1});
      for (int col = 0; col < width; ++col) {
        const Cell& cell = canvas.At(col, row);
        Colors colors = ColorsOf(cell.style);
        setColor(colors.foreground, colors.background);
        print(static_cast<wchar_t>(cell.ch));
      }
    }
  }

  void onKeyPress(finalcut::FKeyEvent* event) override {
    event->accept();
    if (message_) {
      MessageKey(event->key());
    } else if (ui::Dialog* dialog = host_.Topmost()) {
      DialogKey(*dialog, event->key());
    }
    AfterEvent();
  }

  void onMouseDown(finalcut::FMouseEvent* event) override {
    if (event->getButton() == finalcut::MouseButton::Left) {
      Click(event->getX() - 1, event->getY() - 1, false);
      AfterEvent();
    }
  }

  void onMouseDoubleClick(finalcut::FMouseEvent* event) override {
    if (event->getButton() == finalcut::MouseButton::Left) {
      Click(event->getX() - 1, event->getY() - 1, true);
      AfterEvent();
    }
  }

  void onTimer(finalcut::FTimerEvent*) override {
    if (ui::TakeBringToFrontRequest()) {
      finalcut::FVTerm::getFOutput()->beep();
      Repaint();
    }
  }

  // The terminal changed its size: the screen follows it.
  void adjustSize() override {
    finalcut::FWindow::adjustSize();
    Fit();
  }

 private:
  void Fit() {
    setGeometry(finalcut::FPoint{1, 1}, finalcut::FSize{getDesktopWidth(), getDesktopHeight()});
  }

  // After every event: leave the innermost loop when what it waits for came.
  void AfterEvent() {
    ui::Dialog* top = host_.Topmost();
    if ((message_ && answer_ != 0) || (!message_ && top != nullptr && top->ended())) {
      app_.exitLoop();
    }
    Repaint();
  }

  void Answer(int button) {
    answer_ = !message_->yesNo ? AnswerOk : (button == 0 ? AnswerYes : AnswerNo);
  }

  void MessageKey(FKey key) {
    int buttons = message_->yesNo ? 2 : 1;
    if (key == FKey::Tab || key == FKey::Right || key == FKey::Left || key == FKey::Back_tab) {
      message_->focusedButton = (message_->focusedButton + 1) % buttons;
    } else if (key == FKey::Return || key == FKey::Enter || key == FKey::Space) {
      Answer(message_->focusedButton);
    } else if (key == FKey::Escape || key == FKey::Escape_mintty) {
      Answer(buttons - 1);
    } else if (message_->yesNo && (key == FKey('j') || key == FKey('J'))) {
      Answer(0);
    } else if (message_->yesNo && (key == FKey('n') || key == FKey('N'))) {
      Answer(1);
    }
  }

  void ScrollList(ui::ListView& list, int by) {
    int& offset = view_.listScroll[list.id()];
    int total = 0;
    for (const auto& column : list.columns()) {
      total += column.width / PixelsPerCell;
    }
    int most = std::max(0, total - ControlCells(list).width);
    offset = std::clamp(offset + by, 0, most);
  }

  void MoveSelection(ui::ListView& list, int by) {
    int count = list.GetItemCount();
    if (count == 0) {
      return;
    }
    // From the focused entry; the keys select that one entry only, as in
    // a list that allows several.
    int current = list.FocusedItem();
    if (current < 0) {
      current = list.FirstSelected();
    }
    int next = current < 0 ? 0 : std::clamp(current + by, 0, count - 1);
    for (int i = 0; i < count; ++i) {
      if (i != next && list.GetItemState(i, ui::StateSelected) != 0) {
        list.SetItemState(i, 0, ui::StateSelected);
      }
    }
    list.SetItemState(next, ui::StateSelected | ui::StateFocused,
                      ui::StateSelected | ui::StateFocused);
    list.EnsureVisible(next);
  }

  void OpenDropDown(ui::ComboBox& combo) {
    if (combo.enabled() && combo.GetCount() > 0) {
      view_.openCombo = combo.id();
      view_.comboHighlight = std::max(0, combo.GetCurSel());
    }
  }

  void DropDownKey(ui::Dialog& dialog, FKey key) {
    auto* combo = dialog.Find<ui::ComboBox>(view_.openCombo);
    if (combo == nullptr) {
      view_.openCombo = ui::NoControlId;
      return;
    }
    if (key == FKey::Up) {
      view_.comboHighlight = std::max(0, view_.comboHighlight - 1);
    } else if (key == FKey::Down) {
      view_.comboHighlight = std::min(combo->GetCount() - 1, view_.comboHighlight + 1);
    } else if (key == FKey::Return || key == FKey::Enter || key == FKey::Space) {
      view_.openCombo = ui::NoControlId;
      combo->Choose(view_.comboHighlight);
    } else if (key == FKey::Escape || key == FKey::Escape_mintty || key == FKey::Tab) {
      view_.openCombo = ui::NoControlId;
    }
  }

  void DialogKey(ui::Dialog& dialog, FKey key) {
    if (view_.openCombo != ui::NoControlId) {
      DropDownKey(dialog, key);
      return;
    }
    ui::Control* focus = dialog.FindControl(dialog.focusId());
    auto* button = dynamic_cast<ui::Button*>(focus);
    auto* box = dynamic_cast<ui::CheckBox*>(focus);
    auto* combo = dynamic_cast<ui::ComboBox*>(focus);
    auto* list = dynamic_cast<ui::ListView*>(focus);
    auto* edit = dynamic_cast<ui::Edit*>(focus);
    switch (key) {
      case FKey::Tab:
        dialog.MoveFocus(true);
        return;
      case FKey::Back_tab:
        dialog.MoveFocus(false);
        return;
      case FKey::Escape:
      case FKey::Escape_mintty:
        dialog.CancelCommand();
        return;
      case FKey::F10:
        dialog.OkCommand();
        return;
      case FKey::Return:
      case FKey::Enter:
      case FKey::Space:
        if (button != nullptr) {
          button->Click();
        } else if (box != nullptr) {
          box->Click();
        } else if (combo != nullptr) {
          OpenDropDown(*combo);
        } else if (edit != nullptr && key == FKey::Space) {
          edit->Type(edit->text() + u" ");
        } else {
          dialog.EnterKey();
        }
        return;
      case FKey::Up:
      case FKey::Down: {
        int by = key == FKey::Up ? -1 : 1;
        if (combo != nullptr) {
          int next = combo->GetCurSel() + by;
          if (next >= 0 && next < combo->GetCount()) {
            combo->Choose(next);
          }
        } else if (list != nullptr) {
          MoveSelection(*list, by);
        }
        return;
      }
      case FKey::Page_up:
      case FKey::Page_down:
        if (list != nullptr) {
          MoveSelection(*list, (key == FKey::Page_up ? -1 : 1) * VisibleListRows(*list));
        }
        return;
      case FKey::Left:
      case FKey::Right:
        if (list != nullptr) {
          list->PressKey(key == FKey::Left ? ui::KeyLeft : ui::KeyRight);
        }
        return;
      case FKey::Shift_left:
      case FKey::Shift_right:
        if (list != nullptr) {
          ScrollList(*list, key == FKey::Shift_left ? -8 : 8);
        }
        return;
      case FKey::Backspace:
        if (edit != nullptr && !edit->text().empty()) {
          edit->Type(edit->text().substr(0, edit->text().size() - 1));
        }
        return;
      default:
        break;
    }
    auto code = static_cast<uint32_t>(key);
    if (list != nullptr && (code == '<' || code == '>')) {
      ScrollList(*list, code == '<' ? -8 : 8);
    } else if (edit != nullptr && code >= 0x20 && code < 0xFFFF) {
      edit->Type(edit->text() + static_cast<char16_t>(code));
    }
  }

  void Click(int col, int row, bool doubleClick) {
    int width = static_cast<int>(getDesktopWidth());
    int height = static_cast<int>(getDesktopHeight());
    if (message_) {
      Hit hit = HitMessage(*message_, width, height, col, row);
      if (hit.kind == Hit::Kind::MessageButton) {
        Answer(hit.index);
      }
      return;
    }
    ui::Dialog* dialog = host_.Topmost();
    if (dialog == nullptr) {
      return;
    }
    Hit hit = HitDialog(*dialog, view_, width, col, row);
    if (hit.kind != Hit::Kind::ComboItem) {
      view_.openCombo = ui::NoControlId;
    }
    switch (hit.kind) {
      case Hit::Kind::Done:
        dialog->OkCommand();
        break;
      case Hit::Kind::ComboItem:
        view_.openCombo = ui::NoControlId;
        dialog->Find<ui::ComboBox>(hit.controlId)->Choose(hit.index);
        break;
      case Hit::Kind::ListRow: {
        auto* list = dialog->Find<ui::ListView>(hit.controlId);
        dialog->SetFocus(hit.controlId);
        if (doubleClick) {
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
        if (control->tabStop()) {
          dialog->SetFocus(hit.controlId);
        }
        if (auto* button = dynamic_cast<ui::Button*>(control)) {
          button->Click();
        } else if (auto* box = dynamic_cast<ui::CheckBox*>(control)) {
          box->Click();
        } else if (auto* combo = dynamic_cast<ui::ComboBox*>(control)) {
          OpenDropDown(*combo);
        }
        break;
      }
      default:
        break;
    }
  }

  TerminalHost& host_;
  finalcut::FApplication& app_;
  ViewState view_;
  std::optional<MessageState> message_;
  int answer_ = 0;
};

TerminalHost::TerminalHost() = default;

// The screen goes before the toolkit, and both before the process exits:
// the toolkit's own state must outlive them.
TerminalHost::~TerminalHost() {
  screen_.reset();
  toolkit_.reset();
}

TerminalHost::Screen& TerminalHost::Start() {
  if (!screen_) {
    toolkit_ = std::make_unique<finalcut::FApplication>(argumentCount, arguments);
    screen_ = std::make_unique<Screen>(*this, *toolkit_);
    screen_->Show();
  }
  return *screen_;
}

void TerminalHost::RunModalLoop(ui::Dialog& dialog) {
  Start().LoopUntil([&] { return dialog.ended(); });
}

int TerminalHost::ShowMessage(ui::Dialog*, std::u16string_view text, std::u16string_view caption,
                              uint32_t flags) {
  MessageState message;
  message.caption = caption;
  message.text = text;
  message.yesNo = (flags & 0x0F) == MessageYesNo;
  return Start().AskMessage(std::move(message));
}

void TerminalHost::WaitCursorChanged(bool shown) {
  if (screen_) {
    screen_->SetWaiting(shown);
  }
}

void TerminalHost::BringToFront(ui::Dialog&) {
  if (screen_) {
    screen_->Repaint();
  }
}

}  // namespace velmora::terminal
