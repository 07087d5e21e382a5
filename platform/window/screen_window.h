// The window: the handheld's portrait screen at an integer scale. On top
// the caption bar with the running dialog's caption and the Done button
// "OK" at its right (the OK command); below it the topmost running
// dialog's page, filling the rest of the screen. Dialogs beneath the
// topmost are kept, hidden, until it ends.
//
// Keys (besides each widget's own): Tab and Shift+Tab move the focus
// through the dialog's tab stops; Escape is the cancel command; F10 is the
// Done button; Enter presses a focused button or check box, opens a
// focused drop-down list, and otherwise gives the dialog's Enter command
// (the default button, else the OK command). Closing the window is the
// cancel command. While a message box is open, it takes every key and
// click.
#pragma once

#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

#include "platform/ui/dialog.h"
#include "platform/window/dialog_page.h"
#include "platform/window/message_box.h"

namespace velmora::window {

class ScreenWindow final : public QWidget {
 public:
  ScreenWindow();
  ~ScreenWindow() override;

  // Shows dialog on top of the screen and runs the events until it ended.
  void RunDialog(ui::Dialog& dialog);
  // Shows a message box over the screen until it is answered.
  int AskMessage(std::u16string_view text, std::u16string_view caption, uint32_t flags);

  void SetWaiting(bool waiting);
  // Raises and activates the window (restored when minimised).
  void ComeToFront();

  // Runs a person's action on the framework, then shows the result and
  // ends the modal loop of a dialog that ended.
  void Act(const std::function<void()>& action);

  // Called from a dialog's modal loop once its page shows, and from a
  // message box's once it shows.
  std::function<void(ui::Dialog&)> dialogShown;
  std::function<void()> messageShown;

  DialogPage* topPage() const { return running_.empty() ? nullptr : running_.back().page; }
  MessageBox* message() const { return message_; }
  QPushButton* doneButton() const { return done_; }
  QLabel* captionLabel() const { return caption_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Running {
    DialogPage* page;
    QEventLoop* loop;
  };
  void ShowCaption();
  bool DialogKey(QWidget* receiver, int key, Qt::KeyboardModifiers modifiers);

  QLabel* caption_;
  QPushButton* done_;
  QTimer frontRequests_;
  std::vector<Running> running_;
  MessageBox* message_ = nullptr;
  bool waiting_ = false;
};

}  // namespace velmora::window
