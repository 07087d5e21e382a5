#include "platform/terminal/screen_layout.h"

#include <gtest/gtest.h>

#include "platform/dialog_templates.h"
#include "platform/text.h"

namespace velmora::terminal {
namespace {

std::string Screen(const Canvas& canvas) {
  std::string out;
  for (int row = 0; row < canvas.height(); ++row) {
    out += canvas.RowText(row) + "\n";
  }
  return out;
}

class PlainDialog final : public ui::Dialog {
 public:
  explicit PlainDialog(int id) : ui::Dialog(DialogTemplateById(id)) {}
};

TEST(ScreenLayout, NoTextOfTheTemplatesIsCutIn80By24) {
  for (int id : {MainDialogTemplate, LogSettingsTemplate, FileChooserTemplate}) {
    PlainDialog dialog(id);
    Canvas canvas(80, 24);
    RenderDialog(dialog, ViewState{}, canvas);
    std::string screen = Screen(canvas);
    for (const auto& control : dialog.controls()) {
      if (control->visible() && !control->text().empty() &&
          control->kind() != ui::ControlKind::ListView) {
        EXPECT_NE(screen.find(ToUtf8(control->text())), std::string::npos)
            << "template " << id << ": \"" << ToUtf8(control->text()) << "\" is cut\n"
            << screen;
      }
      CellRect cells = ControlCells(*control);
      EXPECT_LE(cells.col + cells.width, 80) << id << " " << control->id();
      EXPECT_LE(cells.row + cells.height, 24) << id << " " << control->id();
    }
  }
}

TEST(ScreenLayout, MainDialogPicture) {
  PlainDialog dialog(MainDialogTemplate);
  dialog.SetCaption(u"Velmora 2.1.0.4 Configuration");
  auto* list = dialog.Find<ui::ListView>(1000);
  list->InsertColumn(0, u"#", 50);
  list->InsertColumn(1, u"Verfügb.", 80);
  list->InsertColumn(2, u"Bezeichnung", 200);
  for (int n = 0; n < 10; ++n) {
    list->InsertItem(n, u"COM" + FromUtf8(std::to_string(n)));
    list->SetItemText(n, 1, n == 1 ? u"Belegt" : u"Frei");
  }
  list->SetItemText(1, 2, u"Serial Cable on COM1:");
  auto* combo = dialog.Find<ui::ComboBox>(1003);
  combo->AddString(u"keinem");
  combo->SetCurSel(0);
  dialog.SetControlText(1005, u"Error: Treiber konnte nicht gestartet werden.");
  Canvas canvas(80, 24);
  RenderDialog(dialog, ViewState{}, canvas);
  EXPECT_EQ(canvas.RowText(0),
            " Velmora 2.1.0.4 Configuration                                             [OK]");
  EXPECT_EQ(canvas.RowText(1), "Serielle Schnittstellen");
  EXPECT_EQ(canvas.RowText(3),
            "#         Verfügb.        Bezeichnung              →   [ Erweitert ]");
  EXPECT_EQ(canvas.RowText(5),
            "COM1      Belegt          Serial Cable on COM1:        [ Übernehmen ]");
  EXPECT_EQ(canvas.RowText(11), "Installiert auf                   keinem           ▼");
  EXPECT_EQ(canvas.RowText(15), "Error: Treiber konnte nicht");
  EXPECT_EQ(canvas.RowText(16), "gestartet werden.");
  // Scrolled sideways by 10 cells, the first column goes out of view.
  ViewState scrolled;
  scrolled.listScroll[1000] = 10;
  RenderDialog(dialog, scrolled, canvas);
  EXPECT_EQ(canvas.RowText(5).substr(0, 30), "Belegt          Serial Cable o");
}

TEST(ScreenLayout, HitsFindTheControlsAndListRows) {
  PlainDialog dialog(MainDialogTemplate);
  auto* list = dialog.Find<ui::ListView>(1000);
  list->InsertColumn(0, u"#", 50);
  list->InsertItem(0, u"COM0");
  list->InsertItem(1, u"COM1");
  ViewState view;
  Hit hit = HitDialog(dialog, view, 80, 2, 5);
  EXPECT_EQ(hit.kind, Hit::Kind::ListRow);
  EXPECT_EQ(hit.index, 1);
  EXPECT_EQ(HitDialog(dialog, view, 80, 2, 3).kind, Hit::Kind::Control);  // the header
  EXPECT_EQ(HitDialog(dialog, view, 80, 77, 0).kind, Hit::Kind::Done);
  hit = HitDialog(dialog, view, 80, 60, 5);
  EXPECT_EQ(hit.controlId, 1002);
  auto* combo = dialog.Find<ui::ComboBox>(1003);
  combo->AddString(u"keinem");
  combo->AddString(u"COM0");
  view.openCombo = 1003;
  hit = HitDialog(dialog, view, 80, 36, 13);
  EXPECT_EQ(hit.kind, Hit::Kind::ComboItem);
  EXPECT_EQ(hit.index, 1);
}

TEST(ScreenLayout, MessageBoxesWrapAndOfferGermanButtons) {
  MessageState message;
  message.caption = u"Warnung";
  message.text = u"Erste Zeile.\n\nWollen Sie die Installation fortsetzen?";
  message.yesNo = true;
  Canvas canvas(80, 24);
  RenderMessage(message, canvas);
  std::string screen = Screen(canvas);
  EXPECT_NE(screen.find("Warnung"), std::string::npos);
  EXPECT_NE(screen.find("Wollen Sie die Installation fortsetzen?"), std::string::npos);
  EXPECT_NE(screen.find("[ Ja ]  [ Nein ]"), std::string::npos);
  int buttonRow = -1;
  for (int row = 0; row < 24; ++row) {
    if (canvas.RowText(row).find("[ Nein ]") != std::string::npos) {
      buttonRow = row;
    }
  }
  int nein = static_cast<int>(FromUtf8(canvas.RowText(buttonRow)).find(u"[ Nein ]"));
  Hit hit = HitMessage(message, 80, 24, nein + 2, buttonRow);
  EXPECT_EQ(hit.kind, Hit::Kind::MessageButton);
  EXPECT_EQ(hit.index, 1);
}

TEST(ScreenLayout, WrapTextKeepsWordsWhole) {
  EXPECT_EQ(WrapText(u"eins zwei drei", 9), (std::vector<std::u16string>{u"eins zwei", u"drei"}));
  EXPECT_EQ(WrapText(u"abcdefgh", 3), (std::vector<std::u16string>{u"abc", u"def", u"gh"}));
  EXPECT_EQ(WrapText(u"a\nb", 10), (std::vector<std::u16string>{u"a", u"b"}));
}

}  // namespace
}  // namespace velmora::terminal
