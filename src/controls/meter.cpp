#include "controls/meter.h"

#include <QBuffer>
#include <cmath>
#include <cstdio>

#include "controls/misc.h"
#include "tk/filer.h"

namespace controls {

namespace {
const char* const kBorderStyleNames[] = {"bsNone", "bsSingle"};
const char* const kOrientationNames[] = {"moHorizontal", "moVertical"};

tk::Binary ImageBytes(const tk::Bitmap& bitmap) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  bitmap.Image().save(&buffer, "PNG");
  return tk::Binary(bytes.begin(), bytes.end());
}

tk::Bitmap ImageFromBytes(const tk::Binary& bytes) {
  QImage image;
  image.loadFromData(bytes.data(), static_cast<int>(bytes.size()), "PNG");
  tk::Bitmap bitmap;
  bitmap.Assign(image);
  return bitmap;
}
}  // namespace

TMeterSplit ComputeMeterSplit(int percentValue, int size) {
  int used = percentValue * size / 100;
  if (used < 3) return {0, size};
  if (used == size) return {used, 0};
  used = MinI(used, size - 3);
  return {used, size - used - 1};
}

TVxCustomMeter::TVxCustomMeter(tk::Component* owner, QWidget* parent) : TVxGraphicControl(owner, parent) {
  SetBounds(Left(), Top(), 200, 24);
  setAttribute(Qt::WA_OpaquePaintEvent);
  char text[8];
  std::snprintf(text, sizeof text, "%d%%", PercentValue());
  percentText_ = text;
}

int TVxCustomMeter::PercentValue() const { return MaxI(0, MinI(percent_, 100)); }

void TVxCustomMeter::SetPercent(int value) {
  if (value == percent_) return;
  percent_ = value;
  char text[16];
  std::snprintf(text, sizeof text, "%d%%", PercentValue());
  percentText_ = std::string(text).substr(0, 5);
  Repaint();
}

void TVxCustomMeter::SetBorderStyle(TBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  Invalidate();
}

void TVxCustomMeter::SetCtl3D(bool value) {
  if (value == ctl3D_) return;
  ctl3D_ = value;
  Invalidate();
}

void TVxCustomMeter::SetShowPercent(bool value) {
  if (value == showPercent_) return;
  showPercent_ = value;
  Invalidate();
}

void TVxCustomMeter::SetUsedColor(tk::TColor value) {
  if (value == usedColor_) return;
  usedColor_ = value;
  Invalidate();
}

void TVxCustomMeter::SetUnusedColor(tk::TColor value) {
  if (value == unusedColor_) return;
  unusedColor_ = value;
  Invalidate();
}

void TVxCustomMeter::SetInvertPercent(bool value) {
  if (value == invertPercent_) return;
  invertPercent_ = value;
  if (showPercent_) Invalidate();
}

void TVxCustomMeter::SetOrientation(TMeterOrientation value) {
  if (value == orientation_) return;
  orientation_ = value;
  if (!Loading() && usedImage_.Empty()) SetBounds(Left(), Top(), Height(), Width());
  Invalidate();
}

void TVxCustomMeter::SetImage(tk::Bitmap& image, const tk::Bitmap* bitmap) {
  image.Assign(bitmap);
  if (bitmap && Designing()) {
    int border = borderStyle_ == TBorderStyle::bsNone ? 0 : ctl3D_ ? 2 : 1;
    SetBounds(Left(), Top(), bitmap->Width() + border, bitmap->Height() + border);
    orientation_ = Width() < Height() ? TMeterOrientation::moVertical : TMeterOrientation::moHorizontal;
  }
  Invalidate();
}

void TVxCustomMeter::SetUsedImage(const tk::Bitmap* bitmap) { SetImage(usedImage_, bitmap); }

void TVxCustomMeter::SetUnusedImage(const tk::Bitmap* bitmap) { SetImage(unusedImage_, bitmap); }

void TVxCustomMeter::DrawPart(tk::Canvas& canvas, const tk::Rect& part, const tk::Rect& interior, tk::TColor color,
                              const tk::Bitmap& image, bool first, const tk::Rect& slice) {
  if (image.Empty()) {
    canvas.Brush.Color = color;
    canvas.Brush.Style = tk::BrushStyle::Solid;
    canvas.FillRect(part);
  } else if (first) {
    canvas.StretchDraw(interior, image.Image());
  } else if (!part.Empty() && !slice.Empty()) {
    canvas.StretchDraw(part, image.Image().copy(slice.ToQRect()));
  }
}

