#pragma once
// A drawing surface with the original's canvas operations: pen, brush, font, pen position, lines,
// rectangles, 3-D frames, text, bitmaps and copies with raster operations. Over a QImage, every raster
// operation that combines with existing pixels is computed exactly per pixel.
#include <QImage>
#include <QPainter>
#include <cstdint>
#include <memory>
#include <string>

#include "tk/color.h"
#include "tk/font.h"
#include "tk/types.h"

class QPaintDevice;

namespace tk {

// Ternary raster operation codes of the original platform.
enum RasterOp : std::uint32_t {
  cmBlackness = 0x00000042,
  cmDstInvert = 0x00550009,
  cmMergeCopy = 0x00C000CA,
  cmMergePaint = 0x00BB0226,
  cmNotSrcCopy = 0x00330008,
  cmNotSrcErase = 0x001100A6,
  cmPatCopy = 0x00F00021,
  cmPatInvert = 0x005A0049,
  cmPatPaint = 0x00FB0A09,
  cmSrcAnd = 0x008800C6,
  cmSrcCopy = 0x00CC0020,
  cmSrcErase = 0x00440328,
  cmSrcInvert = 0x00660046,
  cmSrcPaint = 0x00EE0086,
  cmWhiteness = 0x00FF0062,
};

// Text flags of DrawText.
enum TextFlag : std::uint32_t {
  DT_TOP = 0,
  DT_LEFT = 0,
  DT_CENTER = 0x1,
  DT_RIGHT = 0x2,
  DT_VCENTER = 0x4,
  DT_BOTTOM = 0x8,
  DT_WORDBREAK = 0x10,
  DT_SINGLELINE = 0x20,
  DT_EXPANDTABS = 0x40,
  DT_NOCLIP = 0x100,
  DT_CALCRECT = 0x400,
  DT_NOPREFIX = 0x800,
  DT_END_ELLIPSIS = 0x8000,
};

enum class BrushStyle { Solid, Clear };

struct Pen {
  TColor Color = clBlack;
  int Width = 1;
};

struct Brush {
  TColor Color = clWhite;
  BrushStyle Style = BrushStyle::Solid;
};

// One pixel of a raster operation, on 0x00RRGGBB words (the same bit logic holds in any channel order).
std::uint32_t ApplyRop(std::uint32_t rop, std::uint32_t pattern, std::uint32_t source, std::uint32_t dest);

class Canvas {
 public:
  // Over an image: exact raster operations. Over any other device (a widget inside paintEvent): the
  // painter's own raster modes.
  explicit Canvas(QPaintDevice* device);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  tk::Pen Pen;
  tk::Brush Brush;
  tk::Font Font;
  std::uint32_t CopyMode = cmSrcCopy;
  bool TextAntialias = true;

  QImage* Image() const { return image_; }
  Point PenPos() const { return penPos_; }
  void MoveTo(int x, int y) { penPos_ = {x, y}; }
  // Draws to (x, y) without its last point, and moves the pen there.
  void LineTo(int x, int y);
  void FillRect(const Rect& r);
  void FrameRect(const Rect& r);  // one-pixel border in the brush colour
  void Rectangle(const Rect& r);  // pen border, brush inside
  // One frame per step of `width`: top and left edges in topLeft, bottom and right in bottomRight; the
  // rectangle shrinks by one pixel on every side per step.
  void Frame3D(Rect& r, TColor topLeft, TColor bottomRight, int width);
  void DrawFocusRect(const Rect& r);

  // With a rotated font (Font.Escapement) the text runs along its angle from (x, y); DrawText ignores it.
  void TextOut(int x, int y, const std::string& text);
  void TextRect(const Rect& r, int x, int y, const std::string& text);
  int TextWidth(const std::string& text);
  int TextHeight(const std::string& text);
  // Draws or (with DT_CALCRECT) measures text in the rectangle; returns the text's height.
  int DrawText(const std::string& text, Rect& r, std::uint32_t flags);

  void Draw(int x, int y, const QImage& image);
  void StretchDraw(const Rect& r, const QImage& image);
  // Copies `source` of `from` into `dest` (stretching when sizes differ) with CopyMode.
  void CopyRect(const Rect& dest, Canvas& from, const Rect& source);
  void CopyRect(const Rect& dest, const QImage& from, const Rect& source);

  TColor Pixel(int x, int y);
  void SetPixel(int x, int y, TColor color);

  // Ends the painter; the next drawing call begins it again.
  void Flush();

 private:
  QPainter& P();
  QFont TextFont() const;
  int QtTextFlags(std::uint32_t flags) const;

  QPaintDevice* device_;
  QImage* image_ = nullptr;
  std::unique_ptr<QPainter> painter_;
  Point penPos_;
};

}  // namespace tk
