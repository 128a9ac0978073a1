#include "controls/borders.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>

#include "controls/controller.h"
#include "support/user_input.h"
#include "tk/filer.h"

namespace {

using namespace controls;

void Settle() { QApplication::processEvents(); }

TEST(Border, NotifiesRealChangesAndIgnoresAWidthBelowOne) {
  TVxBorder border;
  int changes = 0;
  border.OnChange = [&] { ++changes; };
  border.SetPenWidth(0);
  border.SetPenWidth(2);
  border.SetEnabled(false);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(border.PenWidth(), 2);
  TVxBorder other;
  other.SetEnabled(true);
  other.SetPenColor(tk::clRed);
  other.SetPenStyle(tk::PenStyle::psDot);
  other.SetPenWidth(5);
  border.Assign(other);
  EXPECT_EQ(changes, 4);
  EXPECT_EQ(border.PenColor(), tk::clRed);
  EXPECT_EQ(border.PenStyle(), tk::PenStyle::psDot);
  EXPECT_EQ(border.PenWidth(), 5);
}

class BorderedOnForm : public ::testing::Test {
 protected:
  BorderedOnForm() {
    form.setGeometry(100, 100, 320, 200);
    new TVxController(&form);
    edit = new TVxBorderedEdit(&form);
    edit->SetName("Name");
    edit->SetBounds(40, 40, 121, 21);
    number = new TVxBorderedNumberEdit(&form);
    number->SetBounds(40, 100, 121, 21);
    form.show();
    Settle();
  }
  // Black pixels of the container as the user sees it, by row or column.
  QImage Picture(QWidget* w) { return w->grab().toImage(); }
  static bool Black(const QImage& image, int x, int y) { return (image.pixel(x, y) & 0xFFFFFF) == 0; }