void TVxCustomMeter::Paint(tk::Canvas& target) {
  if (offscreen_.Width() != Width() || offscreen_.Height() != Height()) offscreen_.SetSize(Width(), Height());
  if (offscreen_.Empty()) return;
  tk::Canvas& canvas = offscreen_.Canvas();
  canvas.Font = Font();
  tk::Rect r = ClientRect();
  if (borderStyle_ != TBorderStyle::bsNone) {
    if (ctl3D_) {
      canvas.Frame3D(r, tk::clBtnShadow, tk::clBtnHighlight, 1);
      canvas.Frame3D(r, tk::clBlack, tk::clBtnHighlight, 1);
    } else {
      canvas.Frame3D(r, tk::clBlack, tk::clBlack, 1);
    }
  }
  // The original measures one pixel past the interior; the bar arithmetic depends on it.
  int w = r.Right - r.Left + 1, h = r.Bottom - r.Top + 1;
  bool horizontal = orientation_ == TMeterOrientation::moHorizontal;
  int size = horizontal ? w : h;
  TMeterSplit split = ComputeMeterSplit(PercentValue(), size);
  tk::Rect usedPart, unusedPart;
  if (horizontal) {
    usedPart = {r.Left, r.Top, r.Left + split.Used, r.Bottom};
    unusedPart = {r.Left + split.Used, r.Top, r.Right, r.Bottom};
  } else {
    usedPart = {r.Left, r.Bottom - split.Used, r.Right, r.Bottom};
    unusedPart = {r.Left, r.Top, r.Right, r.Bottom - split.Used};
  }
  // Every part stays inside the interior, the border untouched.
  auto clamp = [&](tk::Rect p) {
    return tk::Rect{MaxI(p.Left, r.Left), MaxI(p.Top, r.Top), MinI(p.Right, r.Right), MinI(p.Bottom, r.Bottom)};
  };
  usedPart = clamp(usedPart);
  unusedPart = clamp(unusedPart);
  if (horizontal) {
    int sliceWidth =
        size ? static_cast<int>(std::lround(static_cast<double>(usedImage_.Width()) * split.Used / size)) : 0;
    DrawPart(canvas, unusedPart, r, unusedColor_, unusedImage_, true, {});
    DrawPart(canvas, usedPart, r, usedColor_, usedImage_, false, {0, 0, sliceWidth, usedImage_.Height()});
  } else {
    int sliceHeight =
        size ? static_cast<int>(std::lround(static_cast<double>(unusedImage_.Height()) * split.Unused / size)) : 0;
    DrawPart(canvas, usedPart, r, usedColor_, usedImage_, true, {});
    DrawPart(canvas, unusedPart, r, unusedColor_, unusedImage_, false, {0, 0, unusedImage_.Width(), sliceHeight});
  }
  if (showPercent_) {
    int tw = canvas.TextWidth(percentText_), th = canvas.TextHeight(percentText_);
    int x = r.Left + (w - tw) / 2, y = r.Top + (h - th) / 2;
    if (invertPercent_) {
      if (inverted_.Width() != Width() || inverted_.Height() != Height()) inverted_.SetSize(Width(), Height());
      tk::Canvas& ic = inverted_.Canvas();
      ic.Brush.Color = tk::clBlack;
      ic.Brush.Style = tk::BrushStyle::Solid;
      ic.FillRect(ClientRect());
      ic.Font = Font();
      ic.Font.SetColor(tk::clWhite);
      ic.TextAntialias = false;  // an exact inverse needs pure black and white
      ic.Brush.Style = tk::BrushStyle::Clear;
      ic.TextOut(x, y, percentText_);
      canvas.CopyMode = tk::cmSrcInvert;
      canvas.CopyRect(ClientRect(), ic, ClientRect());
      canvas.CopyMode = tk::cmSrcCopy;
    } else {
      canvas.Brush.Style = tk::BrushStyle::Clear;
      canvas.TextOut(x, y, percentText_);
    }
  }
  target.Draw(0, 0, offscreen_.Image());
}

void TVxCustomMeter::GetProperties(tk::PropertyList& list) const {
  TVxGraphicControl::GetProperties(list);
  using M = TVxCustomMeter;
  list.push_back(tk::MakeEnumProperty<M>("BorderStyle", &M::BorderStyle, &M::SetBorderStyle, kBorderStyleNames, 1));
  list.push_back(tk::MakeProperty<M>("Ctl3D", &M::Ctl3D, &M::SetCtl3D, tk::Value(true)));
  list.push_back(tk::MakeProperty<M>("InvertPercent", &M::InvertPercent, &M::SetInvertPercent, tk::Value(true)));
  list.push_back(tk::MakeEnumProperty<M>("Orientation", &M::Orientation, &M::SetOrientation, kOrientationNames));
  list.push_back(tk::MakeProperty<M>("Percent", &M::Percent, &M::SetPercent));
  list.push_back(tk::MakeProperty<M>("ShowPercent", &M::ShowPercent, &M::SetShowPercent));
  list.push_back(tk::MakeProperty<M>("UnusedColor", &M::UnusedColor, &M::SetUnusedColor));
  list.push_back(tk::MakeProperty<M>("UsedColor", &M::UsedColor, &M::SetUsedColor));
}

void TVxCustomMeter::DefineProperties(tk::Filer& filer) {
  TVxGraphicControl::DefineProperties(filer);
  filer.DefineBinaryProperty(
      "UnusedImage.Data",
      [this](const tk::Binary& b) {
        tk::Bitmap bmp = ImageFromBytes(b);
        unusedImage_ = bmp;
      },
      [this] { return ImageBytes(unusedImage_); }, !unusedImage_.Empty());
  filer.DefineBinaryProperty(
      "UsedImage.Data",
      [this](const tk::Binary& b) {
        tk::Bitmap bmp = ImageFromBytes(b);
        usedImage_ = bmp;
      },
      [this] { return ImageBytes(usedImage_); }, !usedImage_.Empty());
}

}  // namespace controls
