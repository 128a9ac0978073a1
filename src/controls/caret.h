#pragma once
// Carets for the library's own edit controls: a shape (TVxCaret) fitted into the character cell of its
// owner, a single caret that drives the platform caret (tk::PlatformCaret) while linked, and a pair that
// switches between an insert and an overwrite shape. The owner links the caret when it gains the focus,
// unlinks it when it loses it, and draws it after painting (see tk/platform_caret.h).
#include <QWidget>
#include <cstdint>
#include <functional>

#include "tk/bitmap.h"
#include "tk/types.h"

namespace controls {

enum class TVxCaretAlign { caLeft, caTop, caRight, caBottom, caCenter };
enum class TVxCaretShape { csBlock, csHalfBlock, csVertLine, csHorzLine, csCustom, csBitmap };

// A caret shape. It lives while it is used: Register adds a use, Deregister drops one and frees the shape
// at none, so shapes are only ever made with new.
class TVxCaret {
 public:
  TVxCaret() = default;
  TVxCaret(const TVxCaret&) = delete;
  TVxCaret& operator=(const TVxCaret&) = delete;

  TVxCaretAlign Align() const { return align_; }
  void SetAlign(TVxCaretAlign value);
  const tk::Bitmap& Bitmap() const { return bitmap_; }
  // Copies the bitmap; null is ignored.
  void SetBitmap(const tk::Bitmap* value);
  int BitmapHotSpotX() const { return hotSpotX_; }
  int BitmapHotSpotY() const { return hotSpotY_; }
  void SetBitmapX(int value);
  void SetBitmapY(int value);
  // Milliseconds; 0 keeps the platform's blink time.
  std::uint16_t BlinkTime() const { return blinkTime_; }
  void SetBlinkTime(std::uint16_t value);
  int CaretHeight() const { return height_; }
  int CaretWidth() const { return width_; }
  void SetCaretHeight(int value);  // below 1 is ignored
  void SetCaretWidth(int value);
  bool IsGray() const { return isGray_; }
  void SetIsGray(bool value);
  TVxCaretShape Shape() const { return shape_; }
  // Also sets the alignment and size each shape implies.
  void SetShape(TVxCaretShape value);

  void Register() { ++useCount_; }
  void Deregister();
  std::uint16_t UseCount() const { return useCount_; }

  // Who is told of a change; the single caret whose shape this is binds itself here.
  std::function<void(TVxCaret* sender)> OnChange;
  const void* ChangeTarget = nullptr;

 protected:
  virtual ~TVxCaret() = default;

 private:
  void Changed();

  TVxCaretAlign align_ = TVxCaretAlign::caLeft;
  tk::Bitmap bitmap_;
  int hotSpotX_ = 0;
  int hotSpotY_ = 0;
  std::uint16_t blinkTime_ = 0;
  int height_ = 10;
  int width_ = 2;
  bool isGray_ = false;
  TVxCaretShape shape_ = TVxCaretShape::csVertLine;
  std::uint16_t useCount_ = 0;
};

class TVxSingleCaret {
 public:
  // Position coordinate meaning "none": keeps the caret off the window.
  static constexpr int NoPosition = 2147483647;

  explicit TVxSingleCaret(QWidget* owner);
  virtual ~TVxSingleCaret();
  TVxSingleCaret(const TVxSingleCaret&) = delete;
  TVxSingleCaret& operator=(const TVxSingleCaret&) = delete;

  TVxCaret* CaretType() const { return caretType_; }
  // Takes a use of the new shape, releases the old one and rebuilds the platform caret.
  void SetCaretType(TVxCaret* shape);
  int CellHeight() const { return cellHeight_; }
  int CellWidth() const { return cellWidth_; }
  void SetCellHeight(int value);  // below 1 is ignored
  void SetCellWidth(int value);
  bool Linked() const { return linked_; }
  // Linking needs the owner's window; it creates the platform caret, unlinking destroys it.
  void SetLinked(bool value);
  tk::Point Pos() const { return {posX_, posY_}; }
  // A negative coordinate becomes NoPosition.
  void SetPos(tk::Point value);
  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  QWidget* Owner() const { return owner_; }
  int OffsetX() const { return offsetX_; }
  int OffsetY() const { return offsetY_; }

  // Fits the shape into the cell and binds its change notice here.
  void Reinit();
  void ResetPos();
  void MakeShape();
  // Unlinks, refits and links again when it was linked.
  void CaretTypeHasChanged();

 protected:
  // Forgets this caret as the shape's change target, when it is.
  void Unbind(TVxCaret* shape);

 private:
  TVxCaret* caretType_ = nullptr;
  int cellHeight_ = 10;
  bool linked_ = false;
  int posX_ = NoPosition;
  int posY_ = NoPosition;
  bool visible_ = false;
  int cellWidth_ = 10;
  unsigned savedBlinkTime_ = 0;
  QWidget* owner_;
  int offsetX_ = 0;
  int offsetY_ = 0;
};

// Two shapes, the current one chosen by the insert mode: a vertical line to insert, a block to overwrite.
class TVxCaretPair : public TVxSingleCaret {
 public:
  explicit TVxCaretPair(QWidget* owner);
  ~TVxCaretPair() override;

  bool InsMode() const { return insMode_; }
  void SetInsMode(bool value);
  TVxCaret* InsCaretType() const { return insShape_; }
  TVxCaret* OvrCaretType() const { return ovrShape_; }
  void SetInsCaretType(TVxCaret* shape);
  void SetOvrCaretType(TVxCaret* shape);

 private:
  void Replace(TVxCaret*& slot, TVxCaret* shape, bool current);

  bool insMode_ = true;
  TVxCaret* insShape_;
  TVxCaret* ovrShape_;
};

}  // namespace controls
