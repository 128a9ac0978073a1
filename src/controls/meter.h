#pragma once
// The percentage meter: a bar split into a used and an unused part, optionally with the percentage as
// text, painted through an off-screen bitmap.
#include <string>

#include "controls/base.h"
#include "tk/bitmap.h"

namespace controls {

enum class TMeterOrientation { moHorizontal, moVertical };
enum class TBorderStyle { bsNone, bsSingle };

// How many pixels of a bar of `size` are used and unused at a clamped percentage: a bar is absent, at
// least 3 pixels, or full, and a bar that is not full leaves at least 2 pixels unused.
struct TMeterSplit {
  int Used;
  int Unused;
};
TMeterSplit ComputeMeterSplit(int percentValue, int size);

class TVxCustomMeter : public TVxGraphicControl {
 public:
  explicit TVxCustomMeter(tk::Component* owner, QWidget* parent = nullptr);
  std::string ClassName() const override { return "TVxCustomMeter"; }

  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool value);
  bool InvertPercent() const { return invertPercent_; }
  void SetInvertPercent(bool value);
  TMeterOrientation Orientation() const { return orientation_; }
  void SetOrientation(TMeterOrientation value);
  int Percent() const { return percent_; }
  void SetPercent(int value);
  // Percent clamped to 0..100.
  int PercentValue() const;
  const std::string& PercentText() const { return percentText_; }
  bool ShowPercent() const { return showPercent_; }
  void SetShowPercent(bool value);
  tk::TColor UsedColor() const { return usedColor_; }
  void SetUsedColor(tk::TColor value);
  tk::TColor UnusedColor() const { return unusedColor_; }
  void SetUnusedColor(tk::TColor value);
  const tk::Bitmap& UsedImage() const { return usedImage_; }
  void SetUsedImage(const tk::Bitmap* bitmap);
  const tk::Bitmap& UnusedImage() const { return unusedImage_; }
  void SetUnusedImage(const tk::Bitmap* bitmap);

  void GetProperties(tk::PropertyList& list) const override;
  void DefineProperties(tk::Filer& filer) override;

 protected:
  void Paint(tk::Canvas& canvas) override;

 private:
  void SetImage(tk::Bitmap& image, const tk::Bitmap* bitmap);
  void DrawPart(tk::Canvas& canvas, const tk::Rect& part, const tk::Rect& interior, tk::TColor color,
                const tk::Bitmap& image, bool first, const tk::Rect& slice);

  TBorderStyle borderStyle_ = TBorderStyle::bsSingle;
  bool ctl3D_ = true;
  bool invertPercent_ = true;
  TMeterOrientation orientation_ = TMeterOrientation::moHorizontal;
  int percent_ = 33;
  bool showPercent_ = false;
  tk::TColor usedColor_ = 0x00FF00;
  tk::TColor unusedColor_ = tk::clWindow;
  tk::Bitmap usedImage_, unusedImage_;
  tk::Bitmap offscreen_, inverted_;
  std::string percentText_;
};

class TVxMeter : public TVxCustomMeter {
 public:
  using TVxCustomMeter::TVxCustomMeter;
  std::string ClassName() const override { return "TVxMeter"; }
};

}  // namespace controls
