// The headless front end that tests drive. Each dialog that starts running
// takes the next script from a queue and runs it as the "person": the
// script chooses, clicks, taps and types through the controls and ends the
// dialog (Escape, Done, a button). Message boxes are answered from a queue
// and recorded with their owner, text, caption and flags.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/dialog.h"
#include "platform/ui/ui_host.h"

namespace velmora::ui {

class HeadlessHost final : public UiHost {
 public:
  using Script = std::function<void(Dialog&)>;

  // The script for the next dialog that starts running (nested dialogs take
  // theirs in the order they start).
  void ExpectDialog(Script script) { scripts_.push_back(std::move(script)); }

  // The answer to the next message box. Without one, an OK box is answered
  // with OK and a question is answered No and noted in problems().
  void AnswerNext(int answer) { answers_.push_back(answer); }

  struct Message {
    int ownerTemplate = 0;  // template id of the owner, 0 when none
    std::u16string text;
    std::u16string caption;
    uint32_t flags = 0;
  };
  const std::vector<Message>& messages() const { return messages_; }

  // Wait cursor: how often it was shown, and whether it is shown now.
  int waitCursorShows() const { return waitCursorShows_; }
  bool waitCursorShown() const { return waitCursorShown_; }
  int frontRequests() const { return frontRequests_; }

  // Anything a script left undone: a dialog without a script, a dialog its
  // script left open, an unexpected question. Tests expect it empty.
  const std::vector<std::string>& problems() const { return problems_; }
  size_t pendingScripts() const { return scripts_.size(); }

  void RunModalLoop(Dialog& dialog) override;
  int ShowMessage(Dialog* owner, std::u16string_view text, std::u16string_view caption,
                  uint32_t flags) override;
  void WaitCursorChanged(bool shown) override;
  void BringToFront(Dialog& dialog) override;

 private:
  std::deque<Script> scripts_;
  std::deque<int> answers_;
  std::vector<Message> messages_;
  std::vector<std::string> problems_;
  int waitCursorShows_ = 0;
  bool waitCursorShown_ = false;
  int frontRequests_ = 0;
};

// Helpers for scripts: a person's actions by visible text.
// Chooses the combo item with that text; false when there is none.
bool ChooseItem(Dialog& dialog, int comboId, std::u16string_view text);
void ClickButton(Dialog& dialog, int id);
// The index of the list entry whose column 0 reads text, or -1.
int FindEntry(const ListView& list, std::u16string_view text);

// Short pictures of control state for assertions, in UTF-8:
// combo: "keinem* COM0 COM1" (the selection starred; "(disabled)" first
// when disabled); list: one line per entry, columns joined by " | ", with a
// "*" before selected entries.
std::string DescribeCombo(const Dialog& dialog, int id);
std::string DescribeList(const Dialog& dialog, int id);

}  // namespace velmora::ui
