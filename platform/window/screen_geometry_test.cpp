#include "platform/window/screen_geometry.h"

#include <gtest/gtest.h>

#include "platform/dialog_templates.h"
#include "platform/text.h"

namespace velmora::window {
namespace {

TEST(ScreenGeometry, RoundsToTheNearestPixelWithHalvesAwayFromZero) {
  struct Case {
    int value, numerator, denominator, expected;
  } cases[] = {
      {2, 5, 4, 3},     // 2.5
      {1, 5, 4, 1},     // 1.25
      {3, 5, 4, 4},     // 3.75
      {13, 13, 8, 21},  // 21.125
      {-2, 5, 4, -3},   // -2.5
      {0, 13, 8, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MulDivRound(c.value, c.numerator, c.denominator), c.expected)
        << c.value << "*" << c.numerator << "/" << c.denominator;
  }
}

TEST(ScreenGeometry, ConvertsEdgesSoThatNeighboursStayNeighbours) {
  // The main dialog's list and the buttons to its right.
  EXPECT_EQ(DialogUnitsToPixels({2, 13, 129, 65}), (PixelRect{3, 21, 161, 106}));
  EXPECT_EQ(DialogUnitsToPixels({132, 13, 50, 12}), (PixelRect{165, 21, 63, 20}));
  // Two rectangles that touch in units touch in pixels.
  PixelRect left = DialogUnitsToPixels({1, 1, 3, 1});
  PixelRect right = DialogUnitsToPixels({4, 1, 3, 1});
  EXPECT_EQ(left.x + left.width, right.x);
  EXPECT_EQ(ListClientWidth({7, 44, 121, 84}, true), 149);
  EXPECT_EQ(ListClientWidth({7, 44, 121, 84}, false), 151);
}

TEST(ScreenGeometry, EveryControlOfTheProgramsDialogsIsOnTheScreen) {
  for (int id : {MainDialogTemplate, LogSettingsTemplate, FileChooserTemplate}) {
    for (const ui::ControlTemplate& control : DialogTemplateById(id).controls) {
      PixelRect pixels = DialogUnitsToPixels(control.rect);
      EXPECT_GE(pixels.x, 0);
      EXPECT_GE(pixels.y, 0);
      EXPECT_LE(pixels.x + pixels.width, ScreenWidth) << id << " " << ToUtf8(control.text);
      EXPECT_LE(pixels.y + pixels.height, DialogAreaHeight) << id << " " << ToUtf8(control.text);
    }
  }
}

}  // namespace
}  // namespace velmora::window
