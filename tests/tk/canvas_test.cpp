#include "tk/canvas.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPalette>

#include "tk/bitmap.h"

namespace {

using namespace tk;

// Source and destination 2x1 images with known pixels; each operation's result is checked per pixel.
struct RopCase {
  std::uint32_t Rop;
  std::uint32_t Expected0;  // from src 0x00F0F0F0 over dst 0x00CC33AA, brush 0x000F0F0F
  std::uint32_t Expected1;  // from src 0x00000000 over dst 0x00123456
};

TEST(CanvasRasterOps, EveryOperationGivesExactPixels) {
  const std::uint32_t s0 = 0xF0F0F0, d0 = 0xCC33AA, s1 = 0x000000, d1 = 0x123456;
  const RopCase cases[] = {
      {cmSrcCopy, s0, s1},
      {cmSrcInvert, s0 ^ d0, s1 ^ d1},
      {cmSrcAnd, s0 & d0, s1 & d1},
      {cmSrcPaint, s0 | d0, s1 | d1},
      {cmSrcErase, s0 & ~d0 & 0xFFFFFF, s1 & ~d1 & 0xFFFFFF},
      {cmNotSrcCopy, ~s0 & 0xFFFFFF, ~s1 & 0xFFFFFF},
      {cmNotSrcErase, ~(s0 | d0) & 0xFFFFFF, ~(s1 | d1) & 0xFFFFFF},
      {cmMergePaint, (~s0 | d0) & 0xFFFFFF, (~s1 | d1) & 0xFFFFFF},
      {cmDstInvert, ~d0 & 0xFFFFFF, ~d1 & 0xFFFFFF},
      {cmBlackness, 0, 0},
      {cmWhiteness, 0xFFFFFF, 0xFFFFFF},
      {cmMergeCopy, s0 & 0x0F0F0F, s1 & 0x0F0F0F},
      {cmPatCopy, 0x0F0F0F, 0x0F0F0F},
      {cmPatInvert, 0x0F0F0F ^ d0, 0x0F0F0F ^ d1},
  };
  for (const RopCase& c : cases) {
    QImage src(2, 1, QImage::Format_RGB32), dst(2, 1, QImage::Format_RGB32);
    src.setPixel(0, 0, 0xFF000000 | s0);
    src.setPixel(1, 0, 0xFF000000 | s1);
    dst.setPixel(0, 0, 0xFF000000 | d0);
    dst.setPixel(1, 0, 0xFF000000 | d1);
    Canvas canvas(&dst);
    canvas.CopyMode = c.Rop;
    canvas.Brush.Color = RGB(0x0F, 0x0F, 0x0F);
    canvas.CopyRect({0, 0, 2, 1}, src, {0, 0, 2, 1});
    canvas.Flush();
    EXPECT_EQ(dst.pixel(0, 0) & 0xFFFFFF, c.Expected0) << std::hex << c.Rop;
    EXPECT_EQ(dst.pixel(1, 0) & 0xFFFFFF, c.Expected1) << std::hex << c.Rop;
  }
}

TEST(CanvasRasterOps, PaintThroughMaskKeepsTheDestinationWhereTheSourceIsBlack) {
  // 0xE20746: where the source bit is set the brush shows, elsewhere the destination stays.
  EXPECT_EQ(ApplyRop(0x00E20746, 0x00FF00, 0xFFFFFF, 0x123456), 0x00FF00u);
  EXPECT_EQ(ApplyRop(0x00E20746, 0x00FF00, 0x000000, 0x123456), 0x123456u);
}

TEST(CanvasRasterOps, CopiesClipToTheDestinationAndStretch) {
  QImage src(1, 1, QImage::Format_RGB32);
  src.fill(0xFF0000FF);
  QImage dst(3, 3, QImage::Format_RGB32);
  dst.fill(0xFF000000);
  Canvas canvas(&dst);
  canvas.CopyRect({1, 1, 5, 5}, src, {0, 0, 1, 1});  // stretched, and cut at the image's edge
  canvas.Flush();
  EXPECT_EQ(dst.pixel(0, 0) & 0xFFFFFF, 0u);
  EXPECT_EQ(dst.pixel(1, 1) & 0xFFFFFF, 0x0000FFu);
  EXPECT_EQ(dst.pixel(2, 2) & 0xFFFFFF, 0x0000FFu);
}

TEST(CanvasDrawing, Frame3DPaintsTopLeftAndBottomRightAndShrinks) {
  Bitmap bmp(4, 4);
  Canvas& c = bmp.Canvas();
  c.Brush.Color = clWhite;
  c.FillRect({0, 0, 4, 4});
  Rect r{0, 0, 4, 4};
  c.Frame3D(r, clRed, clBlue, 1);
  EXPECT_EQ(r, (Rect{1, 1, 3, 3}));
  const QImage& img = bmp.Image();
  auto at = [&](int x, int y) { return FromQColor(QColor(img.pixel(x, y))); };
  EXPECT_EQ(at(0, 0), clRed);
  EXPECT_EQ(at(2, 0), clRed);
  EXPECT_EQ(at(3, 0), clBlue);  // top-right corner belongs to the bottom-right colour
  EXPECT_EQ(at(0, 2), clRed);
  EXPECT_EQ(at(0, 3), clBlue);  // and so does the bottom-left corner
  EXPECT_EQ(at(3, 3), clBlue);
  EXPECT_EQ(at(1, 1), clWhite);
}

TEST(CanvasDrawing, LineToLeavesItsEndPointUnpainted) {
  Bitmap bmp(5, 5);
  Canvas& c = bmp.Canvas();
  c.Pen.Color = clBlack;
  c.MoveTo(0, 2);
  c.LineTo(4, 2);
  c.LineTo(4, 0);
  const QImage& img = bmp.Image();
  EXPECT_EQ(img.pixel(0, 2) & 0xFFFFFF, 0u);
  EXPECT_EQ(img.pixel(3, 2) & 0xFFFFFF, 0u);
  EXPECT_EQ(img.pixel(4, 2) & 0xFFFFFF, 0u);  // drawn by the second line, which starts there
  EXPECT_EQ(img.pixel(4, 1) & 0xFFFFFF, 0u);
  EXPECT_EQ(img.pixel(4, 0) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(c.PenPos(), (Point{4, 0}));
}

TEST(CanvasText, CalcRectMeasuresWithoutDrawing) {
  Bitmap bmp(200, 50);
  Canvas& c = bmp.Canvas();
  Rect r{0, 0, 200, 50};
  int h = c.DrawText("Hello", r, DT_SINGLELINE | DT_CALCRECT);
  EXPECT_EQ(r.Width(), c.TextWidth("Hello"));
  EXPECT_EQ(h, r.Height());
  EXPECT_EQ(h, c.TextHeight("Hello"));
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 200; ++x) ASSERT_EQ(bmp.Image().pixel(x, y) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(CanvasText, RightAndCentreAlignmentPlaceTheText) {
  Bitmap bmp(200, 30);
  Canvas& c = bmp.Canvas();
  c.TextAntialias = false;
  c.Brush.Style = BrushStyle::Clear;
  c.Font.SetColor(clBlack);
  Rect r{0, 0, 200, 30};
  c.DrawText("W", r, DT_SINGLELINE | DT_RIGHT);
  const QImage& img = bmp.Image();
  int minX = 200;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 200; ++x)
      if ((img.pixel(x, y) & 0xFFFFFF) == 0) minX = std::min(minX, x);
  EXPECT_GE(minX, 200 - c.TextWidth("W") - 1);
}

TEST(Color, SystemColoursComeFromThePaletteAndPlainOnesStay) {
  EXPECT_EQ(ColorToRGB(clRed), 0x0000FF);
  EXPECT_EQ(ColorToRGB(0x02123456), 0x123456);  // palette flag dropped
  EXPECT_EQ(ColorToRGB(clWindow), FromQColor(QApplication::palette().color(QPalette::Base)));
  EXPECT_EQ(ToQColor(clBlue), QColor(0, 0, 255));
}

}  // namespace
