#include "controls/drag_indicator.h"
#include "support/user_input.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QWidget>

#include "tk/color.h"

namespace {

using controls::TVxDragShow;

// A strip of three heading cells on the button face, with grid lines and captions, as the table shows them.
class HeadingStrip : public QWidget {
 public:
  HeadingStrip() {
    setGeometry(120, 80, 300, 30);
    show();
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
  }
  // Cell 1 on the screen as the table gives it: its right and bottom edges are the grid lines.
  tk::Rect CellOnScreen() const { return {Origin.x() + 100, Origin.y(), Origin.x() + 199, Origin.y() + 29}; }
  const QPoint Origin{120, 80};

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), palette().button());
    painter.setPen(Qt::black);
    for (int cell = 0; cell < 3; ++cell) {
      painter.drawLine(cell * 100 + 99, 0, cell * 100 + 99, 29);
      painter.drawText(QRect(cell * 100, 0, 99, 29), Qt::AlignCenter, QString("Column %1").arg(cell + 1));
    }
    painter.drawLine(0, 29, 299, 29);
  }
};

// Counts the picture window's moves, shows and hides.
class WindowEvents : public QObject {
 public:
  explicit WindowEvents(QWidget* window) { window->installEventFilter(this); }
  int Count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    const auto type = event->type();
    if (type == QEvent::Move || type == QEvent::Show || type == QEvent::Hide) ++Count;
    return false;
  }
};

QPoint TopLeft(const tk::Rect& r) { return {r.Left, r.Top}; }

TEST(DragShow, CopiesTheAreaAndSeesThroughTheGivenColour) {
  HeadingStrip strip;
  const tk::Rect cell = strip.CellOnScreen();
  TVxDragShow drag(cell.Left + 40, cell.Top + 10, cell, tk::clBtnFace);
  ASSERT_TRUE(drag.Active());
  EXPECT_TRUE(drag.Showing());
  EXPECT_EQ(drag.Picture().size(), QSize(100, 30));
  EXPECT_EQ(drag.Picture(), strip.grab(QRect(100, 0, 100, 30)).toImage().convertToFormat(QImage::Format_RGB32));
  EXPECT_FALSE(drag.Shape().contains(QPoint(5, 5)));  // button face
  EXPECT_TRUE(drag.Shape().contains(QPoint(99, 5)));  // the grid line
  EXPECT_TRUE(drag.Shape().contains(QPoint(50, 29)));
  QWidget* window = drag.PictureWindow();
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->geometry(), QRect(TopLeft(cell), QSize(100, 30)));

  // What the user sees: the strip, and the picture dragged half a cell to the right and partly below it.
  drag.DragMove(cell.Left + 90, cell.Top + 34);
  QImage screen(420, 70, QImage::Format_RGB32);
  screen.fill(Qt::white);
  QPainter painter(&screen);
  painter.drawPixmap(0, 0, strip.grab());
  painter.setClipRegion(drag.Shape().translated(window->pos() - strip.Origin));
  painter.drawPixmap(window->pos() - strip.Origin, window->grab());
  painter.end();
  testing_support::SaveShot(screen, "drag_indicator.png");
  EXPECT_EQ(screen.pixelColor(155, 34), QColor(Qt::white));  // the button face lets what is under it show
  EXPECT_EQ(screen.pixelColor(249, 34), QColor(Qt::black));  // the dragged cell's grid line
}

TEST(DragShow, FollowsTheMouseAtItsOffsetAndIgnoresAStillMouse) {
  HeadingStrip strip;
  const tk::Rect cell = strip.CellOnScreen();
  TVxDragShow drag(cell.Left + 40, cell.Top + 10, cell, tk::clBtnFace);
  WindowEvents events(drag.PictureWindow());
  drag.DragMove(cell.Left + 40, cell.Top + 10);
  QApplication::processEvents();
  EXPECT_EQ(events.Count, 0);
  drag.DragMove(cell.Left + 140, cell.Top + 5);
  EXPECT_EQ(drag.PictureRect().Left, cell.Left + 100);
  EXPECT_EQ(drag.PictureRect().Top, cell.Top - 5);
  EXPECT_EQ(drag.PictureWindow()->pos(), QPoint(cell.Left + 100, cell.Top - 5));
}

TEST(DragShow, MovesWhileHiddenOnlyChangeWhereItWillShow) {
  HeadingStrip strip;
  const tk::Rect cell = strip.CellOnScreen();
  TVxDragShow drag(cell.Left, cell.Top, cell, tk::clBtnFace);
  drag.HideDragImage();
  drag.HideDragImage();
  EXPECT_FALSE(drag.Showing());
  EXPECT_FALSE(drag.PictureWindow()->isVisible());
  drag.DragMove(cell.Left + 60, cell.Top + 70);
  EXPECT_FALSE(drag.PictureWindow()->isVisible());
  drag.ShowDragImage();
  EXPECT_TRUE(drag.PictureWindow()->isVisible());
  EXPECT_EQ(drag.PictureWindow()->pos(), QPoint(cell.Left + 60, cell.Top + 70));
}

TEST(DragShow, APictureAllOfTheSeeThroughColourShowsNothing) {
  HeadingStrip strip;
  const tk::Rect plain{strip.Origin.x() + 10, strip.Origin.y() + 2, strip.Origin.x() + 20, strip.Origin.y() + 6};
  TVxDragShow drag(plain.Left, plain.Top, plain, tk::clBtnFace);
  EXPECT_TRUE(drag.Showing());
  EXPECT_TRUE(drag.Shape().isEmpty());
  EXPECT_FALSE(drag.PictureWindow()->isVisible());
}

TEST(DragShow, AnAreaWithoutPixelsLeavesItInactive) {
  TVxDragShow drag(10, 10, tk::Rect{10, 10, 8, 8}, tk::clBtnFace);
  EXPECT_FALSE(drag.Active());
  EXPECT_FALSE(drag.Showing());
  drag.DragMove(50, 50);
  EXPECT_EQ(drag.PictureRect().Left, 10);
  drag.ShowDragImage();
  EXPECT_FALSE(drag.Showing());
  EXPECT_EQ(drag.PictureWindow(), nullptr);
}

}  // namespace
