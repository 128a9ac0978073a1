#include "controls/calculator.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QKeyEvent>
#include <algorithm>

#include "platform/text.h"
#include "support/scripted_ui.h"
#include "support/user_input.h"
#include "tk/filer.h"
#include "tk/virtual_keys.h"

namespace {

using namespace controls;
using B = TVxCalculatorButton;
using Opt = TVxCalculatorOption;
using testing_support::TestUi;

std::string Shown(const TVxCustomCalculator& calc) { return platform::Trim(calc.Text()); }

void Keys(TVxCustomCalculator& calc, const char* text) { testing_support::Type(&calc, QString::fromLatin1(text)); }

void CtrlKey(QWidget* widget, Qt::Key key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier, QString(QChar(key - Qt::Key_A + 1)));
  QApplication::sendEvent(widget, &press);
}

QPoint Centre(const TVxCustomCalculator& calc, B button) {
  tk::Rect r = calc.ButtonInfo(button).Position;
  tk::Rect client = calc.ClientArea();
  return {client.Left + (r.Left + r.Right) / 2, client.Top + (r.Top + r.Bottom) / 2};
}

void ClickButton(TVxCustomCalculator& calc, B button) { testing_support::ClickAt(&calc, Centre(calc, button)); }

std::vector<std::string> InkedLines(TVxCustomCalculator& calc) {
  std::vector<std::string> lines;
  for (const std::string& line : calc.Tape())
    if (!line.empty()) lines.push_back(platform::Trim(line));
  return lines;
}

class Calculator : public ::testing::Test {
 protected:
  Calculator() {
    calc.show();
    QApplication::processEvents();
  }
  TVxCalculator calc{nullptr};
};

struct Typed {
  const char* Keys;
  const char* Display;
};

class CalculatorTyping : public Calculator, public ::testing::WithParamInterface<Typed> {};

TEST_P(CalculatorTyping, ShowsTheResultOfTheKeys) {
  Keys(calc, GetParam().Keys);
  EXPECT_EQ(Shown(calc), GetParam().Display) << GetParam().Keys;
}

INSTANTIATE_TEST_SUITE_P(Table, CalculatorTyping,
                         ::testing::Values(Typed{"12", "12"}, Typed{"12+3*2=", "30.00"}, Typed{"1.5+1.25=", "2.75"},
                                           Typed{"3.25-5=", "-1.75"}, Typed{"200+10%", "220.00"}, Typed{"50%", "0.50"},
                                           Typed{"9@", "3.00"}, Typed{"4r", "0.25"}, Typed{"8/2/", "4.00"},
                                           Typed{"2++", "4.00"}, Typed{"12+3=+1=", "16.00"}, Typed{"7=", "7.00"},
                                           Typed{"=", "0"}, Typed{"12+3==", "0"}, Typed{"5+3\r", "8.00"},
                                           Typed{"007", "7"}, Typed{".5", "0.5"}, Typed{"5+3=4", "4"}));

TEST_F(Calculator, FixedPointEntryMovesTheSeparatorAsDigitsArriveAndLeave) {
  calc.SetDecimals(-2);
  std::vector<std::string> shown;
  for (const char* digit : {"5", "3", "7", "1"}) {
    Keys(calc, digit);
    shown.push_back(Shown(calc));
  }
  EXPECT_EQ(shown, (std::vector<std::string>{"0.05", "0.53", "5.37", "53.71"}));
  testing_support::Key(&calc, Qt::Key_Backspace);
  EXPECT_EQ(Shown(calc), "5.37");
  testing_support::Key(&calc, Qt::Key_Backspace);
  testing_support::Key(&calc, Qt::Key_Backspace);
  EXPECT_EQ(Shown(calc), "0.05");
  // A typed separator holds for its own number only.
  Keys(calc, "+.5+3");
  EXPECT_EQ(Shown(calc), "0.03");
}

