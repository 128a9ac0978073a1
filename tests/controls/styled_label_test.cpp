#include "controls/styled_label.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QPixmap>
#include <climits>
#include <set>

#include "tk/filer.h"

namespace {

using namespace controls;

struct Box {
  int MinX = INT_MAX, MinY = INT_MAX, MaxX = INT_MIN, MaxY = INT_MIN, Count = 0;
};

Box Find(const QImage& image, tk::TColor color) {
  Box b;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (tk::FromQColor(QColor(image.pixel(x, y))) == color) {
        b.MinX = std::min(b.MinX, x);
        b.MinY = std::min(b.MinY, y);
        b.MaxX = std::max(b.MaxX, x);
        b.MaxY = std::max(b.MaxY, y);
        ++b.Count;
      }
  return b;
}

// An opaque label on blue with a large single letter, so each copy can be told apart by colour.
class StyledLabelPaint : public ::testing::Test {
 protected:
  void SetUp() override {
    label.SetTransparent(false);
    label.SetColor(tk::clBlue);
    label.SetCaption("H");
    tk::Font font = label.Font();
    font.SetName("DejaVu Sans");
    font.SetHeight(-40);
    font.SetColor(0x808080);
    label.SetFont(font);
    label.SetBounds(0, 0, 80, 60);
  }
  QImage Grab() { return label.grab().toImage(); }
  TVxLabel label{nullptr};
};

TEST(StyledLabel, StartsRaisedInTheWindowsScheme) {
  TVxLabel label(nullptr);
  EXPECT_EQ(label.Appearance(), TVxAppearance::apRaised);
  EXPECT_EQ(label.ColorScheme(), TVxColorScheme::csWindows);
  EXPECT_EQ(label.Width(), 150);
  EXPECT_EQ(label.Height(), 35);
  EXPECT_TRUE(label.Transparent());
  EXPECT_TRUE(label.WordWrap());
  EXPECT_FALSE(label.AutoSize());
  EXPECT_EQ(label.Font().Color(), 0x808080);
  EXPECT_EQ(label.Font().Size(), 20);
  const TVxCustomSettings& s = label.CustomSettings();
  EXPECT_EQ(s.HighlightDirection(), TVxShadeDirection::sdUpLeft);
  EXPECT_EQ(s.ShadowDirection(), TVxShadeDirection::sdDownRight);
  EXPECT_EQ(s.HighlightColor(), 0xFFFFFF);
  EXPECT_EQ(s.ShadowColor(), 0);
  EXPECT_EQ(label.About(), "v3.07");
}

TEST(StyledLabel, ShadeDirectionsGiveTheirSteps) {
  EXPECT_EQ(ShadeOffset(TVxShadeDirection::sdUpRight), (tk::Point{1, -1}));
  EXPECT_EQ(ShadeOffset(TVxShadeDirection::sdDownLeft), (tk::Point{-1, 1}));
  EXPECT_EQ(ShadeOffset(TVxShadeDirection::sdLeft), (tk::Point{-1, 0}));
  EXPECT_EQ(ShadeOffset(TVxShadeDirection::sdNone), (tk::Point{0, 0}));
}

TEST(StyledLabel, PresetsAndHandChangesTurnEachOtherCustom) {
  TVxLabel label(nullptr);
  label.CustomSettings().SetShadowColor(tk::clRed);
  EXPECT_EQ(label.ColorScheme(), TVxColorScheme::csCustom);
  EXPECT_EQ(label.Appearance(), TVxAppearance::apRaised);
  label.SetColorScheme(TVxColorScheme::csGold);
  EXPECT_EQ(label.Appearance(), TVxAppearance::apCustom);  // EndUpdate reports both kinds of change
  EXPECT_EQ(label.ColorScheme(), TVxColorScheme::csGold);
  EXPECT_EQ(label.Font().Color(), 0x008080);
  EXPECT_EQ(label.CustomSettings().HighlightColor(), 0x00FFFF);
  label.SetAppearance(TVxAppearance::apShadow);
  EXPECT_EQ(label.ColorScheme(), TVxColorScheme::csCustom);
  EXPECT_EQ(label.CustomSettings().ShadowDepth(), 2);
  EXPECT_EQ(label.CustomSettings().HighlightDepth(), 0);
  EXPECT_EQ(label.CustomSettings().HighlightDirection(), TVxShadeDirection::sdNone);
  label.CustomSettings().SetHighlightDepth(3);
  EXPECT_EQ(label.Appearance(), TVxAppearance::apCustom);
}

TEST(StyledLabel, FlyingUsesTheSchemesShadowForTheHighlight) {
  TVxLabel label(nullptr);
  label.SetColorScheme(TVxColorScheme::csSteel);
  label.SetAppearance(TVxAppearance::apFlying);
  const TVxCustomSettings& s = label.CustomSettings();
  EXPECT_EQ(s.HighlightColor(), 0x800000);
  EXPECT_EQ(s.HighlightDepth(), 1);
  EXPECT_EQ(s.ShadowDepth(), 5);
  EXPECT_EQ(s.HighlightDirection(), TVxShadeDirection::sdDownRight);
}

TEST(StyledLabel, TheCustomRowKeepsTheLastSchemeChosen) {
  TVxLabel label(nullptr);
  label.SetColorScheme(TVxColorScheme::csSteel);
  label.SetColorScheme(TVxColorScheme::csCustom);
  EXPECT_EQ(label.Font().Color(), 0x808000);
  EXPECT_EQ(label.CustomSettings().HighlightColor(), 0xFFFF00);
  EXPECT_EQ(label.CustomSettings().ShadowColor(), 0x800000);
}

TEST(StyledLabel, UpdatesAreReportedOnceAtTheEnd) {
  TVxCustomSettings s;
  int colors = 0, styles = 0;
  s.OnColorChange = [&] { ++colors; };
  s.OnStyleChange = [&] { ++styles; };
  s.SetShadowColor(0);  // equal: nothing
  EXPECT_EQ(colors, 0);
  s.BeginUpdate();
  s.SetShadowColor(5);
  s.SetShadowDepth(4);
  EXPECT_EQ(colors + styles, 0);
  s.EndUpdate();
  EXPECT_EQ(colors, 1);
  EXPECT_EQ(styles, 1);
  TVxCustomSettings copy;
  copy.OnColorChange = [&] { ++colors; };
  copy.Assign(s);
  EXPECT_EQ(copy.ShadowDepth(), 4);
  EXPECT_EQ(colors, 1);
}

TEST_F(StyledLabelPaint, RaisedCopiesSitOnePixelUpLeftAndDownRight) {
  QImage image = Grab();
  Box face = Find(image, 0x808080), light = Find(image, 0xFFFFFF), dark = Find(image, 0x000000);
  ASSERT_GT(face.Count, 20);
  EXPECT_EQ(light.MinX, face.MinX - 1);
  EXPECT_EQ(light.MinY, face.MinY - 1);
  EXPECT_EQ(dark.MaxX, face.MaxX + 1);
  EXPECT_EQ(dark.MaxY, face.MaxY + 1);
  EXPECT_GE(light.MinX, 0);  // the offsets keep every copy inside
}

TEST_F(StyledLabelPaint, ShadowAppearanceDrawsOneCopyTwoPixelsDownRight) {
  label.SetAppearance(TVxAppearance::apShadow);
  QImage image = Grab();
  Box face = Find(image, 0x808080), dark = Find(image, 0x000000);
  EXPECT_EQ(dark.MaxX, face.MaxX + 2);
  EXPECT_EQ(dark.MaxY, face.MaxY + 2);
  EXPECT_EQ(dark.MinX, face.MinX + 2);
  EXPECT_EQ(Find(image, 0xFFFFFF).Count, 0);
}

TEST_F(StyledLabelPaint, AGraduatedShadeOfDepthOneIsASinglePlainCopy) {
  label.SetAppearance(TVxAppearance::apShadow);
  label.CustomSettings().SetShadowDepth(1);
  label.CustomSettings().SetShadowStyle(TVxShadeStyle::ssGraduated);
  label.CustomSettings().SetShadowColor(tk::clRed);
  QImage image = Grab();
  Box face = Find(image, 0x808080), shadow = Find(image, tk::clRed);
  ASSERT_GT(shadow.Count, 0);
  EXPECT_EQ(shadow.MaxX, face.MaxX + 1);
  std::set<tk::TColor> colours;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) colours.insert(tk::FromQColor(QColor(image.pixel(x, y))));
  EXPECT_EQ(colours, (std::set<tk::TColor>{tk::clBlue, tk::clRed, 0x808080}));
}

