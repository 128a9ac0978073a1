// The three controls as the application's windows set them, on one small form.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPixmap>

#include "controls/link_label.h"
#include "controls/meter.h"
#include "controls/styled_label.h"
#include "fake_services.h"
#include "support/user_input.h"

namespace {

using namespace controls;

int CountColour(const QImage& image, const QRect& area, tk::TColor colour) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (tk::FromQColor(QColor(image.pixel(x, y))) == colour) ++n;
  return n;
}

TEST(DemoForm, TheThreeControlsPaintAsTheWindowsSetThem) {
  controls_test::FakeServices services;
  tk::Form form;
  form.resize(360, 150);

  auto* letter = new TVxLabel(&form);  // the product name's first letter
  letter->SetName("VxLabel2");
  letter->SetCaption("Z");
  letter->SetColor(tk::clBlack);
  letter->SetColorScheme(TVxColorScheme::csCustom);
  tk::Font serif = letter->Font();
  serif.SetName("DejaVu Serif");
  serif.SetHeight(-64);
  serif.SetStyle(tk::fsItalic);
  serif.SetColor(tk::clOlive);
  letter->SetFont(serif);
  letter->CustomSettings().SetHighlightColor(tk::clYellow);
  letter->SetBounds(10, 5, 80, 80);

  auto* link = new TVxURL(&form);
  link->SetName("VxURL1");
  link->SetURL("http://www.zelta-controls.example");
  link->SetCaption("www.zelta-controls.example");
  link->SetHighlightColor(tk::clRed);
  link->SetUseVisitedColor(false);
  link->SetVisitedColor(tk::clBlack);
  tk::Font sans = link->Font();
  sans.SetName("MS Sans Serif");
  sans.SetHeight(-11);
  sans.SetColor(tk::clBlue);
  sans.SetStyle(tk::fsUnderline);
  link->SetFont(sans);
  link->SetBounds(110, 30, 0, 0);
  link->tk::CustomLabel::SetCaption(link->Caption() + " ");  // re-measure with the final font
  link->tk::CustomLabel::SetCaption(link->Caption());

  auto* meter = new TVxMeter(&form);
  meter->SetName("FileMeter");
  meter->SetShowPercent(true);
  meter->SetUnusedColor(tk::clWindow);
  meter->SetUsedColor(tk::clBlue);
  meter->SetBounds(10, 100, 340, 24);
  meter->SetPercent(42);

  form.show();
  QApplication::processEvents();
  QImage shot = form.grab().toImage();
  EXPECT_TRUE(testing_support::SaveShot(shot, "zelta_controls_demo_form.png"));

  // The letter: olive face with its yellow highlight up-left and black shadow down-right.
  QRect letterArea(10, 5, 80, 80);
  EXPECT_GT(CountColour(shot, letterArea, tk::clOlive), 50);
  EXPECT_GT(CountColour(shot, letterArea, tk::clYellow), 10);
  // The link: blue text.
  QRect linkArea(link->Left(), link->Top(), link->Width(), link->Height());
  EXPECT_GT(CountColour(shot, linkArea, tk::clBlue), 20);
  // The meter: 42% of the bar in blue, the rest in the window colour, the text inverted over both.
  QRect meterArea(12, 102, 336, 20);
  int used = CountColour(shot, meterArea, tk::clBlue);
  int unused = CountColour(shot, meterArea, tk::ColorToRGB(tk::clWindow));
  EXPECT_NEAR(static_cast<double>(used) / (used + unused), 0.42, 0.05);
  EXPECT_EQ(meter->PercentText(), "42%");
}

}  // namespace
