// The dialog framework's behaviour that the program relies on.
#include "platform/ui/dialog.h"

#include <gtest/gtest.h>

#include "platform/headless/headless_host.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "platform/ui/application.h"

namespace velmora::ui {
namespace {

constexpr uint32_t Stop = StyleVisible | StyleTabStop;

DialogTemplate TestTemplate(int id) {
  DialogTemplate t;
  t.id = id;
  t.caption = u"Test";
  t.rect = {0, 0, 100, 100};
  t.controls = {
      {10, ControlKind::ListView, u"", {0, 0, 50, 50}, Stop | ListReport | ListSingleSelection},
      {11, ControlKind::ListView, u"", {0, 0, 50, 50}, Stop | ListReport},
      {12, ControlKind::ComboBox, u"", {0, 0, 50, 12}, Stop},
      {13, ControlKind::Edit, u"start", {0, 0, 50, 12}, Stop},
      {14, ControlKind::CheckBox, u"Box", {0, 0, 50, 12}, Stop | ButtonAutoCheckBox},
      {15, ControlKind::PushButton, u"Go", {0, 0, 50, 12}, Stop | StyleDisabled},
      {NoControlId, ControlKind::StaticText, u"Label", {0, 0, 50, 12}, StyleVisible},
      {16, ControlKind::PushButton, u"Hidden", {0, 0, 50, 12}, StyleTabStop | ButtonDefault},
      {17, ControlKind::Edit, u"shown only", {0, 0, 50, 12}, Stop | EditReadOnly},
  };
  return t;
}

// A dialog that records every notification it gets, as "code:id:item".
class RecordingDialog final : public Dialog {
 public:
  explicit RecordingDialog(int id = 500, Dialog* parent = nullptr)
      : Dialog(TestTemplate(id), parent) {}
  std::vector<std::string> seen;
  std::function<void()> onGo;

 protected:
  const CommandTable& Commands() const override {
    using N = Notification;
    static const CommandTable table = MakeCommandTable<RecordingDialog>({
        {N::ItemChanged, 10, &RecordingDialog::Record},
        {N::Tap, 10, &RecordingDialog::Record},
        {N::DoubleTap, 10, &RecordingDialog::Record},
        {N::KeyDown, 10, &RecordingDialog::Record},
        {N::ItemChanged, 11, &RecordingDialog::Record},
        {N::SelectionChanged, 12, &RecordingDialog::Record},
        {N::TextChanged, 13, &RecordingDialog::Record},
        {N::Clicked, 14, &RecordingDialog::Record},
        {N::Clicked, 15, &RecordingDialog::Go},
        {N::Clicked, 16, &RecordingDialog::Record},
    });
    return table;
  }