TEST_F(StyledLabelPaint, AGraduatedShadeRunsFromTheShadowColourToTheFace) {
  label.SetAppearance(TVxAppearance::apShadow);
  label.CustomSettings().SetShadowDepth(3);
  label.CustomSettings().SetShadowStyle(TVxShadeStyle::ssGraduated);
  label.CustomSettings().SetShadowColor(0x000000);
  QImage image = Grab();
  // Steps of (0x80 - 0) / 2: copies in 0x000000 at depth 3, 0x404040 at 2, and the face colour at 1,
  // which merges with the face itself.
  Box far = Find(image, 0x000000), mid = Find(image, 0x404040), face = Find(image, 0x808080);
  EXPECT_EQ(far.MaxX, mid.MaxX + 1);
  EXPECT_EQ(mid.MaxX, face.MaxX + 1);
  EXPECT_EQ(far.MaxY, face.MaxY + 2);
}

TEST_F(StyledLabelPaint, RightAlignedTextMakesRoomForItsShadow) {
  label.SetAppearance(TVxAppearance::apShadow);
  label.SetAlignment(tk::Alignment::RightJustify);
  QImage image = Grab();
  Box face = Find(image, 0x808080), dark = Find(image, 0x000000);
  EXPECT_LE(dark.MaxX, label.Width() - 1);
  EXPECT_EQ(dark.MaxX, face.MaxX + 2);
  TVxLabel plain(nullptr);
  plain.SetTransparent(false);
  plain.SetColor(tk::clBlue);
  plain.SetCaption("H");
  plain.SetFont(label.Font());
  plain.SetBounds(0, 0, 80, 60);
  plain.SetAlignment(tk::Alignment::RightJustify);
  plain.SetAppearance(TVxAppearance::apNone);
  Box plainFace = Find(plain.grab().toImage(), 0x808080);
  EXPECT_EQ(face.MaxX, plainFace.MaxX - 2);
}