TEST_F(Calculator, EditingKeysChangeTheNumberBeingTyped) {
  Keys(calc, "123");
  testing_support::Key(&calc, Qt::Key_Backspace);
  EXPECT_EQ(Shown(calc), "12");
  testing_support::Key(&calc, Qt::Key_F9);
  EXPECT_EQ(Shown(calc), "-12");
  testing_support::Key(&calc, Qt::Key_Backspace);
  testing_support::Key(&calc, Qt::Key_Backspace);
  EXPECT_EQ(Shown(calc), "0.00");  // the sign is no digit
  Keys(calc, "9+4");
  testing_support::Key(&calc, Qt::Key_Delete);  // clear entry keeps the pending addition
  Keys(calc, "1=");
  EXPECT_EQ(Shown(calc), "10.00");
}

TEST_F(Calculator, ASignTypedBeforeTheDigitsWaitsForThem) {
  testing_support::Key(&calc, Qt::Key_Delete);
  testing_support::Key(&calc, Qt::Key_F9);
  EXPECT_EQ(calc.EntryText(), "-");
  Keys(calc, "5+8=");
  EXPECT_EQ(Shown(calc), "3.00");
}

TEST_F(Calculator, AnErrorLocksUntilClearAndBeepsAtEveryPress) {
  Keys(calc, "1/0=");
  EXPECT_EQ(Shown(calc), "******");
  EXPECT_TRUE(calc.Engine().State.Contains(TVxCalcState::csLocked));
  EXPECT_EQ(TestUi().Beeps(), 1);
  Keys(calc, "+");
  EXPECT_EQ(TestUi().Beeps(), 2);
  EXPECT_EQ(Shown(calc), "******");
  testing_support::Key(&calc, Qt::Key_Escape);
  EXPECT_EQ(Shown(calc), "0");
  Keys(calc, "2+2=");
  EXPECT_EQ(Shown(calc), "4.00");
  EXPECT_EQ(TestUi().Beeps(), 2);
}

TEST_F(Calculator, ADigitAfterAnErrorUnlocks) {
  Keys(calc, "5/0=");
  EXPECT_EQ(Shown(calc), "******");
  Keys(calc, "6");
  EXPECT_FALSE(calc.Engine().State.Contains(TVxCalcState::csLocked));
  EXPECT_EQ(calc.EntryValue(), 6);
}

TEST_F(Calculator, MemoryKeysWorkWhileTheirButtonsAreDead) {
  std::vector<B> reported;
  calc.OnButtonPressed = [&](tk::Component*, B button) { reported.push_back(button); };
  ClickButton(calc, B::cbMemRecall);
  EXPECT_TRUE(reported.empty());  // the memory is 0
  CtrlKey(&calc, Qt::Key_R);
  EXPECT_EQ(reported, std::vector<B>{B::cbMemRecall});
  Keys(calc, "25");
  CtrlKey(&calc, Qt::Key_M);
  EXPECT_EQ(calc.Memory(), 25);
  Keys(calc, "5");
  CtrlKey(&calc, Qt::Key_P);
  EXPECT_EQ(calc.Memory(), 30);
  Keys(calc, "3*");
  ClickButton(calc, B::cbMemRecall);
  Keys(calc, "=");
  EXPECT_EQ(Shown(calc), "90.00");
  CtrlKey(&calc, Qt::Key_L);
  EXPECT_EQ(calc.Memory(), 0);
}

TEST_F(Calculator, MouseClicksPressTheButtonUnderThePointer) {
  for (B b : {B::cb7, B::cbAdd, B::cb8, B::cbEqual}) ClickButton(calc, b);
  EXPECT_EQ(Shown(calc), "15.00");
  // Released outside: nothing pressed, nothing left marked.
  testing_support::Mouse(&calc, QEvent::MouseButtonPress, Centre(calc, B::cb9));
  EXPECT_EQ(calc.PressedButton(), B::cb9);
  testing_support::Mouse(&calc, QEvent::MouseButtonRelease, Centre(calc, B::cb5));
  EXPECT_EQ(calc.PressedButton(), B::cbNone);
  EXPECT_EQ(calc.LastButton(), B::cbEqual);
}

