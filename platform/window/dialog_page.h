// One running dialog on the window's screen: a page below the caption bar
// that fills the rest of the screen, with a real widget at each control's
// template rectangle. The framework's controls hold the state; Refresh
// shows it, and a person's clicks, choices and typing go back to the
// controls as the framework's actions (Click, Choose, Type, Tap), so the
// notifications are the framework's own:
// - button: a click (or Space) clicks it;
// - check box: a click toggles it, then raises the click;
// - drop-down list: a person's choice raises the selection change,
//   nothing else does;
// - edit: typing replaces its text through the framework, which raises the
//   text change (and a text set from code raises it too);
// - static text: wraps at words, shown as plain text;
// - list: see report_list.h.
#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include "platform/ui/dialog.h"

namespace velmora::window {

class DialogPage final : public QWidget {
 public:
  // act runs a person's action on the framework, then brings the screen up
  // to date.
  using Act = std::function<void(std::function<void()>)>;

  DialogPage(ui::Dialog& dialog, Act act, QWidget* parent);

  ui::Dialog& dialog() const { return dialog_; }

  // Shows the dialog's state: texts, items, checks, selections, enabled
  // and visible states, and the focus when the framework moved it.
  void Refresh();

  // The widget of a control (nullptr for an unknown id).
  QWidget* WidgetOf(int controlId) const;
  // The control shown by widget (or by a widget inside it), or nullptr.
  ui::Control* ControlOf(const QWidget* widget) const;

  // Qt gave a control's widget the focus (a click): the framework follows.
  void FocusTaken(const QWidget* widget);

 private:
  struct Shown {
    ui::Control* control;
    QWidget* widget;
  };
  QWidget* MakeWidget(ui::Control& control);
  void RefreshControl(const Shown& shown);

  ui::Dialog& dialog_;
  Act act_;
  std::vector<Shown> shown_;
  int shownFocus_ = ui::NoControlId;
};

}  // namespace velmora::window
