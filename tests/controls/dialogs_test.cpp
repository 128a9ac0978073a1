#include "controls/dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "support/user_input.h"
#include "tk/filer.h"

namespace {

using namespace controls;

class FakeScreen : public TVxDialogScreen {
 public:
  FakeScreen() { previous_ = SetDialogScreen(this); }
  ~FakeScreen() override { SetDialogScreen(previous_); }
  int Width() override { return ScreenWidth; }
  int Height() override { return ScreenHeight; }
  int BitsPerPixel() override { return Bits; }
  int Planes() override { return PlaneCount; }
  QWidget* ActiveForm() override { return Active; }

  int ScreenWidth = 1024, ScreenHeight = 768, Bits = 32, PlaneCount = 1;
  QWidget* Active = nullptr;

 private:
  TVxDialogScreen* previous_;
};

tk::Bitmap Picture(int width, int height, tk::TColor color) {
  tk::Bitmap b(width, height);
  b.Canvas().Brush.Color = color;
  b.Canvas().FillRect({0, 0, width, height});
  return b;
}

void FreeDiscardedForms() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

TEST(DialogPlacement, PlacesTheFormByPosition) {
  struct Case {
    const char* Name;
    TVxDialogPosition Position;
    int ScreenW, ScreenH, FormW, FormH;
    QRect Expected;
  } cases[] = {
      {"centred", TVxDialogPosition::mpCenter, 1024, 768, 300, 200, {362, 284, 300, 200}},
      {"centred, odd room rounds down", TVxDialogPosition::mpCenter, 1025, 769, 300, 200, {362, 284, 300, 200}},
      {"centred, larger than the screen", TVxDialogPosition::mpCenter, 800, 600, 1001, 700, {-100, -50, 1001, 700}},
      {"a third down", TVxDialogPosition::mpCenterTop, 1024, 768, 300, 200, {362, 189, 300, 200}},
      {"custom", TVxDialogPosition::mpCustom, 1024, 768, 300, 200, {30, 40, 500, 260}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    FakeScreen screen;
    screen.ScreenWidth = c.ScreenW;
    screen.ScreenHeight = c.ScreenH;
    TVxBaseDialog dialog(nullptr);
    dialog.SetPlacement({c.Position, 40, 30, 260, 500});
    QWidget form;
    form.resize(c.FormW, c.FormH);
    dialog.DoFormPlacement(&form);
    EXPECT_EQ(form.pos(), c.Expected.topLeft());
    EXPECT_EQ(form.size(), c.Expected.size());
  }
}

TEST(DialogPlacement, GivesTheFormCaptionFontAndIcon) {
  FakeScreen screen;
  TVxBaseDialog dialog(nullptr);
  dialog.SetCaption("Caf\xE9 splash");
  tk::Font font;
  font.SetName("DejaVu Serif");
  dialog.SetFont(font);
  QPixmap icon(16, 16);
  icon.fill(Qt::red);
  dialog.SetIcon(QIcon(icon));
  QWidget form;
  tk::Form toolkitForm;
  for (QWidget* target : {&form, static_cast<QWidget*>(&toolkitForm)}) {
    dialog.DoFormPlacement(target);
    EXPECT_EQ(target->windowTitle(), QString::fromUtf8("Caf\u00E9 splash"));
    EXPECT_EQ(target->font().family(), "DejaVu Serif");
    EXPECT_FALSE(target->windowIcon().isNull());
  }
  EXPECT_EQ(toolkitForm.Font().Name(), "DejaVu Serif");
}

TEST(DialogPlacement, OnlyASizeableDialogLetsTheFormResize) {
  FakeScreen screen;
  for (bool sizeable : {true, false}) {
    TVxBaseDialog dialog(nullptr);
    if (!sizeable) dialog.SetOptions({TVxDialogOption::doShowHelp});
    QWidget form;
    form.resize(300, 200);
    dialog.DoFormPlacement(&form);
    EXPECT_EQ(form.minimumSize() != form.maximumSize(), sizeable);
    if (!sizeable) {
      EXPECT_EQ(form.maximumSize(), QSize(300, 200));
    }
  }
}

TEST(DialogPlacement, StaysOnTopWhenTheActiveFormDoes) {
  FakeScreen screen;
  for (bool activeOnTop : {true, false}) {
    QWidget active;
    active.setWindowFlag(Qt::WindowStaysOnTopHint, activeOnTop);
    screen.Active = &active;
    TVxBaseDialog dialog(nullptr);
    QWidget form;
    dialog.DoFormPlacement(&form);
    EXPECT_EQ(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint), activeOnTop);
  }
}

TEST(BaseDialog, ExecuteIsLeftToEachDialogKind) {
  TVxBaseDialog dialog(nullptr);
  EXPECT_THROW(dialog.Execute(), EAbstractError);
}

class SplashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    splash.SetPictureHiRes(Picture(120, 80, tk::clBlue));
    splash.SetPictureLoRes(Picture(60, 40, tk::clRed));
    splash.OnClose = [this](tk::Component* sender) {
      EXPECT_EQ(sender, &splash);
      ++closes;
    };
  }
  // Declared first, so it runs last: the forms the dialogs discarded go too.
  struct FreeFormsAtEnd {
    ~FreeFormsAtEnd() { FreeDiscardedForms(); }
  } freeFormsAtEnd;
  FakeScreen screen;
  TVxSplashDialog splash{nullptr};
  int closes = 0;
};