TEST_F(Calculator, KeyEventsSeeTheKeyFirstAndMayTakeIt) {
  calc.OnKeyPress = [](tk::Component*, char& key) {
    if (key == '9') key = 0;
  };
  calc.OnKeyDown = [](tk::Component*, std::uint16_t& key, tk::ShiftState) {
    if (key == tk::VK_ESCAPE) key = 0;
  };
  Keys(calc, "19");
  testing_support::Key(&calc, Qt::Key_Escape);
  EXPECT_EQ(Shown(calc), "1");
}

TEST_F(Calculator, TheClipboardCarriesTheDisplayOutAndKeysIn) {
  Keys(calc, "6*7=");
  CtrlKey(&calc, Qt::Key_C);
  EXPECT_EQ(platform::Trim(platform::FromQString(QApplication::clipboard()->text()).value()), "42.00");
  QApplication::clipboard()->setText("total: 12 + 3a =");
  CtrlKey(&calc, Qt::Key_V);
  EXPECT_EQ(Shown(calc), "15.00");
}

TEST_F(Calculator, WindowTextIsTheDisplayAndSettingItTypes) {
  calc.SetText("7*6=");
  EXPECT_EQ(Shown(calc), "42.00");
  EXPECT_EQ(tk::SendMessage(calc, 0x000E), static_cast<std::intptr_t>(calc.Text().size()));
  tk::SendMessage(calc, 0x000C, 0, reinterpret_cast<std::intptr_t>("2+2="));
  char buffer[64];
  tk::SendMessage(calc, 0x000D, sizeof buffer, reinterpret_cast<std::intptr_t>(buffer));
  EXPECT_EQ(platform::Trim(buffer), "4.00");
}

TEST_F(Calculator, TheTapeRecordsEachCalculationWithItsTotal) {
  calc.SetOptions({Opt::coShowItemCount, Opt::coShowMemoryButtons, Opt::coShowTape});
  Keys(calc, "12+3=");
  std::vector<std::string> lines = calc.Tape();
  int cpl = calc.TapeObject().CharsPerLine;
  EXPECT_EQ(InkedLines(calc), (std::vector<std::string>{"12 +", "3 =", "002", "15.00 *", std::string(cpl, '_')}));
  // Amounts sit right-justified against the mark column.
  auto plus = std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return l.ends_with("12 +"); });
  ASSERT_NE(plus, lines.end());
  EXPECT_EQ(static_cast<int>(plus->size()), cpl);
  EXPECT_EQ(calc.Tape().size(), 30u);  // blank paper scrolled out
}

TEST_F(Calculator, RepeatedOperatorsAndClearsPrintAsTheOriginalDid) {
  calc.SetOptions({Opt::coShowTape});
  Keys(calc, "2++");
  EXPECT_EQ(InkedLines(calc), (std::vector<std::string>{"2 +", "2.00 +"}));
  testing_support::Key(&calc, Qt::Key_Escape);
  testing_support::Key(&calc, Qt::Key_Escape);
  EXPECT_EQ(InkedLines(calc).size(), 3u);  // one separator line for two clears
  CtrlKey(&calc, Qt::Key_T);
  EXPECT_TRUE(InkedLines(calc).empty());
}

