#include "controls/misc.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPalette>
#include <vector>

#include "fake_services.h"
#include "tk/bitmap.h"
#include "tk/exception.h"

namespace {

using namespace controls;

TEST(MiscNumbers, MinMaxAndBlockCompare) {
  EXPECT_EQ(MinI(-3, 2), -3);
  EXPECT_EQ(MaxL(-3, 2), 2);
  unsigned char a[] = {1, 200, 3}, b[] = {1, 100, 4};
  EXPECT_EQ(CompStruct(a, b, 3), 1);  // unsigned bytes: 200 > 100
  EXPECT_EQ(CompStruct(b, a, 3), -1);
  EXPECT_EQ(CompStruct(a, b, 1), 0);
  EXPECT_EQ(CompStruct(a, b, 0), 0);
}

TEST(MiscSystem, DefaultEpochIsTheCenturysFirstYear) {
  controls_test::FakeServices services;
  EXPECT_EQ(DefaultEpoch(), 2000);
  services.Today = 73050.5;  // 2099-12-31, noon
  EXPECT_EQ(DefaultEpoch(), 2000);
  services.Today = 73051.0;  // 2100-01-01
  EXPECT_EQ(DefaultEpoch(), 2100);
  services.Shift = tk::ssShift | tk::ssAlt;
  EXPECT_EQ(GetShiftFlags(), 2 | 8);
}

TEST(MiscColours, GetRGBSplitsChannelsAndResolvesSystemColours) {
  std::uint8_t r, g, b;
  GetRGB(0x00336699, r, g, b);
  EXPECT_EQ(r, 0x99);
  EXPECT_EQ(g, 0x66);
  EXPECT_EQ(b, 0x33);
  GetRGB(tk::clBtnFace, r, g, b);
  QColor face = QApplication::palette().color(QPalette::Button);
  EXPECT_EQ(r, face.red());
  EXPECT_EQ(g, face.green());
  EXPECT_EQ(b, face.blue());
}

TEST(MiscText, DisplayStringKeepsWhatFitsAndEndsTheRestInDots) {
  tk::Bitmap bmp(10, 10);
  tk::Canvas& c = bmp.Canvas();
  int full = c.TextWidth("abcdef");
  EXPECT_EQ(GetDisplayString(c, "abcdef", 1, full), "abcdef");
  std::string cut = GetDisplayString(c, "abcdefghijklmnop", 1, full);
  EXPECT_LE(c.TextWidth(cut), full);
  EXPECT_NE(cut.find("..."), std::string::npos);
  EXPECT_EQ(cut.rfind("...", 0), std::string::npos);  // some text before the dots
}

TEST(MiscText, PathEllipsisShortensTheDirectoryDownToTheDrive) {
  std::string path = "C:\\Program Files\\Vendor\\Product\\Data\\Subfolder\\file.pgm";
  EXPECT_EQ(PathEllipsis(path, 0), path);
  EXPECT_EQ(PathEllipsis(path, 100000), path);
  std::string tight = PathEllipsis(path, 140);
  EXPECT_EQ(tight.substr(0, 2), "C:");
  EXPECT_NE(tight.find("\\...\\"), std::string::npos);
}

TEST(MiscText, WordsAndTrims) {
  CharSet delims = MakeCharSet(" ,");
  EXPECT_EQ(WordCount("  one, two,,three ", delims), 3);
  EXPECT_EQ(WordPosition(2, "  one, two,,three ", delims), 8);
  EXPECT_EQ(ExtractWord(3, "  one, two,,three ", delims), "three");
  EXPECT_EQ(ExtractWord(4, "  one, two,,three ", delims), "");
  EXPECT_EQ(WordPosition(1, "", delims), 0);
  EXPECT_EQ(TrimLeft("\t\n x "), "x ");
  EXPECT_EQ(TrimRight(" x \r\n"), " x");
  EXPECT_EQ(QuotedStr("it's"), "'it''s'");
  EXPECT_TRUE(PartialCompare("abc", "ABCDEF"));
  EXPECT_FALSE(PartialCompare("", "a"));
  EXPECT_FALSE(PartialCompare("abd", "abc"));
}

TEST(MiscText, FixTextBufferAddsCarriageReturns) {
  char out[16];
  FixTextBuffer("a\nb\r\nc", out, sizeof out);
  EXPECT_STREQ(out, "a\r\nb\r\nc");
  char small[4];
  FixTextBuffer("a\nbcdef", small, sizeof small);
  EXPECT_STREQ(small, "a\r\n");
}

TEST(MiscText, FixRealPrimNormalisesTypedNumbers) {
  auto fix = [](std::string s, char dec = ',') {
    FixRealPrim(s, dec);
    return s;
  };
  EXPECT_EQ(fix("  "), "0");
  EXPECT_EQ(fix(" 12,5 "), "12.5");
  EXPECT_EQ(fix("12,"), "12");
  EXPECT_EQ(fix(",5"), ",5");  // a leading local decimal is not taken
  EXPECT_EQ(fix(".5", '.'), "0.5");
  EXPECT_EQ(fix("-.5", '.'), "-0.5");
  EXPECT_EQ(fix("3E5", '.'), "3.00000E5");
  EXPECT_EQ(fix("3.25E5", '.'), "3.2500000E5");
}

TEST(MiscComponents, GenerateComponentNameTakesTheNextFreeNumber) {
  tk::Component form(nullptr);
  (new tk::Component(&form))->SetName("Edit1");
  (new tk::Component(&form))->SetName("Edit2");
  EXPECT_EQ(GenerateComponentName(&form, "Edit"), "Edit3");
  EXPECT_EQ(GenerateComponentName(&form, "Label"), "Label1");
  EXPECT_THROW(GenerateComponentName(&form, "9x"), tk::EComponentError);
}

TEST(MiscDrawing, ButtonFramesShrinkTheRectangle) {
  tk::Bitmap bmp(20, 20);
  tk::Rect inside = DrawButtonFrame(bmp.Canvas(), {0, 0, 20, 20}, false, false, TButtonStyle::New);
  EXPECT_EQ(inside, (tk::Rect{3, 3, 17, 17}));
  const QImage& img = bmp.Image();
  EXPECT_EQ(tk::FromQColor(QColor(img.pixel(0, 0))), tk::ColorToRGB(tk::clBtnHighlight));
  EXPECT_EQ(tk::FromQColor(QColor(img.pixel(19, 19))), tk::ColorToRGB(tk::clWindowFrame));
  tk::Bitmap flat(20, 20);
  EXPECT_EQ(DrawButtonFrame(flat.Canvas(), {0, 0, 20, 20}, true, true, TButtonStyle::New), (tk::Rect{2, 2, 18, 18}));
}

TEST(MiscDrawing, TransparentBitmapsLeaveTheKeyColourUntouched) {
  QImage picture(2, 1, QImage::Format_RGB32);
  picture.setPixel(0, 0, 0xFFFF0000);
  picture.setPixel(1, 0, 0xFF00FF00);
  tk::Bitmap target(2, 1);
  target.Canvas().Brush.Color = tk::clBlue;
  target.Canvas().FillRect({0, 0, 2, 1});
  DrawTransparentBitmap(target.Canvas(), 0, 0, 0, 0, {}, picture, tk::clLime);
  EXPECT_EQ(target.Image().pixel(0, 0) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(target.Image().pixel(1, 0) & 0xFFFFFF, 0x0000FFu);
  // clDefault: the bottom-left pixel's colour is the transparent one.
  DrawTransparentBitmap(target.Canvas(), 0, 0, 0, 0, {}, picture, tk::clDefault);
  EXPECT_EQ(target.Image().pixel(0, 0) & 0xFFFFFF, 0xFF0000u);
}

}  // namespace

namespace {

using namespace controls;

TEST(MiscWindows, NextDialogItemIsTheSiblingAboveOrTheBottomOne) {
  QWidget parent;
  auto* a = new QWidget(&parent);
  auto* b = new QWidget(&parent);
  auto* c = new QWidget(&parent);
  EXPECT_EQ(GetNextDlgItem(a), b);
  EXPECT_EQ(GetNextDlgItem(b), c);
  EXPECT_EQ(GetNextDlgItem(c), a);
  c->lower();  // now at the bottom
  EXPECT_EQ(GetNextDlgItem(c), a);
  EXPECT_EQ(GetNextDlgItem(b), c);
  EXPECT_EQ(GetNextDlgItem(&parent), &parent);
}

TEST(MiscDrawing, TransStretchBltKeepsTheDestinationUnderWhiteMaskPixels) {
  QImage dest(4, 1, QImage::Format_RGB32);
  dest.fill(0xFF000000);
  QImage source(2, 1, QImage::Format_RGB32);
  source.setPixel(0, 0, 0xFFFF0000);
  source.setPixel(1, 0, 0xFF00FF00);
  // The mask lies over the source (from its origin, the source's size) and stretches with it.
  QImage mask(3, 1, QImage::Format_RGB32);
  mask.fill(0xFFFFFFFF);
  mask.setPixel(1, 0, 0xFF000000);
  TransStretchBlt(dest, {0, 0, 4, 1}, source, {0, 0, 2, 1}, mask, {1, 0});
  EXPECT_EQ(dest.pixel(0, 0) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(dest.pixel(1, 0) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(dest.pixel(2, 0) & 0xFFFFFF, 0u);  // masked out
  EXPECT_EQ(dest.pixel(3, 0) & 0xFFFFFF, 0u);
}

TEST(MiscDrawing, DisabledBitmapsEmbossTheInk) {
  QImage picture(3, 3, QImage::Format_RGB32);
  picture.fill(0xFFFFFFFF);
  picture.setPixel(0, 0, 0xFF000000);
  QImage disabled = CreateDisabledBitmap(picture, tk::clWhite);
  EXPECT_EQ(tk::FromQColor(QColor(disabled.pixel(0, 0))), tk::ColorToRGB(tk::clBtnShadow));
  EXPECT_EQ(tk::FromQColor(QColor(disabled.pixel(1, 1))), tk::ColorToRGB(tk::clBtnHighlight));
  EXPECT_EQ(tk::FromQColor(QColor(disabled.pixel(2, 2))), tk::ColorToRGB(tk::clBtnFace));
}

}  // namespace

namespace {

using namespace controls;

TEST(MiscNumbers, PointerStepsAndDifferencesAreSixteenBit) {
  std::vector<char> buffer(70000);
  const char* base = buffer.data();
  const char* p = base;
  PtrInc(p, 1000);
  EXPECT_EQ(p, base + 1000);
  PtrDec(p, 998);
  EXPECT_EQ(p, base + 2);
  EXPECT_EQ(PtrDiff(base + 40000, base), 40000);
  EXPECT_EQ(PtrDiff(base + 65537, base), 1);   // wraps at 64K
  EXPECT_EQ(PtrDiff(base, base + 1), 0xFFFF);  // negative distances wrap too
  int* words = reinterpret_cast<int*>(buffer.data());
  PtrInc(words, 8);  // a count of bytes, not of elements
  EXPECT_EQ(reinterpret_cast<char*>(words), buffer.data() + 8);
}

// Switches the platform's control style for one test.
struct OldStyleControls {
  OldStyleControls() { SetNewStyleControls(false); }
  ~OldStyleControls() { SetNewStyleControls(true); }
};

TEST(MiscDrawing, TopTextMarginCentresOneLineInEitherStyle) {
  QFont small = QApplication::font();
  small.setPixelSize(6);
  int own = QFontMetrics(small).height();
  int h = std::min(own, QFontMetrics(QApplication::font()).height());
  ASSERT_EQ(h, own);
  // New style, no border: 0 while the line clears the box by more than 2; halves truncate toward zero.
  EXPECT_EQ(GetTopTextMargin(small, 0, h + 10, false), 0);
  EXPECT_EQ(GetTopTextMargin(small, 0, h + 2, false), 0);
  EXPECT_EQ(GetTopTextMargin(small, 0, h + 1, false), -1);
  EXPECT_EQ(GetTopTextMargin(small, 0, h - 4, false), -3);
  EXPECT_EQ(GetTopTextMargin(small, 0, h - 3, false), -1);  // -5 / 2 is -2, and -3 mod 2 is -1
  // Single border, 3-D and flat.
  EXPECT_EQ(GetTopTextMargin(small, 1, h + 5, true), 1);
  EXPECT_EQ(GetTopTextMargin(small, 1, h + 4, true), -1);
  EXPECT_EQ(GetTopTextMargin(small, 1, h - 2, true), -4);
  EXPECT_EQ(GetTopTextMargin(small, 1, h + 4, false), 0);
  EXPECT_EQ(GetTopTextMargin(small, 1, h + 3, false), -1);

  OldStyleControls old;
  EXPECT_EQ(GetTopTextMargin(small, 1, own + 11, true), 5);
  EXPECT_EQ(GetTopTextMargin(small, 0, own + 11, true), 5);
  EXPECT_EQ(GetTopTextMargin(small, 1, own + 1, false), -2);  // the line overfills: single border takes 2
  EXPECT_EQ(GetTopTextMargin(small, 0, own + 1, false), -1);  // no border takes 1
}

TEST(MiscDrawing, AutomaticButtonFramesFollowThePlatformStyle) {
  auto corner = [](TButtonStyle style) {
    tk::Bitmap bmp(10, 10);
    DrawButtonFrame(bmp.Canvas(), {0, 0, 10, 10}, false, false, style);
    return tk::FromQColor(QColor(bmp.Image().pixel(0, 0)));
  };
  EXPECT_EQ(corner(TButtonStyle::Auto), tk::ColorToRGB(tk::clBtnHighlight));
  OldStyleControls old;
  EXPECT_EQ(corner(TButtonStyle::Auto), tk::ColorToRGB(tk::clWindowFrame));
  EXPECT_EQ(corner(TButtonStyle::New), tk::ColorToRGB(tk::clBtnHighlight));
}

}  // namespace
