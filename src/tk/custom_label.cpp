#include "tk/custom_label.h"

namespace tk {

namespace {
const char* const kAlignmentNames[] = {"taLeftJustify", "taRightJustify", "taCenter"};
const char* const kLayoutNames[] = {"tlTop", "tlCenter", "tlBottom"};
}  // namespace

CustomLabel::CustomLabel(Component* owner, QWidget* parent) : GraphicControl(owner, parent) {
  SetBounds(Left(), Top(), 65, 17);
  setAttribute(Qt::WA_NoSystemBackground, false);
}

void CustomLabel::SetCaption(const std::string& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  SendMessage(*this, CM_TEXTCHANGED);
}

void CustomLabel::SetAlignment(tk::Alignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Invalidate();
}

void CustomLabel::SetAutoSize(bool value) {
  if (value == autoSize_) return;
  autoSize_ = value;
  AdjustBounds();
}

void CustomLabel::SetWordWrap(bool value) {
  if (value == wordWrap_) return;
  wordWrap_ = value;
  AdjustBounds();
  Invalidate();
}

void CustomLabel::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  Invalidate();
}

void CustomLabel::SetShowAccelChar(bool value) {
  if (value == showAccelChar_) return;
  showAccelChar_ = value;
  Invalidate();
}

void CustomLabel::SetLayout(TextLayout value) {
  if (value == layout_) return;
  layout_ = value;
  Invalidate();
}

void CustomLabel::Dispatch(Message& message) {
  switch (message.Msg) {
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
      AdjustBounds();
      Invalidate();
      break;
    case CM_DIALOGCHAR:
      if (focusControl_ && showAccelChar_ && isEnabled() && IsAccel(static_cast<int>(message.WParam), caption_) &&
          CanFocusWidget(focusControl_)) {
        focusControl_->setFocus(Qt::ShortcutFocusReason);
        message.Result = 1;
      }
      break;
    default:
      GraphicControl::Dispatch(message);
  }
}

void CustomLabel::Loaded() {
  GraphicControl::Loaded();
  AdjustBounds();
}

std::uint32_t CustomLabel::TextFlags() const {
  std::uint32_t flags = DT_EXPANDTABS;
  if (wordWrap_) flags |= DT_WORDBREAK;
  if (alignment_ == tk::Alignment::RightJustify) flags |= DT_RIGHT;
  if (alignment_ == tk::Alignment::Center) flags |= DT_CENTER;
  if (!showAccelChar_) flags |= DT_NOPREFIX;
  return flags;
}

void CustomLabel::AdjustBounds() {
  if (Loading() || !autoSize_) return;
  QImage scratch(1, 1, QImage::Format_RGB32);
  Canvas canvas(&scratch);
  canvas.Font = font_;
  Rect r = ClientRect();
  std::string text = caption_.empty() ? std::string(" ") : caption_;
  canvas.DrawText(text, r, TextFlags() | DT_CALCRECT);
  int left = Left();
  if (alignment_ == tk::Alignment::RightJustify) left += Width() - r.Width();
  SetBounds(left, Top(), r.Width(), r.Height());
}

void CustomLabel::Paint(Canvas& canvas) {
  Rect r = ClientRect();
  if (!transparent_) {
    canvas.Brush.Color = Color();
    canvas.FillRect(r);
  }
  canvas.Brush.Style = BrushStyle::Clear;
  std::uint32_t flags = TextFlags();
  if (layout_ != TextLayout::Top) {
    Rect calc = r;
    canvas.DrawText(caption_, calc, flags | DT_CALCRECT);
    int offset = r.Height() - calc.Height();
    r.Top += layout_ == TextLayout::Center ? offset / 2 : offset;
  }
  canvas.DrawText(caption_, r, flags);
}

void CustomLabel::GetProperties(PropertyList& list) const {
  GraphicControl::GetProperties(list);
  list.push_back(MakeProperty<CustomLabel>("Caption", &CustomLabel::Caption, &CustomLabel::SetCaption));
  list.push_back(MakeEnumProperty<CustomLabel>("Alignment", &CustomLabel::Alignment, &CustomLabel::SetAlignment,
                                               kAlignmentNames, 0));
  list.push_back(MakeProperty<CustomLabel>("AutoSize", &CustomLabel::AutoSize, &CustomLabel::SetAutoSize, Value(true)));
  list.push_back(
      MakeEnumProperty<CustomLabel>("Layout", &CustomLabel::Layout, &CustomLabel::SetLayout, kLayoutNames, 0));
  list.push_back(
      MakeProperty<CustomLabel>("Transparent", &CustomLabel::Transparent, &CustomLabel::SetTransparent, Value(false)));
  list.push_back(
      MakeProperty<CustomLabel>("WordWrap", &CustomLabel::WordWrap, &CustomLabel::SetWordWrap, Value(false)));
}

}  // namespace tk
