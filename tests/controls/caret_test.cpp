#include "controls/caret.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPainter>

#include "tk/control.h"
#include "tk/platform_caret.h"

namespace {

using namespace controls;
using Shape = TVxCaretShape;
using Align = TVxCaretAlign;
tk::PlatformCaret& Platform() { return tk::PlatformCaret::Instance(); }

// A window that paints itself white and then its caret, as every caret owner does.
class WhitePad : public tk::CustomControl {
 public:
  WhitePad() : tk::CustomControl(nullptr) {
    resize(60, 40);
    show();
    QApplication::processEvents();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    {
      QPainter painter(this);
      painter.fillRect(rect(), Qt::white);
    }
    Platform().Paint(this);
  }
};

// A shape that reports when it is freed.
class WatchedShape : public TVxCaret {
 public:
  explicit WatchedShape(bool& freed) : freed_(freed) {}
  ~WatchedShape() override { freed_ = true; }

 private:
  bool& freed_;
};

struct Fit {
  Shape What;
  Align Where;
  int CellHeight, CellWidth;
  int Width, Height, OffsetX, OffsetY;
};

class CaretFitting : public ::testing::TestWithParam<Fit> {};

TEST_P(CaretFitting, PlacesTheShapeInTheCell) {
  const Fit& f = GetParam();
  TVxSingleCaret caret(nullptr);
  caret.CaretType()->SetShape(f.What);
  caret.CaretType()->SetAlign(f.Where);
  caret.SetCellHeight(f.CellHeight);
  caret.SetCellWidth(f.CellWidth);
  EXPECT_EQ(caret.CaretType()->CaretWidth(), f.Width);
  EXPECT_EQ(caret.CaretType()->CaretHeight(), f.Height);
  EXPECT_EQ(caret.OffsetX(), f.OffsetX);
  EXPECT_EQ(caret.OffsetY(), f.OffsetY);
}

INSTANTIATE_TEST_SUITE_P(Table, CaretFitting,
                         ::testing::Values(Fit{Shape::csHorzLine, Align::caBottom, 16, 8, 8, 2, 0, 14},
                                           Fit{Shape::csHalfBlock, Align::caBottom, 15, 8, 8, 7, 0, 8},
                                           Fit{Shape::csBlock, Align::caLeft, 16, 8, 8, 16, 0, 0},
                                           Fit{Shape::csVertLine, Align::caLeft, 16, 8, 2, 16, 0, 0},
                                           Fit{Shape::csVertLine, Align::caRight, 16, 9, 2, 16, 7, 0},
                                           Fit{Shape::csHorzLine, Align::caTop, 16, 9, 9, 2, 0, 0},
                                           Fit{Shape::csCustom, Align::caCenter, 15, 9, 2, 10, 3, 2},
                                           Fit{Shape::csCustom, Align::caLeft, 15, 9, 2, 10, 0, 2}));

TEST(CaretShape, EachShapeSetsTheAlignmentAndSizeItImplies) {
  auto* shape = new TVxCaret;
  shape->Register();
  shape->SetCaretHeight(9);
  shape->SetShape(Shape::csHorzLine);
  EXPECT_EQ(shape->Align(), Align::caBottom);
  EXPECT_EQ(shape->CaretHeight(), 2);
  shape->SetShape(Shape::csVertLine);
  EXPECT_EQ(shape->Align(), Align::caLeft);
  EXPECT_EQ(shape->CaretWidth(), 2);
  tk::Bitmap bitmap(5, 7);
  shape->SetBitmap(&bitmap);
  shape->SetShape(Shape::csBitmap);
  EXPECT_EQ(shape->CaretWidth(), 5);
  EXPECT_EQ(shape->CaretHeight(), 7);
  shape->Deregister();
}

TEST(CaretShape, NotifiesRealChangesOnlyAndTheHotSpotOnlyForABitmap) {
  auto* shape = new TVxCaret;
  shape->Register();
  int changes = 0;
  shape->OnChange = [&](TVxCaret*) { ++changes; };
  shape->SetCaretWidth(0);  // below 1
  shape->SetCaretWidth(2);  // unchanged
  shape->SetBitmapX(3);     // not a bitmap shape
  shape->SetBitmap(nullptr);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(shape->BitmapHotSpotX(), 3);
  shape->SetIsGray(true);
  shape->SetShape(Shape::csBitmap);
  shape->SetBitmapY(1);
  EXPECT_EQ(changes, 3);
  shape->Deregister();
}

TEST(CaretShape, ABitmapShapeMovesByItsHotSpot) {
  TVxSingleCaret caret(nullptr);
  tk::Bitmap bitmap(4, 6);
  caret.CaretType()->SetBitmap(&bitmap);
  caret.CaretType()->SetShape(Shape::csBitmap);
  caret.CaretType()->SetBitmapX(1);
  caret.CaretType()->SetBitmapY(2);
  EXPECT_EQ(caret.OffsetX(), -1);
  EXPECT_EQ(caret.OffsetY(), (10 - 6) / 2 - 2);
}

class LinkedCaret : public ::testing::Test {
 protected:
  WhitePad pad;
  TVxSingleCaret caret{&pad};
};

TEST_F(LinkedCaret, DrivesThePlatformCaretWhileLinked) {
  caret.SetCellHeight(16);
  caret.SetPos({5, 6});
  caret.SetVisible(true);
  EXPECT_FALSE(Platform().Exists());
  caret.SetLinked(true);
  ASSERT_EQ(Platform().Owner(), &pad);
  EXPECT_TRUE(Platform().Visible());
  EXPECT_EQ(Platform().Pos(), (tk::Point{5, 6}));
  EXPECT_EQ(Platform().Width(), 2);
  EXPECT_EQ(Platform().Height(), 16);
  caret.SetVisible(false);
  EXPECT_FALSE(Platform().Visible());
  caret.SetLinked(false);
  EXPECT_FALSE(Platform().Exists());
}

TEST_F(LinkedCaret, ANegativePositionPutsItOffTheWindowWithoutUnlinking) {
  caret.SetLinked(true);
  caret.SetVisible(true);
  caret.SetPos({4, -1});
  EXPECT_TRUE(caret.Linked());
  EXPECT_EQ(caret.Pos().Y, TVxSingleCaret::NoPosition);
  EXPECT_EQ(Platform().Pos().Y, tk::PlatformCaret::NoPosition);
  EXPECT_TRUE(Platform().Area().Empty() || Platform().Area().Top >= pad.height());
  caret.SetLinked(false);
}

TEST_F(LinkedCaret, AppliesItsBlinkTimeWhileLinkedAndRestoresThePlatformsAfter) {
  const unsigned platform = Platform().BlinkTime();
  caret.SetLinked(true);
  EXPECT_EQ(Platform().BlinkTime(), platform);  // 0 keeps the platform's
  caret.SetLinked(false);
  caret.CaretType()->SetBlinkTime(static_cast<std::uint16_t>(platform + 100));
  caret.SetLinked(true);
  EXPECT_EQ(Platform().BlinkTime(), platform + 100);
  caret.SetLinked(false);
  EXPECT_EQ(Platform().BlinkTime(), platform);
}

TEST_F(LinkedCaret, RebuildsThePlatformCaretWhenItsShapeChanges) {
  caret.SetCellHeight(16);
  caret.SetCellWidth(8);
  caret.SetPos({10, 0});
  caret.SetVisible(true);
  caret.SetLinked(true);
  caret.CaretType()->SetShape(Shape::csHorzLine);
  EXPECT_TRUE(caret.Linked());
  EXPECT_TRUE(Platform().Visible());
  EXPECT_EQ(Platform().Width(), 8);
  EXPECT_EQ(Platform().Height(), 2);
  EXPECT_EQ(Platform().Pos(), (tk::Point{10, 14}));
  caret.SetCellHeight(20);
  EXPECT_EQ(Platform().Pos(), (tk::Point{10, 18}));
  caret.SetLinked(false);
}

TEST(UnshownOwner, StaysUnlinkedWithoutAWindow) {
  tk::CustomControl control(nullptr);
  TVxSingleCaret caret(&control);
  caret.SetLinked(true);
  EXPECT_FALSE(caret.Linked());
  EXPECT_FALSE(Platform().Exists());
}

TEST(CaretPair, SwitchesBetweenTheInsertLineAndTheOverwriteBlock) {
  TVxCaretPair pair(nullptr);
  EXPECT_EQ(pair.CaretType(), pair.InsCaretType());
  EXPECT_EQ(pair.InsCaretType()->Shape(), Shape::csVertLine);
  pair.SetInsMode(false);
  EXPECT_EQ(pair.CaretType(), pair.OvrCaretType());
  EXPECT_EQ(pair.CaretType()->Shape(), Shape::csBlock);
  EXPECT_EQ(pair.CaretType()->CaretHeight(), pair.CellHeight());
}

TEST(CaretPair, FreesAReplacedShapeNoOneElseUsesAndKeepsAShared) {
  bool firstFreed = false, secondFreed = false;
  auto* first = new WatchedShape(firstFreed);
  auto* second = new WatchedShape(secondFreed);
  second->Register();  // the test's own use
  {
    TVxCaretPair pair(nullptr);
    pair.SetInsCaretType(first);
    EXPECT_EQ(pair.CaretType(), first);
    EXPECT_EQ(first->UseCount(), 2);
    pair.SetInsCaretType(second);
    EXPECT_TRUE(firstFreed);
    EXPECT_EQ(pair.CaretType(), second);
  }
  EXPECT_FALSE(secondFreed);
  EXPECT_EQ(second->UseCount(), 1);
  EXPECT_FALSE(second->OnChange);  // no longer bound to the freed caret
  second->Deregister();
  EXPECT_TRUE(secondFreed);
}

TEST(PlatformCaret, HidingNestsAndTheCaretStartsHidden) {
  WhitePad pad;
  ASSERT_TRUE(Platform().Create(&pad, nullptr, 3, 8, false));
  EXPECT_FALSE(Platform().Visible());
  Platform().Hide(&pad);
  Platform().Show(&pad);
  EXPECT_FALSE(Platform().Visible());
  Platform().Show(&pad);
  EXPECT_TRUE(Platform().Visible());
  WhitePad other;
  EXPECT_FALSE(Platform().Hide(&other));
  Platform().Destroy();
}

TEST(PlatformCaret, InvertsWhatItCoversAndBlinksAway) {
  WhitePad pad;
  Platform().Create(&pad, nullptr, 3, 8, false);
  Platform().SetPos(10, 4);
  Platform().Show(&pad);
  QImage on = pad.grab().toImage();
  EXPECT_EQ(on.pixel(10, 4) & 0xFFFFFF, 0x000000u);
  EXPECT_EQ(on.pixel(12, 11) & 0xFFFFFF, 0x000000u);
  EXPECT_EQ(on.pixel(13, 4) & 0xFFFFFF, 0xFFFFFFu);
  Platform().Blink();
  EXPECT_FALSE(Platform().On());
  EXPECT_EQ(pad.grab().toImage().pixel(10, 4) & 0xFFFFFF, 0xFFFFFFu);
  Platform().Destroy();
}

TEST(PlatformCaret, AGreyCaretInvertsEveryOtherPixel) {
  WhitePad pad;
  Platform().Create(&pad, nullptr, 4, 4, true);
  Platform().SetPos(0, 0);
  Platform().Show(&pad);
  QImage image = pad.grab().toImage();
  int inverted = 0;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) inverted += (image.pixel(x, y) & 0xFFFFFF) == 0 ? 1 : 0;
  EXPECT_EQ(inverted, 8);
  Platform().Destroy();
}

}  // namespace
