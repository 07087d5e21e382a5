// The window front end: shows the running dialogs in a desktop window that
// looks like the handheld's screen (Qt 6 Widgets; see screen_window.h for
// the screen and its keys, dialog_page.h for the controls). Message boxes
// show on that screen; the wait cursor is the desktop's busy cursor; a
// second start's request to come to the front raises and activates the
// window.
//
// The Qt application is made by Open, or when the first dialog or message
// box shows if the process has none yet; the window is made then too. The
// application then
// draws everything at the scale (Qt's scale factor, times one the
// environment may already ask for); an application that was there before
// keeps its own. When Qt cannot reach the display, the process ends with a
// clear message and exit code 1.
#pragma once

#include <functional>
#include <memory>

#include "platform/front_end/front_end_choice.h"
#include "platform/ui/ui_host.h"

class QApplication;
class QWidget;

namespace velmora::window {

class ScreenWindow;

class WindowHost final : public ui::UiHost {
 public:
  explicit WindowHost(int scale = DefaultWindowScale);
  ~WindowHost() override;

  void RunModalLoop(ui::Dialog& dialog) override;
  int ShowMessage(ui::Dialog* owner, std::u16string_view text, std::u16string_view caption,
                  uint32_t flags) override;
  void WaitCursorChanged(bool shown) override;
  void BringToFront(ui::Dialog& dialog) override;
  // The list's width in the window's pixels (unscaled), inside its border.
  int ListClientWidth(const ui::ListView& list) const override;

  // Makes the Qt application now, when the process has none, so that a
  // display that cannot be reached ends the process before anything else
  // happened.
  void Open();

  // For tests and pictures: called from inside a dialog's modal loop once
  // its page shows, and from inside a message box's once it shows.
  void OnDialogShown(std::function<void(ui::Dialog&)> shown);
  void OnMessageShown(std::function<void()> shown);

  // The window (nullptr before anything showed).
  ScreenWindow* screen() const { return screen_.get(); }

 private:
  ScreenWindow& Start();

  int scale_;
  std::unique_ptr<QApplication> application_;
  std::unique_ptr<ScreenWindow> screen_;
  std::function<void(ui::Dialog&)> dialogShown_;
  std::function<void()> messageShown_;
};

}  // namespace velmora::window
