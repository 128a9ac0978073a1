#include "controls/styled_label.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "controls/misc.h"
#include "controls/version.h"

namespace controls {

namespace {

const char* const kAppearanceNames[] = {"apNone", "apCustom", "apFlying", "apRaised", "apSunken", "apShadow"};
const char* const kSchemeNames[] = {"csCustom", "csText", "csWindows", "csEmbossed", "csGold", "csSteel"};
const char* const kGraduateNames[] = {"gsNone", "gsHorizontal", "gsVertical"};
const char* const kDirectionNames[] = {"sdNone", "sdUp",       "sdUpRight", "sdRight", "sdDownRight",
                                       "sdDown", "sdDownLeft", "sdLeft",    "sdUpLeft"};
const char* const kShadeStyleNames[] = {"ssPlain", "ssExtrude", "ssGraduated"};

// A value of the label's settings object, streamed under "CustomSettings." with its declared default.
template <class T>
tk::PropertyInfo SettingsProperty(const char* name, T (TVxCustomSettings::*getter)() const,
                                  void (TVxCustomSettings::*setter)(T), tk::Value def) {
  tk::PropertyInfo p;
  p.Name = std::string("CustomSettings.") + name;
  p.Get = [getter](const tk::Component& c) {
    return tk::detail::ToValue<T>((dynamic_cast<const TVxCustomLabel&>(c).CustomSettings().*getter)());
  };
  p.Set = [setter](tk::Component& c, const tk::Value& v) {
    (dynamic_cast<TVxCustomLabel&>(c).CustomSettings().*setter)(tk::detail::FromValue<T>(v));
  };
  p.Default = std::move(def);
  return p;
}

template <class T, std::size_t N>
tk::PropertyInfo SettingsEnumProperty(const char* name, T (TVxCustomSettings::*getter)() const,
                                      void (TVxCustomSettings::*setter)(T), const char* const (&names)[N], T def) {
  tk::PropertyInfo p;
  p.Name = std::string("CustomSettings.") + name;
  p.Get = [getter, &names](const tk::Component& c) {
    auto index = static_cast<std::size_t>((dynamic_cast<const TVxCustomLabel&>(c).CustomSettings().*getter)());
    return tk::Value(tk::Ident{index < N ? names[index] : ""});
  };
  p.Set = [setter, &names](tk::Component& c, const tk::Value& v) {
    const std::string& text = std::get<tk::Ident>(v).Name;
    for (std::size_t i = 0; i < N; ++i)
      if (text == names[i]) (dynamic_cast<TVxCustomLabel&>(c).CustomSettings().*setter)(static_cast<T>(i));
  };
  p.Default = tk::Value(tk::Ident{names[static_cast<std::size_t>(def)]});
  return p;
}

// The colour the face is drawn in on the mask before the gradient replaces it.
constexpr QRgb kKeyColor = 0xFFF109FE;  // 0xFE09F1 in the toolkit's encoding

QRgb Opaque(std::uint8_t r, std::uint8_t g, std::uint8_t b) { return qRgb(r, g, b); }

// Each channel plus round(k x step), kept to its low 8 bits as the original does.
QRgb Stepped(const std::uint8_t base[3], const double step[3], double k) {
  auto channel = [&](int i) {
    return static_cast<std::uint8_t>(static_cast<long>(base[i] + std::lround(k * step[i])) & 0xFF);
  };
  return Opaque(channel(0), channel(1), channel(2));
}

}  // namespace

tk::Point ShadeOffset(TVxShadeDirection direction) {
  switch (direction) {
    case TVxShadeDirection::sdUp:
      return {0, -1};
    case TVxShadeDirection::sdUpRight:
      return {1, -1};
    case TVxShadeDirection::sdRight:
      return {1, 0};
    case TVxShadeDirection::sdDownRight:
      return {1, 1};
    case TVxShadeDirection::sdDown:
      return {0, 1};
    case TVxShadeDirection::sdDownLeft:
      return {-1, 1};
    case TVxShadeDirection::sdLeft:
      return {-1, 0};
    case TVxShadeDirection::sdUpLeft:
      return {-1, -1};
    default:
      return {0, 0};
  }
}

void TVxCustomSettings::EndUpdate() {
  updating_ = false;
  if (OnColorChange) OnColorChange();
  if (OnStyleChange) OnStyleChange();
}

void TVxCustomSettings::Assign(const TVxCustomSettings& o) {
  graduateFromColor_ = o.graduateFromColor_;
  graduateStyle_ = o.graduateStyle_;
  highlightColor_ = o.highlightColor_;
  highlightDepth_ = o.highlightDepth_;
  highlightDirection_ = o.highlightDirection_;
  highlightStyle_ = o.highlightStyle_;
  shadowColor_ = o.shadowColor_;
  shadowDepth_ = o.shadowDepth_;
  shadowDirection_ = o.shadowDirection_;
  shadowStyle_ = o.shadowStyle_;
}

TVxCustomLabel::TVxCustomLabel(tk::Component* owner, QWidget* parent) : tk::CustomLabel(owner, parent) {
  schemes_[static_cast<std::size_t>(TVxColorScheme::csText)] = {0xFFFFFF, 0x808080, 0x000000};
  schemes_[static_cast<std::size_t>(TVxColorScheme::csWindows)] = {0xFFFFFF, 0x000000, 0x808080};
  schemes_[static_cast<std::size_t>(TVxColorScheme::csEmbossed)] = {0xFFFFFF, 0x000000, 0xC0C0C0};
  schemes_[static_cast<std::size_t>(TVxColorScheme::csGold)] = {0x00FFFF, 0x000000, 0x008080};
  schemes_[static_cast<std::size_t>(TVxColorScheme::csSteel)] = {0xFFFF00, 0x800000, 0x808000};
  schemes_[static_cast<std::size_t>(TVxColorScheme::csCustom)] =
      schemes_[static_cast<std::size_t>(TVxColorScheme::csWindows)];
  settings_.OnColorChange = [this] { ColorChanged(); };
  settings_.OnStyleChange = [this] { StyleChanged(); };
  SetAutoSize(false);
  SetBounds(Left(), Top(), 150, 35);
  SetTransparent(true);
  tk::CustomLabel::SetWordWrap(true);
  tk::Font font = Font();
  font.SetName("Times New Roman");
  font.SetSize(20);
  font.SetColor(0x808080);
  SetFont(font);
}

std::string TVxCustomLabel::About() const { return VxVersionText; }

void TVxCustomLabel::SetWordWrap(bool value) {
  if (value == WordWrap()) return;
  tk::CustomLabel::SetWordWrap(value);
  Invalidate();
}

void TVxCustomLabel::SetAppearance(TVxAppearance value) {
  if (value == appearance_) return;
  appearanceChanging_ = true;
  appearance_ = value;
  settings_.BeginUpdate();
  const SchemeColors& scheme = Scheme(colorScheme_);
  settings_.SetHighlightColor(scheme.Highlight);
  using D = TVxShadeDirection;
  auto set = [&](D hDir, D sDir, TVxDepth hDepth, TVxDepth sDepth) {
    settings_.SetHighlightDirection(hDir);
    settings_.SetShadowDirection(sDir);
    settings_.SetHighlightDepth(hDepth);
    settings_.SetShadowDepth(sDepth);
  };
  switch (value) {
    case TVxAppearance::apNone:
      set(D::sdNone, D::sdNone, 0, 0);
      break;
    case TVxAppearance::apCustom:
      break;
    case TVxAppearance::apFlying:
      set(D::sdDownRight, D::sdDownRight, 1, 5);
      settings_.SetHighlightColor(scheme.Shadow);
      break;
    case TVxAppearance::apRaised:
      set(D::sdUpLeft, D::sdDownRight, 1, 1);
      break;
    case TVxAppearance::apSunken:
      set(D::sdDownRight, D::sdUpLeft, 1, 1);
      break;
    case TVxAppearance::apShadow:
      set(D::sdNone, D::sdDownRight, 0, 2);
      break;
  }
  settings_.EndUpdate();
  appearanceChanging_ = false;
  tk::SendMessage(*this, tk::CM_TEXTCHANGED);
}

void TVxCustomLabel::SetColorScheme(TVxColorScheme value) {
  if (value == colorScheme_) return;
  schemeChanging_ = true;
  colorScheme_ = value;
  settings_.BeginUpdate();
  SchemeColors row = Scheme(value);
  settings_.SetHighlightColor(row.Highlight);
  SetFontColor(row.Face);
  settings_.SetShadowColor(row.Shadow);
  if (value != TVxColorScheme::csCustom) schemes_[static_cast<std::size_t>(TVxColorScheme::csCustom)] = row;
  settings_.EndUpdate();
  schemeChanging_ = false;
  tk::SendMessage(*this, tk::CM_TEXTCHANGED);
}

void TVxCustomLabel::ColorChanged() {
  if (Loading()) return;
  Invalidate();
  if (schemeChanging_) return;
  colorScheme_ = TVxColorScheme::csCustom;
  tk::SendMessage(*this, tk::CM_COLORCHANGED);
}

void TVxCustomLabel::StyleChanged() {
  if (Loading()) return;
  Invalidate();
  if (appearanceChanging_) return;
  appearance_ = TVxAppearance::apCustom;
  tk::SendMessage(*this, tk::CM_TEXTCHANGED);
}

void TVxCustomLabel::Paint(tk::Canvas& canvas) { PaintPrim(canvas, ClientRect(), TextFlags()); }

void TVxCustomLabel::PaintTo(tk::Canvas& canvas, const tk::Rect& r, std::uint32_t flags) {
  if (!Transparent()) {
    canvas.Brush.Color = Color();
    canvas.Brush.Style = tk::BrushStyle::Solid;
    canvas.FillRect({0, 0, r.Right, r.Bottom});
  }
  PaintPrim(canvas, r, flags);
}

void TVxCustomLabel::PaintPrim(tk::Canvas& canvas, const tk::Rect& r, std::uint32_t flags) {
  const TVxCustomSettings& s = settings_;
  tk::Point h = ShadeOffset(s.HighlightDirection()), sh = ShadeOffset(s.ShadowDirection());
  int products[] = {h.X * s.HighlightDepth(), h.Y * s.HighlightDepth(), sh.X * s.ShadowDepth(), sh.Y * s.ShadowDepth()};
  int minOffset = std::min(0, *std::min_element(std::begin(products), std::end(products)));
  int maxOffset = std::max(0, *std::max_element(std::begin(products), std::end(products)));
  int adjust = (flags & tk::DT_CENTER)  ? (maxOffset - minOffset) / 2
               : (flags & tk::DT_RIGHT) ? maxOffset - minOffset
                                        : 0;

  int width = r.Width(), height = r.Height();
  if (width <= 0 || height <= 0) return;
  // The work bitmap starts as what lies beneath: transparent here, composed over the surface at the end.
  QImage work(width, height, QImage::Format_ARGB32_Premultiplied);
  work.fill(Transparent() ? QColor(Qt::transparent) : tk::ToQColor(Color()));
  tk::TColor faceColor = Font().Color();
  const std::string& text = Caption();
  std::uint8_t face[3];
  GetRGB(faceColor, face[0], face[1], face[2]);

  auto drawText = [&](QImage& image, QRgb color, int dx, int dy) {
    tk::Canvas c(&image);
    c.Font = Font();
    c.Font.SetColor(tk::FromQColor(QColor(color)));
    c.TextAntialias = false;  // shade copies and the gradient key need exact pixels
    c.Brush.Style = tk::BrushStyle::Clear;
    tk::Rect box = tk::Rect{0, 0, width, height}.Offset(dx, dy);
    c.DrawText(text, box, flags);
  };

  auto shadePass = [&](tk::TColor base, TVxDepth depth, TVxShadeStyle style, tk::Point step) {
    std::uint8_t rgb[3];
    GetRGB(base, rgb[0], rgb[1], rgb[2]);
    int first = depth;
    if (style != TVxShadeStyle::ssPlain && depth >= 2) first = 1;
    double steps[3] = {0, 0, 0};
    // A graduated shade of depth 1 has a single copy: no steps, and no division by zero.
    if (style == TVxShadeStyle::ssGraduated && depth >= 2)
      for (int i = 0; i < 3; ++i) steps[i] = static_cast<double>(face[i] - rgb[i]) / (depth - 1);
    for (int i = depth; i >= first; --i) {
      int k = depth - i;
      drawText(work, Stepped(rgb, steps, k), step.X * i - minOffset - adjust, step.Y * i - minOffset);
    }
  };
  shadePass(s.ShadowColor(), s.ShadowDepth(), s.ShadowStyle(), sh);
  shadePass(s.HighlightColor(), s.HighlightDepth(), s.HighlightStyle(), h);

  if (s.GraduateStyle() == TVxGraduateStyle::gsNone) {
    drawText(work, tk::ToQColor(faceColor).rgb(), -minOffset - adjust, -minOffset);
  } else {
    // Only the face is drawn on the mask, so a background or shade in the key colour keeps its own.
    QImage mask(width, height, QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    drawText(mask, kKeyColor, -minOffset - adjust, -minOffset);
    tk::Canvas measure(&work);
    measure.Font = Font();
    measure.TextAntialias = false;
    int w = measure.TextWidth(text);
    measure.Flush();
    int x0 = (flags & tk::DT_CENTER)  ? (width - w) / 2 - minOffset - adjust
             : (flags & tk::DT_RIGHT) ? width - maxOffset - w
                                      : -minOffset;
    int y0 = -minOffset;
    bool vertical = s.GraduateStyle() == TVxGraduateStyle::gsVertical;
    int extent = vertical ? height - 1 : w - 1;
    std::uint8_t from[3];
    GetRGB(s.GraduateFromColor(), from[0], from[1], from[2]);
    double steps[3];
    for (int i = 0; i < 3; ++i) steps[i] = (face[i] - from[i]) / 15.0;
    double size = extent / 15.0;
    for (int band = 0; band < 16; ++band) {
      QRgb color = Stepped(from, steps, band);
      int a = static_cast<int>(std::lround(band * size)), b = static_cast<int>(std::lround((band + 1) * size));
      QRect area = vertical ? QRect(QPoint(0, y0 + a), QPoint(width - 1, y0 + b - 1))
                            : QRect(QPoint(x0 + a, 0), QPoint(x0 + b - 1, height - 1));
      area = area.intersected(work.rect());
      for (int y = area.top(); y <= area.bottom(); ++y) {
        auto* in = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(work.scanLine(y));
        for (int x = area.left(); x <= area.right(); ++x)
          if (in[x] == kKeyColor) out[x] = color;
      }
    }
  }
  canvas.Draw(r.Left, r.Top, work);
}

void TVxCustomLabel::GetProperties(tk::PropertyList& list) const {
  tk::CustomLabel::GetProperties(list);
  using L = TVxCustomLabel;
  list.push_back(AboutProperty());
  list.push_back(tk::MakeEnumProperty<L>("Appearance", &L::Appearance, &L::SetAppearance, kAppearanceNames, 3));
  list.push_back(tk::MakeEnumProperty<L>("ColorScheme", &L::ColorScheme, &L::SetColorScheme, kSchemeNames, 2));
  // Read after the presets, so the settings stand as they were written.
  using S = TVxCustomSettings;
  using D = TVxShadeDirection;
  auto color = [](std::int64_t v) { return tk::Value(v); };
  auto depth = [](std::int64_t v) { return tk::Value(v); };
  list.push_back(
      SettingsProperty("GraduateFromColor", &S::GraduateFromColor, &S::SetGraduateFromColor, color(0x808080)));
  list.push_back(SettingsEnumProperty("GraduateStyle", &S::GraduateStyle, &S::SetGraduateStyle, kGraduateNames,
                                      TVxGraduateStyle::gsNone));
  list.push_back(SettingsProperty("HighlightColor", &S::HighlightColor, &S::SetHighlightColor, color(0xFFFFFF)));
  list.push_back(SettingsProperty("HighlightDepth", &S::HighlightDepth, &S::SetHighlightDepth, depth(1)));
  list.push_back(SettingsEnumProperty("HighlightDirection", &S::HighlightDirection, &S::SetHighlightDirection,
                                      kDirectionNames, D::sdUpLeft));
  list.push_back(SettingsEnumProperty("HighlightStyle", &S::HighlightStyle, &S::SetHighlightStyle, kShadeStyleNames,
                                      TVxShadeStyle::ssPlain));
  list.push_back(SettingsProperty("ShadowColor", &S::ShadowColor, &S::SetShadowColor, color(0)));
  list.push_back(SettingsProperty("ShadowDepth", &S::ShadowDepth, &S::SetShadowDepth, depth(1)));
  list.push_back(SettingsEnumProperty("ShadowDirection", &S::ShadowDirection, &S::SetShadowDirection, kDirectionNames,
                                      D::sdDownRight));
  list.push_back(SettingsEnumProperty("ShadowStyle", &S::ShadowStyle, &S::SetShadowStyle, kShadeStyleNames,
                                      TVxShadeStyle::ssPlain));
  for (auto& p : list)
    if (p.Name == "Transparent")
      p.Default = tk::Value(true);
    else if (p.Name == "WordWrap")
      p.Default = tk::Value(true);
}

}  // namespace controls
