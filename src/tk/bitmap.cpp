#include "tk/bitmap.h"

namespace tk {

Bitmap::Bitmap(int width, int height) { SetSize(width, height); }

Bitmap::Bitmap(const Bitmap& other) : image_(other.Image()) {}

Bitmap& Bitmap::operator=(const Bitmap& other) {
  if (this != &other) Assign(other.Image());
  return *this;
}

void Bitmap::SetSize(int width, int height) {
  canvas_.reset();
  if (width <= 0 || height <= 0) {
    image_ = QImage();
    return;
  }
  image_ = QImage(width, height, QImage::Format_RGB32);
  image_.fill(Qt::white);
}

void Bitmap::Assign(const Bitmap* other) {
  if (other)
    Assign(other->Image());
  else
    SetSize(0, 0);
}

void Bitmap::Assign(const QImage& image) {
  canvas_.reset();
  image_ = image.isNull() ? QImage() : image.convertToFormat(QImage::Format_RGB32);
}

tk::Canvas& Bitmap::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<tk::Canvas>(&image_);
  return *canvas_;
}

const QImage& Bitmap::Image() const {
  if (canvas_) canvas_->Flush();
  return image_;
}

}  // namespace tk