TEST_F(Calculator, LayoutFillsTheClientAreaWithTheGrid) {
  // 200 x 140 with memory buttons: margins 4, spacing 2.
  const TVxButtonInfo& mc = calc.ButtonInfo(B::cbMemClear);
  const TVxButtonInfo& equal = calc.ButtonInfo(B::cbEqual);
  const TVxButtonInfo& clear = calc.ButtonInfo(B::cbClear);
  EXPECT_EQ(mc.Position.Left, 4);
  EXPECT_EQ(equal.Position.Bottom, 140 - 4);
  EXPECT_EQ(clear.Position.Right, equal.Position.Right);  // row 0 ends flush
  EXPECT_EQ(calc.ButtonInfo(B::cbMemSub).Position.Bottom, equal.Position.Bottom);
  EXPECT_FALSE(calc.ButtonInfo(B::cbTape).Visible);
  EXPECT_EQ(calc.ButtonInfo(B::cbBack).Position.Left, calc.ButtonInfo(B::cb8).Position.Left);
  EXPECT_LT(calc.DisplayPanel()->geometry().bottom(), calc.ButtonInfo(B::cbBack).Position.Top);
  for (int i = 1; i <= 29; ++i)
    for (int j = i + 1; j <= 29; ++j) {
      QRect a = calc.ButtonInfo(static_cast<B>(i)).Position.ToQRect();
      QRect b = calc.ButtonInfo(static_cast<B>(j)).Position.ToQRect();
      EXPECT_FALSE(calc.ButtonInfo(static_cast<B>(i)).Visible && calc.ButtonInfo(static_cast<B>(j)).Visible &&
                   a.intersects(b))
          << i << " overlaps " << j;
    }

  calc.SetOptions({Opt::coShowClearTapeButton, Opt::coShowTape});
  EXPECT_FALSE(calc.ButtonInfo(B::cbMemClear).Visible);
  EXPECT_TRUE(calc.ButtonInfo(B::cbTape).Visible);
  EXPECT_EQ(calc.ButtonInfo(B::cbTape).Position.Left, calc.ButtonInfo(B::cb7).Position.Left);
  EXPECT_EQ(calc.ButtonInfo(B::cbClear).Position.Right, calc.ButtonInfo(B::cbEqual).Position.Right);
  TVxCalcTapeListBox* list = calc.TapeObject().ListBox();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->height(), calc.TapeHeight());
  EXPECT_GT(calc.DisplayPanel()->y(), list->geometry().bottom());
}

TEST_F(Calculator, AnEqualThatStartsACalculationIsAClear) {
  std::vector<B> reported;
  calc.OnButtonPressed = [&](tk::Component*, B button) { reported.push_back(button); };
  Keys(calc, "=4=");
  EXPECT_EQ(reported, (std::vector<B>{B::cbClear, B::cb4, B::cbEqual}));
  EXPECT_EQ(calc.LastButton(), B::cbEqual);
}

TEST_F(Calculator, AnOperandPushedAfterAResultIsWhatTheNextOperatorTakes) {
  Keys(calc, "2*3=");
  calc.PushOperand(5);
  EXPECT_EQ(calc.EntryText(), "5.00");
  Keys(calc, "+1=");
  EXPECT_EQ(Shown(calc), "6.00");
}

TEST(CalculatorBorders, TheClientAreaLiesInsideThePopupAndSingleBorders) {
  TVxCalculator popup(nullptr, true);
  EXPECT_TRUE(popup.isWindow());
  EXPECT_EQ(popup.ClientArea(), (tk::Rect{1, 1, 199, 139}));
  popup.SetBorderStyle(TBorderStyle::bsSingle);  // a client edge with the 3-D look
  EXPECT_EQ(popup.ClientArea(), (tk::Rect{3, 3, 197, 137}));
  popup.SetCtl3D(false);
  EXPECT_EQ(popup.ClientArea(), (tk::Rect{2, 2, 198, 138}));
  popup.show();
  QApplication::processEvents();
  EXPECT_EQ(popup.ButtonInfo(B::cbEqual).Position.Bottom, 136 - 4);  // laid out in client coordinates
}

TEST_F(Calculator, TheDesignerDragsTheTapeEdge) {
  calc.SetOptions({Opt::coShowTape});
  calc.SetBounds(0, 0, 200, 240);
  calc.SetDesigning(true);
  TVxCalcTapeListBox* list = calc.TapeObject().ListBox();
  int edge = list->geometry().bottom() + 2;
  testing_support::Mouse(&calc, QEvent::MouseButtonPress, {50, edge});
  testing_support::Mouse(&calc, QEvent::MouseMove, {50, 100});
  testing_support::Mouse(&calc, QEvent::MouseButtonRelease, {50, 100});
  EXPECT_EQ(calc.TapeHeight(), 92);
  EXPECT_EQ(list->height(), 92);
  testing_support::Mouse(&calc, QEvent::MouseButtonPress, {50, list->geometry().bottom() + 2});
  testing_support::Mouse(&calc, QEvent::MouseMove, {50, 5});  // kept 30 below the tape's top
  testing_support::Mouse(&calc, QEvent::MouseButtonRelease, {50, 5});
  EXPECT_EQ(calc.TapeHeight(), list->y() + 30 - 8);
}

