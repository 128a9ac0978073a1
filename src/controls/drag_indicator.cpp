#include "controls/drag_indicator.h"

#include <QApplication>
#include <QBitmap>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

namespace controls {

namespace {

// A frameless window above all others that takes no input and no focus and shows the picture through its
// shape.
class DragPictureWindow : public QWidget {
 public:
  DragPictureWindow(const QImage& picture, const QRegion& shape)
      : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                             Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint),
        picture_(picture) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(picture.size());
    setMask(shape);
  }

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, picture_); }

 private:
  QImage picture_;
};

// The screen's pixels in `area`. Where the platform keeps the screen from programs (Wayland), the program's
// own window there is copied instead; whatever cannot be read takes the see-through colour.
QImage CopyScreenArea(const QRect& area, QRgb seeThrough) {
  QImage picture(area.size(), QImage::Format_RGB32);
  picture.fill(seeThrough);
  QPainter painter(&picture);
  QScreen* screen = QGuiApplication::screenAt(area.center());
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (screen) {
    const QPoint origin = screen->geometry().topLeft();
    QPixmap shot = screen->grabWindow(0, area.x() - origin.x(), area.y() - origin.y(), area.width(), area.height());
    if (!shot.isNull()) {
      painter.drawPixmap(0, 0, shot);
      return picture;
    }
  }
  if (QWidget* window = QApplication::topLevelAt(area.center())) {
    const QRect local = QRect(window->mapFromGlobal(area.topLeft()), area.size()).intersected(window->rect());
    if (!local.isEmpty())
      painter.drawPixmap(window->mapToGlobal(local.topLeft()) - area.topLeft(), window->grab(local));
  }
  return picture;
}

}  // namespace

TVxDragShow::TVxDragShow(int x, int y, const tk::Rect& sourceRect, tk::TColor transColor) {
  offset_ = {x - sourceRect.Left, y - sourceRect.Top};
  position_ = {x - offset_.X, y - offset_.Y};
  const QRect area(sourceRect.Left, sourceRect.Top, sourceRect.Right - sourceRect.Left + 1,
                   sourceRect.Bottom - sourceRect.Top + 1);
  if (area.isEmpty()) return;
  const QRgb seeThrough = tk::ToQColor(tk::ColorToRGB(transColor)).rgb();
  picture_ = CopyScreenArea(area, seeThrough);
  // A region made from the mask holds the pixels other than the masked-in colour.
  shape_ = QRegion(QBitmap::fromImage(picture_.createMaskFromColor(seeThrough, Qt::MaskInColor)));
  window_ = std::make_unique<DragPictureWindow>(picture_, shape_);
  active_ = true;
  ShowDragImage();
}

TVxDragShow::~TVxDragShow() { HideDragImage(); }

tk::Rect TVxDragShow::PictureRect() const {
  return {position_.X, position_.Y, position_.X + picture_.width(), position_.Y + picture_.height()};
}

QWidget* TVxDragShow::PictureWindow() const { return window_.get(); }

void TVxDragShow::DragMove(int x, int y) {
  const tk::Point position{x - offset_.X, y - offset_.Y};
  if (!active_ || position == position_) return;
  position_ = position;
  // One move of the window: the old place and the new are redrawn together.
  if (showing_) window_->move(position_.X, position_.Y);
}

void TVxDragShow::HideDragImage() {
  if (!showing_) return;
  showing_ = false;
  window_->hide();
}

void TVxDragShow::ShowDragImage() {
  if (!active_ || showing_) return;
  showing_ = true;
  // A picture all of the see-through colour shows nothing; an empty shape would mean no shape at all.
  if (shape_.isEmpty()) return;
  window_->move(position_.X, position_.Y);
  window_->show();
}

}  // namespace controls
