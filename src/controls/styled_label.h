#pragma once
// The styled label: its caption drawn with a highlight copy and a shadow copy offset in chosen
// directions, optionally extruded or colour-graded, and an optional gradient across the face. Colour
// schemes and appearance presets set the settings in one step.
#include <array>
#include <functional>
#include <string>

#include "tk/custom_label.h"

namespace controls {

enum class TVxGraduateStyle { gsNone, gsHorizontal, gsVertical };
enum class TVxShadeDirection { sdNone, sdUp, sdUpRight, sdRight, sdDownRight, sdDown, sdDownLeft, sdLeft, sdUpLeft };
enum class TVxShadeStyle { ssPlain, ssExtrude, ssGraduated };
enum class TVxAppearance { apNone, apCustom, apFlying, apRaised, apSunken, apShadow };
enum class TVxColorScheme { csCustom, csText, csWindows, csEmbossed, csGold, csSteel };
using TVxDepth = std::uint8_t;

// The per-step offset of a direction.
tk::Point ShadeOffset(TVxShadeDirection direction);

class TVxCustomSettings {
 public:
  tk::TColor GraduateFromColor() const { return graduateFromColor_; }
  void SetGraduateFromColor(tk::TColor v) { SetColor(graduateFromColor_, v); }
  TVxGraduateStyle GraduateStyle() const { return graduateStyle_; }
  void SetGraduateStyle(TVxGraduateStyle v) { SetStyle(graduateStyle_, v); }
  tk::TColor HighlightColor() const { return highlightColor_; }
  void SetHighlightColor(tk::TColor v) { SetColor(highlightColor_, v); }
  TVxDepth HighlightDepth() const { return highlightDepth_; }
  void SetHighlightDepth(TVxDepth v) { SetStyle(highlightDepth_, v); }
  TVxShadeDirection HighlightDirection() const { return highlightDirection_; }
  void SetHighlightDirection(TVxShadeDirection v) { SetStyle(highlightDirection_, v); }
  TVxShadeStyle HighlightStyle() const { return highlightStyle_; }
  void SetHighlightStyle(TVxShadeStyle v) { SetStyle(highlightStyle_, v); }
  tk::TColor ShadowColor() const { return shadowColor_; }
  void SetShadowColor(tk::TColor v) { SetColor(shadowColor_, v); }
  TVxDepth ShadowDepth() const { return shadowDepth_; }
  void SetShadowDepth(TVxDepth v) { SetStyle(shadowDepth_, v); }
  TVxShadeDirection ShadowDirection() const { return shadowDirection_; }
  void SetShadowDirection(TVxShadeDirection v) { SetStyle(shadowDirection_, v); }
  TVxShadeStyle ShadowStyle() const { return shadowStyle_; }
  void SetShadowStyle(TVxShadeStyle v) { SetStyle(shadowStyle_, v); }

  void BeginUpdate() { updating_ = true; }
  // Reports a colour change and a style change, whatever changed.
  void EndUpdate();
  // Copies all ten values without reporting.
  void Assign(const TVxCustomSettings& other);

  std::function<void()> OnColorChange;
  std::function<void()> OnStyleChange;

 private:
  template <class T>
  void SetColor(T& field, T value) {
    if (field == value) return;
    field = value;
    if (!updating_ && OnColorChange) OnColorChange();
  }
  template <class T>
  void SetStyle(T& field, T value) {
    if (field == value) return;
    field = value;
    if (!updating_ && OnStyleChange) OnStyleChange();
  }

  tk::TColor graduateFromColor_ = 0x808080;
  TVxGraduateStyle graduateStyle_ = TVxGraduateStyle::gsNone;
  tk::TColor highlightColor_ = 0xFFFFFF;
  TVxDepth highlightDepth_ = 1;
  TVxShadeDirection highlightDirection_ = TVxShadeDirection::sdUpLeft;
  TVxShadeStyle highlightStyle_ = TVxShadeStyle::ssPlain;
  tk::TColor shadowColor_ = 0;
  TVxDepth shadowDepth_ = 1;
  TVxShadeDirection shadowDirection_ = TVxShadeDirection::sdDownRight;
  TVxShadeStyle shadowStyle_ = TVxShadeStyle::ssPlain;
  bool updating_ = false;
};

class TVxCustomLabel : public tk::CustomLabel {
 public:
  explicit TVxCustomLabel(tk::Component* owner, QWidget* parent = nullptr);
  std::string ClassName() const override { return "TVxCustomLabel"; }

  struct SchemeColors {
    tk::TColor Highlight, Shadow, Face;
  };

  TVxAppearance Appearance() const { return appearance_; }
  void SetAppearance(TVxAppearance value);
  TVxColorScheme ColorScheme() const { return colorScheme_; }
  void SetColorScheme(TVxColorScheme value);
  TVxCustomSettings& CustomSettings() { return settings_; }
  const TVxCustomSettings& CustomSettings() const { return settings_; }
  const SchemeColors& Scheme(TVxColorScheme scheme) const { return schemes_[static_cast<std::size_t>(scheme)]; }
  std::string About() const;
  void SetAbout(const std::string&) {}
  void SetWordWrap(bool value);

  // Paints onto a foreign surface: fills (0, 0, r.Right, r.Bottom) with Color unless transparent.
  void PaintTo(tk::Canvas& canvas, const tk::Rect& r, std::uint32_t flags);

  void GetProperties(tk::PropertyList& list) const override;

 protected:
  void Paint(tk::Canvas& canvas) override;
  void PaintPrim(tk::Canvas& canvas, const tk::Rect& r, std::uint32_t flags);
  void ColorChanged();
  void StyleChanged();

 private:
  TVxAppearance appearance_ = TVxAppearance::apRaised;
  TVxColorScheme colorScheme_ = TVxColorScheme::csWindows;
  TVxCustomSettings settings_;
  std::array<SchemeColors, 6> schemes_;
  bool schemeChanging_ = false;
  bool appearanceChanging_ = false;
};

class TVxLabel : public TVxCustomLabel {
 public:
  using TVxCustomLabel::TVxCustomLabel;
  std::string ClassName() const override { return "TVxLabel"; }
};

}  // namespace controls
