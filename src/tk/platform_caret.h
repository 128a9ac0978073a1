#pragma once
// The platform's text caret: one per application, as on the original platform. A window creates it (a solid
// or grey block of a size, or a bitmap), moves, shows and hides it, and destroys it; creating it again for
// any window replaces the old one. Hiding nests: a caret hidden twice needs two shows. The caret starts
// hidden.
//
// Drawing: Qt has no caret of its own for a custom-painted window, so the owner draws it after painting:
// the last thing its paintEvent does is PlatformCaret::Instance().Paint(this) (with its own painter ended)
// or Paint(this, painter). The caret inverts the pixels under it (a grey caret every other pixel, a bitmap
// caret where the bitmap is light). A timer blinks it; every change repaints the area it covered.
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "tk/types.h"

class QPainter;

namespace tk {

class PlatformCaret {
 public:
  // Coordinate that keeps the caret off any window.
  static constexpr int NoPosition = 2147483647;

  static PlatformCaret& Instance();

  // Replaces any caret; `bitmap` (when not null) gives the shape, else width by height (0 = 1 pixel), grey
  // or solid. The new caret is hidden once; it stays where the last one stood until moved.
  bool Create(QWidget* owner, const QImage* bitmap, int width, int height, bool gray);
  // Fails when no caret exists.
  bool Destroy();
  // `owner` must be the caret's owner (or null for whichever it is).
  bool Show(QWidget* owner);
  bool Hide(QWidget* owner);
  bool SetPos(int x, int y);
  Point Pos() const { return pos_; }
  // Half a blink period in milliseconds, for the whole application.
  unsigned BlinkTime() const { return blinkTime_; }
  bool SetBlinkTime(unsigned ms);

  QWidget* Owner() const { return owner_.data(); }
  bool Exists() const { return owner_ != nullptr; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Gray() const { return gray_; }
  bool IsBitmap() const { return !bitmap_.isNull(); }
  int HideCount() const { return hideCount_; }
  bool Visible() const { return Exists() && hideCount_ == 0; }
  // Visible and in the drawn half of its blink.
  bool On() const { return Visible() && phaseOn_; }
  // What it covers, in the owner's coordinates (empty when it stands nowhere on the window).
  Rect Area() const;

  // One blink: the drawn half becomes the hidden one or back. The timer's tick; tests call it directly.
  void Blink();

  void Paint(QWidget* widget);
  void Paint(QWidget* widget, QPainter& painter);

 private:
  PlatformCaret();
  void Redraw();  // repaints the covered area and starts a blink period in the drawn half
  void Restart();

  QPointer<QWidget> owner_;
  QImage bitmap_;
  int width_ = 1;
  int height_ = 1;
  bool gray_ = false;
  Point pos_;
  int hideCount_ = 0;
  bool phaseOn_ = true;
  unsigned blinkTime_;
  Rect drawn_;              // the area last asked to be repainted
  QPointer<QTimer> timer_;  // owned by the application, which outlives no caret user
};

}  // namespace tk
