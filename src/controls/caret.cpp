#include "controls/caret.h"

#include "tk/control.h"
#include "tk/custom_edit.h"
#include "tk/platform_caret.h"

namespace controls {

namespace {

tk::PlatformCaret& Platform() { return tk::PlatformCaret::Instance(); }

// Whether the owner's window exists: the toolkit's windowed controls make theirs lazily.
bool HasWindow(QWidget* owner) {
  if (!owner) return false;
  if (auto* control = dynamic_cast<tk::CustomControl*>(owner)) return control->HandleAllocated();
  if (auto* edit = dynamic_cast<tk::CustomEdit*>(owner)) return edit->HandleAllocated();
  return true;
}

}  // namespace

// shape

void TVxCaret::Changed() {
  if (OnChange) OnChange(this);
}

void TVxCaret::Deregister() {
  if (useCount_ > 0) --useCount_;
  if (useCount_ == 0) delete this;
}

void TVxCaret::SetAlign(TVxCaretAlign value) {
  if (value == align_) return;
  align_ = value;
  Changed();
}

void TVxCaret::SetBitmap(const tk::Bitmap* value) {
  if (!value) return;
  bitmap_.Assign(value);
  Changed();
}

void TVxCaret::SetBitmapX(int value) {
  hotSpotX_ = value;
  if (shape_ == TVxCaretShape::csBitmap) Changed();
}

void TVxCaret::SetBitmapY(int value) {
  hotSpotY_ = value;
  if (shape_ == TVxCaretShape::csBitmap) Changed();
}

void TVxCaret::SetBlinkTime(std::uint16_t value) {
  if (value == blinkTime_) return;
  blinkTime_ = value;
  Changed();
}

void TVxCaret::SetCaretHeight(int value) {
  if (value < 1 || value == height_) return;
  height_ = value;
  Changed();
}

void TVxCaret::SetCaretWidth(int value) {
  if (value < 1 || value == width_) return;
  width_ = value;
  Changed();
}

void TVxCaret::SetIsGray(bool value) {
  if (value == isGray_) return;
  isGray_ = value;
  Changed();
}

void TVxCaret::SetShape(TVxCaretShape value) {
  if (value == shape_) return;
  shape_ = value;
  switch (value) {
    case TVxCaretShape::csBlock:
      align_ = TVxCaretAlign::caLeft;
      break;
    case TVxCaretShape::csHalfBlock:
      align_ = TVxCaretAlign::caBottom;
      break;
    case TVxCaretShape::csVertLine:
      align_ = TVxCaretAlign::caLeft;
      width_ = 2;
      break;
    case TVxCaretShape::csHorzLine:
      align_ = TVxCaretAlign::caBottom;
      height_ = 2;
      break;
    case TVxCaretShape::csBitmap:
      height_ = bitmap_.Height();
      width_ = bitmap_.Width();
      break;
    case TVxCaretShape::csCustom:
      break;
  }
  Changed();
}

// single caret

TVxSingleCaret::TVxSingleCaret(QWidget* owner) : owner_(owner) {
  caretType_ = new TVxCaret;
  caretType_->Register();
  Reinit();
}

TVxSingleCaret::~TVxSingleCaret() {
  SetVisible(false);
  SetLinked(false);
  Unbind(caretType_);
  caretType_->Deregister();
}

void TVxSingleCaret::Unbind(TVxCaret* shape) {
  if (shape && shape->ChangeTarget == this) {
    shape->OnChange = nullptr;
    shape->ChangeTarget = nullptr;
  }
}

void TVxSingleCaret::SetCaretType(TVxCaret* shape) {
  if (!shape || shape == caretType_) return;
  shape->Register();
  Unbind(caretType_);
  caretType_->Deregister();
  caretType_ = shape;
  CaretTypeHasChanged();
}

void TVxSingleCaret::SetCellHeight(int value) {
  if (value < 1 || value == cellHeight_) return;
  cellHeight_ = value;
  CaretTypeHasChanged();
}

void TVxSingleCaret::SetCellWidth(int value) {
  if (value < 1 || value == cellWidth_) return;
  cellWidth_ = value;
  CaretTypeHasChanged();
}

void TVxSingleCaret::Reinit() {
  TVxCaret& shape = *caretType_;
  // Unbound while it is fitted, so that the fitting does not call back into a refit.
  Unbind(&shape);
  switch (shape.Shape()) {
    case TVxCaretShape::csBlock:
      shape.SetCaretHeight(cellHeight_);
      shape.SetCaretWidth(cellWidth_);
      break;
    case TVxCaretShape::csHalfBlock:
      shape.SetCaretHeight(cellHeight_ / 2);
      shape.SetCaretWidth(cellWidth_);
      break;
    case TVxCaretShape::csVertLine:
      shape.SetCaretHeight(cellHeight_);
      break;
    case TVxCaretShape::csHorzLine:
      shape.SetCaretWidth(cellWidth_);
      break;
    default:
      break;
  }
  shape.OnChange = [this](TVxCaret*) { CaretTypeHasChanged(); };
  shape.ChangeTarget = this;

  int dx = (cellWidth_ - shape.CaretWidth()) / 2;
  int dy = (cellHeight_ - shape.CaretHeight()) / 2;
  int x = 0, y = 0;
  switch (shape.Align()) {
    case TVxCaretAlign::caLeft:
      y = dy;
      break;
    case TVxCaretAlign::caTop:
      x = dx;
      break;
    case TVxCaretAlign::caRight:
      x = cellWidth_ - shape.CaretWidth();
      y = dy;
      break;
    case TVxCaretAlign::caBottom:
      x = dx;
      y = cellHeight_ - shape.CaretHeight();
      break;
    case TVxCaretAlign::caCenter:
      x = dx;
      y = dy;
      break;
  }
  if (shape.Shape() == TVxCaretShape::csBitmap) {
    x -= shape.BitmapHotSpotX();
    y -= shape.BitmapHotSpotY();
  }
  if (x == offsetX_ && y == offsetY_) return;
  offsetX_ = x;
  offsetY_ = y;
  if (linked_) ResetPos();
}

void TVxSingleCaret::ResetPos() {
  int x = posX_ == NoPosition ? NoPosition : posX_ + offsetX_;
  int y = posY_ == NoPosition ? NoPosition : posY_ + offsetY_;
  Platform().SetPos(x, y);
}

void TVxSingleCaret::MakeShape() {
  if (!linked_) return;
  const TVxCaret& shape = *caretType_;
  if (shape.Shape() == TVxCaretShape::csBitmap) {
    QImage image = shape.Bitmap().Image();
    Platform().Create(owner_, &image, 0, 0, false);
  } else {
    Platform().Create(owner_, nullptr, shape.CaretWidth(), shape.CaretHeight(), shape.IsGray());
  }
  if (visible_) Platform().Show(owner_);
}

void TVxSingleCaret::SetLinked(bool value) {
  if (value == linked_) return;
  if (value) {
    if (!HasWindow(owner_)) return;
    linked_ = true;
    savedBlinkTime_ = Platform().BlinkTime();
    MakeShape();
    ResetPos();
    std::uint16_t blink = caretType_->BlinkTime();
    if (blink != 0 && blink != savedBlinkTime_) Platform().SetBlinkTime(blink);
  } else {
    linked_ = false;
    Platform().SetBlinkTime(savedBlinkTime_);
    if (Platform().Owner() == owner_) Platform().Destroy();
  }
}

void TVxSingleCaret::SetPos(tk::Point value) {
  int x = value.X < 0 ? NoPosition : value.X;
  int y = value.Y < 0 ? NoPosition : value.Y;
  if (x == posX_ && y == posY_) return;
  posX_ = x;
  posY_ = y;
  if (linked_) ResetPos();
}

void TVxSingleCaret::SetVisible(bool value) {
  if (value == visible_) return;
  visible_ = value;
  if (!linked_) return;
  if (value)
    Platform().Show(owner_);
  else
    Platform().Hide(owner_);
}

void TVxSingleCaret::CaretTypeHasChanged() {
  bool wasLinked = linked_;
  SetLinked(false);
  Reinit();
  if (wasLinked) SetLinked(true);
}

// pair

TVxCaretPair::TVxCaretPair(QWidget* owner) : TVxSingleCaret(owner) {
  insShape_ = new TVxCaret;
  insShape_->Register();
  ovrShape_ = new TVxCaret;
  ovrShape_->Register();
  ovrShape_->SetShape(TVxCaretShape::csBlock);
  SetCaretType(insShape_);
}

TVxCaretPair::~TVxCaretPair() {
  // The current shape keeps its own use until the single caret lets it go.
  for (TVxCaret* shape : {insShape_, ovrShape_}) {
    if (shape != CaretType()) Unbind(shape);
    shape->Deregister();
  }
}

void TVxCaretPair::SetInsMode(bool value) {
  if (value == insMode_) return;
  insMode_ = value;
  SetCaretType(value ? insShape_ : ovrShape_);
}

void TVxCaretPair::Replace(TVxCaret*& slot, TVxCaret* shape, bool current) {
  if (!shape || shape == slot) return;
  shape->Register();
  TVxCaret* old = slot;
  slot = shape;
  // The current shape is let go by SetCaretType; a shape no longer current may still be bound here.
  if (current)
    SetCaretType(shape);
  else if (old != CaretType())
    Unbind(old);
  old->Deregister();
}

void TVxCaretPair::SetInsCaretType(TVxCaret* shape) { Replace(insShape_, shape, insMode_); }

void TVxCaretPair::SetOvrCaretType(TVxCaret* shape) { Replace(ovrShape_, shape, !insMode_); }

}  // namespace controls
