#include "controls/link_label.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPixmap>

#include "fake_services.h"
#include "support/scripted_ui.h"

namespace {

using namespace controls;
using controls_test::FakeServices;

class LinkLabelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form.resize(300, 100);
    link = new TVxURL(&form);
    link->SetURL("http://www.example.com/zelta");
    tk::Font font = link->Font();
    font.SetColor(tk::clBlue);
    link->SetFont(font);
    link->SetBounds(10, 10, link->Width(), link->Height());
    form.show();
    QApplication::processEvents();
  }
  // Sends a real mouse event at a point of the label.
  void MoveTo(int x, int y) {
    QMouseEvent e(QEvent::MouseMove, QPointF(x, y), link->mapToGlobal(QPointF(x, y)), Qt::NoButton, Qt::NoButton,
                  Qt::NoModifier);
    QApplication::sendEvent(link, &e);
  }
  void ClickAt(int x, int y) {
    QPointF p(x, y);
    QMouseEvent press(QEvent::MouseButtonPress, p, link->mapToGlobal(p), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, p, link->mapToGlobal(p), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(link, &press);
    QApplication::sendEvent(link, &release);
  }
  void PointerOutside() { services.Cursor = {-5000, -5000}; }
  void PointerInside() {
    QPoint p = link->mapToGlobal(QPoint(2, 2));
    services.Cursor = {p.x(), p.y()};
  }

  FakeServices services;
  tk::Form form;
  TVxURL* link = nullptr;
};

TEST_F(LinkLabelTest, ShowsTheCaptionOrElseTheAddress) {
  EXPECT_EQ(link->tk::CustomLabel::Caption(), "http://www.example.com/zelta");
  link->SetCaption("Maker");
  EXPECT_EQ(link->tk::CustomLabel::Caption(), "Maker");
  link->SetURL("http://other.example");
  EXPECT_EQ(link->tk::CustomLabel::Caption(), "Maker");
  link->SetCaption("");
  EXPECT_EQ(link->tk::CustomLabel::Caption(), "http://other.example");
  EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(link->About(), "v3.07");
}

TEST_F(LinkLabelTest, HoverTakesTheHighlightColourAndLeavingRestoresIt) {
  PointerInside();
  MoveTo(2, 2);
  EXPECT_TRUE(link->Hovering());
  EXPECT_EQ(link->Font().Color(), tk::clRed);
  MoveTo(3, 3);  // moving inside makes no second timer
  link->TimerEvent();
  EXPECT_TRUE(link->Hovering());
  PointerOutside();
  link->TimerEvent();
  EXPECT_FALSE(link->Hovering());
  EXPECT_EQ(link->Font().Color(), tk::clBlue);
}

TEST_F(LinkLabelTest, TheHoverTimerNoticesTheLeaveOnItsOwn) {
  PointerInside();
  MoveTo(2, 2);
  PointerOutside();
  QElapsedTimer clock;
  clock.start();
  while (link->Hovering() && clock.elapsed() < 2000) QApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_FALSE(link->Hovering());
  EXPECT_EQ(link->Font().Color(), tk::clBlue);
}

TEST_F(LinkLabelTest, AClickOpensTheAddressAndAFailureBeeps) {
  int clicks = 0;
  link->OnClick = [&](tk::Component*) { ++clicks; };
  ClickAt(2, 2);
  EXPECT_EQ(services.Opened, (std::vector<std::string>{"http://www.example.com/zelta"}));
  EXPECT_EQ(testing_support::TestUi().Beeps(), 0);
  EXPECT_EQ(clicks, 1);
  services.OpenSucceeds = false;
  ClickAt(2, 2);
  EXPECT_EQ(testing_support::TestUi().Beeps(), 1);
  EXPECT_EQ(clicks, 2);  // the click event fires whether or not the address opened
  EXPECT_TRUE(testing_support::TestUi().Messages().empty());
}

TEST_F(LinkLabelTest, AnEmptyAddressOnlyFiresTheClick) {
  link->SetURL("");
  int clicks = 0;
  link->OnClick = [&](tk::Component*) { ++clicks; };
  ClickAt(2, 2);
  EXPECT_TRUE(services.Opened.empty());
  EXPECT_EQ(clicks, 1);
}

TEST_F(LinkLabelTest, LongAddressesAreCut) {
  link->SetURL("http://x/" + std::string(2000, 'a'));
  ClickAt(2, 2);
  ASSERT_EQ(services.Opened.size(), 1u);
  EXPECT_EQ(services.Opened[0].size(), 1023u);
}

TEST_F(LinkLabelTest, AVisitedLinkTakesTheVisitedColourWhenThePointerLeaves) {
  link->SetUseVisitedColor(true);
  link->SetVisitedColor(tk::clPurple);
  PointerInside();
  MoveTo(2, 2);
  ClickAt(2, 2);
  PointerOutside();
  link->TimerEvent();
  EXPECT_EQ(link->Font().Color(), tk::clPurple);
  // Without it the colour from before the hover comes back.
  link->SetUseVisitedColor(false);
  link->SetVisitedColor(tk::clPurple);  // resets what was remembered
  tk::Font font = link->Font();
  font.SetColor(tk::clBlue);
  link->SetFont(font);
  PointerInside();
  MoveTo(2, 2);
  ClickAt(2, 2);
  PointerOutside();
  link->TimerEvent();
  EXPECT_EQ(link->Font().Color(), tk::clBlue);
}

TEST_F(LinkLabelTest, ChangingAColourWhileHoveringStillRestoresTheFontOnLeaving) {
  using Setter = void (TVxURL::*)(tk::TColor);
  for (Setter set : {&TVxURL::SetHighlightColor, &TVxURL::SetVisitedColor}) {
    PointerInside();
    MoveTo(2, 2);
    ASSERT_TRUE(link->Hovering());
    (link->*set)(tk::clGreen);
    PointerOutside();
    link->TimerEvent();
    EXPECT_EQ(link->Font().Color(), tk::clBlue);
  }
}

TEST_F(LinkLabelTest, ANoneHighlightTakesTheCurrentFontColour) {
  link->SetHighlightColor(tk::clNone);
  EXPECT_EQ(link->HighlightColor(), tk::clBlue);
  PointerInside();
  MoveTo(2, 2);
  EXPECT_EQ(link->Font().Color(), tk::clBlue);
}

TEST_F(LinkLabelTest, LoadingUnderlinesTheText) {
  link->SetLoadingState();
  link->Loaded();
  EXPECT_TRUE(link->Font().Style() & tk::fsUnderline);
  QImage image = link->grab().toImage();
  // The underline: a row of the text colour right across the text under its glyphs.
  int best = 0;
  for (int y = 0; y < image.height(); ++y) {
    int run = 0;
    for (int x = 0; x < image.width(); ++x)
      if (QColor(image.pixel(x, y)).blue() > 200 && QColor(image.pixel(x, y)).red() < 80) ++run;
    best = std::max(best, run);
  }
  EXPECT_GT(best, image.width() * 3 / 4);
}

}  // namespace
