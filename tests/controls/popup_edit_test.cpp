#include "controls/popup_edit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>

#include "controls/controller.h"
#include "controls/fake_services.h"
#include "platform/text.h"
#include "support/scripted_ui.h"
#include "support/user_input.h"

namespace {

using namespace controls;
using testing_support::TestUi;

void Settle() { QApplication::processEvents(); }

void AltKey(QWidget* widget, Qt::Key key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::AltModifier);
  QApplication::sendEvent(widget, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::AltModifier);
  QApplication::sendEvent(widget, &release);
  Settle();
}

class Services : public controls_test::FakeServices {
 public:
  tk::Rect WorkArea(const QWidget*) override { return Work; }
  std::string IntlProfileString(const std::string& key) override {
    return key == "sDecimal" ? "." : controls_test::FakeServices::IntlProfileString(key);
  }
  tk::Rect Work{0, 0, 800, 800};
};

class NumberEditOnForm : public ::testing::Test {
 protected:
  NumberEditOnForm() {
    form.setGeometry(100, 100, 320, 240);
    new TVxController(&form);
    edit = new TVxNumberEdit(&form);
    edit->SetBounds(40, 40, 121, 25);
    edit->OnPopupOpen = [this](tk::Component*) { events += "open "; };
    edit->OnPopupClose = [this](tk::Component*) { events += "close "; };
    form.show();
    Settle();
    edit->setFocus();
    Settle();
  }
  TVxCalculator* Calc() { return edit->Calculator(); }
  std::string Shown() { return platform::Trim(Calc()->Text()); }
  QPoint CalcTopLeft() { return Calc()->geometry().topLeft(); }

  Services services;
  tk::Form form;
  TVxNumberEdit* edit;
  std::string events;
};

struct Typing {
  const char* Before;
  bool AllowIncDec;
  const char* Keys;
  const char* After;
  int Beeps;
};

class NumberEditTyping : public NumberEditOnForm, public ::testing::WithParamInterface<Typing> {};