TEST_F(StyledLabelPaint, AHorizontalGradientColoursTheFaceFromLeftToRight) {
  label.SetAppearance(TVxAppearance::apNone);
  label.CustomSettings().SetGraduateFromColor(tk::clRed);
  label.CustomSettings().SetGraduateStyle(TVxGraduateStyle::gsHorizontal);
  QImage image = Grab();
  // Along the glyph's middle row, red falls and the font grey takes over from left to right.
  Box blue = Find(image, tk::clBlue);
  ASSERT_LT(blue.Count, image.width() * image.height());
  int top = image.height(), bottom = -1;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (QColor(image.pixel(x, y)) != QColor(Qt::blue)) top = std::min(top, y), bottom = std::max(bottom, y);
  int row = (top + bottom) / 2;  // the H's bar
  std::vector<int> reds;
  for (int x = 0; x < image.width(); ++x) {
    QColor c(image.pixel(x, row));
    if (c != QColor(Qt::blue)) reds.push_back(c.red());
  }
  ASSERT_GT(reds.size(), 4u);
  EXPECT_GT(reds.front(), reds.back());
  EXPECT_GE(reds.back(), 0x80);
  EXPECT_TRUE(std::is_sorted(reds.rbegin(), reds.rend()));
  EXPECT_EQ(Find(image, 0xFE09F1).Count, 0);  // no key colour left behind
}

