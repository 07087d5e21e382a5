// One contract for both front ends that a person can use: the same scripted
// scenario, done once through the framework's person actions in the
// headless host and once through the real widgets of the window, gives the
// same notifications in the same order, with the same control state after
// each step.
#include <gtest/gtest.h>

#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "platform/headless/headless_host.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "platform/ui/dialog.h"
#include "platform/window/window_host.h"
#include "tests/window_person.h"

namespace velmora {
namespace {

using ui::ControlKind;
using ui::Notification;

constexpr uint32_t Child = 0x40000000 | ui::StyleVisible;
constexpr uint32_t Stop = Child | ui::StyleTabStop;

constexpr int ListId = 10;
constexpr int ComboId = 11;
constexpr int BoxId = 12;
constexpr int EditId = 13;
constexpr int SetTextId = 14;
constexpr int DefaultId = 15;
constexpr int StatusId = 16;

ui::DialogTemplate ContractTemplate() {
  ui::DialogTemplate t;
  t.id = 700;
  t.caption = u"Vertrag";
  t.rect = {0, 0, 180, 170};
  t.controls = {
      {ListId,
       ControlKind::ListView,
       u"",
       {2, 2, 120, 70},
       Stop | ui::StyleBorder | ui::ListReport | ui::ListSingleSelection},
      {ComboId, ControlKind::ComboBox, u"", {2, 78, 60, 40}, Stop | ui::ComboDropDownList},
      {BoxId, ControlKind::CheckBox, u"Ankreuzen", {70, 78, 60, 10}, Stop | ui::ButtonAutoCheckBox},
      {EditId, ControlKind::Edit, u"", {2, 96, 120, 12}, Stop | ui::StyleBorder},
      {SetTextId, ControlKind::PushButton, u"Setzen", {126, 2, 50, 12}, Stop},
      {DefaultId, ControlKind::PushButton, u"Vorgabe", {126, 18, 50, 12}, Stop | ui::ButtonDefault},
      {StatusId, ControlKind::StaticText, u"", {2, 112, 170, 16}, Child},
  };
  return t;
}

// Records every notification as "Code id item key old>new" and answers a
// few as a program would: a tap writes the status line, "Setzen" sets the
// edit's text from code (which raises a text change of its own).
class ContractDialog final : public ui::Dialog {
 public:
  ContractDialog() : ui::Dialog(ContractTemplate()) {}
  std::vector<std::string> seen;

 protected:
  const ui::CommandTable& Commands() const override {
    using N = Notification;
    static const ui::CommandTable table = ui::MakeCommandTable<ContractDialog>({
        {N::ItemChanged, ListId, &ContractDialog::OnItemChanged},
        {N::Tap, ListId, &ContractDialog::OnTap},
        {N::DoubleTap, ListId, &ContractDialog::OnDoubleTap},
        {N::KeyDown, ListId, &ContractDialog::OnKey},
        {N::SelectionChanged, ComboId, &ContractDialog::OnChoice},
        {N::Clicked, BoxId, &ContractDialog::OnBox},
        {N::TextChanged, EditId, &ContractDialog::OnText},
        {N::Clicked, SetTextId, &ContractDialog::OnSetText},
        {N::Clicked, DefaultId, &ContractDialog::OnDefault},
    });
    return table;
  }

  bool InitialiseDialog() override {
    ui::Dialog::InitialiseDialog();
    auto* list = Find<ui::ListView>(ListId);
    list->InsertColumn(0, u"Eintrag", 90);
    list->InsertColumn(1, u"Wert", 60);
    for (int i = 0; i < 6; ++i) {
      std::u16string n = FromUtf8(std::to_string(i));
      list->SetItemText(list->InsertItem(i, u"Zeile " + n), 1, u"Wert " + n);
    }
    auto* combo = Find<ui::ComboBox>(ComboId);
    int datum = 10;
    for (const char16_t* text : {u"Äpfel", u"Birnen", u"Kirschen"}) {
      combo->SetItemData(combo->AddString(text), datum);
      datum += 10;
    }
    combo->SetCurSel(0);  // from code: nothing is raised
    return true;
  }

