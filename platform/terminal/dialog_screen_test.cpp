#include "platform/terminal/dialog_screen.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "platform/dialog_templates.h"
#include "platform/headless/headless_host.h"
#include "platform/platform.h"
#include "platform/terminal/test_dialogs.h"
#include "platform/text.h"

namespace velmora::terminal {
namespace {

using N = ui::Notification;

// A dialog on one of the program's templates that records what its
// controls report, as "tap 3", "double 3", "key 37", "text GPS", "chosen 2".
class Recorder final : public ui::Dialog {
 public:
  explicit Recorder(int id) : ui::Dialog(DialogTemplateById(id)) {}
  std::vector<std::string> seen;

 protected:
  const ui::CommandTable& Commands() const override {
    static const ui::CommandTable table = ui::MakeCommandTable<Recorder>({
        {N::Tap, 1000, &Recorder::OnTap},
        {N::DoubleTap, 1000, &Recorder::OnDoubleTap},
        {N::KeyDown, 1000, &Recorder::OnKey},
        {N::Tap, 1020, &Recorder::OnTap},
        {N::DoubleTap, 1020, &Recorder::OnDoubleTap},
        {N::TextChanged, 1112, &Recorder::OnText},
        {N::SelectionChanged, 1003, &Recorder::OnChosen},
        {N::Clicked, 1006, &Recorder::OnClicked1006},
        {N::Clicked, 1009, &Recorder::OnClicked1009},
    });
    return table;
  }

 private:
  void OnTap(const ui::NotifyInfo& info) { seen.push_back("tap " + std::to_string(info.item)); }
  void OnDoubleTap(const ui::NotifyInfo& info) {
    seen.push_back("double " + std::to_string(info.item));
  }
  void OnClicked1006() { seen.push_back("clicked 1006"); }
  void OnClicked1009() { seen.push_back("clicked 1009"); }
  void OnKey(const ui::NotifyInfo& info) { seen.push_back("key " + std::to_string(info.key)); }
  void OnText() { seen.push_back("text " + ToUtf8(ControlText(1112))); }
  void OnChosen() {
    seen.push_back("chosen " + std::to_string(Find<ui::ComboBox>(1003)->GetCurSel()));
  }
};

void FillFolders(ui::Dialog& dialog, int count) {
  auto* list = dialog.Find<ui::ListView>(1020);
  list->InsertColumn(0, u"Name", 180);
  list->InsertColumn(1, u"", 60);
  for (int i = 0; i < count; ++i) {
    list->InsertItem(i, u"Ordner " + FromUtf8(std::to_string(i)));
  }
}

std::vector<int> Selected(const ui::ListView& list) {
  std::vector<int> selected;
  for (int i = 0; i < list.GetItemCount(); ++i) {
    if (list.GetItemState(i, ui::StateSelected) != 0) {
      selected.push_back(i);
    }
  }
  return selected;
}

KeyPress K(Key key) {
  return KeyPress{key};
}
KeyPress Char(char16_t ch) {
  return KeyPress{Key::Character, ch};
}

class DialogScreenTest : public ::testing::Test {
 protected:
  DialogScreenTest() {
    PlatformServices services;
    services.ui = &host_;
    platform_ = std::make_unique<ScopedPlatform>(services);
  }

  // Runs the dialog; body is the person at a terminal of width x height.
  void Run(Recorder& dialog, const std::function<void(DialogScreen&, ui::Dialog&)>& body,
           int width = 80, int height = 24) {
    host_.ExpectDialog([&](ui::Dialog& d) {
      DialogScreen screen(host_);
      screen.Resize(width, height);
      body(screen, d);
      if (!d.ended()) {
        d.CancelCommand();
      }
    });
    dialog.RunModal();
    EXPECT_TRUE(host_.problems().empty());
  }

  static std::string Picture(DialogScreen& screen) {
    Canvas canvas(screen.width(), screen.height());
    screen.Draw(canvas);
    return canvas.Text();
  }