TEST_F(StyledLabelPaint, TheGradientTakesOnlyTheFaceEvenWhereOtherPixelsMatchTheKey) {
  constexpr tk::TColor key = 0xFE09F1;
  struct Case {
    tk::TColor Background, Shadow;
  };
  for (Case c : {Case{key, tk::clBlack}, Case{tk::clBlue, key}}) {
    label.SetColor(c.Background);
    label.SetAppearance(TVxAppearance::apShadow);
    label.CustomSettings().SetShadowColor(c.Shadow);
    label.CustomSettings().SetGraduateStyle(TVxGraduateStyle::gsNone);
    QImage plain = Grab();
    label.CustomSettings().SetGraduateFromColor(tk::clRed);
    label.CustomSettings().SetGraduateStyle(TVxGraduateStyle::gsHorizontal);
    QImage graded = Grab();
    int changed = 0, faces = 0;
    for (int y = 0; y < plain.height(); ++y)
      for (int x = 0; x < plain.width(); ++x) {
        if (tk::FromQColor(QColor(plain.pixel(x, y))) == 0x808080)
          ++faces;
        else if (plain.pixel(x, y) != graded.pixel(x, y))
          ++changed;
      }
    ASSERT_GT(faces, 20);
    EXPECT_EQ(changed, 0) << std::hex << c.Background << " " << c.Shadow;
  }
}

}  // namespace

namespace {

using namespace controls;

std::vector<std::string> StreamedNames(const QJsonObject& json) {
  std::vector<std::string> names;
  for (const auto& p : json["Properties"].toArray()) names.push_back(p.toArray().at(0).toString().toStdString());
  return names;
}

TEST(StyledLabelStreams, TheCustomSettingsStreamWhenTheyDifferFromTheirDefaults) {
  TVxLabel fresh(nullptr);
  std::vector<std::string> names = StreamedNames(tk::Writer().WriteComponent(fresh));
  for (const std::string& name : names) EXPECT_EQ(name.rfind("CustomSettings.", 0), std::string::npos) << name;

  tk::Form form;
  auto* label = new TVxLabel(&form);
  label->SetName("VxLabel2");
  label->SetColorScheme(TVxColorScheme::csGold);
  label->CustomSettings().SetHighlightColor(tk::clYellow);
  label->CustomSettings().SetShadowDepth(4);
  label->CustomSettings().SetShadowStyle(TVxShadeStyle::ssExtrude);
  label->CustomSettings().SetHighlightDirection(TVxShadeDirection::sdUpRight);
  label->CustomSettings().SetGraduateStyle(TVxGraduateStyle::gsVertical);
  label->CustomSettings().SetGraduateFromColor(tk::clRed);
  QJsonObject json = tk::Writer().WriteComponent(*label);
  names = StreamedNames(json);
  auto has = [&](const char* n) { return std::find(names.begin(), names.end(), n) != names.end(); };
  EXPECT_TRUE(has("CustomSettings.ShadowDepth"));
  EXPECT_TRUE(has("CustomSettings.HighlightColor"));
  EXPECT_FALSE(has("CustomSettings.ShadowColor"));  // black, as declared
  EXPECT_FALSE(has("CustomSettings.HighlightDepth"));

  tk::RegisterClass("TVxLabel", [](tk::Component* owner) { return new TVxLabel(owner); });
  tk::Form other;
  auto* copy = dynamic_cast<TVxLabel*>(tk::Reader().ReadRoot(json, &other));
  ASSERT_NE(copy, nullptr);
  const TVxCustomSettings& s = copy->CustomSettings();
  EXPECT_EQ(s.HighlightColor(), tk::clYellow);
  EXPECT_EQ(s.ShadowDepth(), 4);
  EXPECT_EQ(s.ShadowStyle(), TVxShadeStyle::ssExtrude);
  EXPECT_EQ(s.HighlightDirection(), TVxShadeDirection::sdUpRight);
  EXPECT_EQ(s.GraduateStyle(), TVxGraduateStyle::gsVertical);
  EXPECT_EQ(s.GraduateFromColor(), tk::clRed);
  EXPECT_EQ(copy->ColorScheme(), label->ColorScheme());
  EXPECT_EQ(copy->Appearance(), label->Appearance());
}

}  // namespace
