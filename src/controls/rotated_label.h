#pragma once
// The rotated label: a window-less label that draws its caption at any angle, optionally with a drop
// shadow, and can size itself so the turned text fits.
#include <functional>
#include <string>

#include "controls/base.h"
#include "tk/custom_label.h"

namespace controls {

// Whether a font can be turned: only outline (TrueType) fonts rotate. Tests install their own answer.
using TrueTypeTest = std::function<bool(const tk::Font&)>;
bool IsTrueTypeFont(const tk::Font& font);
// Installs a test and returns the previous one; an empty test restores the default.
TrueTypeTest SetTrueTypeTest(TrueTypeTest test);

// Size and text origin that make a caption W wide and H high fit when turned by `angle` degrees.
struct TVxRotatedExtent {
  int Width;
  int Height;
  int OriginX;
  int OriginY;
};
TVxRotatedExtent RotatedExtent(int textWidth, int textHeight, int angle);

class TVxCustomRotatedLabel : public TVxGraphicControl {
 public:
  explicit TVxCustomRotatedLabel(tk::Component* owner, QWidget* parent = nullptr);
  std::string ClassName() const override { return "TVxCustomRotatedLabel"; }

  // The label's own text, not the widget's.
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& value);
  tk::Alignment Alignment() const { return alignment_; }
  void SetAlignment(tk::Alignment value);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  // Degrees counter-clockwise, kept in -359..359.
  int FontAngle() const { return fontAngle_; }
  void SetFontAngle(int value);
  // Where turned text starts, in client pixels.
  int OriginX() const { return originX_; }
  void SetOriginX(int value);
  int OriginY() const { return originY_; }
  void SetOriginY(int value);
  bool ShadowedText() const { return shadowedText_; }
  void SetShadowedText(bool value);
  tk::TColor ShadowColor() const { return shadowColor_; }
  void SetShadowColor(tk::TColor value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);
  // While set, the background is the parent's colour; setting Color clears it.
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool value);
  // The colour the background is filled with.
  tk::TColor BackgroundColor() const;

  void SetName(const std::string& name) override;
  void Dispatch(tk::Message& message) override;
  void GetProperties(tk::PropertyList& list) const override;

 protected:
  void Paint(tk::Canvas& canvas) override;
  void AdjustSize();

 private:
  void FontChanged();

  std::string caption_;
  tk::Alignment alignment_ = tk::Alignment::LeftJustify;
  bool autoSize_ = false;
  int fontAngle_ = 0;
  int originX_ = 0;
  int originY_ = 0;
  bool shadowedText_ = false;
  tk::TColor shadowColor_ = tk::clBtnShadow;
  bool transparent_ = false;
  bool parentColor_ = true;
  bool adjusting_ = false;
  bool settingColor_ = false;
};

class TVxRotatedLabel : public TVxCustomRotatedLabel {
 public:
  using TVxCustomRotatedLabel::TVxCustomRotatedLabel;
  std::string ClassName() const override { return "TVxRotatedLabel"; }
};

}  // namespace controls
