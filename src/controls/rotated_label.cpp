#include "controls/rotated_label.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <cmath>
#include <numbers>

#include "controls/misc.h"

namespace controls {

namespace {

const char* const kAlignmentNames[] = {"taLeftJustify", "taRightJustify", "taCenter"};

TrueTypeTest& InstalledTest() {
  static TrueTypeTest test;
  return test;
}

// Left 0, right 2, centre 1: the horizontal flags of DrawText.
std::uint32_t AlignmentFlag(tk::Alignment alignment) {
  switch (alignment) {
    case tk::Alignment::Center:
      return tk::DT_CENTER;
    case tk::Alignment::RightJustify:
      return tk::DT_RIGHT;
    default:
      return tk::DT_LEFT;
  }
}

}  // namespace

bool IsTrueTypeFont(const tk::Font& font) {
  if (const TrueTypeTest& test = InstalledTest()) return test(font);
  QFontInfo info(font.Q());
  return QFontDatabase::isSmoothlyScalable(info.family(), info.styleName());
}

TrueTypeTest SetTrueTypeTest(TrueTypeTest test) {
  TrueTypeTest previous = std::move(InstalledTest());
  InstalledTest() = std::move(test);
  return previous;
}

TVxRotatedExtent RotatedExtent(int w, int h, int angle) {
  if (angle == 0) return {w, h, 0, 0};
  double radians = angle * std::numbers::pi / 180.0;
  auto cx = static_cast<int>(std::lround(std::cos(radians) * w));
  auto cy = static_cast<int>(std::lround(std::sin(radians) * w));
  TVxRotatedExtent e{};
  e.Width = std::abs(cx) + 2 * h;
  e.Height = std::abs(cy) + 2 * h;
  e.OriginX = cx >= 0 ? h : e.Width - h;
  if (cy < 0)
    e.OriginY = h;
  else
    e.OriginY = cx >= 0 ? e.Height - h - h / 2 : e.Height - h;
  return e;
}

TVxCustomRotatedLabel::TVxCustomRotatedLabel(tk::Component* owner, QWidget* parent) : TVxGraphicControl(owner, parent) {
  SetBounds(Left(), Top(), 130, 20);
  setAttribute(Qt::WA_OpaquePaintEvent, true);
  settingColor_ = true;
  SetColor(tk::clWindow);
  settingColor_ = false;
  tk::Font font = Font();
  font.SetName("Arial");
  SetFont(font);
}

void TVxCustomRotatedLabel::SetCaption(const std::string& value) {
  if (value == caption_) return;
  caption_ = value;
  AdjustSize();
  Invalidate();
}

void TVxCustomRotatedLabel::SetAlignment(tk::Alignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Invalidate();
}

void TVxCustomRotatedLabel::SetAutoSize(bool value) {
  if (value == autoSize_) return;
  autoSize_ = value;
  AdjustSize();
  Invalidate();
}

void TVxCustomRotatedLabel::SetFontAngle(int value) {
  if (value == fontAngle_) return;
  if (!Loading() && value != 0 && !IsTrueTypeFont(Font())) {
    tk::Font font = Font();
    font.SetName("Arial");
    SetFont(font);
  }
  fontAngle_ = value % 360;  // C++ keeps the dividend's sign, as wanted
  AdjustSize();
  Invalidate();
}

void TVxCustomRotatedLabel::SetOriginX(int value) {
  if (value == originX_) return;
  originX_ = value;
  Invalidate();
}

void TVxCustomRotatedLabel::SetOriginY(int value) {
  if (value == originY_) return;
  originY_ = value;
  Invalidate();
}

void TVxCustomRotatedLabel::SetShadowedText(bool value) {
  if (value == shadowedText_) return;
  shadowedText_ = value;
  Invalidate();
}

void TVxCustomRotatedLabel::SetShadowColor(tk::TColor value) {
  if (value == shadowColor_) return;
  shadowColor_ = value;
  Invalidate();
}

void TVxCustomRotatedLabel::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  setAttribute(Qt::WA_OpaquePaintEvent, !value);
  Invalidate();
}

void TVxCustomRotatedLabel::SetParentColor(bool value) {
  if (value == parentColor_) return;
  parentColor_ = value;
  Invalidate();
}

tk::TColor TVxCustomRotatedLabel::BackgroundColor() const {
  QWidget* parent = parentWidget();
  if (!parentColor_ || !parent) return Color();
  if (auto* control = dynamic_cast<tk::ControlT<QWidget>*>(parent)) return control->Color();
  return tk::FromQColor(parent->palette().color(QPalette::Window));
}

void TVxCustomRotatedLabel::SetName(const std::string& name) {
  TVxGraphicControl::SetName(name);
  if (Designing() && caption_.empty()) SetCaption(name);
}

