#pragma once
// An off-screen bitmap with its own canvas. Resizing keeps nothing of the old picture.
#include <QImage>
#include <memory>

#include "tk/canvas.h"

namespace tk {

class Bitmap {
 public:
  Bitmap() = default;
  Bitmap(int width, int height);
  Bitmap(const Bitmap& other);
  Bitmap& operator=(const Bitmap& other);

  int Width() const { return image_.width(); }
  int Height() const { return image_.height(); }
  bool Empty() const { return image_.isNull() || image_.width() == 0 || image_.height() == 0; }
  void SetSize(int width, int height);
  void Assign(const Bitmap* other);
  void Assign(const QImage& image);

  tk::Canvas& Canvas();
  // The picture, with any drawing in progress finished.
  const QImage& Image() const;

 private:
  QImage image_;
  mutable std::unique_ptr<tk::Canvas> canvas_;
};

}  // namespace tk