 private:
  void Record(const NotifyInfo& info) {
    seen.push_back(std::to_string(info.item) +
                   (info.key != 0 ? ":key" + std::to_string(info.key) : std::string()) +
                   (info.newState != info.oldState
                        ? ":" + std::to_string(info.oldState) + ">" + std::to_string(info.newState)
                        : std::string()));
  }
  void Go() {
    if (onGo) {
      onGo();
    }
  }
};

class DialogFrameworkTest : public ::testing::Test {
 protected:
  DialogFrameworkTest() {
    PlatformServices services;
    services.ui = &host_;
    platform_ = std::make_unique<ScopedPlatform>(services);
  }
  void Run(RecordingDialog& dialog, HeadlessHost::Script script) {
    host_.ExpectDialog(std::move(script));
    dialog.RunModal();
    EXPECT_TRUE(host_.problems().empty()) << host_.problems().front();
  }
  HeadlessHost host_;
  std::unique_ptr<ScopedPlatform> platform_;
};

TEST_F(DialogFrameworkTest, CodeChangesRaiseOnlyWhatTheControlRaises) {
  RecordingDialog dialog;
  Run(dialog, [&](Dialog& d) {
    auto* combo = d.Find<ComboBox>(12);
    combo->SetItemData(combo->AddString(u"a"), 7);
    combo->AddString(u"b");
    combo->SetCurSel(1);                   // from code: nothing
    d.Find<CheckBox>(14)->SetCheck(true);  // from code: nothing
    EXPECT_TRUE(dialog.seen.empty());
    d.SetControlText(13, u"start");  // an edit: always, even unchanged
    EXPECT_EQ(dialog.seen.size(), 1u);
    combo->Choose(0);               // a person's choice
    d.Find<CheckBox>(14)->Click();  // toggles first, then notifies
    EXPECT_FALSE(d.Find<CheckBox>(14)->checked());
    EXPECT_EQ(dialog.seen.size(), 3u);
    EXPECT_EQ(combo->GetItemData(combo->GetCurSel()), 7);
    EXPECT_EQ(combo->GetItemData(5), -1);
    d.Find<Button>(15)->Click();  // disabled: nothing
    d.CancelCommand();
  });
  EXPECT_EQ(dialog.endCode(), EndCancel);
}

TEST_F(DialogFrameworkTest, SingleSelectionListsMoveTheSelectionAndReportAtOnce) {
  RecordingDialog dialog;
  Run(dialog, [&](Dialog& d) {
    auto* list = d.Find<ListView>(10);
    for (auto text : {u"a", u"b", u"c"}) {
      list->InsertItem(list->GetItemCount(), text);
    }
    list->SetItemState(0, StateSelected, StateSelected);
    ASSERT_EQ(dialog.seen.size(), 1u);  // raised before SetItemState returned
    list->SetItemState(2, StateSelected | StateFocused, StateSelected | StateFocused);
    // The deselected entry is reported first.
    EXPECT_EQ(dialog.seen, (std::vector<std::string>{"0:0>2", "0:2>0", "2:0>3"}));
    dialog.seen.clear();
    list->Tap(1);  // a person's tap: the selection moves, then the tap
    EXPECT_EQ(dialog.seen, (std::vector<std::string>{"2:3>0", "1:0>3", "1"}));
    dialog.seen.clear();
    list->DoubleTap(1);  // a tap (no change now) and the double tap
    EXPECT_EQ(dialog.seen, (std::vector<std::string>{"1", "1"}));
    dialog.seen.clear();
    list->PressKey(KeyLeft);
    EXPECT_EQ(dialog.seen, (std::vector<std::string>{"-1:key37"}));
    EXPECT_EQ(list->FirstSelected(), 1);
    d.OkCommand();
  });
  EXPECT_EQ(dialog.endCode(), EndOk);
}

TEST_F(DialogFrameworkTest, ArrowKeysStepTheSelectionFromTheFocusedEntry) {
  RecordingDialog dialog;
  Run(dialog, [&](Dialog& d) {
    auto* list = d.Find<ListView>(11);  // several may be selected
    for (auto text : {u"a", u"b", u"c", u"d"}) {
      list->InsertItem(list->GetItemCount(), text);
    }
    list->StepSelection(1);  // nothing focused or selected: the first entry
    EXPECT_EQ(dialog.seen, (std::vector<std::string>{"0:0>3"}));
    list->SetItemState(3, StateSelected, StateSelected);
    dialog.seen.clear();
    // From the focused entry; every other selected entry is let go first.
    list->StepSelection(1);
    EXPECT_EQ(dialog.seen, (std::vector<std::string>{"0:3>1", "3:2>0", "0:1>0", "1:0>3"}));
    dialog.seen.clear();
    list->StepSelection(10);  // clamped at the end
    EXPECT_EQ(list->FocusedItem(), 3);
    list->StepSelection(-10);
    EXPECT_EQ(list->FocusedItem(), 0);
    EXPECT_EQ(list->FirstSelected(), 0);
    list->Enable(false);
    dialog.seen.clear();
    list->StepSelection(1);  // a disabled list takes no keys
    EXPECT_TRUE(dialog.seen.empty());
    d.CancelCommand();
  });
}

TEST_F(DialogFrameworkTest, AListsClientWidthIsTheFrontEndsByDefaultFromTheTemplate) {
  RecordingDialog dialog;
  auto* list = dialog.Find<ListView>(10);
  EXPECT_EQ(list->ClientWidth(), 50 * PixelsPerUnitX);  // no border
  EXPECT_EQ(list->ClientWidth(), host_.ListClientWidth(*list));
}

TEST_F(DialogFrameworkTest, MultipleSelectionListsKeepOtherEntriesSelected) {
  RecordingDialog dialog;
  Run(dialog, [&](Dialog& d) {
    auto* list = d.Find<ListView>(11);
    list->InsertItem(0, u"a");
    list->InsertItem(1, u"b");
    list->SetItemState(0, StateSelected, StateSelected);
    list->SetItemState(1, StateSelected, StateSelected);
    EXPECT_EQ(list->GetItemState(0, StateSelected), StateSelected);
    EXPECT_EQ(list->GetItemText(1, 0), u"b");
    EXPECT_EQ(list->GetItemText(1, 3), u"");
    d.CancelCommand();
  });
}

TEST_F(DialogFrameworkTest, FocusGoesToTheFirstEnabledVisibleTabStop) {
  RecordingDialog dialog;
  Run(dialog, [&](Dialog& d) {
    EXPECT_EQ(d.focusId(), 10);
    std::vector<int> order;
    for (int i = 0; i < 6; ++i) {
      d.MoveFocus(true);
      order.push_back(d.focusId());
    }
    // 15 is disabled, 16 hidden and 17 a text field that cannot be edited
    // (no cursor where typing does nothing): all are passed over.
    EXPECT_EQ(order, (std::vector<int>{11, 12, 13, 14, 10, 11}));
    d.MoveFocus(false);
    EXPECT_EQ(d.focusId(), 10);
    EXPECT_EQ(d.shellFlags(), ShellDoneButton | ShellFullScreen | ShellInputPanelDown);
    d.EnterKey();  // the default button, even though it is hidden
    EXPECT_EQ(dialog.seen, (std::vector<std::string>{"-1"}));
    d.CancelCommand();
  });
  EXPECT_EQ(host_.frontRequests(), 1);
}

TEST_F(DialogFrameworkTest, DisablingOrHidingTheFocusedControlMovesTheFocusToTheNextTabStop) {
  RecordingDialog dialog;
  Run(dialog, [&](Dialog& d) {
    d.SetFocus(13);
    d.EnableControl(11, false);  // not the focused one: the focus stays
    EXPECT_EQ(d.focusId(), 13);
    d.EnableControl(13, false);  // the next stop after 13, not the first
    EXPECT_EQ(d.focusId(), 14);
    d.Find<CheckBox>(14)->Show(false);  // 15 disabled, 16 hidden: round to 10
    EXPECT_EQ(d.focusId(), 10);
    d.EnableControl(13, true);
    d.SetFocus(13);
    d.MoveFocus(false);  // backwards from 13: 12
    EXPECT_EQ(d.focusId(), 12);
    for (int id : {10, 12, 13}) {
      d.EnableControl(id, false);
    }
    EXPECT_EQ(d.focusId(), NoControlId);  // no tab stop is left
    d.EnableControl(12, true);
    d.MoveFocus(true);
    EXPECT_EQ(d.focusId(), 12);
    d.CancelCommand();
  });
}

TEST_F(DialogFrameworkTest, ADialogWithoutParentIsOwnedByTheTopmostWhichIsDisabled) {
  RecordingDialog outer(500);
  RecordingDialog inner(501);
  outer.onGo = [&] { inner.RunModal(); };
  host_.ExpectDialog([&](Dialog& d) {
    d.Find<Button>(15)->Enable(true);
    d.Find<Button>(15)->Click();
    EXPECT_TRUE(d.enabled());  // enabled again once the inner one ended
    EXPECT_EQ(d.endCode(), 0);
    d.OkCommand();
  });
  host_.ExpectDialog([&](Dialog& d) {
    EXPECT_EQ(d.owner(), &outer);
    EXPECT_FALSE(outer.enabled());
    EXPECT_EQ(host_.Topmost(), &inner);
    // A message box without owner belongs to the topmost dialog.
    host_.AnswerNext(AnswerYes);
    EXPECT_EQ(ShowMessage(nullptr, u"Sicher?", u"", MessageYesNo), AnswerYes);
    d.CancelCommand();
  });
  EXPECT_EQ(outer.RunModal(), EndOk);
  EXPECT_EQ(inner.endCode(), EndCancel);
  ASSERT_EQ(host_.messages().size(), 1u);
  EXPECT_EQ(host_.messages()[0].ownerTemplate, 501);
  EXPECT_EQ(host_.messages()[0].caption, ApplicationTitle());
  EXPECT_EQ(host_.messages()[0].flags, MessageYesNo);
  EXPECT_TRUE(host_.problems().empty());
}

TEST_F(DialogFrameworkTest, TheHostNotesWhatAScriptLeftUndone) {
  RecordingDialog dialog;
  host_.ExpectDialog([](Dialog&) {});
  EXPECT_EQ(dialog.RunModal(), EndCancel);
  EXPECT_EQ(dialog.RunModal(), EndCancel);  // no script at all
  EXPECT_EQ(ShowMessage(nullptr, u"?", u"T", MessageYesNo), AnswerNo);
  EXPECT_EQ(host_.problems(), (std::vector<std::string>{"dialog 500 was left open by its script",
                                                        "dialog 500 ran without a script",
                                                        "unanswered question: ?"}));
}

class TestApplication final : public Application {
 public:
  bool Start() override { return false; }
};

TEST_F(DialogFrameworkTest, ApplicationWaitCursorNestsAndMainWindowIsCleared) {
  TestApplication app;
  EXPECT_EQ(Application::Current(), &app);
  app.BeginWaitCursor();
  app.BeginWaitCursor();
  app.EndWaitCursor();
  EXPECT_TRUE(host_.waitCursorShown());
  app.EndWaitCursor();
  EXPECT_FALSE(host_.waitCursorShown());
  EXPECT_EQ(host_.waitCursorShows(), 1);
  RecordingDialog dialog;
  app.SetMainWindow(&dialog);
  Run(dialog, [](Dialog& d) { d.CancelCommand(); });
  EXPECT_EQ(app.mainWindow(), nullptr);
}

TEST(ApplicationTitle, IsTheExecutablesNameWithoutFolderAndExtension) {
  EXPECT_EQ(ToUtf8(ApplicationTitle()), "velmora_tests");
}

}  // namespace
}  // namespace velmora::ui