void TVxCustomRotatedLabel::Dispatch(tk::Message& message) {
  if (message.Msg == tk::CM_FONTCHANGED) FontChanged();
  if (message.Msg == tk::CM_COLORCHANGED && !settingColor_) parentColor_ = false;
  TVxGraphicControl::Dispatch(message);
}

void TVxCustomRotatedLabel::FontChanged() {
  if (Loading()) return;
  // A font that cannot turn takes the label back to level text.
  if (fontAngle_ != 0 && !IsTrueTypeFont(Font())) fontAngle_ = 0;
  AdjustSize();
}

void TVxCustomRotatedLabel::AdjustSize() {
  if (!autoSize_ || Loading() || adjusting_) return;
  adjusting_ = true;
  QImage scratch(1, 1, QImage::Format_RGB32);
  tk::Canvas canvas(&scratch);
  canvas.Font = Font();
  TVxRotatedExtent e = RotatedExtent(canvas.TextWidth(caption_), canvas.TextHeight(caption_), fontAngle_);
  originX_ = e.OriginX;
  originY_ = e.OriginY;
  SetBounds(Left(), Top(), e.Width, e.Height);
  adjusting_ = false;
}

void TVxCustomRotatedLabel::Paint(tk::Canvas& canvas) {
  tk::Rect r = ClientRect();
  tk::TColor back = BackgroundColor();
  if (!transparent_) {
    canvas.Brush.Color = back;
    canvas.Brush.Style = tk::BrushStyle::Solid;
    canvas.FillRect(r);
  }
  canvas.Brush.Style = tk::BrushStyle::Clear;
  if (caption_.empty()) return;
  tk::TColor textColor = isEnabled() ? Font().Color() : tk::clGrayText;
  if (fontAngle_ == 0) {
    canvas.Font = Font();
    std::uint32_t flags = tk::DT_NOPREFIX | AlignmentFlag(alignment_);
    if (shadowedText_) {
      tk::Rect shadow = r.Offset(2, 1);
      if (!transparent_) {
        canvas.Brush.Color = back;
        canvas.Brush.Style = tk::BrushStyle::Solid;
      }
      canvas.Font.SetColor(shadowColor_);
      canvas.DrawText(caption_, shadow, flags);
      canvas.Brush.Style = tk::BrushStyle::Clear;
    }
    canvas.Font.SetColor(textColor);
    canvas.DrawText(caption_, r, flags);
    return;
  }
  canvas.Font = CreateRotatedFont(Font(), fontAngle_);
  if (shadowedText_) {
    canvas.Font.SetColor(shadowColor_);
    canvas.TextRect(r, originX_ + 2, originY_ + 1, caption_);
  }
  canvas.Font.SetColor(textColor);
  canvas.TextRect(r, originX_, originY_, caption_);
}

void TVxCustomRotatedLabel::GetProperties(tk::PropertyList& list) const {
  TVxGraphicControl::GetProperties(list);
  using L = TVxCustomRotatedLabel;
  list.push_back(tk::MakeEnumProperty<L>("Alignment", &L::Alignment, &L::SetAlignment, kAlignmentNames, 0));
  list.push_back(tk::MakeProperty<L>("AutoSize", &L::AutoSize, &L::SetAutoSize, tk::Value(false)));
  list.push_back(tk::MakeProperty<L>("Caption", &L::Caption, &L::SetCaption));
  tk::PropertyInfo color = tk::MakeProperty<L>("Color", &L::Color, &L::SetColor);
  color.Stored = [](const tk::Component& c) { return !dynamic_cast<const L&>(c).ParentColor(); };
  list.push_back(std::move(color));
  list.push_back(tk::MakeProperty<L>("FontAngle", &L::FontAngle, &L::SetFontAngle, tk::Value(std::int64_t{0})));
  list.push_back(tk::MakeProperty<L>("OriginX", &L::OriginX, &L::SetOriginX, tk::Value(std::int64_t{0})));
  list.push_back(tk::MakeProperty<L>("OriginY", &L::OriginY, &L::SetOriginY, tk::Value(std::int64_t{0})));
  list.push_back(tk::MakeProperty<L>("ParentColor", &L::ParentColor, &L::SetParentColor, tk::Value(true)));
  list.push_back(tk::MakeProperty<L>("ShadowColor", &L::ShadowColor, &L::SetShadowColor,
                                     tk::Value(std::int64_t{tk::clBtnShadow})));
  list.push_back(tk::MakeProperty<L>("ShadowedText", &L::ShadowedText, &L::SetShadowedText, tk::Value(false)));
  list.push_back(tk::MakeProperty<L>("Transparent", &L::Transparent, &L::SetTransparent, tk::Value(false)));
}

}  // namespace controls
