// velmora-demo: a small dialog that shows what the dialog framework and the
// terminal front end do - a list, a drop-down list, a check box, a text
// field and buttons - without a device.
#include <cstdio>

#include "platform/platform.h"
#include "platform/terminal/terminal_host.h"
#include "platform/text.h"
#include "platform/ui/application.h"
#include "platform/ui/dialog.h"

namespace velmora {
namespace {

constexpr uint32_t Child = 0x40000000 | ui::StyleVisible;
constexpr uint32_t Stop = Child | ui::StyleTabStop;

ui::DialogTemplate DemoTemplate() {
  using ui::ControlKind;
  ui::DialogTemplate t;
  t.id = 900;
  t.caption = u"Demo";
  t.rect = {0, 0, 184, 150};
  t.controls = {
      {1,
       ControlKind::ListView,
       u"",
       {2, 2, 120, 60},
       Stop | ui::StyleBorder | ui::ListReport | ui::ListSingleSelection},
      {2, ControlKind::PushButton, u"Beenden", {130, 2, 50, 12}, Stop},
      {3, ControlKind::PushButton, u"Frage", {130, 18, 50, 12}, Stop},
      {4, ControlKind::ComboBox, u"", {2, 70, 60, 30}, Stop | ui::ComboDropDownList},
      {5, ControlKind::CheckBox, u"Ankreuzen", {70, 70, 60, 10}, Stop | ui::ButtonAutoCheckBox},
      {6, ControlKind::Edit, u"", {2, 86, 120, 12}, Stop | ui::StyleBorder},
      {7, ControlKind::StaticText, u"", {2, 104, 180, 16}, Child},
  };
  return t;
}

class DemoDialog final : public ui::Dialog {
 public:
  DemoDialog() : ui::Dialog(DemoTemplate()) {}

 protected:
  const ui::CommandTable& Commands() const override {
    using N = ui::Notification;
    static const ui::CommandTable table = ui::MakeCommandTable<DemoDialog>({
        {N::Tap, 1, &DemoDialog::OnTap},
        {N::DoubleTap, 1, &DemoDialog::OnDoubleTap},
        {N::KeyDown, 1, &DemoDialog::OnListKey},
        {N::SelectionChanged, 4, &DemoDialog::OnChoice},
        {N::Clicked, 5, &DemoDialog::OnCheck},
        {N::TextChanged, 6, &DemoDialog::OnText},
        {N::Clicked, 3, &DemoDialog::OnQuestion},
    });
    return table;
  }

  bool InitialiseDialog() override {
    ui::Dialog::InitialiseDialog();
    auto* list = Find<ui::ListView>(1);
    list->InsertColumn(0, u"Eintrag", 120);
    list->InsertColumn(1, u"Wert", 100);
    for (int i = 0; i < 12; ++i) {
      int item = list->InsertItem(i, u"Zeile " + FromUtf8(std::to_string(i + 1)));
      list->SetItemText(item, 1, u"Wert " + FromUtf8(std::to_string((i + 1) * 10)));
    }
    auto* combo = Find<ui::ComboBox>(4);
    for (const char16_t* text : {u"Äpfel", u"Birnen", u"Kirschen"}) {
      combo->AddString(text);
    }
    combo->SetCurSel(0);
    Say(u"Bereit.");
    return true;
  }

 private:
  void Say(std::u16string_view text) { SetControlText(7, text); }
  void OnTap(const ui::NotifyInfo& info) {
    Say(u"Angetippt: " + Find<ui::ListView>(1)->GetItemText(info.item, 0));
  }
  void OnDoubleTap(const ui::NotifyInfo& info) {
    Say(u"Doppelt angetippt: " + Find<ui::ListView>(1)->GetItemText(info.item, 0));
  }
  void OnListKey(const ui::NotifyInfo& info) {
    Say(info.key == ui::KeyLeft    ? u"Pfeil links"
        : info.key == ui::KeyRight ? u"Pfeil rechts"
                                   : u"Taste");
  }
  void OnChoice() {
    auto* combo = Find<ui::ComboBox>(4);
    Say(u"Gewählt: " + combo->items()[static_cast<size_t>(combo->GetCurSel())].text);
  }
  void OnCheck() { Say(Find<ui::CheckBox>(5)->checked() ? u"Angekreuzt" : u"Nicht angekreuzt"); }
  void OnText() { Say(u"Text: " + ControlText(6)); }
  void OnQuestion() {
    int answer = ShowMessage(this, u"Gefällt Ihnen die Vorführung?", u"Frage",
                             MessageYesNo | MessageIconExclamation);
    Say(answer == AnswerYes ? u"Antwort: Ja" : u"Antwort: Nein");
  }
};

}  // namespace
}  // namespace velmora

int main() {
  int result = 0;
  {
    velmora::terminal::TerminalHost host;
    std::string error;
    if (!host.Open(&error)) {
      std::fprintf(stderr, "velmora-demo: %s\n", error.c_str());
      return 1;
    }
    velmora::PlatformServices services;
    services.ui = &host;
    velmora::ScopedPlatform platform(services);
    velmora::DemoDialog dialog;
    result = dialog.RunModal();
  }
  // The terminal is the person's again: say how the dialog ended.
  std::printf("demo ended with %d\n", result);
  return 0;
}
