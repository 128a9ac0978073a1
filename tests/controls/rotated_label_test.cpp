#include "controls/rotated_label.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QJsonArray>
#include <QPixmap>
#include <QWidget>
#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include "support/user_input.h"
#include "tk/filer.h"

namespace {

using namespace controls;

struct Ink {
  int MinX = INT_MAX, MinY = INT_MAX, MaxX = INT_MIN, MaxY = INT_MIN, Count = 0;
  double SumX = 0, SumY = 0;
  double CentreX() const { return SumX / Count; }
  double CentreY() const { return SumY / Count; }
  void Add(int x, int y) {
    MinX = std::min(MinX, x), MinY = std::min(MinY, y), MaxX = std::max(MaxX, x), MaxY = std::max(MaxY, y);
    SumX += x, SumY += y, ++Count;
  }
};

template <class Pred>
Ink Find(const QImage& image, Pred pred) {
  Ink ink;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (pred(QColor(image.pixel(x, y)))) ink.Add(x, y);
  return ink;
}
Ink Dark(const QImage& image) {
  return Find(image, [](const QColor& c) { return qGray(c.rgb()) < 160; });
}
Ink Exactly(const QImage& image, tk::TColor color) {
  return Find(image, [color](const QColor& c) { return tk::FromQColor(c) == color; });
}

tk::Font TestFont() {
  tk::Font font;
  font.SetName("DejaVu Sans");
  font.SetHeight(-20);
  font.SetColor(tk::clBlack);
  return font;
}

// Black text on white; a caption that reads differently upside down, so a screenshot shows the turn.
std::unique_ptr<TVxRotatedLabel> MakeLabel(QWidget* parent, int angle, bool autoSize = true) {
  auto label = std::make_unique<TVxRotatedLabel>(nullptr, parent);
  label->SetFont(TestFont());
  label->SetColor(tk::clWhite);
  label->SetCaption("Zelta");
  label->SetAutoSize(autoSize);
  label->SetFontAngle(angle);
  return label;
}

// Puts a TrueType test in place for one test.
struct TrueTypeOverride {
  explicit TrueTypeOverride(TrueTypeTest test) : previous(SetTrueTypeTest(std::move(test))) {}
  ~TrueTypeOverride() { SetTrueTypeTest(previous); }
  TrueTypeTest previous;
};

TEST(RotatedLabelExtent, FitsTheTurnedTextAsTheRulesGive) {
  struct Case {
    int W, H, Angle;
    TVxRotatedExtent Expected;
  } cases[] = {
      {100, 20, 0, {100, 20, 0, 0}},      {100, 20, 90, {40, 140, 20, 110}}, {100, 21, 90, {42, 142, 21, 111}},
      {100, 20, 180, {140, 40, 120, 20}}, {100, 20, 270, {40, 140, 20, 20}}, {100, 20, 30, {127, 90, 20, 60}},
      {100, 20, 135, {111, 111, 91, 91}}, {100, 20, -10, {138, 57, 20, 20}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Angle);
    TVxRotatedExtent e = RotatedExtent(c.W, c.H, c.Angle);
    EXPECT_EQ(e.Width, c.Expected.Width);
    EXPECT_EQ(e.Height, c.Expected.Height);
    EXPECT_EQ(e.OriginX, c.Expected.OriginX);
    EXPECT_EQ(e.OriginY, c.Expected.OriginY);
  }
}

TEST(RotatedLabel, FontAngleIsKeptWithinOneTurnWithItsSign) {
  struct Case {
    int Set, Kept;
  } cases[] = {{450, 90}, {-370, -10}, {359, 359}, {-359, -359}, {720, 0}, {45, 45}};
  for (const Case& c : cases) {
    TVxRotatedLabel label(nullptr);
    label.SetFontAngle(c.Set);
    EXPECT_EQ(label.FontAngle(), c.Kept) << c.Set;
  }
}

// Each angle of the table is drawn on its own auto-sized label. The turned text cell (origin, run along the
// angle, height across it) must lie inside the label, and the ink must sit where the level text's ink sits
// once turned about the origin by the same angle.
TEST(RotatedLabel, TurnedTextLandsWhereTheGeometrySaysAtEveryAngle) {
  QWidget board;
  board.resize(700, 260);
  QFontMetrics fm(TestFont().Q());
  const int w = fm.horizontalAdvance("Zelta"), h = fm.height();

  QWidget aside;
  auto level = MakeLabel(&aside, 0);
  Ink reference = Dark(level->grab().toImage());
  ASSERT_GT(reference.Count, 0);

  int x = 0;
  std::vector<std::unique_ptr<TVxRotatedLabel>> labels;
  for (int angle : {0, 90, 180, 270, 30, 135}) {
    SCOPED_TRACE(angle);
    auto label = MakeLabel(&board, angle);
    label->SetBounds(x, 10, label->Width(), label->Height());
    EXPECT_EQ(label->Left(), x) << "auto-size keeps the left";
    EXPECT_EQ(label->Top(), 10) << "and the top";
    TVxRotatedExtent e = RotatedExtent(w, h, angle);
    EXPECT_EQ(label->Width(), e.Width);
    EXPECT_EQ(label->Height(), e.Height);
    EXPECT_EQ(label->OriginX(), e.OriginX);
    EXPECT_EQ(label->OriginY(), e.OriginY);

    double a = angle * std::numbers::pi / 180.0;
    double dx = std::cos(a), dy = -std::sin(a);  // along the text
    double nx = std::sin(a), ny = std::cos(a);   // down the glyphs
    for (auto [u, v] : {std::pair{0, 0}, {w, 0}, {0, h}, {w, h}}) {
      double cx = label->OriginX() + u * dx + v * nx, cy = label->OriginY() + u * dy + v * ny;
      EXPECT_GE(cx, -0.5);
      EXPECT_LE(cx, label->Width() + 0.5);
      EXPECT_GE(cy, -0.5);
      EXPECT_LE(cy, label->Height() + 0.5);
    }

    // Every ink pixel taken back into the text's own frame: together they span what the level ink spans.
    QImage image = label->grab().toImage();
    Ink ink = Dark(image), back;
    ASSERT_GT(ink.Count, 0);
    for (int py = 0; py < image.height(); ++py)
      for (int px = 0; px < image.width(); ++px)
        if (qGray(image.pixel(px, py)) < 160) {
          double rx = px + 0.5 - label->OriginX(), ry = py + 0.5 - label->OriginY();
          back.Add(static_cast<int>(std::floor(rx * dx + ry * dy)), static_cast<int>(std::floor(rx * nx + ry * ny)));
        }
    EXPECT_NEAR(back.MinX, reference.MinX, 2);
    EXPECT_NEAR(back.MaxX, reference.MaxX, 2);
    EXPECT_NEAR(back.MinY, reference.MinY, 2);
    EXPECT_NEAR(back.MaxY, reference.MaxY, 2);
    double u = reference.CentreX(), v = reference.CentreY();
    EXPECT_NEAR(ink.CentreX(), label->OriginX() + u * dx + v * nx, 2.0);
    EXPECT_NEAR(ink.CentreY(), label->OriginY() + u * dy + v * ny, 2.0);
    x += label->Width() + 10;
    labels.push_back(std::move(label));
  }
  EXPECT_TRUE(testing_support::Shoot(&board, "rotated_label_angles.png"));
}

TEST(RotatedLabel, LevelTextFollowsTheAlignment) {
  QWidget board;
  struct Case {
    tk::Alignment Alignment;
    bool (*Placed)(const Ink& ink);
  } cases[] = {
      {tk::Alignment::LeftJustify, [](const Ink& i) { return i.MinX <= 3; }},
      {tk::Alignment::Center, [](const Ink& i) { return std::abs(i.MinX + i.MaxX - 300) <= 6; }},
      {tk::Alignment::RightJustify, [](const Ink& i) { return i.MaxX >= 296; }},
  };
  for (const Case& c : cases) {
    auto label = MakeLabel(&board, 0, false);
    label->SetBounds(0, 0, 300, 30);
    label->SetAlignment(c.Alignment);
    Ink ink = Dark(label->grab().toImage());
    EXPECT_TRUE(c.Placed(ink)) << static_cast<int>(c.Alignment) << ": ink " << ink.MinX << ".." << ink.MaxX;
  }
}

TEST(RotatedLabel, ShadowLiesTwoRightAndOneDownOfTheText) {
  QWidget board;
  for (int angle : {0, 90}) {
    auto label = MakeLabel(&board, angle);
    label->SetShadowColor(tk::clRed);
    label->SetShadowedText(true);
    QImage image = label->grab().toImage();
    Ink text = Exactly(image, tk::clBlack), shadow = Exactly(image, tk::clRed);
    ASSERT_GT(text.Count, 0) << angle;
    ASSERT_GT(shadow.Count, 0) << angle;
    EXPECT_EQ(shadow.MaxX, text.MaxX + 2) << angle;
    EXPECT_EQ(shadow.MaxY, text.MaxY + 1) << angle;
  }
}

TEST(RotatedLabel, DisabledLabelDrawsInGreyText) {
  QWidget board;
  for (int angle : {0, 90}) {
    auto label = MakeLabel(&board, angle);
    label->setEnabled(false);
    QImage image = label->grab().toImage();
    EXPECT_GT(Exactly(image, tk::ColorToRGB(tk::clGrayText)).Count, 0) << angle;
    EXPECT_EQ(Exactly(image, tk::clBlack).Count, 0) << angle;
  }
}

TEST(RotatedLabel, EmptyCaptionDrawsOnlyTheBackground) {
  QWidget board;
  for (int angle : {0, 45}) {
    auto label = MakeLabel(&board, angle, false);
    label->SetCaption("");
    label->SetBounds(0, 0, 80, 80);
    QImage image = label->grab().toImage();
    EXPECT_EQ(Exactly(image, tk::clWhite).Count, 80 * 80) << angle;
  }
}

TEST(RotatedLabel, BackgroundIsTheParentsColourTheOwnColourOrNothing) {
  QWidget board;
  board.resize(200, 100);
  QPalette palette = board.palette();
  palette.setColor(QPalette::Window, Qt::blue);
  board.setPalette(palette);
  board.setAutoFillBackground(true);
  TVxRotatedLabel label(nullptr, &board);
  label.SetBounds(10, 10, 60, 40);
  auto backgroundAt = [&] { return tk::FromQColor(QColor(board.grab().toImage().pixel(12, 12))); };

  EXPECT_EQ(backgroundAt(), tk::clBlue) << "the parent's colour";
  label.SetColor(tk::clYellow);
  EXPECT_FALSE(label.ParentColor());
  EXPECT_EQ(backgroundAt(), tk::clYellow) << "its own colour";
  label.SetTransparent(true);
  EXPECT_EQ(backgroundAt(), tk::clBlue) << "see-through";
}

TEST(RotatedLabel, OnlyTrueTypeFontsTurn) {
  TrueTypeOverride onlyOutlines([](const tk::Font& f) { return f.Name() != "Fixedsys"; });
  tk::Font bitmapFont = TestFont();
  bitmapFont.SetName("Fixedsys");

  TVxRotatedLabel label(nullptr);
  label.SetFont(bitmapFont);
  label.SetFontAngle(90);
  EXPECT_EQ(label.Font().Name(), "Arial") << "an angle replaces a font that cannot turn";
  EXPECT_EQ(label.FontAngle(), 90);

  label.SetFont(bitmapFont);
  EXPECT_EQ(label.FontAngle(), 0) << "choosing a font that cannot turn levels the text";

  TVxRotatedLabel loading(nullptr);
  loading.SetFont(bitmapFont);
  loading.SetLoadingState();
  loading.SetFontAngle(90);
  EXPECT_EQ(loading.Font().Name(), "Fixedsys") << "a form stream's values are taken as they are";
}

TEST(RotatedLabel, FormStreamsKeepTheAngleAndAnOwnColourOnly) {
  TVxRotatedLabel label(nullptr);
  for (const QJsonValue& v : tk::Writer().WriteComponent(label)["Properties"].toArray())
    for (const char* unstored : {"Color", "ParentColor", "FontAngle", "ShadowColor"})
      EXPECT_NE(v.toArray().at(0).toString(), unstored) << "the parent's colour and defaults are not stored";
  label.SetColor(tk::clYellow);
  label.SetFontAngle(-30);
  label.SetShadowedText(true);
  QJsonObject json = tk::Writer().WriteComponent(label);

  TVxRotatedLabel copy(nullptr);
  tk::Reader().ReadInto(copy, json);
  EXPECT_EQ(copy.Color(), tk::clYellow);
  EXPECT_FALSE(copy.ParentColor());
  EXPECT_EQ(copy.FontAngle(), -30);
  EXPECT_TRUE(copy.ShadowedText());
}

TEST(RotatedLabel, DesignTimeNameBecomesTheEmptyCaption) {
  TVxRotatedLabel label(nullptr);
  label.SetDesigning(true);
  label.SetName("RotatedLabel1");
  EXPECT_EQ(label.Caption(), "RotatedLabel1");
  label.SetName("Title");
  EXPECT_EQ(label.Caption(), "RotatedLabel1") << "a caption once set is kept";

  TVxRotatedLabel running(nullptr);
  running.SetName("RotatedLabel2");
  EXPECT_EQ(running.Caption(), "");
}

}  // namespace
