#pragma once
// A back and text colour pair with defaults: UseDefault holds while both sit at their defaults as set.
#include <functional>

#include "tk/color.h"
#include "tk/filer.h"

namespace controls {

class TVxColors {
 public:
  TVxColors(tk::TColor defaultText, tk::TColor defaultBack);

  tk::TColor BackColor() const { return back_; }
  void SetBackColor(tk::TColor color);
  tk::TColor TextColor() const { return text_; }
  void SetTextColor(tk::TColor color);
  bool UseDefault() const { return useDefault_; }
  void SetUseDefault(bool value);
  void Assign(const TVxColors& other);
  // Old form streams may carry UseDefault as a defined property: it is read and dropped, never written.
  void DefineProperties(tk::Filer& filer);

  std::function<void()> OnColorChange;

 private:
  void Changed() {
    if (OnColorChange) OnColorChange();
  }

  tk::TColor defaultText_, defaultBack_;
  tk::TColor text_, back_;
  bool useDefault_ = true;
};

}  // namespace controls