TEST_F(SplashTest, ShowsTheLowResolutionPictureOnlyBelow256Colours) {
  struct Case {
    int Bits, Planes;
    bool HasLoRes, ShowsLoRes;
  } cases[] = {
      {4, 1, true, true}, {1, 4, true, true}, {4, 1, false, false}, {4, 2, true, false}, {32, 1, true, false},
  };
  for (const Case& c : cases) {
    screen.Bits = c.Bits;
    screen.PlaneCount = c.Planes;
    TVxSplashDialog dialog(nullptr);
    dialog.SetPictureHiRes(splash.PictureHiRes());
    if (c.HasLoRes) dialog.SetPictureLoRes(splash.PictureLoRes());
    dialog.Show();
    QSize expected = c.ShowsLoRes ? QSize(60, 40) : QSize(120, 80);
    TVxfrmSplashDlg* form = dialog.Form();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(QSize(form->Image->Picture().Width(), form->Image->Picture().Height()), expected)
        << c.Bits << " bits x " << c.Planes << " planes";
    EXPECT_EQ(QSize(form->ClientWidth(), form->ClientHeight()), expected) << "the client area fits the picture";
    EXPECT_EQ(form->Image->size(), expected);
    EXPECT_FALSE(form->Image->Stretch());
  }
}

TEST_F(SplashTest, CustomPlacementStretchesThePictureToThePlacement) {
  splash.SetPlacement({TVxDialogPosition::mpCustom, 50, 70, 200, 300});
  splash.Show();
  TVxfrmSplashDlg* form = splash.Form();
  EXPECT_EQ(form->geometry(), QRect(70, 50, 300, 200));
  EXPECT_TRUE(form->Image->Stretch());
  QImage shown = form->grab().toImage();
  EXPECT_EQ(tk::FromQColor(QColor(shown.pixel(290, 190))), tk::clBlue) << "the picture fills the form";
}

TEST_F(SplashTest, DelayClosesTheSplashOnceThroughTwoTicks) {
  splash.SetDelay(3000);
  EXPECT_TRUE(splash.Execute());
  QPointer<TVxfrmSplashDlg> form = splash.Form();
  ASSERT_TRUE(form);
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(form->Timer->isActive());
  EXPECT_EQ(form->Timer->interval(), 3000);

  form->TimerTimer();  // three seconds on
  EXPECT_TRUE(splash.Visible());
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(form->Timer->interval(), 1);
  EXPECT_TRUE(form->Timer->isActive());
  EXPECT_EQ(closes, 0);

  form->TimerTimer();
  EXPECT_FALSE(splash.Visible());
  EXPECT_EQ(splash.Form(), nullptr);
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(closes, 1);
  FreeDiscardedForms();
  EXPECT_FALSE(form) << "the form is freed";
}

TEST_F(SplashTest, CloseReturnsBeforeTheFormGoesAndTheNextTickTakesIt) {
  splash.Show();
  QPointer<TVxfrmSplashDlg> form = splash.Form();
  splash.Close();
  EXPECT_TRUE(splash.Visible());
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(closes, 0);

  // The real 1 ms timer does the rest.
  QElapsedTimer waited;
  waited.start();
  while (splash.Visible() && waited.elapsed() < 5000) QApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_FALSE(splash.Visible());
  EXPECT_EQ(closes, 1);
  FreeDiscardedForms();
  EXPECT_FALSE(form);
}

TEST_F(SplashTest, WithoutDelayNothingClosesItButClose) {
  splash.SetVisible(true);
  EXPECT_FALSE(splash.Form()->Timer->isActive());
  splash.Close();
  splash.Form()->TimerTimer();
  EXPECT_FALSE(splash.Visible());
  splash.SetVisible(false);  // with no form left, only the flag
  EXPECT_FALSE(splash.Visible());
  EXPECT_EQ(closes, 1);
}

