#include "platform/terminal/control_keys.h"

#include <algorithm>
#include <string>

#include "platform/terminal/view_actions.h"

namespace velmora::terminal {

bool ListKey(ui::ListView& list, int rows, DialogView& view, const KeyPress& key) {
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
      ScrollSideways(view, list, key.key == Key::ScrollLeft ? -SidewaysCells : SidewaysCells);
      return true;
    case Key::Character:
      if (key.ch == u'<' || key.ch == u'>') {
        ScrollSideways(view, list, key.ch == u'<' ? -SidewaysCells : SidewaysCells);
        return true;
      }
      return false;
    default:
      return false;
  }
}

bool EditKey(ui::Edit& edit, EditCursor& cursor, const KeyPress& key) {
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

void DropDownKey(ui::ComboBox& combo, int page, DialogView& view, const KeyPress& key) {
  int count = combo.GetCount();
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
      combo.Choose(highlight);
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

int MessageKey(MessageState& message, const KeyPress& key) {
  int buttons = message.yesNo ? 2 : 1;
  switch (key.key) {
    case Key::Tab:
    case Key::BackTab:
    case Key::Left:
    case Key::Right:
      message.focusedButton = (message.focusedButton + 1) % buttons;
      return -1;
    case Key::Enter:
    case Key::Space:
      return message.focusedButton;
    case Key::Escape:
      return buttons - 1;
    case Key::Character:
      if (message.yesNo && (key.ch == u'j' || key.ch == u'J')) {
        return 0;
      }
      if (message.yesNo && (key.ch == u'n' || key.ch == u'N')) {
        return 1;
      }
      return -1;
    default:
      return -1;
  }
}

}  // namespace velmora::terminal