  tk::Form form;
  TVxBorderedEdit* edit;
  TVxBorderedNumberEdit* number;
};

TEST_F(BorderedOnForm, ANewOneShowsATwoPixelLineUnderAnEditFillingTheRest) {
  edit->SetText("Filled in");
  number->SetAsFloat(1250.75);
  ASSERT_TRUE(testing_support::Shoot(&form, "bordered_edits.png"));
  EXPECT_EQ(edit->Height(), 21);
  EXPECT_EQ(edit->Edit()->geometry(), QRect(0, 0, 121, 19));
  QImage image = Picture(edit);
  for (int x : {0, 60, 120}) {
    EXPECT_TRUE(Black(image, x, 20) && Black(image, x, 19)) << x;
    EXPECT_FALSE(Black(image, x, 18)) << x;
  }
}

TEST_F(BorderedOnForm, EnabledSidesNarrowTheEditAndOddWidthsAreDrawnFurtherIn) {
  edit->Borders().LeftBorder().SetEnabled(true);
  edit->Borders().LeftBorder().SetPenWidth(3);
  edit->Borders().RightBorder().SetEnabled(true);
  edit->Borders().RightBorder().SetPenWidth(3);
  edit->Borders().BottomBorder().SetPenWidth(3);
  EXPECT_EQ(edit->Edit()->geometry(), QRect(3, 0, 121 - 3 - 3, 21 - 3));  // placed at once, not when painted
  Settle();
  QImage image = Picture(edit);
  for (int x : {0, 2, 118, 120}) EXPECT_TRUE(Black(image, x, 5)) << x;
  for (int x : {3, 117}) EXPECT_FALSE(Black(image, x, 5)) << x;
  for (int y : {18, 20}) EXPECT_TRUE(Black(image, 60, y)) << y;
  EXPECT_FALSE(Black(image, 60, 17));
}

TEST_F(BorderedOnForm, OnlyARightBorderLeavesTheButtonItsRoom) {
  number->Borders().RightBorder().SetEnabled(true);
  Settle();
  EXPECT_EQ(number->Edit()->Width(), 121 - (12 + 4) - 2);
  number->SetShowButton(false);
  Settle();
  EXPECT_EQ(number->Edit()->Width(), 121 - 2);
  EXPECT_TRUE(number->Button()->geometry().isEmpty());
}

TEST_F(BorderedOnForm, StaysTwentyOnePixelsHigh) {
  edit->SetHeight(40);
  EXPECT_EQ(edit->Height(), 21);  // before any painting
  edit->SetBounds(10, 10, 150, 5);
  EXPECT_EQ(edit->BoundsRect(), tk::Bounds(10, 10, 150, 21));
  EXPECT_EQ(edit->Edit()->geometry(), QRect(0, 0, 150, 19));
  edit->Repaint();
  Settle();
  EXPECT_EQ(edit->Height(), 21);
}

TEST_F(BorderedOnForm, TheContainerActsAsItsEdit) {
  std::string changes;
  edit->OnChange() = [&](tk::Component*) { changes += "c"; };
  edit->SetText("ab");
  edit->SetMaxLength(4);
  edit->setFocus();
  Settle();
  EXPECT_TRUE(edit->Edit()->hasFocus());
  edit->Edit()->end(false);
  testing_support::Type(edit->Edit(), "cde");
  EXPECT_EQ(edit->Text(), "abcd");
  EXPECT_EQ(changes, "ccc");
  edit->SetReadOnly(true);
  EXPECT_TRUE(edit->Edit()->ReadOnly());
  number->SetReadOnly(true);
  Settle();
  EXPECT_FALSE(number->Button()->isEnabled());
}

TEST_F(BorderedOnForm, TheNumberEditsCalculatorOpensWhereItsAnchorSays) {
  number->SetAsFloat(2.5);
  EXPECT_EQ(number->AsString(), "2.5");
  int lefts[2];
  for (TVxPopupAnchor anchor : {TVxPopupAnchor::paLeft, TVxPopupAnchor::paRight}) {
    number->SetPopupAnchor(anchor);
    testing_support::Click(number->Button());
    ASSERT_TRUE(number->Edit()->PopupActive());
    lefts[static_cast<int>(anchor)] = number->Edit()->Calculator()->x();
    testing_support::Key(number->Edit()->Calculator(), Qt::Key_Escape);
  }
  EXPECT_EQ(lefts[1] - lefts[0], (number->Edit()->Width() - 200 - 1) - (-3));
  number->SetAllowIncDec(true);
  testing_support::Type(number->Edit(), "+");
  EXPECT_EQ(number->AsFloat(), 3.5);
}

TEST_F(BorderedOnForm, ReturnAndEscapeStopAtTheContainer) {
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(number->Edit(), &escape);
  EXPECT_TRUE(escape.isAccepted());  // the inner edit left it; its container took it
}

TEST_F(BorderedOnForm, ALabelStandsAboveTheContainer) {
  edit->LabelInfo().SetVisible(true);
  TVxAttachedLabel* label = edit->GetAttachedLabel();
  EXPECT_EQ(label->Name(), "NameLabel1");
  EXPECT_EQ(label->Top() + label->Height(), edit->Top());
}

TEST_F(BorderedOnForm, FormStreamsKeepTheBordersAndTheEditsState) {
  edit->Borders().TopBorder().SetEnabled(true);
  edit->Borders().TopBorder().SetPenColor(tk::clNavy);
  edit->SetText("kept");
  edit->SetMaxLength(9);
  QJsonObject json = tk::Writer().WriteComponent(form);
  tk::Form copy;
  tk::Reader().ReadInto(copy, json);
  auto* read = dynamic_cast<TVxBorderedEdit*>(copy.FindComponent("Name"));
  ASSERT_NE(read, nullptr);
  EXPECT_TRUE(read->Borders().TopBorder().Enabled());
  EXPECT_EQ(read->Borders().TopBorder().PenColor(), tk::clNavy);
  EXPECT_TRUE(read->Borders().BottomBorder().Enabled());
  EXPECT_EQ(read->Text(), "kept");
  EXPECT_EQ(read->MaxLength(), 9);
}

}  // namespace
