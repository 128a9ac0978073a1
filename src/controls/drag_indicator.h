#pragma once
// The drag indicator: a picture of a screen area that follows the mouse while the table moves a row or
// column, with one colour of it see-through. The picture floats in a shaped window of its own above all
// others, so it can leave the table, and the screen under it is never drawn on: hiding or moving it shows
// whatever is there now, with nothing saved or restored and nothing to flicker.
#include <memory>

#include <QImage>
#include <QRegion>

#include "tk/color.h"
#include "tk/types.h"

class QWidget;

namespace controls {

class TVxDragShow {
 public:
  // x, y: the mouse on the screen. sourceRect: the screen area to copy, its right and bottom edges included
  // (the picture is one pixel wider and taller than the rectangle). transColor: the colour to see through.
  // Copies the area and shows the picture at once; an area with no pixels leaves the indicator inactive.
  TVxDragShow(int x, int y, const tk::Rect& sourceRect, tk::TColor transColor);
  ~TVxDragShow();
  TVxDragShow(const TVxDragShow&) = delete;
  TVxDragShow& operator=(const TVxDragShow&) = delete;

  // Moves the picture so that the mouse keeps its place in it; while hidden only the place changes.
  void DragMove(int x, int y);
  void HideDragImage();
  void ShowDragImage();

  bool Active() const { return active_; }
  bool Showing() const { return showing_; }
  // The picture's place on the screen.
  tk::Rect PictureRect() const;
  const QImage& Picture() const { return picture_; }
  // The pixels of the picture that show: all but those of the see-through colour.
  const QRegion& Shape() const { return shape_; }
  // The window that shows the picture (hidden while nothing of it shows).
  QWidget* PictureWindow() const;

 private:
  QImage picture_;
  QRegion shape_;
  std::unique_ptr<QWidget> window_;
  tk::Point offset_;    // of the mouse within the picture
  tk::Point position_;  // of the picture's top-left corner on the screen
  bool active_ = false;
  bool showing_ = false;
};

}  // namespace controls
