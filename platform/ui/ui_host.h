// A front end of the dialog framework: what shows the running dialogs to a
// person (the terminal) or to a test (the headless host). The framework
// keeps the stack of running modal dialogs here; the front end supplies the
// modal loop, message boxes and the wait cursor.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace velmora::ui {

class Dialog;
class ListView;

class UiHost {
 public:
  virtual ~UiHost() = default;

  // Dispatches events to dialog (the topmost running one) until it ended.
  virtual void RunModalLoop(Dialog& dialog) = 0;

  // A modal message box; caption is already resolved. Returns the button:
  // 1 for OK, 6 for Yes, 7 for No.
  virtual int ShowMessage(Dialog* owner, std::u16string_view text, std::u16string_view caption,
                          uint32_t flags) = 0;

  virtual void WaitCursorChanged(bool shown) { (void)shown; }
  virtual void BringToFront(Dialog& dialog) { (void)dialog; }

  // The width in pixels inside a list's border as this front end shows it
  // (the list's client width). By default the template's width at the
  // framework's pixels per dialog unit.
  virtual int ListClientWidth(const ListView& list) const;

  // The running modal dialogs, bottom first.
  const std::vector<Dialog*>& running() const { return running_; }
  Dialog* Topmost() const { return running_.empty() ? nullptr : running_.back(); }

  // Called by Dialog::RunModal: every dialog beneath a running one is
  // disabled while it runs.
  void PushModal(Dialog& dialog);
  void PopModal(Dialog& dialog);

 private:
  std::vector<Dialog*> running_;
};

}  // namespace velmora::ui
