#include "controls/colors.h"

namespace controls {

TVxColors::TVxColors(tk::TColor defaultText, tk::TColor defaultBack)
    : defaultText_(defaultText), defaultBack_(defaultBack), text_(defaultText), back_(defaultBack) {}

void TVxColors::SetBackColor(tk::TColor color) {
  if (color == back_) return;
  if (color != defaultBack_) useDefault_ = false;
  back_ = color;
  Changed();
}

void TVxColors::SetTextColor(tk::TColor color) {
  if (color == text_) return;
  if (color != defaultText_) useDefault_ = false;
  text_ = color;
  Changed();
}

void TVxColors::SetUseDefault(bool value) {
  useDefault_ = value;
  if (!value) return;
  back_ = defaultBack_;
  text_ = defaultText_;
  Changed();
}

void TVxColors::Assign(const TVxColors& other) {
  SetBackColor(other.back_);
  SetTextColor(other.text_);
}

void TVxColors::DefineProperties(tk::Filer& filer) {
  filer.DefineProperty(
      "UseDefault", [](const tk::Value&) {}, [] { return tk::Value(); }, false);
}

}  // namespace controls
