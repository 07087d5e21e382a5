// Where things go on the handheld's screen as the window shows it: a
// portrait screen of 240 x 320 pixels, the caption bar (26 pixels) on top
// and below it the dialog, which fills the rest of the screen.
//
// Dialog units become pixels with the base units of the handheld's
// 8-point "System" font: an average character 5 pixels wide and 13 pixels
// high. A rectangle's edges are converted one by one, rounding to the
// nearest pixel, so that neighbouring controls stay neighbours:
//   x pixels = x units * 5 / 4, y pixels = y units * 13 / 8.
// These are the handheld's pixels: the window's logical pixels. The window
// is drawn at an integer scale (front_end_choice.h) by Qt's own scaling,
// so that fonts, frames, check marks and scroll bars all grow alike.
#pragma once

#include "platform/ui/dialog_template.h"

namespace velmora::window {

inline constexpr int ScreenWidth = 240;
inline constexpr int ScreenHeight = 320;
inline constexpr int CaptionHeight = 26;
inline constexpr int DialogAreaHeight = ScreenHeight - CaptionHeight;

inline constexpr int BaseUnitX = 5;
inline constexpr int BaseUnitY = 13;

// The width of a list's border in pixels (one on each side).
inline constexpr int ListBorder = 1;

// A closed drop-down list is one line of the font with its frame; the rest
// of its template rectangle is the height of the list it drops down.
inline constexpr int ComboClosedHeight = 20;

struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const PixelRect&) const = default;
};

// value * numerator / denominator, rounded to the nearest integer (halves
// away from zero), as the handheld converts dialog units.
int MulDivRound(int value, int numerator, int denominator);

// A rectangle in dialog units as pixels of the dialog area, unscaled.
PixelRect DialogUnitsToPixels(const ui::Rect& units);

// The client width of a list (inside its border), unscaled.
int ListClientWidth(const ui::Rect& units, bool border);

}  // namespace velmora::window
