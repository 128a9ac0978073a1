#include "tk/color.h"

#include <QApplication>
#include <QColor>
#include <QPalette>

namespace tk {

bool IsSystemColor(TColor color) { return color < 0; }

namespace {

QColor SystemColor(int index) {
  QPalette palette = QApplication::palette();
  switch (index) {
    case 1:  // desktop
    case 4:  // menu
    case 15:
    case 22:
      return palette.color(QPalette::Active, QPalette::Button);
    case 5:
      return palette.color(QPalette::Active, QPalette::Base);
    case 6:
    case 21:
      return palette.color(QPalette::Active, QPalette::Shadow);
    case 7:
    case 18:
      return palette.color(QPalette::Active, QPalette::ButtonText);
    case 8:
      return palette.color(QPalette::Active, QPalette::Text);
    case 2:
    case 13:
      return palette.color(QPalette::Active, QPalette::Highlight);
    case 9:
    case 14:
      return palette.color(QPalette::Active, QPalette::HighlightedText);
    case 16:
      return palette.color(QPalette::Active, QPalette::Dark);
    case 17:
      return palette.color(QPalette::Disabled, QPalette::Text);
    case 20:
      return palette.color(QPalette::Active, QPalette::Light);
    case 23:
      return palette.color(QPalette::Active, QPalette::ToolTipText);
    case 24:
      return palette.color(QPalette::Active, QPalette::ToolTipBase);
    default:
      return palette.color(QPalette::Active, QPalette::Window);
  }
}

}  // namespace

TColor FromQColor(const QColor& color) { return RGB(color.red(), color.green(), color.blue()); }

TColor ColorToRGB(TColor color) {
  if (IsSystemColor(color)) return FromQColor(SystemColor(color & 0xFF));
  return color & 0xFFFFFF;
}

QColor ToQColor(TColor color) {
  TColor rgb = ColorToRGB(color);
  return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

}  // namespace tk