TEST(CalculatorColors, SchemesLoadAllColoursAndSingleColoursMakeTheSetCustom) {
  TVxCalcColors colors;
  int notified = 0;
  colors.OnChange = [&] { ++notified; };
  colors.SetColorScheme(TVxCalcColorScheme::cscalcDark);
  EXPECT_EQ(notified, 1);
  EXPECT_EQ(colors.Display(), tk::clBlack);
  EXPECT_EQ(colors.DisplayTextColor(), tk::clAqua);
  colors.SetNumberButtons(tk::clGreen);
  EXPECT_EQ(colors.ColorScheme(), TVxCalcColorScheme::cscalcCustom);
  EXPECT_EQ(notified, 2);
  colors.BeginUpdate();
  colors.SetDisplay(tk::clWhite);
  colors.SetEditButtons(tk::clWhite);
  EXPECT_EQ(notified, 2);
  colors.EndUpdate();
  EXPECT_EQ(notified, 3);
  TVxCalcColors copy;
  copy.Assign(colors);
  copy.SetMemoryButtons(tk::clLime);  // the notification came along
  EXPECT_EQ(notified, 4);
  EXPECT_EQ(copy.NumberButtons(), tk::clGreen);
}

TEST_F(Calculator, ColoursReachTheDisplayTapeAndCaptions) {
  TVxCalcColors ocean;
  ocean.SetColorScheme(TVxCalcColorScheme::cscalcOcean);
  calc.SetColors(ocean);
  EXPECT_EQ(calc.DisplayPanel()->Color, tk::clAqua);
  calc.Colors().SetDisplay(tk::clYellow);  // still heard after the assignment
  EXPECT_EQ(calc.DisplayPanel()->Color, tk::clYellow);
  EXPECT_EQ(calc.TapeObject().TapeColor(), tk::clYellow);
  EXPECT_EQ(calc.TapeObject().Font().Color(), tk::clBlack);  // the tape prints in the display's text colour
}

TEST_F(Calculator, StreamsItsPublishedProperties) {
  calc.SetDecimals(0);
  calc.SetOptions({Opt::coShowTape});
  calc.SetTapeSeparatorChar('=');
  calc.Colors().SetColorScheme(TVxCalcColorScheme::cscalcPlain);
  tk::Writer writer;
  QJsonObject json = writer.WriteComponent(calc);
  tk::Reader reader;
  std::unique_ptr<tk::Component> read(reader.ReadRoot(json, nullptr));
  auto* copy = dynamic_cast<TVxCalculator*>(read.get());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->Decimals(), 0);
  EXPECT_EQ(copy->Options(), TVxCalculatorOptions{Opt::coShowTape});
  EXPECT_EQ(copy->TapeSeparatorChar(), '=');
  EXPECT_EQ(copy->Colors().ColorScheme(), TVxCalcColorScheme::cscalcPlain);
  EXPECT_EQ(copy->Colors().DisplayTextColor(), tk::clNavy);
}

class CalculatorTape : public Calculator {
 protected:
  CalculatorTape() {
    calc.SetOptions({Opt::coShowTape});
    tape = &calc.TapeObject();
  }
  TVxCalcTape* tape;
};

TEST_F(CalculatorTape, BlankPaperScrollsOutBeforeTheTapeGrows) {
  EXPECT_EQ(tape->LineCount(), 30);
  for (int i = 1; i <= 30; ++i) tape->AddToTapeLeft(std::to_string(i));
  EXPECT_EQ(tape->LineCount(), 30);
  EXPECT_EQ(tape->Tape().front(), "1");
  tape->AddToTapeLeft("31");
  EXPECT_EQ(tape->LineCount(), 31);
  EXPECT_EQ(tape->Tape().size(), 31u);
  EXPECT_EQ(tape->TopIndex(), 31 - (tape->ListBox()->ClientHeight() / tape->ListBox()->ItemHeight()));
}

TEST_F(CalculatorTape, NarrowingCutsLeadingBlanksAndSeparators) {
  Keys(calc, "12+3=");
  int before = tape->CharsPerLine;
  calc.SetBounds(0, 0, 150, 140);
  int after = tape->CharsPerLine;
  ASSERT_LT(after, before);
  for (const std::string& line : tape->Tape()) {
    if (line.empty()) continue;
    EXPECT_LE(static_cast<int>(line.size()), after + 1) << line;
  }
  EXPECT_EQ(InkedLines(calc).back(), std::string(after, '_'));
}

