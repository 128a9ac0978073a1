// The library's own bitmaps and cursors, rotated fonts and painting what lies under a control.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBitmap>
#include <QPainter>
#include <QPalette>

#include "controls/misc.h"
#include "tk/bitmap.h"
#include "tk/control.h"

namespace {

using namespace controls;

QRgb Rgb(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

TEST(MiscResources, BitmapsLoadByNameInAnyCase) {
  for (const char* name : {"VXBTNCLC", "VXTCCHECKGLYPHS", "VXOLBRUSH", "vxbtnclc", "VxOlBrush"})
    EXPECT_FALSE(LoadBaseBitmap(name).isNull()) << name;
  EXPECT_TRUE(LoadBaseBitmap("VXNOSUCHBITMAP").isNull());
  EXPECT_TRUE(LoadBaseBitmap("").isNull());
  // A cursor is not a bitmap.
  EXPECT_TRUE(LoadBaseBitmap("VXTABCURSOR").isNull());
}

TEST(MiscResources, CheckGlyphsAreSquaresSideBySide) {
  QImage glyphs = LoadBaseBitmap("VXTCCHECKGLYPHS");
  ASSERT_GT(glyphs.height(), 0);
  ASSERT_EQ(glyphs.width() % glyphs.height(), 0);
  int size = glyphs.height();
  EXPECT_EQ(glyphs.width() / size, 3);  // unchecked, checked, grayed
  // The same spot inside each box: clear when unchecked, ink when checked, grey ink when grayed.
  int x = 3, y = 6;
  EXPECT_EQ(Rgb(glyphs, x, y), 0xFFFFFFu);
  EXPECT_EQ(Rgb(glyphs, size + x, y), 0x000000u);
  EXPECT_EQ(Rgb(glyphs, 2 * size + x, y), 0x808080u);
  EXPECT_EQ(Rgb(glyphs, 2 * size + 6, 3), 0xC0C0C0u);  // grayed box: silver inside
}

TEST(MiscResources, CalculatorGlyphHasItsKeyColourInTheBottomLeftCorner) {
  QImage glyph = LoadBaseBitmap("VXBTNCLC");
  ASSERT_FALSE(glyph.isNull());
  EXPECT_LE(glyph.width() + 4, 17);  // leaves the button no wider than a scroll bar
  QRgb key = Rgb(glyph, 0, glyph.height() - 1);
  int ink = 0;
  for (int y = 0; y < glyph.height(); ++y)
    for (int x = 0; x < glyph.width(); ++x) ink += Rgb(glyph, x, y) != key;
  EXPECT_GT(ink, glyph.width() * glyph.height() / 2);
  // Drawn through its key colour, the corners leave the canvas alone.
  tk::Bitmap target(glyph.width(), glyph.height());
  target.Canvas().Brush.Color = tk::clLime;
  target.Canvas().FillRect({0, 0, glyph.width(), glyph.height()});
  DrawTransparentBitmap(target.Canvas(), 0, 0, 0, 0, {}, glyph, tk::clDefault);
  EXPECT_EQ(Rgb(target.Image(), 0, 0), 0x00FF00u);
  EXPECT_EQ(Rgb(target.Image(), 1, 1), 0x000000u);
}

TEST(MiscResources, OutlineBrushAlternatesEveryPixel) {
  QImage brush = LoadBaseBitmap("VXOLBRUSH");
  ASSERT_EQ(brush.size(), QSize(8, 8));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(Rgb(brush, x, y), (x + y) % 2 ? 0xFFFFFFu : 0u) << x << "," << y;
}

TEST(MiscResources, CursorsLoadWithTheirHotSpotsOnInk) {
  EXPECT_FALSE(LoadBaseCursor("VXNOSUCHCURSOR").has_value());
  EXPECT_FALSE(LoadBaseCursor("VXBTNCLC").has_value());
  struct Case {
    const char* Name;
    QPoint Hot;
  } cases[] = {{"VXTABCURSOR", {0, 0}}, {"VXCOLUMNMOVECURSOR", {15, 15}}, {"vxrowmovecursor", {15, 15}}};
  for (const Case& c : cases) {
    std::optional<QCursor> cursor = LoadBaseCursor(c.Name);
    ASSERT_TRUE(cursor.has_value()) << c.Name;
    EXPECT_EQ(cursor->hotSpot(), c.Hot) << c.Name;
    QImage picture = cursor->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(picture.size(), QSize(32, 32)) << c.Name;
    EXPECT_EQ(picture.pixel(c.Hot), 0xFF000000u) << c.Name;  // opaque black where it points
    EXPECT_EQ(qAlpha(picture.pixel(31, 31)), 0) << c.Name;   // the rest shows what is under it
  }
  // The row cursor is the column cursor turned on its side.
  QImage column = LoadBaseCursor("VXCOLUMNMOVECURSOR")->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
  QImage row = LoadBaseCursor("VXROWMOVECURSOR")->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) ASSERT_EQ(column.pixel(x, y), row.pixel(y, x)) << x << "," << y;
}

TEST(MiscFonts, RotatedFontKeepsTheFaceAndTurnsTheBaseLine) {
  tk::Font font;
  font.SetName("DejaVu Sans");
  font.SetHeight(-15);
  font.SetStyle(tk::fsBold | tk::fsUnderline);
  font.SetColor(tk::clRed);
  tk::Font rotated = CreateRotatedFont(font, 45);
  EXPECT_EQ(rotated.Escapement(), 450);
  EXPECT_EQ(rotated.Height(), -15);
  EXPECT_EQ(rotated.Name(), "DejaVu Sans");
  EXPECT_EQ(rotated.Q().weight(), QFont::Bold);
  EXPECT_EQ(rotated.Style(), unsigned(tk::fsBold | tk::fsUnderline));
  EXPECT_EQ(rotated.Color(), tk::clRed);
  EXPECT_EQ(font.Escapement(), 0);  // the given font is left alone

  // Weights snap to bold or normal, as the style reads them.
  QFont q = font.Q();
  q.setWeight(QFont::DemiBold);
  font.SetQ(q);
  EXPECT_EQ(CreateRotatedFont(font, -90).Q().weight(), QFont::Bold);
  q.setWeight(QFont::Light);
  font.SetQ(q);
  EXPECT_EQ(CreateRotatedFont(font, -90).Q().weight(), QFont::Normal);
  EXPECT_EQ(CreateRotatedFont(font, -90).Escapement(), -900);

  font.SetName(std::string(40, 'F'));
  EXPECT_EQ(CreateRotatedFont(font, 10).Name(), std::string(31, 'F'));
}

// Bounds of the non-white pixels of an image.
QRect Ink(const QImage& image) {
  QRect box;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (Rgb(image, x, y) != 0xFFFFFFu) box |= QRect(x, y, 1, 1);
  return box;
}

TEST(MiscFonts, RotatedTextRunsUpFromItsStartPoint) {
  tk::Font font;
  font.SetHeight(-14);
  font.SetColor(tk::clBlack);
  tk::Bitmap bmp(120, 120);
  tk::Canvas& canvas = bmp.Canvas();
  canvas.Brush.Style = tk::BrushStyle::Clear;
  canvas.Font = CreateRotatedFont(font, 90);
  int width = canvas.TextWidth("HHHHHH"), height = canvas.TextHeight("H");
  canvas.TextOut(30, 100, "HHHHHH");
  QRect ink = Ink(bmp.Image());
  ASSERT_FALSE(ink.isEmpty());
  // Turned a quarter counter-clockwise about (30, 100): the line runs upwards, its top to the left.
  EXPECT_GT(ink.height(), ink.width());
  EXPECT_GE(ink.left(), 30);
  EXPECT_LE(ink.right(), 30 + height);
  EXPECT_LE(ink.bottom(), 100);
  EXPECT_GE(ink.top(), 100 - width - 1);
  EXPECT_NEAR(canvas.PenPos().X, 30, 1);
  EXPECT_NEAR(canvas.PenPos().Y, 100 - width, 1);
}

// A parent that paints its own picture: red in its left half.
class PaintedParent : public QWidget {
 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(0, 0, width() / 2, height(), Qt::red);
  }
};

