// The Control Wizard composing THEN and ELSE lines through its action and X10 panels.
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

#include "wizard_test_fixture.h"

namespace wizard_test {
namespace {

using program::Panel;
using testing_support::Replace;

// Opens line n and picks the Function and the action kind, as a user starts an action line.
#define START_ACTION(n, function, kind)      \
  do {                                       \
    Open(n);                                 \
    Pick(form->Function, function);          \
    Pick(form->ThenType, kind);              \
    ASSERT_NE(Shown(), Panel::None) << kind; \
  } while (0)

TEST_F(WizardTest, ComposesModuleTimerVariableAndJumpActions) {
  START_ACTION(300, 1, 0);
  EXPECT_TRUE(form->ThenType->isVisible());
  EXPECT_FALSE(form->IfType->isVisible());
  ASSERT_EQ(P()->Item->count(), 8) << "a KADO16 switches its relays 8..15";
  Pick(P()->Item, 2);
  Click(P()->Compare, 1);
  P()->Enter->click();
  EXPECT_EQ(At(300), (ProgramLine{W0(FunctionThen, 0), 0x010A, 1}));
  EXPECT_EQ(Text(300), "    THEN Module #1   -KADO16 Relay #10 Turn ON");

  START_ACTION(312, 2, 1);
  Pick(P()->Module, 8);
  ASSERT_EQ(P()->Item->count(), 128) << "a slave's variables";
  Pick(P()->Item, 127);
  Click(P()->Source, 1);
  EXPECT_TRUE(Store().GetValueIsVariable(312));
  Pick(P()->Variable, 3);
  P()->Enter->click();
  EXPECT_EQ(At(312), (ProgramLine{W0(FunctionElse, 1), 0x897F, 3}));
  EXPECT_EQ(Text(312), "    ELSE Module #9   -Slave Marvik Variable #127 to:  Variable #3");

  START_ACTION(320, 1, 2);
  Pick(P()->Item, 63);
  P()->Enter->click();
  EXPECT_EQ(At(320), (ProgramLine{W0(FunctionThen, 2), 63, 0}));
  EXPECT_EQ(Text(320), "    THEN  Load Data to:  Variable# 63 / Screen#");

  START_ACTION(330, 1, 4);
  Pick(P()->Item, 5);
  Replace(P()->Edit, "10");
  P()->Enter->click();
  EXPECT_EQ(At(330), (ProgramLine{W0(FunctionThen, 4, 3), 5, 10}));
  EXPECT_EQ(Text(330), "    THEN Timer #5 = 10");

  START_ACTION(333, 1, 5);
  Pick(P()->Item, 2);
  Click(P()->Compare, 3);
  Click(P()->Source, 1);
  ASSERT_EQ(P()->Variable->count(), 256) << "variables and module data";
  Pick(P()->Variable, 200);
  P()->Enter->click();
  EXPECT_EQ(At(333), (ProgramLine{W0(FunctionThen, 5, 3), 0x8002, 200}));
  EXPECT_EQ(Text(333), "    THEN Variable #2 * Data for Module# 72");

  START_ACTION(340, 1, 6);
  EXPECT_EQ(P()->Edit->text(), "341") << "a new jump shows the next line";
  Replace(P()->Edit, "345");
  P()->Enter->click();
  EXPECT_EQ(At(340), (ProgramLine{W0(FunctionThen, 6), 0, 5}));
  EXPECT_EQ(Text(340), "    THEN Skip to line 345");
  EXPECT_TRUE(Ui().Messages().empty());
}

TEST_F(WizardTest, ComposesIrPagerMurmexAndAsciiActions) {
  START_ACTION(361, 1, 20);
  Pick(P()->Module, 3);
  Pick(P()->Item, 4);
  EXPECT_TRUE(P()->Choice->isEnabled());
  Pick(P()->Choice, 1023);
  P()->Enter->click();
  EXPECT_EQ(At(361), (ProgramLine{W0(FunctionThen, 20), 0x0304, 1023}));
  EXPECT_EQ(Text(361), "    THEN Module #3   -KADO16-IR, IR Zone #4 IR  IR #1023");

  START_ACTION(371, 1, 19);
  Pick(P()->Item, 14);
  P()->Enter->click();
  EXPECT_EQ(At(371), (ProgramLine{W0(FunctionThen, 19), 0x000F, 0}));
  EXPECT_EQ(Text(371), "    THEN Send Pager Message# 15");

  // Transmit Murmex renders from the stored line even while another module is picked.
  START_ACTION(380, 1, 23);
  EXPECT_EQ(At(380).Arg, 0x0100) << "module 0 is shown as module 1";
  Pick(P()->Module, 4);
  EXPECT_EQ(P()->Item->count(), 50);
  EXPECT_EQ(Text(380), "    THEN Send Module #1   -KADO16 ");
  Pick(P()->Item, 7);
  P()->Enter->click();
  EXPECT_EQ(At(380), (ProgramLine{W0(FunctionThen, 23), 0x0507, 0}));
  EXPECT_EQ(Text(380), "    THEN Send Module #5   -MURMEX Audio Message #7");

  START_ACTION(391, 1, 24);
  Pick(P()->Module, 7);
  Pick(P()->Item, 3);
  Click(P()->Source, 1);
  Pick(P()->Variable, 9);
  P()->Enter->click();
  EXPECT_EQ(At(391), (ProgramLine{W0(FunctionThen, 24), 0x8703, 9}));
  EXPECT_EQ(Text(391), "    THEN Send Module #7   -LURCAN-A Message Variable #9 w/ Variable #3");

  // "Send Lurcan Thermostat" has no panel: the kind is stored and the text stays.
  Open(395);
  Pick(form->Function, 1);
  editor->Listing->SetText(395, "before");
  Pick(form->ThenType, 14);
  EXPECT_EQ(Shown(), Panel::None);
  EXPECT_EQ(Text(395), "before");
  EXPECT_EQ(editor->Listing->Reference(395), "05C0-0000-0000");
  EXPECT_TRUE(form->isVisible());
}

TEST_F(WizardTest, ComposesX10Actions) {
  // Transmit Single X10: the repeat field belongs to Dim and Bright.
  START_ACTION(400, 1, 3);
  Click(P()->House, 2);
  Pick(P()->Item, 18);
  EXPECT_TRUE(P()->EditRow->isHidden());
  Pick(P()->Item, 20);
  EXPECT_FALSE(P()->EditRow->isHidden());
  Replace(P()->Edit, "3");
  P()->Enter->click();
  EXPECT_EQ(At(400), (ProgramLine{W0(FunctionThen, 3), 0x2214, 0}));
  EXPECT_EQ(Text(400), "    THEN Transmit X10,  C - Dim  (21), 3 time(s)");

  // RCS thermostat: a setpoint, then a command.
  START_ACTION(401, 1, 13);
  EXPECT_EQ(P()->Edit->text(), "4") << "an empty line holds the lowest setpoint";
  Click(P()->House, 0);
  Pick(P()->Item, 0);
  Replace(P()->Edit, "72");
  P()->Enter->click();
  EXPECT_EQ(At(401), (ProgramLine{W0(FunctionThen, 13), 0x0002, 4}));
  EXPECT_EQ(Text(401), "    THEN   Set RCS X10 A Setpoint 72");
  // The arrows step the setpoint and hold it within 4..99.
  Open(401);
  Replace(P()->Edit, "98");
  P()->Up->click();
  P()->Up->click();
  EXPECT_EQ(P()->Edit->text(), "99");
  P()->Down->click();
  EXPECT_EQ(P()->Edit->text(), "98");
  Replace(P()->Edit, "2");
  P()->Down->click();
  EXPECT_EQ(P()->Edit->text(), "4");
  Click(P()->House, 1);
  Pick(P()->Item, 2);
  P()->Enter->click();
  EXPECT_EQ(At(401), (ProgramLine{W0(FunctionThen, 13), 0x0103, 1}));
  EXPECT_EQ(Text(401), "    THEN   Send RCS X10 B Command:  Heat Mode");

  // Preset dim: PCS levels 0..31, then Leviton 0..63; the level label follows the slider.
  START_ACTION(403, 1, 15);
  EXPECT_EQ(P()->Option->Index(), 0);
  Pick(P()->Item, 18);
  P()->Slider->setValue(15);
  EXPECT_EQ(P()->SliderCaption->text().toStdString(), "Light Level 48 %");
  P()->Enter->click();
  EXPECT_EQ(At(403), (ProgramLine{W0(FunctionThen, 15), 0x0102, 15}));
  EXPECT_EQ(Text(403), "    THEN Set X-10 House B / Unit 3, to:  48 %");
  Open(403);
  Click(P()->Option, 1);
  EXPECT_EQ(P()->Slider->maximum(), 63);
  Pick(P()->Item, 255);
  P()->Slider->setValue(63);
  P()->Enter->click();
  EXPECT_EQ(At(403), (ProgramLine{W0(FunctionThen, 21), 0x0F0F, 63}));
  EXPECT_EQ(Text(403), "    THEN Set X-10 House P / Unit 16, to:  100 %");
  // A variable level hides the label.
  Open(403);
  Click(P()->Source, 1);
  Pick(P()->Variable, 2);
  EXPECT_TRUE(P()->SliderCaption->isHidden());
  P()->Enter->click();
  EXPECT_EQ(At(403), (ProgramLine{W0(FunctionThen, 21), 0x8F0F, 2}));
  EXPECT_EQ(Text(403), "    THEN Set X-10 House P / Unit 16, to:  Variable #2");

  START_ACTION(405, 1, 17);
  Pick(P()->Item, 239);
  Click(P()->Compare, 1);
  P()->Enter->click();
  EXPECT_EQ(At(405), (ProgramLine{W0(FunctionThen, 17), 0x0E0F, 1}));
  EXPECT_EQ(Text(405), "    THEN X-10 House O / Unit 16, Turn ON");

  START_ACTION(406, 1, 22);
  Click(P()->House, 0);
  Pick(P()->Item, 5);
  Click(P()->Compare, 1);
  P()->Enter->click();
  EXPECT_EQ(At(406), (ProgramLine{W0(FunctionThen, 22), 0x0001, 5}));
  EXPECT_EQ(Text(406), "    THEN Send House A-Group# 5,  Group to PRESET");

  // An older quick ON/OFF line becomes kind 17 as soon as it is shown.
  Store().Lines[407] = ProgramLine{W0(FunctionThen, 16, 2), 0x3105, 0};
  Open(407);
  EXPECT_EQ(At(407), (ProgramLine{W0(FunctionThen, 17, 2), 0x0105, 1}));
  EXPECT_EQ(Text(407), "    THEN X-10 House B / Unit 6, Turn ON");
  EXPECT_TRUE(Ui().Messages().empty());
}

TEST_F(WizardTest, SetDisplayedIconNeedsTheTouchScreenModel) {
  START_ACTION(10, 1, 7);
  Pick(P()->Choice, 5);
  P()->Enter->click();
  EXPECT_EQ(At(10), (ProgramLine{W0(FunctionThen, 7), 0, 0})) << "the Marvik has no icons";
  EXPECT_EQ(Text(10), "");

  ASSERT_EQ(SysConfig->Tree.ChangeToTessaro(), project::SystemMapTree::ModelChange::Changed);
  SysConfig->RefreshNames();
  Open(10);
  ASSERT_EQ(P()->Item->count(), 256);
  Pick(P()->Item, 3);
  Pick(P()->Choice, 5);
  P()->Enter->click();
  EXPECT_EQ(At(10), (ProgramLine{W0(FunctionThen, 7), 3, 5}));
  EXPECT_EQ(Text(10), "    THEN Touch Object #3 displays  Icon# Icon #5");
  // The Constant/Variable click is stored at once and the panel shown again.
  Open(10);
  Click(P()->Source, 1);
  EXPECT_TRUE(Store().GetValueIsVariable(10));
  EXPECT_FALSE(P()->Choice->isEnabled());
  Pick(P()->Variable, 7);
  P()->Enter->click();
  EXPECT_EQ(At(10), (ProgramLine{W0(FunctionThen, 7), 0x8003, 7}));
  EXPECT_EQ(Text(10), "    THEN Touch Object #3 displays  Icon# in Variable #7");
}

}  // namespace
}  // namespace wizard_test
