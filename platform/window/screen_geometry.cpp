#include "platform/window/screen_geometry.h"

#include <cstdint>

namespace velmora::window {

int MulDivRound(int value, int numerator, int denominator) {
  int64_t product = static_cast<int64_t>(value) * numerator;
  int64_t half = denominator / 2;
  int64_t rounded = product >= 0 ? (product + half) / denominator : (product - half) / denominator;
  return static_cast<int>(rounded);
}

PixelRect DialogUnitsToPixels(const ui::Rect& units) {
  int left = MulDivRound(units.x, BaseUnitX, 4);
  int top = MulDivRound(units.y, BaseUnitY, 8);
  int right = MulDivRound(units.x + units.width, BaseUnitX, 4);
  int bottom = MulDivRound(units.y + units.height, BaseUnitY, 8);
  return PixelRect{left, top, right - left, bottom - top};
}

int ListClientWidth(const ui::Rect& units, bool border) {
  return DialogUnitsToPixels(units).width - (border ? 2 * ListBorder : 0);
}

}  // namespace velmora::window