 private:
  void Note(const std::string& what) { seen.push_back(what); }
  void OnItemChanged(const ui::NotifyInfo& info) {
    Note("ItemChanged " + std::to_string(info.item) + " " + std::to_string(info.oldState) + ">" +
         std::to_string(info.newState));
  }
  void OnTap(const ui::NotifyInfo& info) {
    Note("Tap " + std::to_string(info.item));
    SetControlText(StatusId, u"Angetippt " + FromUtf8(std::to_string(info.item)));
  }
  void OnDoubleTap(const ui::NotifyInfo& info) { Note("DoubleTap " + std::to_string(info.item)); }
  void OnKey(const ui::NotifyInfo& info) { Note("KeyDown " + std::to_string(info.key)); }
  void OnChoice() {
    auto* combo = Find<ui::ComboBox>(ComboId);
    Note("SelectionChanged " + std::to_string(combo->GetItemData(combo->GetCurSel())));
  }
  void OnBox() {
    Note(std::string("Clicked box ") + (Find<ui::CheckBox>(BoxId)->checked() ? "1" : "0"));
  }
  void OnText() { Note("TextChanged " + ToUtf8(ControlText(EditId))); }
  void OnSetText() {
    Note("Clicked Setzen");
    SetControlText(EditId, ControlText(EditId));  // the same text: raised all the same
  }
  void OnDefault() { Note("Clicked Vorgabe"); }
};

// One step of the scenario, as each front end's person does it.
struct Step {
  const char* what;
  std::function<void(ui::Dialog&)> headless;
  std::function<void(testing::WindowPerson&)> window;
};

std::vector<Step> Scenario() {
  auto list = [](ui::Dialog& d) { return d.Find<ui::ListView>(ListId); };
  return {
      {"tap row 2", [=](ui::Dialog& d) { list(d)->Tap(2); },
       [](testing::WindowPerson& p) { p.TapRow(ListId, 2); }},
      // A double click: the first click taps, the second is the double tap.
      {"double tap row 4",
       [=](ui::Dialog& d) {
         list(d)->Tap(4);
         list(d)->DoubleTap(4);
       },
       [](testing::WindowPerson& p) { p.DoubleTapRow(ListId, 4); }},
      {"arrow down", [=](ui::Dialog& d) { list(d)->StepSelection(1); },
       [](testing::WindowPerson& p) { p.Key(Qt::Key_Down); }},
      {"arrow up twice",
       [=](ui::Dialog& d) {
         list(d)->StepSelection(-1);
         list(d)->StepSelection(-1);
       },
       [](testing::WindowPerson& p) {
         p.Keys({Qt::Key_Up, Qt::Key_Up});
       }},
      {"arrow right", [=](ui::Dialog& d) { list(d)->PressKey(ui::KeyRight); },
       [](testing::WindowPerson& p) { p.Key(Qt::Key_Right); }},
      {"arrow left", [=](ui::Dialog& d) { list(d)->PressKey(ui::KeyLeft); },
       [](testing::WindowPerson& p) { p.Key(Qt::Key_Left); }},
      {"space taps the focused row", [=](ui::Dialog& d) { list(d)->Tap(list(d)->FocusedItem()); },
       [](testing::WindowPerson& p) { p.Key(Qt::Key_Space); }},
      {"shift space double-taps it",
       [=](ui::Dialog& d) { list(d)->DoubleTap(list(d)->FocusedItem()); },
       [](testing::WindowPerson& p) { p.Key(Qt::Key_Space, Qt::ShiftModifier); }},
      {"choose Kirschen", [](ui::Dialog& d) { ui::ChooseItem(d, ComboId, u"Kirschen"); },
       [](testing::WindowPerson& p) { p.ChooseWithMouse(ComboId, "Kirschen"); }},
      {"arrow up in the drop-down list",
       [](ui::Dialog& d) { ui::ChooseItem(d, ComboId, u"Birnen"); },
       [](testing::WindowPerson& p) { p.Key(Qt::Key_Up); }},
      {"tick the box", [](ui::Dialog& d) { ui::ClickButton(d, BoxId); },
       [](testing::WindowPerson& p) { p.Click(BoxId); }},
      {"untick it with Space", [](ui::Dialog& d) { ui::ClickButton(d, BoxId); },
       [](testing::WindowPerson& p) { p.Key(Qt::Key_Space); }},
      {"type ab",
       [](ui::Dialog& d) {
         d.Find<ui::Edit>(EditId)->Type(u"a");
         d.Find<ui::Edit>(EditId)->Type(u"ab");
       },
       [](testing::WindowPerson& p) {
         p.Click(EditId);
         p.Type("ab");
       }},
      {"Setzen", [](ui::Dialog& d) { ui::ClickButton(d, SetTextId); },
       [](testing::WindowPerson& p) { p.Click(SetTextId); }},
      {"Enter in the edit: the default button", [](ui::Dialog& d) { d.EnterKey(); },
       [](testing::WindowPerson& p) {
         p.Click(EditId);
         p.Key(Qt::Key_Return);
       }},
      {"Escape", [](ui::Dialog& d) { d.CancelCommand(); },
       [](testing::WindowPerson& p) { p.Key(Qt::Key_Escape); }},
  };
}

// What a step leaves: its notifications and the controls' state.
std::string Picture(ContractDialog& dialog, size_t from) {
  std::string out;
  for (size_t i = from; i < dialog.seen.size(); ++i) {
    out += dialog.seen[i] + "\n";
  }
  out += "list: " + ui::DescribeList(dialog, ListId);
  out += "combo: " + ui::DescribeCombo(dialog, ComboId) + "\n";
  out += "box: " + std::to_string(dialog.Find<ui::CheckBox>(BoxId)->checked()) + "\n";
  out += "edit: " + ToUtf8(dialog.ControlText(EditId)) + "\n";
  out += "status: " + ToUtf8(dialog.ControlText(StatusId)) + "\n";
  out += "ended: " + std::to_string(dialog.endCode()) + "\n";
  return out;
}

std::vector<std::string> RunHeadless() {
  ui::HeadlessHost host;
  PlatformServices services;
  services.ui = &host;
  ScopedPlatform platform(services);
  ContractDialog dialog;
  std::vector<std::string> pictures;
  host.ExpectDialog([&](ui::Dialog& d) {
    for (const Step& step : Scenario()) {
      size_t from = dialog.seen.size();
      step.headless(d);
      pictures.push_back(std::string(step.what) + ":\n" + Picture(dialog, from));
    }
  });
  dialog.RunModal();
  EXPECT_TRUE(host.problems().empty());
  return pictures;
}

std::vector<std::string> RunInTheWindow() {
  window::WindowHost host;
  testing::WindowPerson person(host);
  PlatformServices services;
  services.ui = &host;
  ScopedPlatform platform(services);
  ContractDialog dialog;
  std::vector<std::string> pictures;
  person.ExpectDialog([&](ui::Dialog&) {
    for (const Step& step : Scenario()) {
      size_t from = dialog.seen.size();
      step.window(person);
      pictures.push_back(std::string(step.what) + ":\n" + Picture(dialog, from));
    }
  });
  dialog.RunModal();
  EXPECT_TRUE(person.problems().empty()) << person.problems().front();
  return pictures;
}

TEST(WindowContract, TheSameScenarioGivesTheSameNotificationsAsTheHeadlessHost) {
  std::vector<std::string> headless = RunHeadless();
  std::vector<std::string> window = RunInTheWindow();
  ASSERT_EQ(headless.size(), Scenario().size());
  ASSERT_EQ(window.size(), headless.size());
  for (size_t i = 0; i < headless.size(); ++i) {
    EXPECT_EQ(window[i], headless[i]);
  }
  // The scenario does reach what it is about.
  EXPECT_NE(headless[1].find("Tap 4\nTap 4\nDoubleTap 4\n"), std::string::npos) << headless[1];
  EXPECT_NE(headless[13].find("Clicked Setzen\nTextChanged ab\n"), std::string::npos);
  EXPECT_NE(headless.back().find("ended: 2"), std::string::npos);
}

}  // namespace
}  // namespace velmora
