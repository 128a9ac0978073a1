#include "controls/meter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QJsonArray>
#include <QPixmap>

#include "tk/filer.h"

namespace {

using namespace controls;

// Counts its paints.
class CountingMeter : public TVxMeter {
 public:
  using TVxMeter::TVxMeter;
  int Paints = 0;

 protected:
  void Paint(tk::Canvas& canvas) override {
    ++Paints;
    TVxMeter::Paint(canvas);
  }
};

tk::TColor PixelAt(const QImage& image, int x, int y) { return tk::FromQColor(QColor(image.pixel(x, y))); }

TEST(MeterSplit, BarsAreAbsentAtLeastThreePixelsOrFull) {
  // size 101: a horizontal interior of 100 pixels.
  EXPECT_EQ(ComputeMeterSplit(0, 101).Used, 0);
  EXPECT_EQ(ComputeMeterSplit(1, 101).Used, 0);
  EXPECT_EQ(ComputeMeterSplit(2, 101).Used, 0);
  EXPECT_EQ(ComputeMeterSplit(2, 101).Unused, 101);
  EXPECT_EQ(ComputeMeterSplit(3, 101).Used, 3);
  EXPECT_EQ(ComputeMeterSplit(3, 101).Unused, 97);
  EXPECT_EQ(ComputeMeterSplit(99, 101).Used, 98);  // capped at size - 3
  EXPECT_EQ(ComputeMeterSplit(99, 101).Unused, 2);
  EXPECT_EQ(ComputeMeterSplit(100, 101).Used, 101);
  EXPECT_EQ(ComputeMeterSplit(100, 101).Unused, 0);
}

TEST(Meter, PercentIsKeptAsAssignedAndShownClamped) {
  TVxMeter meter(nullptr);
  EXPECT_EQ(meter.Percent(), 33);
  EXPECT_EQ(meter.PercentText(), "33%");
  EXPECT_EQ(meter.Width(), 200);
  EXPECT_EQ(meter.Height(), 24);
  meter.SetPercent(-5);
  EXPECT_EQ(meter.Percent(), -5);
  EXPECT_EQ(meter.PercentValue(), 0);
  EXPECT_EQ(meter.PercentText(), "0%");
  meter.SetPercent(250);
  EXPECT_EQ(meter.Percent(), 250);
  EXPECT_EQ(meter.PercentText(), "100%");
  meter.SetPercent(7);
  EXPECT_EQ(meter.PercentText(), "7%");
}

TEST(Meter, EachChangeRepaintsOnceAndAnEqualValueNotAtAll) {
  CountingMeter meter(nullptr);
  meter.show();
  QApplication::processEvents();
  int base = meter.Paints;
  meter.SetPercent(50);
  EXPECT_EQ(meter.Paints, base + 1);  // at once, not deferred
  meter.SetPercent(50);
  QApplication::processEvents();
  EXPECT_EQ(meter.Paints, base + 1);
  // InvertPercent only matters while the text shows.
  meter.SetInvertPercent(false);
  QApplication::processEvents();
  EXPECT_EQ(meter.Paints, base + 1);
}

TEST(Meter, TheBarSplitsTheInteriorAtTheEdges) {
  TVxMeter meter(nullptr);
  meter.SetBounds(0, 0, 104, 10);  // two frames: interior 100 pixels wide, size 101
  meter.SetUsedColor(tk::clBlue);
  meter.SetUnusedColor(tk::clWhite);
  meter.SetPercent(99);
  QImage image = meter.grab().toImage();
  EXPECT_EQ(PixelAt(image, 2, 5), tk::clBlue);
  EXPECT_EQ(PixelAt(image, 2 + 97, 5), tk::clBlue);  // 98 pixels used
  EXPECT_EQ(PixelAt(image, 2 + 98, 5), tk::clWhite);
  EXPECT_EQ(PixelAt(image, 2 + 99, 5), tk::clWhite);
  // The frame: a shadow line outside, a black line inside it.
  EXPECT_EQ(PixelAt(image, 0, 5), tk::ColorToRGB(tk::clBtnShadow));
  EXPECT_EQ(PixelAt(image, 1, 5), tk::clBlack);
  EXPECT_EQ(PixelAt(image, 103, 5), tk::ColorToRGB(tk::clBtnHighlight));
  meter.SetPercent(2);
  image = meter.grab().toImage();
  EXPECT_EQ(PixelAt(image, 2, 5), tk::clWhite);
  meter.SetPercent(100);
  image = meter.grab().toImage();
  EXPECT_EQ(PixelAt(image, 101, 5), tk::clBlue);
  EXPECT_EQ(PixelAt(image, 102, 5), tk::ColorToRGB(tk::clBtnHighlight));  // the frame survives
}

TEST(Meter, VerticalBarsFillFromTheBottom) {
  TVxMeter meter(nullptr);
  meter.SetOrientation(TMeterOrientation::moVertical);
  EXPECT_EQ(meter.Width(), 24);
  EXPECT_EQ(meter.Height(), 200);
  meter.SetBorderStyle(TBorderStyle::bsNone);
  meter.SetUsedColor(tk::clRed);
  meter.SetUnusedColor(tk::clWhite);
  meter.SetPercent(50);
  QImage image = meter.grab().toImage();
  EXPECT_EQ(PixelAt(image, 10, 199), tk::clRed);
  EXPECT_EQ(PixelAt(image, 10, 0), tk::clWhite);
  int used = ComputeMeterSplit(50, 201).Used;
  EXPECT_EQ(PixelAt(image, 10, 200 - used), tk::clRed);
  EXPECT_EQ(PixelAt(image, 10, 199 - used), tk::clWhite);
}

TEST(Meter, AUsedImageKeepsTheSizeWhenTheOrientationChanges) {
  TVxMeter meter(nullptr);
  tk::Bitmap image(50, 10);
  meter.SetUsedImage(&image);
  meter.SetOrientation(TMeterOrientation::moVertical);
  EXPECT_EQ(meter.Width(), 200);
  EXPECT_EQ(meter.Height(), 24);
}

TEST(Meter, InvertedTextIsTheInverseOfWhatLiesBeneath) {
  TVxMeter meter(nullptr);
  meter.SetBorderStyle(TBorderStyle::bsNone);
  meter.SetUsedColor(tk::clBlue);
  meter.SetUnusedColor(tk::clWhite);
  meter.SetShowPercent(true);
  meter.SetPercent(50);
  QImage image = meter.grab().toImage();
  int inverseOfUsed = 0, inverseOfUnused = 0, other = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      tk::TColor c = PixelAt(image, x, y);
      if (c == (tk::clBlue ^ 0xFFFFFF))
        ++inverseOfUsed;
      else if (c == tk::clBlack)
        ++inverseOfUnused;
      else if (c != tk::clBlue && c != tk::clWhite)
        ++other;
    }
  EXPECT_GT(inverseOfUsed, 0);  // "50%" straddles both parts
  EXPECT_GT(inverseOfUnused, 0);
  EXPECT_EQ(other, 0);
}

