#include "tk/font.h"

#include <QApplication>

#include "platform/text.h"

namespace tk {

Font::Font() : font_(QApplication::font()) {}

std::string Font::Name() const { return platform::FromQString(font_.family()).value_or(""); }

void Font::SetName(const std::string& name) {
  font_.setFamilies({platform::ToQString(name)});
  font_.setFamily(platform::ToQString(name));
}

void Font::SetSize(int points) {
  if (points > 0) font_.setPointSize(points);
}

int Font::Height() const {
  if (font_.pixelSize() > 0) return -font_.pixelSize();
  return -static_cast<int>(font_.pointSizeF() * 96.0 / 72.0 + 0.5);
}

void Font::SetHeight(int height) {
  if (height != 0) font_.setPixelSize(height < 0 ? -height : height);
}

unsigned Font::Style() const {
  unsigned s = 0;
  if (font_.bold()) s |= fsBold;
  if (font_.italic()) s |= fsItalic;
  if (font_.underline()) s |= fsUnderline;
  if (font_.strikeOut()) s |= fsStrikeOut;
  return s;
}

void Font::SetStyle(unsigned style) {
  font_.setBold(style & fsBold);
  font_.setItalic(style & fsItalic);
  font_.setUnderline(style & fsUnderline);
  font_.setStrikeOut(style & fsStrikeOut);
}

}  // namespace tk
