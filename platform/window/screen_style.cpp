#include "platform/window/screen_style.h"

#include <QFontMetricsF>
#include <QString>
#include <QStyleFactory>

#include "platform/window/screen_geometry.h"

namespace velmora::window {

QFont ScreenFont() {
  static const QString alphabet =
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  QFont font(QStringLiteral("DejaVu Sans Condensed"));
  font.setStyleHint(QFont::SansSerif);
  double widest = 0.95 * BaseUnitX;
  for (int size = BaseUnitY; size > 1; --size) {
    font.setPixelSize(size);
    double average = QFontMetricsF(font).horizontalAdvance(alphabet) / alphabet.size();
    if (average <= widest) {
      break;
    }
  }
  return font;
}

QPalette ScreenPalette() {
  QPalette palette;
  const QColor white(0xff, 0xff, 0xff);
  const QColor black(0x00, 0x00, 0x00);
  const QColor grey(0x80, 0x80, 0x80);
  palette.setColor(QPalette::Window, white);
  palette.setColor(QPalette::WindowText, black);
  palette.setColor(QPalette::Base, white);
  palette.setColor(QPalette::AlternateBase, white);
  palette.setColor(QPalette::Text, black);
  palette.setColor(QPalette::Button, QColor(0xe4, 0xe4, 0xe4));
  palette.setColor(QPalette::ButtonText, black);
  palette.setColor(QPalette::Highlight, QColor(0x0a, 0x24, 0x6a));
  palette.setColor(QPalette::HighlightedText, white);
  palette.setColor(QPalette::Inactive, QPalette::Highlight, QColor(0xc0, 0xc0, 0xc0));
  palette.setColor(QPalette::Inactive, QPalette::HighlightedText, black);
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    palette.setColor(QPalette::Disabled, role, grey);
  }
  palette.setColor(QPalette::Disabled, QPalette::Base, white);
  return palette;
}

namespace {

// The handheld's scroll bars and check boxes, in its pixels.
constexpr int ScrollBarWidth = 11;
constexpr int CheckBoxSide = 11;

}  // namespace

ScreenStyle::ScreenStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

int ScreenStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                             const QWidget* widget) const {
  switch (metric) {
    case PM_ScrollBarExtent:
      return ScrollBarWidth;
    case PM_IndicatorWidth:
    case PM_IndicatorHeight:
      return CheckBoxSide;
    default:
      return QProxyStyle::pixelMetric(metric, option, widget);
  }
}

QIcon ProgramIcon() {
  return QIcon(QStringLiteral(":/velmora/velmora-cfg.svg"));
}

}  // namespace velmora::window
