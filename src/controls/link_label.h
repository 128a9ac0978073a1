#pragma once
// The link label: shows its caption (or, without one, its address) underlined, takes the highlight colour
// while the pointer is over it, and hands its address to the desktop when clicked.
#include <QTimer>
#include <string>

#include "tk/custom_label.h"

namespace controls {

class TVxURL : public tk::CustomLabel {
 public:
  explicit TVxURL(tk::Component* owner, QWidget* parent = nullptr);
  ~TVxURL() override;
  std::string ClassName() const override { return "TVxURL"; }

  // The label's own caption; the displayed text is it, or the address when it is empty.
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  const std::string& URL() const { return url_; }
  void SetURL(const std::string& url);
  tk::TColor HighlightColor() const { return highlightColor_; }
  void SetHighlightColor(tk::TColor color);
  bool UseVisitedColor() const { return useVisitedColor_; }
  void SetUseVisitedColor(bool value) { useVisitedColor_ = value; }
  tk::TColor VisitedColor() const { return visitedColor_; }
  void SetVisitedColor(tk::TColor color);
  std::string About() const;
  void SetAbout(const std::string&) {}

  bool Hovering() const { return hoverTimer_ != nullptr; }
  // The hover timer's tick: leaves the highlight once the pointer is outside.
  void TimerEvent();

  void Loaded() override;
  void GetProperties(tk::PropertyList& list) const override;

  static constexpr tk::TColor NoColorRemembered = 0x2000000;
  static constexpr int MaxAddressLength = 1023;

 protected:
  void MouseMove(tk::ShiftState shift, int x, int y) override;
  void Click() override;

 private:
  void ForgetRememberedColor();

  std::string caption_;
  std::string url_;
  tk::TColor highlightColor_ = 0x0000FF;
  bool useVisitedColor_ = false;
  tk::TColor visitedColor_ = 0;
  // A new label remembers no colour (not black), so its first hover ends in its own font colour.
  tk::TColor rememberedColor_ = NoColorRemembered;
  QTimer* hoverTimer_ = nullptr;
};

}  // namespace controls