TEST(Meter, OnlyOwnPropertiesWithoutDefaultsAreAlwaysStreamed) {
  TVxMeter meter(nullptr);
  QJsonObject json = tk::Writer().WriteComponent(meter);
  std::vector<std::string> names;
  for (const auto& p : json["Properties"].toArray()) names.push_back(p.toArray().at(0).toString().toStdString());
  auto has = [&](const char* n) { return std::find(names.begin(), names.end(), n) != names.end(); };
  EXPECT_FALSE(has("BorderStyle"));
  EXPECT_FALSE(has("Ctl3D"));
  EXPECT_FALSE(has("InvertPercent"));
  EXPECT_FALSE(has("About"));
  EXPECT_TRUE(has("Orientation"));
  EXPECT_TRUE(has("Percent"));
  EXPECT_TRUE(has("ShowPercent"));
  EXPECT_TRUE(has("UsedColor"));
  meter.SetCtl3D(false);
  json = tk::Writer().WriteComponent(meter);
  EXPECT_TRUE(json["Properties"].toArray().contains(QJsonArray{"Ctl3D", "Boolean", false}));
}

}  // namespace

namespace {

using namespace controls;

TEST(MeterImages, ADesignTimeImageSizesTheMeterAndSetsItsOrientation) {
  TVxMeter meter(nullptr);
  meter.SetDesigning(true);
  tk::Bitmap tall(10, 50);
  meter.SetUsedImage(&tall);
  EXPECT_EQ(meter.Width(), 12);  // plus two for the 3-D frame
  EXPECT_EQ(meter.Height(), 52);
  EXPECT_EQ(meter.Orientation(), TMeterOrientation::moVertical);
  meter.SetCtl3D(false);
  tk::Bitmap wide(50, 10);
  meter.SetUnusedImage(&wide);
  EXPECT_EQ(meter.Width(), 51);
  EXPECT_EQ(meter.Orientation(), TMeterOrientation::moHorizontal);
  TVxMeter running(nullptr);
  running.SetUsedImage(&tall);  // at run time the size stays
  EXPECT_EQ(running.Width(), 200);
}

TEST(MeterImages, TheUsedPartShowsItsSliceOfTheUsedImage) {
  TVxMeter meter(nullptr);
  meter.SetBorderStyle(TBorderStyle::bsNone);
  meter.SetBounds(0, 0, 100, 10);
  tk::Bitmap used(100, 10), unused(100, 10);
  used.Canvas().Brush.Color = tk::clRed;
  used.Canvas().FillRect({0, 0, 50, 10});
  used.Canvas().Brush.Color = tk::clGreen;
  used.Canvas().FillRect({50, 0, 100, 10});
  unused.Canvas().Brush.Color = tk::clYellow;
  unused.Canvas().FillRect({0, 0, 100, 10});
  meter.SetUsedImage(&used);
  meter.SetUnusedImage(&unused);
  meter.SetPercent(40);
  QImage image = meter.grab().toImage();
  // 40% of 101 is 40 pixels: the left 40% of the used image (all red) stretched into them.
  EXPECT_EQ(tk::FromQColor(QColor(image.pixel(0, 5))), tk::clRed);
  EXPECT_EQ(tk::FromQColor(QColor(image.pixel(39, 5))), tk::clRed);
  EXPECT_EQ(tk::FromQColor(QColor(image.pixel(41, 5))), tk::clYellow);
}

TEST(MeterImages, ResizingRemakesTheOffscreenBitmap) {
  TVxMeter meter(nullptr);
  meter.SetUsedColor(tk::clBlue);
  meter.SetPercent(100);
  meter.grab();
  meter.SetBounds(0, 0, 300, 30);
  QImage image = meter.grab().toImage();
  ASSERT_EQ(image.width(), 300);
  EXPECT_EQ(tk::FromQColor(QColor(image.pixel(297, 15))), tk::clBlue);
  EXPECT_EQ(tk::FromQColor(QColor(image.pixel(299, 29))), tk::ColorToRGB(tk::clBtnHighlight));
}

}  // namespace
