#include "tk/services.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QPixmap>
#include <QScrollBar>
#include <memory>

#include "platform/clock.h"

namespace tk {
namespace {

// The toolkit reads the program's one clock, so a test's clock moves the controls' timers and dates too.
class FixedDayClock : public platform::Clock {
 public:
  platform::LocalTime Now() const override { return {2007, 3, 3, 18, 0, 0, 6, 0}; }
  std::uint64_t Milliseconds() const override { return Ms; }
  std::uint64_t Ms = 0x1'0000'0005;
};

TEST(Services, TheTickAndTheDateComeFromTheProgramsClock) {
  FixedDayClock clock;
  const platform::Clock* previous = platform::SetClock(&clock);
  EXPECT_EQ(Svc().TickCount64(), clock.Ms);
  EXPECT_EQ(Svc().TickCount(), 5u);
  EXPECT_DOUBLE_EQ(Svc().Now(), 39144.75) << "3 March 2007, 18:00";
  platform::SetClock(previous);
}

TEST(Services, TheClipboardCarriesEightBitText) {
  const std::string text = "Gr\xFC\xDF" "e \xA9 1\xBD";  // Latin-1: every byte comes back
  Svc().SetClipboardText(text);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8("Grüße © 1½"));
  EXPECT_TRUE(Svc().ClipboardHasText());
  EXPECT_EQ(Svc().ClipboardText(), text);
  // Text another program left that 8 bits cannot hold is told apart from no text, never altered.
  QGuiApplication::clipboard()->setText(QString::fromUtf8("20 €"));
  EXPECT_TRUE(Svc().ClipboardHasText());
  EXPECT_EQ(Svc().ClipboardText(), std::nullopt);
  QGuiApplication::clipboard()->clear();
  EXPECT_FALSE(Svc().ClipboardHasText());
  EXPECT_EQ(Svc().ClipboardText(), "");
}

TEST(Services, SystemMetricsMatchWhatTheStyleDraws) {
  QScrollBar vertical(Qt::Vertical);
  QScrollBar horizontal(Qt::Horizontal);
  EXPECT_EQ(Svc().SystemMetric(SM_CXVSCROLL), vertical.sizeHint().width());
  EXPECT_EQ(Svc().SystemMetric(SM_CYHSCROLL), horizontal.sizeHint().height());
  EXPECT_EQ(Svc().SystemMetric(SM_CXBORDER), 1);
  EXPECT_EQ(Svc().SystemMetric(SM_CYEDGE), 2);
  EXPECT_EQ(Svc().SystemMetric(9999), 0);
}

TEST(Services, CursorNumbersGiveTheirShapes) {
  const struct {
    int Number;
    Qt::CursorShape Shape;
  } cases[] = {{crDefault, Qt::ArrowCursor},   {crArrow, Qt::ArrowCursor},      {crIBeam, Qt::IBeamCursor},
               {crCross, Qt::CrossCursor},     {crHourGlass, Qt::WaitCursor},   {crHSplit, Qt::SplitHCursor},
               {crVSplit, Qt::SplitVCursor},   {crSizeWE, Qt::SizeHorCursor},   {crSizeNS, Qt::SizeVerCursor},
               {crHandPoint, Qt::PointingHandCursor}, {crNone, Qt::BlankCursor}, {crSize, Qt::SizeAllCursor},
               {12345, Qt::ArrowCursor}};
  for (const auto& c : cases) EXPECT_EQ(CursorShape(c.Number).shape(), c.Shape) << c.Number;
  QPixmap image(16, 16);
  image.fill(Qt::black);
  RegisterCursor(1, QCursor(image, 3, 4));
  EXPECT_EQ(CursorShape(1).shape(), Qt::BitmapCursor);
  EXPECT_EQ(CursorShape(1).hotSpot(), QPoint(3, 4));
}

TEST(Services, AControlIsFoundFromItsHandleWhileItLives) {
  auto first = std::make_unique<QWidget>();
  QWidget second;
  const HWnd handle = HandleOf(first.get());
  EXPECT_NE(handle, 0u);
  EXPECT_EQ(HandleOf(first.get()), handle);
  EXPECT_NE(HandleOf(&second), handle);
  EXPECT_EQ(FindControl(handle), first.get());
  EXPECT_EQ(FindControl(HandleOf(&second)), &second);
  first.reset();
  EXPECT_EQ(FindControl(handle), nullptr);
  EXPECT_EQ(FindControl(0), nullptr);
  EXPECT_EQ(HandleOf(nullptr), 0u);
}

}  // namespace
}  // namespace tk
