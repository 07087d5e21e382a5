// The look of the handheld's screen in the window: the font standing in for
// the 8-point "System" font, the colours of the screen and its caption
// bar, and the program's icon.
#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPalette>
#include <QProxyStyle>

namespace velmora::window {

// The font: the largest pixel size whose average character (over A-Z and
// a-z) stays within 95 % of the horizontal base unit, so that texts fit
// the rectangles their templates give them.
QFont ScreenFont();

// White screen, black text, dark blue selection.
QPalette ScreenPalette();

// The caption bar's colours (top and bottom of its gradient) and text.
inline const QColor CaptionTop{0x2a, 0x4f, 0xa8};
inline const QColor CaptionBottom{0x0a, 0x24, 0x6a};
inline const QColor CaptionText{0xff, 0xff, 0xff};

// The toolkit's Fusion style with the handheld's proportions: thin scroll
// bars and small check boxes, as they were on its screen.
class ScreenStyle final : public QProxyStyle {
 public:
  ScreenStyle();
  int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr) const override;
};

// The program's icon (icon resource 128 of the templates).
QIcon ProgramIcon();

}  // namespace velmora::window
