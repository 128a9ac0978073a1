#include "tk/canvas.h"

#include <QFontMetrics>
#include <QPaintDevice>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/text.h"

namespace tk {

std::uint32_t ApplyRop(std::uint32_t rop, std::uint32_t pattern, std::uint32_t source, std::uint32_t dest) {
  // The operation's middle byte is its truth table, indexed by (pattern, source, destination) bits.
  std::uint32_t table = (rop >> 16) & 0xFF;
  std::uint32_t result = 0;
  for (unsigned index = 0; index < 8; ++index) {
    if (!(table & (1u << index))) continue;
    std::uint32_t p = (index & 4) ? pattern : ~pattern;
    std::uint32_t s = (index & 2) ? source : ~source;
    std::uint32_t d = (index & 1) ? dest : ~dest;
    result |= p & s & d;
  }
  return result & 0xFFFFFF;
}

namespace {

std::uint32_t ToPixel(TColor color) {
  TColor rgb = ColorToRGB(color);
  return 0xFF000000u | static_cast<std::uint32_t>((rgb & 0xFF) << 16 | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
}

QPainter::CompositionMode QtRop(std::uint32_t rop) {
  switch (rop) {
    case cmSrcInvert:
      return QPainter::RasterOp_SourceXorDestination;
    case cmSrcAnd:
      return QPainter::RasterOp_SourceAndDestination;
    case cmSrcPaint:
      return QPainter::RasterOp_SourceOrDestination;
    case cmNotSrcCopy:
      return QPainter::RasterOp_NotSource;
    case cmSrcErase:
      return QPainter::RasterOp_SourceAndNotDestination;
    case cmNotSrcErase:
      return QPainter::RasterOp_NotSourceAndNotDestination;
    case cmMergePaint:
      return QPainter::RasterOp_NotSourceOrDestination;
    default:
      return QPainter::CompositionMode_Source;
  }
}

}  // namespace

Canvas::Canvas(QPaintDevice* device) : device_(device) {
  if (device && device->devType() == QInternal::Image) image_ = static_cast<QImage*>(device);
}

Canvas::~Canvas() { Flush(); }

void Canvas::Flush() {
  if (painter_) {
    painter_->end();
    painter_.reset();
  }
}

QPainter& Canvas::P() {
  if (!painter_) {
    painter_ = std::make_unique<QPainter>(device_);
    painter_->setRenderHint(QPainter::Antialiasing, false);
  }
  return *painter_;
}

QFont Canvas::TextFont() const {
  QFont f = Font.Q();
  if (!TextAntialias) f.setStyleStrategy(QFont::NoAntialias);
  return f;
}

void Canvas::LineTo(int x, int y) {
  Point from = penPos_;
  penPos_ = {x, y};
  QColor color = ToQColor(Pen.Color);
  int w = std::max(1, Pen.Width);
  if (from.Y == y) {
    int left = x > from.X ? from.X : x + 1, right = x > from.X ? x : from.X + 1;
    if (right > left) P().fillRect(left, y, right - left, w, color);
  } else if (from.X == x) {
    int top = y < from.Y ? y + 1 : from.Y, bottom = y < from.Y ? from.Y + 1 : y;
    if (bottom > top) P().fillRect(x, top, w, bottom - top, color);
  } else {
    // Oblique lines: step back one pixel along the major axis so the end point stays unpainted.
    int dx = x - from.X, dy = y - from.Y;
    int steps = std::max(std::abs(dx), std::abs(dy));
    QPointF end(x - static_cast<double>(dx) / steps, y - static_cast<double>(dy) / steps);
    P().setPen(QPen(color, w));
    P().drawLine(QPointF(from.X, from.Y), end);
  }
}

void Canvas::FillRect(const Rect& r) {
  if (r.Empty()) return;
  P().fillRect(r.ToQRect(), ToQColor(Brush.Color));
}

void Canvas::FrameRect(const Rect& r) {
  if (r.Empty()) return;
  QColor c = ToQColor(Brush.Color);
  P().fillRect(r.Left, r.Top, r.Width(), 1, c);
  P().fillRect(r.Left, r.Bottom - 1, r.Width(), 1, c);
  P().fillRect(r.Left, r.Top, 1, r.Height(), c);
  P().fillRect(r.Right - 1, r.Top, 1, r.Height(), c);
}

void Canvas::Rectangle(const Rect& r) {
  if (r.Empty()) return;
  if (Brush.Style == BrushStyle::Solid) P().fillRect(r.ToQRect(), ToQColor(Brush.Color));
  QColor c = ToQColor(Pen.Color);
  P().fillRect(r.Left, r.Top, r.Width(), 1, c);
  P().fillRect(r.Left, r.Bottom - 1, r.Width(), 1, c);
  P().fillRect(r.Left, r.Top, 1, r.Height(), c);
  P().fillRect(r.Right - 1, r.Top, 1, r.Height(), c);
}

void Canvas::Frame3D(Rect& r, TColor topLeft, TColor bottomRight, int width) {
  QColor tl = ToQColor(topLeft), br = ToQColor(bottomRight);
  for (; width > 0; --width) {
    int left = r.Left, top = r.Top, right = r.Right - 1, bottom = r.Bottom - 1;
    if (right < left || bottom < top) break;
    P().fillRect(left, top, 1, bottom - top + 1, tl);   // left edge
    P().fillRect(left, top, right - left, 1, tl);       // top edge, short of the top-right corner
    P().fillRect(right, top, 1, bottom - top + 1, br);  // right edge
    P().fillRect(left, bottom, right - left + 1, 1, br);
    r = r.Inflate(-1, -1);
  }
}

void Canvas::DrawFocusRect(const Rect& r) {
  QPen pen(ToQColor(Pen.Color), 1, Qt::DotLine);
  P().setPen(pen);
  P().setBrush(Qt::NoBrush);
  P().drawRect(r.Left, r.Top, r.Width() - 1, r.Height() - 1);
}

void Canvas::TextOut(int x, int y, const std::string& text) {
  QString s = platform::ToQString(text);
  QFontMetrics fm(TextFont());
  int width = fm.horizontalAdvance(s);
  if (Font.Escapement() == 0) {
    QRect box(x, y, width, fm.height());
    if (Brush.Style == BrushStyle::Solid) P().fillRect(box, ToQColor(Brush.Color));
    P().setFont(TextFont());
    P().setPen(ToQColor(Font.Color()));
    P().drawText(QPoint(x, y + fm.ascent()), s);
    penPos_ = {x + width, y};
    return;
  }
  // A rotated font: (x, y) is the top-left of the text cell, which turns about it.
  double degrees = Font.Escapement() / 10.0;
  P().save();
  P().translate(x, y);
  P().rotate(-degrees);
  if (Brush.Style == BrushStyle::Solid) P().fillRect(QRect(0, 0, width, fm.height()), ToQColor(Brush.Color));
  P().setFont(TextFont());
  P().setPen(ToQColor(Font.Color()));
  P().drawText(QPoint(0, fm.ascent()), s);
  P().restore();
  double radians = degrees * std::numbers::pi / 180.0;
  penPos_ = {x + static_cast<int>(std::lround(width * std::cos(radians))),
             y - static_cast<int>(std::lround(width * std::sin(radians)))};
}

void Canvas::TextRect(const Rect& r, int x, int y, const std::string& text) {
  P().save();
  P().setClipRect(r.ToQRect());
  TextOut(x, y, text);
  P().restore();
}

int Canvas::TextWidth(const std::string& text) {
  return QFontMetrics(TextFont()).horizontalAdvance(platform::ToQString(text));
}

int Canvas::TextHeight(const std::string&) { return QFontMetrics(TextFont()).height(); }

int Canvas::QtTextFlags(std::uint32_t flags) const {
  int q = 0;
  if (flags & DT_CENTER)
    q |= Qt::AlignHCenter;
  else if (flags & DT_RIGHT)
    q |= Qt::AlignRight;
  else
    q |= Qt::AlignLeft;
  if ((flags & DT_SINGLELINE) && (flags & DT_VCENTER))
    q |= Qt::AlignVCenter;
  else if ((flags & DT_SINGLELINE) && (flags & DT_BOTTOM))
    q |= Qt::AlignBottom;
  else
    q |= Qt::AlignTop;
  if (flags & DT_SINGLELINE)
    q |= Qt::TextSingleLine;
  else if (flags & DT_WORDBREAK)
    q |= Qt::TextWordWrap;
  if (flags & DT_EXPANDTABS) q |= Qt::TextExpandTabs;
  if (!(flags & DT_NOPREFIX)) q |= Qt::TextShowMnemonic;
  return q;
}

int Canvas::DrawText(const std::string& text, Rect& r, std::uint32_t flags) {
  QString s = platform::ToQString(text);
  QFont font = TextFont();
  QFontMetrics fm(font);
  int q = QtTextFlags(flags);
  if (flags & DT_END_ELLIPSIS) s = fm.elidedText(s, Qt::ElideRight, r.Width(), q);
  QRect box = r.ToQRect();
  if (flags & DT_CALCRECT) {
    QRect bounds = fm.boundingRect(box, q, s);
    int width = s.isEmpty() ? 0 : bounds.width();
    int height = bounds.height();
    if (!(flags & DT_WORDBREAK)) {
      // Without wrapping the box is the text's advance, as the platform measures it, not its ink.
      QString shown = s;
      if (!(flags & DT_NOPREFIX)) shown.replace("&&", QString(QChar(1))).remove('&').replace(QChar(1), '&');
      QStringList lines = (flags & DT_SINGLELINE) ? QStringList{shown} : shown.split('\n');
      width = 0;
      for (const QString& line : lines) width = std::max(width, fm.horizontalAdvance(line));
      height = static_cast<int>(lines.size()) * fm.height();
    }
    r.Right = r.Left + width;
    r.Bottom = r.Top + height;
    return height;
  }
  // Laying text out is what drawing it costs: the box it takes comes from drawing it, unless the
  // background under it is filled first.
  const bool fill = Brush.Style == BrushStyle::Solid;
  QRect bounds;
  if (fill) {
    bounds = fm.boundingRect(box, q, s);
    P().fillRect(bounds.intersected(box), ToQColor(Brush.Color));
  }
  P().save();
  if (!(flags & DT_NOCLIP)) P().setClipRect(box);
  P().setFont(font);
  P().setPen(ToQColor(Font.Color()));
  P().drawText(box, q, s, fill ? nullptr : &bounds);
  P().restore();
  return bounds.height();
}

void Canvas::Draw(int x, int y, const QImage& image) { P().drawImage(QPoint(x, y), image); }

void Canvas::StretchDraw(const Rect& r, const QImage& image) { P().drawImage(r.ToQRect(), image); }

void Canvas::CopyRect(const Rect& dest, Canvas& from, const Rect& source) {
  from.Flush();
  if (from.image_) CopyRect(dest, *from.image_, source);
}

void Canvas::CopyRect(const Rect& dest, const QImage& from, const Rect& source) {
  if (dest.Empty() || source.Empty()) return;
  QImage src = from.copy(source.ToQRect()).convertToFormat(QImage::Format_RGB32);
  if (src.size() != QSize(dest.Width(), dest.Height()))
    src = src.scaled(dest.Width(), dest.Height(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
  if (!image_ || image_->format() != QImage::Format_RGB32) {
    P().save();
    P().setCompositionMode(QtRop(CopyMode));
    P().drawImage(dest.Left, dest.Top, src);
    P().restore();
    return;
  }
  Flush();
  std::uint32_t pattern = ToPixel(Brush.Color) & 0xFFFFFF;
  for (int y = 0; y < src.height(); ++y) {
    int dy = dest.Top + y;
    if (dy < 0 || dy >= image_->height()) continue;
    auto* out = reinterpret_cast<std::uint32_t*>(image_->scanLine(dy));
    auto* in = reinterpret_cast<const std::uint32_t*>(src.constScanLine(y));
    for (int x = 0; x < src.width(); ++x) {
      int dx = dest.Left + x;
      if (dx < 0 || dx >= image_->width()) continue;
      out[dx] = 0xFF000000u | ApplyRop(CopyMode, pattern, in[x] & 0xFFFFFF, out[dx] & 0xFFFFFF);
    }
  }
}

TColor Canvas::Pixel(int x, int y) {
  if (!image_ || !image_->valid(x, y)) return clNone;
  Flush();
  return FromQColor(QColor(image_->pixel(x, y)));
}

void Canvas::SetPixel(int x, int y, TColor color) {
  if (!image_ || !image_->valid(x, y)) return;
  Flush();
  image_->setPixel(x, y, ToPixel(color));
}

}  // namespace tk
