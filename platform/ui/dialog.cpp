#include "platform/ui/dialog.h"

#include "platform/platform.h"
#include "platform/ui/application.h"
#include "platform/ui/ui_host.h"

namespace velmora::ui {

namespace {

std::unique_ptr<Control> MakeControl(Dialog& owner, const ControlTemplate& layout) {
  switch (layout.kind) {
    case ControlKind::PushButton:
      return std::make_unique<Button>(owner, layout);
    case ControlKind::CheckBox:
      return std::make_unique<CheckBox>(owner, layout);
    case ControlKind::Edit:
      return std::make_unique<Edit>(owner, layout);
    case ControlKind::ComboBox:
      return std::make_unique<ComboBox>(owner, layout);
    case ControlKind::ListView:
      return std::make_unique<ListView>(owner, layout);
    case ControlKind::StaticText:
      break;
  }
  return std::make_unique<StaticText>(owner, layout);
}

}  // namespace

Dialog::Dialog(const DialogTemplate& layout, Dialog* parent)
    : layout_(layout), parent_(parent), caption_(layout.caption) {
  for (const ControlTemplate& control : layout_.controls) {
    controls_.push_back(MakeControl(*this, control));
  }
}

Dialog::~Dialog() = default;

int Dialog::RunModal() {
  UiHost& host = Ui();
  owner_ = parent_ != nullptr ? parent_ : host.Topmost();
  ended_ = false;
  endCode_ = 0;
  running_ = true;
  host.PushModal(*this);
  if (InitialiseDialog()) {
    MoveFocus(true);
  }
  if (!ended_) {
    host.RunModalLoop(*this);
  }
  host.PopModal(*this);
  running_ = false;
  // The window is gone: the application no longer refers to it.
  Application* application = Application::Current();
  if (application != nullptr && application->mainWindow() == this) {
    application->SetMainWindow(nullptr);
  }
  return endCode_;
}

void Dialog::EndDialog(int code) {
  ended_ = true;
  endCode_ = code;
}

const CommandTable& Dialog::Commands() const {
  static const CommandTable none;
  return none;
}

bool Dialog::InitialiseDialog() {
  BindControls();
  if (HasUi()) {
    Ui().BringToFront(*this);
  }
  shellFlags_ = ShellDoneButton | ShellFullScreen | ShellInputPanelDown;
  return true;
}

void Dialog::OnOkCommand() {
  BindControls();
  EndDialog(EndOk);
}

void Dialog::OnDismiss() {
  EndDialog(EndCancel);
}

Control* Dialog::FindControl(int id) const {
  if (id == NoControlId) {
    return nullptr;
  }
  for (const auto& control : controls_) {
    if (control->id() == id) {
      return control.get();
    }
  }
  return nullptr;
}

void Dialog::SetFocus(int id) {
  if (FindControl(id) != nullptr) {
    focusId_ = id;
  }
}

void Dialog::MoveFocus(bool forward) {
  int count = static_cast<int>(controls_.size());
  int current = -1;
  for (int i = 0; i < count; ++i) {
    if (controls_[static_cast<size_t>(i)]->id() == focusId_ && focusId_ != NoControlId) {
      current = i;
    }
  }
  auto eligible = [](const Control& control) {
    return control.takesFocus() && control.visible() && control.enabled();
  };
  for (int step = 1; step <= count; ++step) {
    int i = current < 0 ? (forward ? step - 1 : count - step)
                        : (current + (forward ? step : count - step)) % count;
    const Control& control = *controls_[static_cast<size_t>(i)];
    if (eligible(control)) {
      focusId_ = control.id();
      return;
    }
  }
  if (current >= 0 && !eligible(*controls_[static_cast<size_t>(current)])) {
    focusId_ = NoControlId;
  }
}

void Dialog::ControlUnavailable(const Control& control) {
  if (control.id() != NoControlId && control.id() == focusId_) {
    MoveFocus(true);
  }
}

void Dialog::Notify(Notification code, int controlId, const NotifyInfo& info) {
  if (!running_) {
    return;
  }
  for (const CommandEntry& entry : Commands()) {
    if (entry.code == code && entry.controlId == controlId) {
      entry.handler(*this, info);
      return;
    }
  }
  if (code == Notification::Clicked && controlId == IdOk) {
    OnOkCommand();
  } else if (code == Notification::Clicked && controlId == IdCancel) {
    OnDismiss();
  }
}

void Dialog::EnterKey() {
  for (const auto& control : controls_) {
    auto* button = dynamic_cast<Button*>(control.get());
    if (button != nullptr && button->isDefault() && button->enabled()) {
      Notify(Notification::Clicked, button->id());
      return;
    }
  }
  OkCommand();
}

std::u16string Dialog::ControlText(int id) const {
  Control* control = FindControl(id);
  return control != nullptr ? control->text() : std::u16string();
}

void Dialog::SetControlText(int id, std::u16string_view text) {
  if (Control* control = FindControl(id)) {
    control->SetText(text);
  }
}

void Dialog::EnableControl(int id, bool enabled) {
  if (Control* control = FindControl(id)) {
    control->Enable(enabled);
  }
}

}  // namespace velmora::ui