  // The cell of the first place the picture shows text (from column
  // fromCol on).
  static std::pair<int, int> Find(DialogScreen& screen, const std::string& text, int fromCol = 0) {
    Canvas canvas(screen.width(), screen.height());
    screen.Draw(canvas);
    for (int row = 0; row < canvas.height(); ++row) {
      size_t at = FromUtf8(canvas.RowText(row)).find(FromUtf8(text), static_cast<size_t>(fromCol));
      if (at != std::u16string::npos) {
        return {static_cast<int>(at), row};
      }
    }
    ADD_FAILURE() << "not on the screen: " << text;
    return {0, 0};
  }

  ui::HeadlessHost host_;
  std::unique_ptr<ScopedPlatform> platform_;
};

TEST_F(DialogScreenTest, ListKeysTapAndDoubleTapTheCurrentRowAndSpaceDoesNotEndTheDialog) {
  Recorder dialog(MainDialogTemplate);
  Run(dialog, [&](DialogScreen& screen, ui::Dialog& d) {
    FillPorts(d);
    auto* list = d.Find<ui::ListView>(1000);
    ASSERT_EQ(d.focusId(), 1000);
    screen.Press(K(Key::Space));  // no current row yet: the first
    EXPECT_FALSE(d.ended());
    EXPECT_EQ(dialog.seen, (std::vector<std::string>{"tap 0"}));
    screen.Press(K(Key::Down));
    screen.Press(K(Key::Down));
    EXPECT_EQ(Selected(*list), (std::vector<int>{2}));
    screen.Press(K(Key::End));
    EXPECT_EQ(Selected(*list), (std::vector<int>{9}));
    EXPECT_NE(Picture(screen).find("»COM9"), std::string::npos);
    screen.Press(K(Key::Home));
    EXPECT_EQ(Selected(*list), (std::vector<int>{0}));
    screen.Press(K(Key::PageDown));
    EXPECT_EQ(Selected(*list), (std::vector<int>{9}));  // all ten rows show at 80 x 24
    dialog.seen.clear();
    screen.Press(K(Key::DoubleTap));
    screen.Press(K(Key::Left));
    screen.Press(K(Key::Right));
    EXPECT_EQ(dialog.seen, (std::vector<std::string>{"tap 9", "double 9", "key 37", "key 39"}));
    EXPECT_FALSE(d.ended());
    screen.Press(K(Key::Enter));  // the dialog's Enter command: OK
    EXPECT_TRUE(d.ended());
  });
  EXPECT_EQ(dialog.endCode(), ui::EndOk);
}

TEST_F(DialogScreenTest, AClickSelectsThatRowOnlyAndTheWheelScrollsWithoutSelecting) {
  Recorder dialog(MainDialogTemplate);
  Run(dialog, [&](DialogScreen& screen, ui::Dialog& d) {
    FillPorts(d);
    auto* list = d.Find<ui::ListView>(1000);
    d.SetFocus(1006);
    auto [col, row] = Find(screen, "COM1");
    screen.Click(col, row, false);
    auto [col3, row3] = Find(screen, "COM3");
    screen.Click(col3, row3, false);
    EXPECT_EQ(Selected(*list), (std::vector<int>{3}));  // a list that allows several, too
    EXPECT_EQ(d.focusId(), 1000);
    screen.Click(col3, row3, true);
    EXPECT_EQ(dialog.seen, (std::vector<std::string>{"tap 1", "tap 3", "tap 3", "double 3"}));
  });
  Recorder chooser(FileChooserTemplate);
  Run(chooser, [&](DialogScreen& screen, ui::Dialog& d) {
    FillFolders(d, 40);
    auto* list = d.Find<ui::ListView>(1020);
    list->SetItemState(0, ui::StateSelected, ui::StateSelected);
    auto [col, row] = Find(screen, "Ordner 0");
    screen.Wheel(col, row, 1);
    std::string picture = Picture(screen);
    EXPECT_EQ(picture.find("Ordner 2 "), std::string::npos) << picture;
    EXPECT_NE(picture.find("Ordner 3 "), std::string::npos);
    EXPECT_NE(picture.find("↑"), std::string::npos);
    EXPECT_EQ(Selected(*list), (std::vector<int>{0}));
    // A click on the scroll mark at the bottom goes down a page.
    auto [down, downRow] = Find(screen, "↓");
    auto [first, firstRow] = Find(screen, "Ordner 3 ");
    int rows = downRow - firstRow + 1;
    screen.Click(down, downRow, false);
    picture = Picture(screen);
    EXPECT_NE(picture.find("Ordner " + std::to_string(3 + rows - 1) + " "), std::string::npos)
        << picture;
    EXPECT_EQ(Selected(*list), (std::vector<int>{0}));
    EXPECT_TRUE(chooser.seen.empty());
    (void)first;
  });
}

TEST_F(DialogScreenTest, TextFieldKeysEditAtTheCursor) {
  Recorder dialog(FileChooserTemplate);
  Run(dialog, [&](DialogScreen& screen, ui::Dialog& d) {
    d.SetFocus(1112);
    for (char16_t ch : std::u16string(u"GPS")) {
      screen.Press(Char(ch));
    }
    screen.Press(K(Key::Home));
    screen.Press(Char(u'x'));
    screen.Press(K(Key::End));
    screen.Press(K(Key::Backspace));
    screen.Press(K(Key::Left));
    screen.Press(K(Key::Delete));
    screen.Press(K(Key::Space));
    EXPECT_EQ(ToUtf8(d.ControlText(1112)), "xG ");
    EXPECT_EQ(dialog.seen, (std::vector<std::string>{"text G", "text GP", "text GPS", "text xGPS",
                                                     "text xGP", "text xG", "text xG "}));
    // Text set by the program puts the cursor at its end.
    d.SetControlText(1112, u"Neu");
    screen.Press(Char(u'!'));
    EXPECT_EQ(ToUtf8(d.ControlText(1112)), "Neu!");
    screen.Press(K(Key::Left));
    Canvas canvas(80, 24);
    screen.Draw(canvas);
    auto [col, row] = Find(screen, "Neu!");
    ASSERT_TRUE(canvas.hasCursor());
    EXPECT_EQ(canvas.cursorCol(), col + 3);
    EXPECT_EQ(canvas.cursorRow(), row);
    // "?" is a character in a text field, not the help.
    screen.Press(Char(u'?'));
    EXPECT_FALSE(screen.helpShown());
    EXPECT_EQ(ToUtf8(d.ControlText(1112)), "Neu?!");
  });
}

TEST_F(DialogScreenTest, DropDownListsOpenChooseAndCloseByKeysAndMouse) {
  Recorder dialog(MainDialogTemplate);
  Run(dialog, [&](DialogScreen& screen, ui::Dialog& d) {
    FillPorts(d);
    d.SetFocus(1003);
    screen.Press(K(Key::Space));
    EXPECT_NE(Picture(screen).find("»keinem"), std::string::npos);
    screen.Press(K(Key::Down));
    screen.Press(K(Key::Down));
    screen.Press(K(Key::Escape));  // closes the list, chooses nothing, ends nothing
    EXPECT_FALSE(d.ended());
    EXPECT_TRUE(dialog.seen.empty());
    screen.Press(K(Key::Enter));
    screen.Press(K(Key::End));
    screen.Press(K(Key::Enter));
    EXPECT_EQ(dialog.seen, (std::vector<std::string>{"chosen 10"}));
    // With the mouse: a click on the field opens it, a click on an item
    // chooses that item.
    auto [col, row] = Find(screen, "▼");
    screen.Click(col, row, false);
    auto [itemCol, itemRow] = Find(screen, "COM4", 20);
    screen.Click(itemCol, itemRow, false);
    EXPECT_EQ(dialog.seen, (std::vector<std::string>{"chosen 10", "chosen 5"}));
    std::string picture = Picture(screen);
    EXPECT_EQ(picture.find("COM5", picture.find("Installiert auf")),
              picture.find("COM5      ▼"));  // closed again, showing the choice
  });
}

TEST_F(DialogScreenTest, MessageBoxesAnswerKeysAndClicks) {
  Recorder dialog(MainDialogTemplate);
  Run(dialog, [&](DialogScreen& screen, ui::Dialog& d) {
    struct Case {
      bool yesNo;
      std::vector<KeyPress> keys;
      int answer;
    };
    for (const Case& c : std::vector<Case>{
             {true, {Char(u'n')}, AnswerNo},
             {true, {Char(u'J')}, AnswerYes},
             {true, {K(Key::Enter)}, AnswerYes},
             {true, {K(Key::Tab), K(Key::Space)}, AnswerNo},
             {true, {K(Key::Escape)}, AnswerNo},
             {false, {K(Key::Escape)}, AnswerOk},
             {false, {Char(u'n'), K(Key::Enter)}, AnswerOk},
         }) {
      MessageState message;
      message.text = u"Sicher?";
      message.yesNo = c.yesNo;
      screen.OpenMessage(message);
      for (const KeyPress& key : c.keys) {
        screen.Press(key);
      }
      EXPECT_EQ(screen.CloseMessage(), c.answer);
    }
    MessageState question;
    question.text = u"Sicher?";
    question.yesNo = true;
    screen.OpenMessage(question);
    auto [col, row] = Find(screen, "[ Nein ]");
    screen.Click(col + 2, row, false);
    EXPECT_EQ(screen.CloseMessage(), AnswerNo);
    EXPECT_FALSE(d.ended());
  });
}

TEST_F(DialogScreenTest, HelpShowsTheKeysAndAnyKeyClosesItWithoutActing) {
  Recorder dialog(MainDialogTemplate);
  Run(dialog, [&](DialogScreen& screen, ui::Dialog& d) {
    FillPorts(d);
    screen.Press(K(Key::Help));
    std::string picture = Picture(screen);
    EXPECT_NE(picture.find("Tasten"), std::string::npos);
    EXPECT_NE(picture.find("F2                 Zeile doppelt antippen"), std::string::npos);
    screen.Press(K(Key::Escape));
    EXPECT_FALSE(screen.helpShown());
    EXPECT_FALSE(d.ended());
    screen.Press(Char(u'?'));
    EXPECT_TRUE(screen.helpShown());
    screen.Click(0, 0, false);
    EXPECT_FALSE(screen.helpShown());
    auto [col, row] = Find(screen, "F1 Hilfe");
    screen.Click(col + 1, row, false);
    EXPECT_TRUE(screen.helpShown());
    EXPECT_FALSE(screen.Press(K(Key::Interrupt)));  // Ctrl+C ends the program
    EXPECT_TRUE(screen.Press(K(Key::Space)));
    auto [done, doneRow] = Find(screen, "[OK]");
    screen.Click(done + 1, doneRow, false);
    EXPECT_TRUE(d.ended());
  });
  EXPECT_EQ(dialog.endCode(), ui::EndOk);
}

TEST_F(DialogScreenTest, TooSmallATerminalSaysHowToLeaveAndTakesEscapeAndF10Only) {
  struct Case {
    Key leave;
    int endCode;
  };
  for (Case c : {Case{Key::Escape, ui::EndCancel}, Case{Key::Done, ui::EndOk}}) {
    Recorder dialog(MainDialogTemplate);
    Run(dialog, [&](DialogScreen& screen, ui::Dialog& d) {
      FillPorts(d);
      d.SetFocus(1003);
      screen.Press(K(Key::Space));  // a drop-down list open when the terminal shrinks
      screen.Resize(30, 8);
      EXPECT_TRUE(screen.tooSmall());
      std::string picture = Picture(screen);
      EXPECT_NE(picture.find("Mindestens"), std::string::npos);
      EXPECT_NE(picture.find("Esc: Abbrechen, F10: OK"), std::string::npos) << picture;
      for (Key other : {Key::Enter, Key::Space, Key::Tab, Key::Down, Key::Help}) {
        screen.Press(K(other));
      }
      EXPECT_FALSE(d.ended());
      EXPECT_TRUE(dialog.seen.empty());
      screen.Resize(80, 24);  // grown: the dialog again
      EXPECT_NE(Picture(screen).find("Serielle Schnittstellen"), std::string::npos);
      screen.Resize(30, 8);
      screen.Press(K(c.leave));
      EXPECT_TRUE(d.ended());
    });
    EXPECT_EQ(dialog.endCode(), c.endCode);
    EXPECT_TRUE(dialog.seen.empty());
  }
  // A message box too large for the terminal: Escape answers it as it would.
  Recorder dialog(MainDialogTemplate);
  Run(dialog, [&](DialogScreen& screen, ui::Dialog& d) {
    MessageState question;
    question.text = u"Wollen Sie die Installation fortsetzen?";
    question.yesNo = true;
    screen.OpenMessage(question);
    screen.Resize(20, 3);
    ASSERT_TRUE(screen.tooSmall());
    EXPECT_NE(Picture(screen).find("Esc: Nein"), std::string::npos) << Picture(screen);
    screen.Press(Char(u'j'));
    EXPECT_EQ(screen.Answer(), 0);
    screen.Press(K(Key::Escape));
    EXPECT_EQ(screen.CloseMessage(), AnswerNo);
    EXPECT_FALSE(d.ended());
  });
}

// Two quick clicks on a check box or a button are two clicks: the second
// of them comes as a double click. On a list row a double click stays a
// double tap (see above).
TEST_F(DialogScreenTest, ADoubleClickOnACheckBoxOrAButtonIsTwoClicks) {
  Recorder logging(LogSettingsTemplate);
  Run(logging, [&](DialogScreen& screen, ui::Dialog& d) {
    auto* box = d.Find<ui::CheckBox>(1009);
    auto [col, row] = Find(screen, "Protokolliere Schreibeoperationen");
    screen.Click(col, row, false);
    screen.Click(col, row, true);
    EXPECT_FALSE(box->checked()) << "ticked and unticked again";
    screen.Click(col, row, false);
    EXPECT_TRUE(box->checked());
    // A double click whose first click was on something else is no click
    // here (the first one may have closed what lay over it).
    auto [other, otherRow] = Find(screen, "Protokolliere Leseoperationen");
    screen.Click(other, otherRow, false);
    screen.Click(col, row, true);
    EXPECT_TRUE(box->checked());
    EXPECT_EQ(logging.seen, (std::vector<std::string>{"clicked 1009", "clicked 1009",
                                                      "clicked 1009", "clicked 1006"}));
  });
  Recorder main(MainDialogTemplate);
  Run(main, [&](DialogScreen& screen, ui::Dialog& d) {
    FillPorts(d);
    auto [col, row] = Find(screen, "Erweitert");
    screen.Click(col, row, false);
    screen.Click(col, row, true);
    EXPECT_EQ(main.seen, (std::vector<std::string>{"clicked 1006", "clicked 1006"}));
  });
}

TEST_F(DialogScreenTest, WhenTheFocusedButtonIsDisabledTheNextTabStopShowsTheFocus) {
  Recorder dialog(MainDialogTemplate);
  Run(dialog, [&](DialogScreen& screen, ui::Dialog& d) {
    FillPorts(d);
    d.SetFocus(1002);
    EXPECT_NE(Picture(screen).find("[»Übernehmen«]"), std::string::npos);
    d.EnableControl(1002, false);
    std::string picture = Picture(screen);
    EXPECT_NE(picture.find("[ Übernehmen ]"), std::string::npos);
    EXPECT_NE(picture.find("»keinem"), std::string::npos) << picture;
  });
}

}  // namespace
}  // namespace velmora::terminal
