#pragma once
// A font with a colour, as the original's font object: the Qt font plus the colour text is drawn in.
#include <QFont>
#include <string>

#include "tk/color.h"

namespace tk {

enum FontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

class Font {
 public:
  Font();

  std::string Name() const;
  void SetName(const std::string& name);
  int Size() const { return font_.pointSize(); }  // points; -1 when set by height
  void SetSize(int points);
  // Negative: character height in pixels; positive: cell height (taken as the pixel size here).
  int Height() const;
  void SetHeight(int height);
  unsigned Style() const;
  void SetStyle(unsigned style);
  TColor Color() const { return color_; }
  void SetColor(TColor color) { color_ = color; }
  // Angle of the text's base line in tenths of a degree, counter-clockwise: Canvas::TextOut and TextRect
  // draw along it (glyphs turn with it).
  int Escapement() const { return escapement_; }
  void SetEscapement(int tenths) { escapement_ = tenths; }

  const QFont& Q() const { return font_; }
  void SetQ(const QFont& font) { font_ = font; }
  friend bool operator==(const Font& a, const Font& b) {
    return a.font_ == b.font_ && a.color_ == b.color_ && a.escapement_ == b.escapement_;
  }

 private:
  QFont font_;
  TColor color_ = clWindowText;
  int escapement_ = 0;
};

}  // namespace tk
