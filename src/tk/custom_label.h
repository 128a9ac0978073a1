#pragma once
// The toolkit's label: a graphic control that draws its caption with alignment, layout, word wrap and
// optional transparency, and sizes itself to the text when AutoSize is on.
#include <QPointer>
#include <string>

#include "tk/control.h"

namespace tk {

enum class Alignment { LeftJustify, RightJustify, Center };
enum class TextLayout { Top, Center, Bottom };

class CustomLabel : public GraphicControl {
 public:
  explicit CustomLabel(Component* owner, QWidget* parent = nullptr);
  std::string ClassName() const override { return "TCustomLabel"; }

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  tk::Alignment Alignment() const { return alignment_; }
  void SetAlignment(tk::Alignment value);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);
  bool ShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool value);
  TextLayout Layout() const { return layout_; }
  void SetLayout(TextLayout value);
  // The control its accelerator focuses.
  QWidget* FocusControl() const { return focusControl_; }
  void SetFocusControl(QWidget* control) { focusControl_ = control; }

  void Dispatch(Message& message) override;
  void GetProperties(PropertyList& list) const override;
  void Loaded() override;

 protected:
  void Paint(Canvas& canvas) override;
  // The flags the caption is drawn with (alignment, word break, prefix).
  std::uint32_t TextFlags() const;
  virtual void AdjustBounds();

 private:
  std::string caption_;
  tk::Alignment alignment_ = tk::Alignment::LeftJustify;
  TextLayout layout_ = TextLayout::Top;
  bool autoSize_ = true;
  bool wordWrap_ = false;
  bool transparent_ = false;
  bool showAccelChar_ = true;
  QPointer<QWidget> focusControl_;
};

}  // namespace tk