// A non-windowed control filled with one colour.
class Swatch : public tk::GraphicControl {
 public:
  Swatch(QWidget* parent, QColor colour, QRect bounds) : tk::GraphicControl(nullptr, parent), colour_(colour) {
    setGeometry(bounds);
  }

 protected:
  void Paint(tk::Canvas& canvas) override {
    canvas.Brush.Color = tk::FromQColor(colour_);
    canvas.FillRect(ClientRect());
  }

 private:
  QColor colour_;
};

// A non-windowed control that shows only what lies under it.
class SeeThrough : public tk::GraphicControl {
 public:
  SeeThrough(QWidget* parent, QRect bounds) : tk::GraphicControl(nullptr, parent) { setGeometry(bounds); }

 protected:
  void Paint(tk::Canvas& canvas) override { CopyParentImage(this, canvas); }
};

struct UnderFixture {
  UnderFixture() {
    QPalette pal = parent.palette();
    pal.setColor(QPalette::Window, QColor(0, 0, 255));  // blue background on the right half
    parent.setPalette(pal);
    parent.resize(100, 60);
  }
  PaintedParent parent;
};

TEST(MiscDrawing, CopyParentImageShowsTheParentAndTheGraphicSiblingsBelow) {
  UnderFixture f;
  new Swatch(&f.parent, Qt::green, QRect(40, 0, 10, 10));  // below, overlapping
  auto* hidden = new Swatch(&f.parent, Qt::yellow, QRect(40, 10, 10, 10));
  hidden->hide();
  auto* windowed = new QWidget(&f.parent);  // a window of its own is not painted under the control
  windowed->setGeometry(40, 20, 10, 10);
  windowed->setAutoFillBackground(true);
  QPalette magenta = windowed->palette();
  magenta.setColor(QPalette::Window, Qt::magenta);
  windowed->setPalette(magenta);
  auto* control = new SeeThrough(&f.parent, QRect(30, 0, 40, 40));
  new Swatch(&f.parent, Qt::cyan, QRect(60, 30, 10, 10));  // above the control: not under it

  tk::Bitmap under(40, 40);
  CopyParentImage(control, under.Canvas());
  const QImage& img = under.Image();
  EXPECT_EQ(Rgb(img, 5, 35), 0xFF0000u);   // parent x 35: its red half
  EXPECT_EQ(Rgb(img, 25, 35), 0x0000FFu);  // parent x 55: its blue background
  EXPECT_EQ(Rgb(img, 15, 5), 0x00FF00u);   // the green sibling at parent (45, 5)
  EXPECT_EQ(Rgb(img, 15, 15), 0xFF0000u);  // the hidden one is not there
  EXPECT_EQ(Rgb(img, 15, 25), 0xFF0000u);  // nor the windowed one
  EXPECT_EQ(Rgb(img, 35, 35), 0x0000FFu);  // nor the one above

  // Inside the control's own paint event, the same picture comes out.
  QImage grabbed = control->grab().toImage();
  EXPECT_EQ(Rgb(grabbed, 5, 35), 0xFF0000u);
  EXPECT_EQ(Rgb(grabbed, 15, 5), 0x00FF00u);
  EXPECT_EQ(Rgb(grabbed, 35, 35), 0x0000FFu);
}

TEST(MiscDrawing, CopyParentImageLeavesWhatLiesOutsideTheParent) {
  UnderFixture f;
  auto* control = new SeeThrough(&f.parent, QRect(80, 50, 40, 40));  // hangs over the right and bottom
  tk::Bitmap under(40, 40);
  under.Canvas().Brush.Color = tk::clWhite;
  under.Canvas().FillRect({0, 0, 40, 40});
  CopyParentImage(control, under.Canvas());
  EXPECT_EQ(Rgb(under.Image(), 5, 5), 0x0000FFu);
  EXPECT_EQ(Rgb(under.Image(), 25, 5), 0xFFFFFFu);
  EXPECT_EQ(Rgb(under.Image(), 5, 15), 0xFFFFFFu);
  // No parent: nothing drawn.
  SeeThrough orphan(nullptr, QRect(0, 0, 10, 10));
  tk::Bitmap none(10, 10);
  CopyParentImage(&orphan, none.Canvas());
  EXPECT_EQ(Rgb(none.Image(), 5, 5), 0xFFFFFFu);
}

}  // namespace