TEST_F(CalculatorTape, DoubleClickingANumberLineRecallsIt) {
  Keys(calc, "12+3=");
  std::vector<std::string> lines = tape->Tape();
  auto index = [&](const std::string& end) {
    return static_cast<int>(
        std::find_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.ends_with(end); }) -
        lines.begin());
  };
  tape->RecallLine(index("002"));  // item count: ignored
  EXPECT_EQ(calc.Display(), 15);
  tape->RecallLine(index("12 +"));
  EXPECT_EQ(calc.Display(), 12);
  EXPECT_EQ(calc.EntryValue(), 12);
  EXPECT_EQ(calc.Operand(), 12);
  // An item count of four digits is no amount: nothing happens.
  tape->AddToTapeLeft("1000");
  lines = tape->Tape();
  tape->RecallLine(index("1000"));
  EXPECT_EQ(calc.Display(), 12);
  // A separator line does not convert: the error is reported, the calculator stays as it was.
  TVxCalcTapeListBox* list = tape->ListBox();
  QPoint separator(5, (index("___") - list->TopIndex()) * list->ItemHeight() + 2);
  testing_support::Mouse(list->viewport(), QEvent::MouseButtonDblClick, separator);
  EXPECT_EQ(TestUi().Messages().size(), 1u);
  EXPECT_EQ(calc.Display(), 12);
  Keys(calc, "*2=");
  EXPECT_EQ(Shown(calc), "24.00");
}

TEST_F(CalculatorTape, LinesPastThePaperCountAndNegativeAmountsShowInRed) {
  calc.SetBounds(0, 0, 200, 240);
  calc.SetTapeHeight(120);
  calc.SetMaxPaperCount(3);
  for (const char* amount : {"1", "2", "-3", "4"}) tape->AddToTape(amount, "+");
  TVxCalcTapeListBox* list = tape->ListBox();
  QImage image = list->viewport()->grab().toImage();
  int height = list->ItemHeight(), items = static_cast<int>(tape->Tape().size());
  auto top = [&](int fromEnd) { return (items - fromEnd - list->TopIndex()) * height; };
  auto isRed = [&](int x, int y) {
    QColor c = image.pixelColor(x, y);
    return c.red() > 200 && c.green() < 80 && c.blue() < 80;
  };
  auto inkIsRed = [&](int fromEnd, int toX) {
    for (int x = 0; x < toX; ++x)
      for (int dy = 0; dy < height; ++dy)
        if (isRed(x, top(fromEnd) + dy)) return true;
    return false;
  };
  ASSERT_GE(top(4), 0);
  int markX = QFontMetrics(list->Font().Q()).horizontalAdvance(QString(tape->CharsPerLine - 1, ' '));
  // The mark's cell is red from its top row on only past the paper count (the fourth line).
  EXPECT_TRUE(isRed(markX + 1, top(1)));
  EXPECT_FALSE(isRed(markX + 1, top(2)));
  EXPECT_TRUE(inkIsRed(2, markX));  // -3
  EXPECT_FALSE(inkIsRed(4, image.width()));
}

TEST_F(Calculator, Screenshots) {
  ASSERT_TRUE(testing_support::Shoot(&calc, "calculator_default.png"));
  TVxCalculator taped(nullptr);
  taped.SetBorderStyle(TBorderStyle::bsSingle);
  taped.SetBounds(0, 0, 260, 260);
  taped.SetTapeHeight(90);
  taped.SetOptions({Opt::coShowItemCount, Opt::coShowMemoryButtons, Opt::coShowClearTapeButton, Opt::coShowTape});
  taped.Colors().SetColorScheme(TVxCalcColorScheme::cscalcDark);
  taped.show();
  Keys(taped, "12+3=");
  Keys(taped, "5-9=");
  taped.setFocus();
  ASSERT_TRUE(testing_support::Shoot(&taped, "calculator_tape_dark.png"));
}

}  // namespace
