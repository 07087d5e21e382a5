#include "platform/terminal/control_keys.h"

#include <gtest/gtest.h>

#include "platform/dialog_templates.h"
#include "platform/terminal/test_dialogs.h"
#include "platform/text.h"

namespace velmora::terminal {
namespace {

class PlainDialog final : public ui::Dialog {
 public:
  explicit PlainDialog(int id) : ui::Dialog(DialogTemplateById(id)) {}
};

// The ends of a text field: keys that would reach past the text, a cursor
// left beyond a text the program shortened, and characters that are no
// text are taken without harm or left to the dialog.
TEST(ControlKeys, TextFieldKeysStopAtTheEndsOfTheText) {
  struct Case {
    const char* text;
    int cursor;
    KeyPress key;
    bool taken;
    const char* after;
    int cursorAfter;
  };
  const Case cases[] = {
      {"ab", 0, {Key::Backspace}, true, "ab", 0},
      {"ab", 2, {Key::Delete}, true, "ab", 2},
      {"ab", 0, {Key::Left}, true, "ab", 0},
      {"ab", 2, {Key::Right}, true, "ab", 2},
      {"ab", 9, {Key::Character, u'c'}, true, "abc", 3},
      {"ab", 9, {Key::Backspace}, true, "a", 1},
      {"ab", -3, {Key::Character, u'c'}, true, "cab", 1},
      {"ab", 1, {Key::Character, u'\t'}, false, "ab", 1},
      {"ab", 1, {Key::Character, u'\x7F'}, false, "ab", 1},
      {"ab", 1, {Key::Character, u'ü'}, true, "aüb", 2},
      {"", 0, {Key::Delete}, true, "", 0},
      {"ab", 1, {Key::PageDown}, false, "ab", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " at " + std::to_string(c.cursor));
    PlainDialog dialog(FileChooserTemplate);
    auto* edit = dialog.Find<ui::Edit>(1112);
    ASSERT_NE(edit, nullptr);
    edit->SetText(FromUtf8(c.text));
    EditCursor cursor{c.cursor, FromUtf8(c.text)};
    EXPECT_EQ(EditKey(*edit, cursor, c.key), c.taken);
    EXPECT_EQ(ToUtf8(edit->text()), c.after);
    EXPECT_EQ(cursor.cursor, c.cursorAfter);
  }
}

// The list keys stay inside the list: at its ends, from no current entry,
// and in an empty list.
TEST(ControlKeys, ListKeysStayInsideTheList) {
  struct Case {
    int count;
    int current;  // -1: none
    Key key;
    int after;  // the only selected and focused entry, -1: none
  };
  const Case cases[] = {
      {10, 0, Key::Up, 0},        {10, 9, Key::Down, 9},     {10, -1, Key::Down, 0},
      {10, -1, Key::Up, 0},       {10, 8, Key::PageDown, 9}, {10, 2, Key::PageUp, 0},
      {10, -1, Key::PageDown, 4}, {10, 3, Key::End, 9},      {10, 3, Key::Home, 0},
      {0, -1, Key::Down, -1},     {0, -1, Key::End, -1},     {0, -1, Key::Space, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.count) + " entries, current " + std::to_string(c.current) +
                 ", key " + std::to_string(static_cast<int>(c.key)));
    PlainDialog dialog(FileChooserTemplate);
    auto* list = dialog.Find<ui::ListView>(1020);
    list->InsertColumn(0, u"Name", 180);
    for (int i = 0; i < c.count; ++i) {
      list->InsertItem(i, u"Ordner");
    }
    if (c.current >= 0) {
      // Another entry is selected too; the keys leave one selected only.
      list->SetItemState((c.current + 5) % c.count, ui::StateSelected, ui::StateSelected);
      list->SetItemState(c.current, ui::StateSelected | ui::StateFocused,
                         ui::StateSelected | ui::StateFocused);
    }
    DialogView view;
    EXPECT_TRUE(ListKey(*list, 4, view, KeyPress{c.key}));
    std::vector<int> selected;
    for (int i = 0; i < list->GetItemCount(); ++i) {
      if (list->GetItemState(i, ui::StateSelected) != 0) {
        selected.push_back(i);
      }
    }
    EXPECT_EQ(selected, c.after < 0 ? std::vector<int>{} : std::vector<int>{c.after});
    EXPECT_EQ(list->FocusedItem(), c.after);
  }
}

// An open drop-down list's highlight stays on its items, and only Enter
// and Space choose.
TEST(ControlKeys, DropDownKeysKeepTheHighlightOnTheItems) {
  struct Case {
    int highlight;
    Key key;
    int after;
    bool open;
    int chosen;
  };
  const Case cases[] = {
      {0, Key::Up, 0, true, 0},        {10, Key::Down, 10, true, 0},
      {8, Key::PageDown, 10, true, 0}, {2, Key::PageUp, 0, true, 0},
      {4, Key::Enter, 4, false, 4},    {4, Key::Tab, 4, false, 0},
      {4, Key::Character, 4, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.highlight) + ", key " + std::to_string(static_cast<int>(c.key)));
    PlainDialog dialog(MainDialogTemplate);
    FillPorts(dialog);
    auto* combo = dialog.Find<ui::ComboBox>(1003);
    DialogView view;
    view.openCombo = combo->id();
    view.comboHighlight = c.highlight;
    DropDownKey(*combo, 5, view, KeyPress{c.key});
    EXPECT_EQ(view.comboHighlight, c.after);
    EXPECT_EQ(view.openCombo != ui::NoControlId, c.open);
    EXPECT_EQ(combo->GetCurSel(), c.chosen);
  }
}

}  // namespace
}  // namespace velmora::terminal