TEST_P(NumberEditTyping, KeepsOnlyWhatANumberHolds) {
  const Typing& t = GetParam();
  edit->SetText(t.Before);
  edit->setCursorPosition(static_cast<int>(edit->text().size()));
  edit->SetAllowIncDec(t.AllowIncDec);
  testing_support::Type(edit, QString::fromLatin1(t.Keys));
  EXPECT_EQ(edit->Text(), t.After);
  EXPECT_EQ(TestUi().Beeps(), t.Beeps);
  EXPECT_FALSE(Calc()->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Table, NumberEditTyping,
                         ::testing::Values(Typing{"", false, "12a", "12", 1}, Typing{"", false, "-5.2", "-5.2", 0},
                                           Typing{"", false, "x=,", "", 3}, Typing{"9", true, "+", "10", 0},
                                           Typing{"", true, "+", "1", 0}, Typing{"2.5", true, "--", "0.5", 0}));

TEST_F(NumberEditOnForm, StepsKeepTheSelection) {
  edit->SetText("123");
  edit->SetAllowIncDec(true);
  edit->setSelection(1, 1);
  testing_support::Type(edit, "+");
  EXPECT_EQ(edit->Text(), "124");
  EXPECT_EQ(edit->SelStart(), 1);
  EXPECT_EQ(edit->SelLength(), 1);
}

TEST_F(NumberEditOnForm, AnOperatorOpensTheCalculatorWithTheValueAndEqualsWritesTheResultBack) {
  edit->SetText("12");
  testing_support::Type(edit, "*");
  ASSERT_TRUE(Calc()->isVisible());
  EXPECT_TRUE(edit->PopupActive());
  EXPECT_EQ(Shown(), "12.00");
  ASSERT_TRUE(testing_support::Shoot(Calc(), "number_edit_calculator.png"));
  testing_support::Type(Calc(), "3=");
  EXPECT_FALSE(Calc()->isVisible());
  EXPECT_EQ(edit->Text(), "36");
  EXPECT_TRUE(edit->Modified());
  EXPECT_EQ(edit->cursorPosition(), 2);
  EXPECT_FALSE(edit->hasSelectedText());
  Settle();
  EXPECT_EQ(events, "open close ");
}

TEST_F(NumberEditOnForm, EachOpeningStartsFromAClearedCalculator) {
  edit->SetText("12");
  testing_support::Click(edit->Button());
  testing_support::Type(Calc(), "*3=");
  ASSERT_EQ(edit->Text(), "36");
  AltKey(edit, Qt::Key_Down);
  ASSERT_TRUE(Calc()->isVisible());
  testing_support::Type(Calc(), "+1=");
  EXPECT_EQ(edit->Text(), "37");
}

TEST_F(NumberEditOnForm, EscapeAndAltUpCloseItWithTheCaretWhereItWas) {
  edit->SetText("1234");
  for (bool escape : {true, false}) {
    edit->deselect();
    edit->setCursorPosition(2);
    AltKey(edit, Qt::Key_Down);
    ASSERT_TRUE(Calc()->isVisible());
    testing_support::Type(Calc(), "9");
    if (escape)
      testing_support::Key(Calc(), Qt::Key_Escape);
    else
      AltKey(Calc(), Qt::Key_Up);
    EXPECT_FALSE(Calc()->isVisible()) << escape;
    EXPECT_EQ(edit->Text(), "1234");
    EXPECT_EQ(edit->cursorPosition(), 2);
    EXPECT_FALSE(edit->hasSelectedText());
  }
}

TEST_F(NumberEditOnForm, APressOutsideClosesItAndOneInTheEditKeepsTheCaret) {
  edit->SetText("1234");
  edit->setCursorPosition(1);
  AltKey(edit, Qt::Key_Down);
  testing_support::ClickAt(&form, {300, 220});
  EXPECT_FALSE(Calc()->isVisible());
  AltKey(edit, Qt::Key_Down);
  testing_support::ClickAt(edit, {100, 10});
  EXPECT_FALSE(Calc()->isVisible());
  EXPECT_EQ(edit->cursorPosition(), 1);
  // Holding the mouse, the calculator itself hears of a press outside it.
  AltKey(edit, Qt::Key_Down);
  testing_support::Mouse(Calc(), QEvent::MouseButtonPress, {-20, -20});
  EXPECT_FALSE(Calc()->isVisible());
}

TEST_F(NumberEditOnForm, TheCalculatorLosingTheFocusClosesIt) {
  auto* other = new TVxEdit(&form);
  other->SetBounds(40, 120, 121, 25);
  AltKey(edit, Qt::Key_Down);
  ASSERT_TRUE(Calc()->isVisible());
  form.activateWindow();
  other->setFocus();
  Settle();
  EXPECT_FALSE(Calc()->isVisible());
  EXPECT_FALSE(edit->PopupActive());
}

struct Placement {
  TVxPopupAnchor Anchor;
  tk::Rect Work;
  int X, Y;         // relative to the edit's global top-left; the edit is 121 wide at (140, 140)
  bool PlusHeight;  // Y counts from the edit's bottom
};

class NumberEditPlacement : public NumberEditOnForm, public ::testing::WithParamInterface<Placement> {};

TEST_P(NumberEditPlacement, OpensBelowOrAboveAndInsideTheWorkArea) {
  const Placement& p = GetParam();
  services.Work = p.Work;
  edit->SetPopupAnchor(p.Anchor);
  AltKey(edit, Qt::Key_Down);
  ASSERT_EQ(edit->mapToGlobal(QPoint(0, 0)), QPoint(140, 140));
  EXPECT_EQ(CalcTopLeft() - QPoint(140, 140), QPoint(p.X, p.Y + (p.PlusHeight ? edit->Height() : 0)));
}

// The calculator is 200 x 140.
INSTANTIATE_TEST_SUITE_P(
    Table, NumberEditPlacement,
    ::testing::Values(Placement{TVxPopupAnchor::paLeft, {0, 0, 800, 800}, -3, -4, true},
                      Placement{TVxPopupAnchor::paRight, {0, 0, 800, 800}, 121 - 200 - 1, -2, true},
                      Placement{TVxPopupAnchor::paLeft, {0, 0, 800, 250}, -3, -4 - 140, false},
                      Placement{TVxPopupAnchor::paLeft, {0, 0, 300, 800}, 300 - 200 - 1 - 140, -4, true},
                      Placement{TVxPopupAnchor::paRight, {100, 0, 800, 800}, 100 + 1 - 140, -2, true}));

TEST_F(NumberEditOnForm, ConvertsItsTextToNumbers) {
  struct Case {
    const char* Text;
    tk::Extended Float;
    std::int32_t Integer;
  };
  for (const Case& c : {Case{"12.5", 12.5, 12}, Case{"$-3.5 ", -3.5, -4}, Case{"+2.5", 2.5, 2}, Case{"7", 7, 7}}) {
    edit->SetText(c.Text);
    EXPECT_EQ(edit->AsFloat(), c.Float) << c.Text;
    EXPECT_EQ(edit->AsInteger(), c.Integer) << c.Text;
  }
  edit->SetText("n/a");
  EXPECT_THROW(edit->AsFloat(), tk::EConvertError);
  edit->SetAsFloat(0.25);
  EXPECT_EQ(edit->AsString(), "0.25");
  edit->SetAsInteger(-42);
  EXPECT_EQ(edit->Text(), "-42");
}

TEST_F(NumberEditOnForm, TheButtonSitsInsideTheRightEdgeAndReadOnlyDisablesIt) {
  const int bw = 12 + 4;  // the calculator glyph is wider than a scroll bar
  ASSERT_EQ(edit->GetButtonWidth(), bw);
  edit->SetText("1234.5");
  ASSERT_TRUE(testing_support::Shoot(&form, "number_edit.png"));
  EXPECT_EQ(edit->Button()->geometry(), QRect(121 - bw - 2, 2, bw, edit->Height() - 4));
  edit->SetHasBorder(false);
  edit->SetBounds(40, 40, 121, 25);
  EXPECT_EQ(edit->Button()->geometry(), QRect(121 - bw, 0, bw, 25));
  edit->SetShowButton(false);
  EXPECT_TRUE(edit->Button()->geometry().isEmpty());
  edit->SetReadOnly(true);
  EXPECT_FALSE(edit->Button()->isEnabled());
  edit->SetAllowIncDec(true);
  testing_support::Type(edit, "+*");
  AltKey(edit, Qt::Key_Down);
  EXPECT_EQ(edit->Text(), "1234.5");
  EXPECT_FALSE(Calc()->isVisible());
  edit->SetButtonGlyph(nullptr);  // an empty glyph is the calculator again
  EXPECT_EQ(edit->ButtonGlyph().Width(), 12);
}

TEST(EdPopup, ReturnOrEscapeClosesAnOpenPopUp) {
  tk::Form form;
  new TVxController(&form);
  auto* edit = new TVxEdPopup(&form);
  int closed = 0;
  edit->OnPopupClose = [&](tk::Component*) { ++closed; };
  form.show();
  Settle();
  for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
    edit->PopupOpen();
    testing_support::Key(edit, key);
    EXPECT_FALSE(edit->PopupActive());
  }
  EXPECT_EQ(closed, 2);
}

}  // namespace
