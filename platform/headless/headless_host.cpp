#include "platform/headless/headless_host.h"

#include "platform/platform.h"
#include "platform/text.h"

namespace velmora::ui {

void HeadlessHost::RunModalLoop(Dialog& dialog) {
  if (scripts_.empty()) {
    problems_.push_back("dialog " + std::to_string(dialog.templateId()) + " ran without a script");
    dialog.EndDialog(EndCancel);
    return;
  }
  Script script = std::move(scripts_.front());
  scripts_.pop_front();
  script(dialog);
  if (!dialog.ended()) {
    problems_.push_back("dialog " + std::to_string(dialog.templateId()) +
                        " was left open by its script");
    dialog.EndDialog(EndCancel);
  }
}

int HeadlessHost::ShowMessage(Dialog* owner, std::u16string_view text, std::u16string_view caption,
                              uint32_t flags) {
  messages_.push_back(Message{owner != nullptr ? owner->templateId() : 0, std::u16string(text),
                              std::u16string(caption), flags});
  if (!answers_.empty()) {
    int answer = answers_.front();
    answers_.pop_front();
    return answer;
  }
  if ((flags & 0x0F) == MessageYesNo) {
    problems_.push_back("unanswered question: " + ToUtf8(text));
    return AnswerNo;
  }
  return AnswerOk;
}

void HeadlessHost::WaitCursorChanged(bool shown) {
  waitCursorShown_ = shown;
  if (shown) {
    ++waitCursorShows_;
  }
}

void HeadlessHost::BringToFront(Dialog&) {
  ++frontRequests_;
}

bool ChooseItem(Dialog& dialog, int comboId, std::u16string_view text) {
  auto* combo = dialog.Find<ComboBox>(comboId);
  if (combo == nullptr) {
    return false;
  }
  for (int i = 0; i < combo->GetCount(); ++i) {
    if (combo->items()[static_cast<size_t>(i)].text == text) {
      combo->Choose(i);
      return true;
    }
  }
  return false;
}

void ClickButton(Dialog& dialog, int id) {
  if (auto* button = dialog.Find<Button>(id)) {
    button->Click();
  } else if (auto* box = dialog.Find<CheckBox>(id)) {
    box->Click();
  }
}

int FindEntry(const ListView& list, std::u16string_view text) {
  for (int i = 0; i < list.GetItemCount(); ++i) {
    if (list.GetItemText(i, 0) == text) {
      return i;
    }
  }
  return -1;
}

std::string DescribeCombo(const Dialog& dialog, int id) {
  auto* combo = dialog.Find<ComboBox>(id);
  if (combo == nullptr) {
    return "(no combo box " + std::to_string(id) + ")";
  }
  std::string out = combo->enabled() ? "" : "(disabled)";
  for (int i = 0; i < combo->GetCount(); ++i) {
    if (!out.empty()) {
      out += ' ';
    }
    out += ToUtf8(combo->items()[static_cast<size_t>(i)].text);
    if (i == combo->GetCurSel()) {
      out += '*';
    }
  }
  return out;
}

std::string DescribeList(const Dialog& dialog, int id) {
  auto* list = dialog.Find<ListView>(id);
  if (list == nullptr) {
    return "(no list " + std::to_string(id) + ")";
  }
  std::string out;
  for (int i = 0; i < list->GetItemCount(); ++i) {
    if (list->GetItemState(i, StateSelected) != 0) {
      out += '*';
    }
    for (size_t c = 0; c < list->columns().size() || c == 0; ++c) {
      if (c > 0) {
        out += " | ";
      }
      out += ToUtf8(list->GetItemText(i, static_cast<int>(c)));
    }
    out += '\n';
  }
  return out;
}

}  // namespace velmora::ui
