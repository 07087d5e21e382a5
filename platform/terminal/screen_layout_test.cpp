#include "platform/terminal/screen_layout.h"

#include <gtest/gtest.h>

#include "platform/dialog_templates.h"
#include "platform/terminal/screen_render.h"
#include "platform/terminal/test_dialogs.h"
#include "platform/text.h"

namespace velmora::terminal {
namespace {

class PlainDialog final : public ui::Dialog {
 public:
  explicit PlainDialog(int id) : ui::Dialog(DialogTemplateById(id)) {}
};

std::string Draw(const ui::Dialog& dialog, int width, int height, DialogView* view = nullptr) {
  DialogView plain;
  DialogView& shown = view != nullptr ? *view : plain;
  DialogLayout layout(dialog, width, height);
  SyncView(dialog, layout, shown);
  Canvas canvas(width, height);
  RenderDialog(dialog, layout, shown, false, canvas);
  return canvas.Text();
}

struct Size {
  int width;
  int height;
};

class EveryTemplateAtEverySize : public ::testing::TestWithParam<std::tuple<int, Size>> {};

TEST_P(EveryTemplateAtEverySize, FitsWithEveryTextWholeAndNoControlOnAnother) {
  auto [id, size] = GetParam();
  PlainDialog dialog(id);
  if (id == MainDialogTemplate) {
    FillPorts(dialog);
  }
  DialogLayout layout(dialog, size.width, size.height);
  ASSERT_TRUE(layout.Fits()) << "needs " << layout.neededWidth() << "x" << layout.neededHeight();
  std::string screen = Draw(dialog, size.width, size.height);
  for (const auto& control : dialog.controls()) {
    if (!control->visible()) {
      continue;
    }
    const CellRect& cells = layout.Of(*control).cells;
    EXPECT_GE(cells.row, CaptionRows) << control->id();
    EXPECT_LE(cells.bottom(), size.height) << control->id();
    EXPECT_LE(cells.right(), size.width) << control->id();
    if (!control->text().empty() && control->kind() != ui::ControlKind::ListView) {
      EXPECT_NE(screen.find(ToUtf8(control->text())), std::string::npos)
          << "\"" << ToUtf8(control->text()) << "\" is cut\n"
          << screen;
    }
    for (const auto& other : dialog.controls()) {
      if (other != control && other->visible()) {
        EXPECT_FALSE(cells.Intersects(layout.Of(*other).cells))
            << control->id() << " and " << other->id() << " share cells\n"
            << screen;
      }
    }
  }
  if (id == MainDialogTemplate && size.width >= 80) {
    for (int n = 0; n < 10; ++n) {
      EXPECT_NE(screen.find("COM" + std::to_string(n) + " "), std::string::npos)
          << "COM" << n << " is not in view\n"
          << screen;
    }
  }
}

std::string SizeName(const ::testing::TestParamInfo<std::tuple<int, Size>>& info) {
  int id = std::get<0>(info.param);
  Size size = std::get<1>(info.param);
  return "Template" + std::to_string(id) + "At" + std::to_string(size.width) + "x" +
         std::to_string(size.height);
}

INSTANTIATE_TEST_SUITE_P(
    Terminal, EveryTemplateAtEverySize,
    ::testing::Combine(::testing::Values(MainDialogTemplate, LogSettingsTemplate,
                                         FileChooserTemplate),
                       ::testing::Values(Size{60, 20}, Size{80, 24}, Size{132, 43})),
    SizeName);

TEST(ScreenLayout, MainDialogPictureAt80By24) {
  PlainDialog dialog(MainDialogTemplate);
  FillPorts(dialog);
  dialog.SetControlText(1005, u"Error: Treiber konnte nicht gestartet werden.");
  DialogLayout layout(dialog, 80, 24);
  DialogView view;
  SyncView(dialog, layout, view);
  Canvas canvas(80, 24);
  RenderDialog(dialog, layout, view, false, canvas);
  EXPECT_EQ(canvas.RowText(0),
            " Velmora 2.1.0.4 Configuration                                   F1 Hilfe  [OK]");
  EXPECT_EQ(canvas.RowText(2), "Serielle Schnittstellen");
  EXPECT_EQ(canvas.RowText(3), " #         Verfügb.        Bezeichnung                 →");
  EXPECT_EQ(canvas.RowText(4),
            " COM0      Frei                                              [ Erweitert ]");
  EXPECT_EQ(canvas.RowText(5), " COM1      Belegt          Serial Cable on COM1:");
  EXPECT_EQ(canvas.RowText(13), " COM9      Frei");
  EXPECT_EQ(canvas.RowText(15), "Installiert auf                      keinem             ▼");
  EXPECT_EQ(canvas.RowText(20), "Error: Treiber konnte nicht");
  EXPECT_EQ(canvas.RowText(21), "gestartet werden.");
  // Buttons are blocks of their rows; the label sits in the middle.
  const ControlCells& erweitert = layout.Of(*dialog.FindControl(1006));
  EXPECT_EQ(erweitert.cells.height, 2);
  EXPECT_EQ(canvas.At(erweitert.cells.col, erweitert.cells.row).style, Style::Button);
  // Scrolled sideways by 10 cells, the first column goes out of view.
  view.lists[1000].sideways = 10;
  RenderDialog(dialog, layout, view, false, canvas);
  EXPECT_EQ(canvas.RowText(5).substr(0, 31), " Belegt          Serial Cable o");
  EXPECT_EQ(canvas.RowText(3).rfind(" ←", 0), 0u);  // the mark for columns out of view
}

TEST(ScreenLayout, BelowTheSmallestSizeOneLineSaysWhichSizeIsNeeded) {
  PlainDialog dialog(MainDialogTemplate);
  FillPorts(dialog);
  DialogLayout small(dialog, 40, 10);
  ASSERT_FALSE(small.Fits());
  int width = small.neededWidth();
  int height = small.neededHeight();
  EXPECT_GT(width, 40);
  EXPECT_GT(height, 10);
  EXPECT_LE(width, 60);
  EXPECT_LE(height, 20);
  EXPECT_TRUE(DialogLayout(dialog, width, height).Fits());
  EXPECT_FALSE(DialogLayout(dialog, width - 1, height).Fits());
  EXPECT_FALSE(DialogLayout(dialog, width, height - 1).Fits());
  // Every size from the needed one on fits.
  for (int w = width; w <= 140; w += 7) {
    for (int h = height; h <= 60; h += 5) {
      EXPECT_TRUE(DialogLayout(dialog, w, h).Fits()) << w << "x" << h;
    }
  }
  Canvas canvas(70, 12);
  RenderTooSmall(width, height, LeaveDialog, canvas);
  std::string line = canvas.RowText(6);
  EXPECT_NE(
      line.find("zu klein: mindestens " + std::to_string(width) + " × " + std::to_string(height)),
      std::string::npos)
      << line;
  EXPECT_EQ(canvas.RowText(5), "");
  EXPECT_NE(canvas.RowText(7).find("Esc: Abbrechen, F10: OK"), std::string::npos);
  Canvas narrow(20, 5);
  RenderTooSmall(58, 17, LeaveDialog, narrow);
  EXPECT_EQ(narrow.RowText(2), " Mindestens 58 × 17");
  EXPECT_EQ(narrow.RowText(3), "   Esc: Abbrechen");  // a line for each key
  EXPECT_EQ(narrow.RowText(4), "      F10: OK");
}

TEST(ScreenLayout, ADropDownListOpensUpwardsOrIsCutToTheRoomThereIs) {
  PlainDialog dialog(MainDialogTemplate);
  FillPorts(dialog);
  for (Size size : {Size{60, 20}, Size{80, 24}, Size{132, 43}}) {
    DialogLayout layout(dialog, size.width, size.height);
    DialogView view;
    view.openCombo = 1003;
    view.comboHighlight = 10;  // the last item: it is brought into view
    SyncView(dialog, layout, view);
    DropDown drop = PlaceDropDown(dialog, layout, view);
    const CellRect& field = layout.Of(*dialog.FindControl(1003)).cells;
    EXPECT_GE(drop.items.row, CaptionRows);
    EXPECT_LE(drop.items.bottom(), size.height);
    EXPECT_FALSE(drop.items.Intersects(field));
    EXPECT_LE(drop.first, 10);
    EXPECT_GT(drop.first + drop.items.height, 10);
    std::string screen = Draw(dialog, size.width, size.height, &view);
    EXPECT_NE(screen.find("»COM9"), std::string::npos) << screen;
    if (drop.items.height < 11) {
      EXPECT_TRUE(drop.moreAbove) << screen;
    }
  }
  // At 80 x 24 there is more room above the field than below: upwards.
  DialogLayout layout(dialog, 80, 24);
  DialogView view;
  view.openCombo = 1003;
  SyncView(dialog, layout, view);
  DropDown drop = PlaceDropDown(dialog, layout, view);
  EXPECT_EQ(drop.items.bottom(), layout.Of(*dialog.FindControl(1003)).cells.row);
  EXPECT_EQ(drop.items.height, 11);
}

TEST(ScreenLayout, TheFocusIsMarkedInTextForEveryKindOfControl) {
  PlainDialog log(LogSettingsTemplate);
  log.SetFocus(2);
  EXPECT_NE(Draw(log, 80, 24).find("[»Abbrechen«]"), std::string::npos);
  log.SetFocus(1006);
  EXPECT_NE(Draw(log, 80, 24).find("[ ]»Protokolliere Leseoperationen«"), std::string::npos);

  PlainDialog main(MainDialogTemplate);
  FillPorts(main);
  main.SetFocus(1003);
  EXPECT_NE(Draw(main, 80, 24).find("»keinem"), std::string::npos);
  main.SetFocus(1000);  // no current row: the header is marked
  EXPECT_NE(Draw(main, 80, 24).find("»#"), std::string::npos);
  auto* list = main.Find<ui::ListView>(1000);
  list->SetItemState(4, ui::StateSelected | ui::StateFocused, ui::StateSelected | ui::StateFocused);
  std::string screen = Draw(main, 80, 24);
  EXPECT_NE(screen.find("»COM4"), std::string::npos) << screen;
  EXPECT_EQ(screen.find("»#"), std::string::npos);

  PlainDialog chooser(FileChooserTemplate);
  chooser.SetControlText(1112, u"GPS Logs");
  chooser.SetFocus(1112);
  DialogLayout layout(chooser, 80, 24);
  DialogView view;
  SyncView(chooser, layout, view);
  view.edits[1112].cursor = 3;
  Canvas canvas(80, 24);
  RenderDialog(chooser, layout, view, false, canvas);
  const CellRect& field = layout.Of(*chooser.FindControl(1112)).cells;
  ASSERT_TRUE(canvas.hasCursor());
  EXPECT_EQ(canvas.cursorRow(), field.row);
  EXPECT_EQ(canvas.cursorCol(), field.col + 3);
  EXPECT_EQ(canvas.At(field.col, field.row).style, Style::Focused);
}

TEST(ScreenLayout, ListsKeepTheirScrollingUntilTheProgramMovesTheFocus) {
  PlainDialog dialog(FileChooserTemplate);
  auto* list = dialog.Find<ui::ListView>(1020);
  list->InsertColumn(0, u"Name", 180);
  for (int i = 0; i < 40; ++i) {
    list->InsertItem(i, u"Ordner " + FromUtf8(std::to_string(i)));
  }
  DialogLayout layout(dialog, 80, 24);
  int rows = VisibleListRows(layout.Of(*list));
  DialogView view;
  SyncView(dialog, layout, view);
  EXPECT_EQ(view.lists[1020].top, 0);
  view.lists[1020].top = 12;  // the wheel
  SyncView(dialog, layout, view);
  EXPECT_EQ(view.lists[1020].top, 12);
  view.lists[1020].top = 100;  // past the end: the last page
  SyncView(dialog, layout, view);
  EXPECT_EQ(view.lists[1020].top, 40 - rows);
  list->SetItemState(3, ui::StateSelected | ui::StateFocused, ui::StateSelected | ui::StateFocused);
  SyncView(dialog, layout, view);
  EXPECT_EQ(view.lists[1020].top, 3);
  list->DeleteAllItems();  // a new listing starts at its top
  for (int i = 0; i < 30; ++i) {
    list->InsertItem(i, u"Datei");
  }
  SyncView(dialog, layout, view);
  EXPECT_EQ(view.lists[1020].top, 0);
  list->SetItemState(29, ui::StateSelected | ui::StateFocused,
                     ui::StateSelected | ui::StateFocused);
  list->EnsureVisible(29);
  SyncView(dialog, layout, view);
  EXPECT_EQ(view.lists[1020].top, 30 - rows);
}

TEST(ScreenLayout, HitsFindTheCaptionButtonsControlsRowsAndScrollMarks) {
  PlainDialog dialog(MainDialogTemplate);
  FillPorts(dialog);
  DialogLayout layout(dialog, 60, 20);
  DialogView view;
  SyncView(dialog, layout, view);
  const CellRect& list = layout.Of(*dialog.FindControl(1000)).cells;
  int rows = list.height - 1;
  ASSERT_LT(rows, 10);  // at 60 x 20 the ports scroll
  Hit hit = HitDialog(dialog, layout, view, list.col + 2, list.row + 2);
  EXPECT_EQ(hit.kind, Hit::Kind::ListRow);
  EXPECT_EQ(hit.index, 1);
  EXPECT_EQ(HitDialog(dialog, layout, view, list.col + 2, list.row).kind, Hit::Kind::Control);
  hit = HitDialog(dialog, layout, view, list.right() - 1, list.row + rows);
  EXPECT_EQ(hit.kind, Hit::Kind::ListScroll);
  EXPECT_EQ(hit.index, 1);
  hit = HitDialog(dialog, layout, view, list.right() - 1, list.row);
  EXPECT_EQ(hit.kind, Hit::Kind::ListSideways);
  EXPECT_EQ(hit.index, 1);
  EXPECT_EQ(HitDialog(dialog, layout, view, 56, 0).kind, Hit::Kind::Done);
  EXPECT_EQ(HitDialog(dialog, layout, view, 47, 0).kind, Hit::Kind::Help);
  EXPECT_EQ(HitDialog(dialog, layout, view, 10, 0).kind, Hit::Kind::None);
  const ControlCells& button = layout.Of(*dialog.FindControl(1002));
  hit = HitDialog(dialog, layout, view, button.cells.col + 1, button.cells.row);
  EXPECT_EQ(hit.controlId, 1002);
  view.openCombo = 1003;
  SyncView(dialog, layout, view);
  DropDown drop = PlaceDropDown(dialog, layout, view);
  hit = HitDialog(dialog, layout, view, drop.items.col + 2, drop.items.row + 1);
  EXPECT_EQ(hit.kind, Hit::Kind::ComboItem);
  EXPECT_EQ(hit.index, drop.first + 1);
}

TEST(ScreenLayout, MessageBoxesWrapAndOfferGermanButtons) {
  MessageState message;
  message.caption = u"Warnung";
  message.text = u"Erste Zeile.\n\nWollen Sie die Installation fortsetzen?";
  message.yesNo = true;
  Canvas canvas(80, 24);
  RenderMessage(message, canvas);
  std::string screen = canvas.Text();
  EXPECT_NE(screen.find("Warnung"), std::string::npos);
  EXPECT_NE(screen.find("Wollen Sie die Installation fortsetzen?"), std::string::npos);
  EXPECT_NE(screen.find("[»Ja«]  [ Nein ]"), std::string::npos) << screen;
  EXPECT_NE(screen.find("└──"), std::string::npos);
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
  EXPECT_EQ(MessageHeight(message, 80), 8);
}

TEST(ScreenLayout, WrapTextKeepsWordsWhole) {
  EXPECT_EQ(WrapText(u"eins zwei drei", 9), (std::vector<std::u16string>{u"eins zwei", u"drei"}));
  EXPECT_EQ(WrapText(u"abcdefgh", 3), (std::vector<std::u16string>{u"abc", u"def", u"gh"}));
  EXPECT_EQ(WrapText(u"a\nb", 10), (std::vector<std::u16string>{u"a", u"b"}));
  EXPECT_TRUE(WrapsWhole(u"eins zwei", 4));
  EXPECT_FALSE(WrapsWhole(u"eins zwei", 3));
}

}  // namespace
}  // namespace velmora::terminal
