#include "tk/platform_caret.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QRegion>
#include <QStyleHints>
#include <algorithm>
#include <climits>

namespace tk {

namespace {

// A coordinate plus an extent, kept inside int: the "no position" coordinate sits at the very end.
int Reach(int from, int extent) {
  long long end = static_cast<long long>(from) + extent;
  return static_cast<int>(std::min<long long>(end, INT_MAX));
}

}  // namespace

PlatformCaret& PlatformCaret::Instance() {
  static PlatformCaret caret;
  return caret;
}

PlatformCaret::PlatformCaret() {
  // Qt's flash time is a whole on-and-off period; the platform's blink time is half of one.
  int flash = QGuiApplication::styleHints() ? QGuiApplication::styleHints()->cursorFlashTime() : 0;
  blinkTime_ = flash > 0 ? static_cast<unsigned>(flash / 2) : 530u;
}

Rect PlatformCaret::Area() const {
  if (!owner_) return {};
  int w = IsBitmap() ? bitmap_.width() : width_;
  int h = IsBitmap() ? bitmap_.height() : height_;
  return {pos_.X, pos_.Y, Reach(pos_.X, w), Reach(pos_.Y, h)};
}

bool PlatformCaret::Create(QWidget* owner, const QImage* bitmap, int width, int height, bool gray) {
  if (!owner) return false;
  if (owner_) Destroy();
  owner_ = owner;
  bitmap_ = bitmap ? *bitmap : QImage();
  width_ = std::max(1, width);
  height_ = std::max(1, height);
  gray_ = gray && !bitmap;
  hideCount_ = 1;
  drawn_ = {};
  Redraw();
  return true;
}

bool PlatformCaret::Destroy() {
  if (!owner_) return false;
  hideCount_ = 1;
  Redraw();
  owner_ = nullptr;
  bitmap_ = QImage();
  drawn_ = {};
  if (timer_) timer_->stop();
  return true;
}

bool PlatformCaret::Show(QWidget* owner) {
  if (!owner_ || (owner && owner != owner_)) return false;
  if (hideCount_ > 0) --hideCount_;
  if (hideCount_ == 0) Redraw();
  return true;
}

bool PlatformCaret::Hide(QWidget* owner) {
  if (!owner_ || (owner && owner != owner_)) return false;
  ++hideCount_;
  if (hideCount_ == 1) Redraw();
  return true;
}

bool PlatformCaret::SetPos(int x, int y) {
  if (!owner_) return false;
  if (pos_ == Point{x, y}) return true;
  pos_ = {x, y};
  Redraw();
  return true;
}

bool PlatformCaret::SetBlinkTime(unsigned ms) {
  blinkTime_ = ms;
  Restart();
  return true;
}

void PlatformCaret::Blink() {
  if (!Visible()) return;
  phaseOn_ = !phaseOn_;
  Rect r = Area();
  owner_->update(QRect(r.Left, r.Top, r.Width(), r.Height()) & owner_->rect());
}

void PlatformCaret::Redraw() {
  phaseOn_ = true;
  if (owner_) {
    Rect now = Visible() ? Area() : Rect{};
    QRegion dirty = QRect(drawn_.Left, drawn_.Top, drawn_.Width(), drawn_.Height());
    dirty += QRect(now.Left, now.Top, now.Width(), now.Height());
    dirty &= owner_->rect();
    if (!dirty.isEmpty()) owner_->update(dirty);
    drawn_ = now;
  }
  Restart();
}

void PlatformCaret::Restart() {
  if (!Visible() || blinkTime_ == 0) {
    if (timer_) timer_->stop();
    return;
  }
  if (!timer_) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    timer_ = new QTimer(app);
    QObject::connect(timer_.data(), &QTimer::timeout, [this] { Blink(); });
  }
  timer_->start(static_cast<int>(std::min<unsigned>(blinkTime_, INT_MAX)));
}

void PlatformCaret::Paint(QWidget* widget) {
  if (!widget || widget != owner_ || !On()) return;
  QPainter painter(widget);
  Paint(widget, painter);
}

void PlatformCaret::Paint(QWidget* widget, QPainter& painter) {
  if (!widget || widget != owner_ || !On()) return;
  Rect r = Area();
  if (r.Empty()) return;
  painter.save();
  painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  if (IsBitmap())
    painter.drawImage(r.Left, r.Top, bitmap_);
  else
    painter.fillRect(QRect(r.Left, r.Top, r.Width(), r.Height()),
                     gray_ ? QBrush(Qt::white, Qt::Dense4Pattern) : QBrush(Qt::white));
  painter.restore();
}

}  // namespace tk