TEST_F(SplashTest, StayOnTopSetsTheFormStyle) {
  for (bool onTop : {true, false}) {
    splash.SetStayOnTop(onTop);
    splash.Show();
    EXPECT_EQ(splash.Form()->windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop);
  }
}

TEST_F(SplashTest, ClicksOnThePictureReachTheDialogsEvents) {
  std::vector<std::string> heard;
  splash.OnClick = [&](tk::Component* sender) { heard.push_back("click " + sender->Name()); };
  splash.OnDblClick = [&](tk::Component* sender) { heard.push_back("double " + sender->Name()); };
  splash.Show();
  TVxSplashImage* image = splash.Form()->Image;
  testing_support::ClickAt(image, {10, 10});
  testing_support::Mouse(image, QEvent::MouseButtonDblClick, {10, 10});
  EXPECT_EQ(heard, (std::vector<std::string>{"click Image", "double Image"}));
}

TEST_F(SplashTest, DestroyingTheDialogTakesItsFormWithoutOnClose) {
  auto dialog = std::make_unique<TVxSplashDialog>(nullptr);
  int closed = 0;
  dialog->OnClose = [&](tk::Component*) { ++closed; };
  dialog->Show();
  QPointer<TVxfrmSplashDlg> form = dialog->Form();
  dialog.reset();
  EXPECT_EQ(closed, 0);
  ASSERT_TRUE(form);
  EXPECT_FALSE(form->isVisible());
  form->TimerTimer();  // a tick still queued finds no dialog
  FreeDiscardedForms();
  EXPECT_FALSE(form);
}

TEST_F(SplashTest, ShowsItselfWhenItsOwnerFormIsCreated) {
  struct Case {
    const char* Name;
    bool Active, Designing, OwnerAlreadyShown, Shows;
  } cases[] = {
      {"active", true, false, false, true},
      {"inactive", false, false, false, false},
      {"in the designer", true, true, false, false},
      {"on a form that already shows", true, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    tk::Form owner;
    owner.SetDesigning(c.Designing);
    if (c.OwnerAlreadyShown) owner.show();
    auto* dialog = new TVxSplashDialog(&owner);
    dialog->SetActive(c.Active);
    dialog->SetPictureHiRes(splash.PictureHiRes());
    owner.show();
    EXPECT_EQ(dialog->Visible(), c.Shows);
    EXPECT_EQ(dialog->Form() != nullptr, c.Shows);
  }
}

TEST_F(SplashTest, FormStreamsKeepWhatDiffersFromTheDefaults) {
  EXPECT_EQ(tk::Writer().WriteComponent(splash)["Properties"].toArray().size(), 0);
  splash.SetActive(false);
  splash.SetDelay(3000);
  splash.SetStayOnTop(false);
  splash.SetPlacement({TVxDialogPosition::mpCustom, 5, 6, 7, 8});
  QJsonObject json = tk::Writer().WriteComponent(splash);
  TVxSplashDialog copy(nullptr);
  tk::Reader().ReadInto(copy, json);
  EXPECT_FALSE(copy.Active());
  EXPECT_EQ(copy.Delay(), 3000);
  EXPECT_FALSE(copy.StayOnTop());
  const TVxDialogPlacement& p = copy.Placement();
  EXPECT_EQ(p.Position, TVxDialogPosition::mpCustom);
  EXPECT_EQ(QRect(p.Left, p.Top, p.Width, p.Height), QRect(6, 5, 8, 7));
}

TEST_F(SplashTest, Screenshot) {
  tk::Bitmap picture = Picture(240, 120, 0x804000);
  tk::Canvas& canvas = picture.Canvas();
  canvas.Brush.Color = 0x00C0FF;
  canvas.FillRect({20, 20, 220, 100});
  canvas.Brush.Style = tk::BrushStyle::Clear;
  canvas.Font.SetHeight(-24);
  canvas.Font.SetColor(tk::clBlack);
  canvas.TextOut(60, 45, "Zelta");
  splash.SetPictureHiRes(picture);
  splash.Show();
  TVxfrmSplashDlg* form = splash.Form();
  EXPECT_EQ(form->size(), QSize(242, 122)) << "the picture inside a one-pixel border";
  QImage shown = form->grab().toImage();
  EXPECT_EQ(tk::FromQColor(QColor(shown.pixel(0, 0))), tk::ColorToRGB(tk::clWindowFrame));
  EXPECT_EQ(tk::FromQColor(QColor(shown.pixel(1, 1))), 0x804000);
  EXPECT_TRUE(testing_support::SaveShot(shown, "splash_dialog.png"));
}

}  // namespace
