// The Control Wizard window driven as a user drives it: open a line by a double click, pick the Function
// and the kind, fill the panel, Enter; the records and grid texts must be the line codec's golden ones.
#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTabBar>

#include "program/program_files.h"
#include "wizard_test_fixture.h"

namespace wizard_test {
namespace {

using program::Panel;
using testing_support::Replace;

TEST_F(WizardTest, OpensOnTheDoubleClickedLineBesideTheEditor) {
  EXPECT_EQ(form->windowTitle().toStdString(), "Control Wizard");
  EXPECT_TRUE(form->isHidden());
  EXPECT_FALSE(form->isModal());
  EXPECT_EQ(form->pos(), editor->pos() + QPoint(40, 40));
  EXPECT_EQ(&editor->Wizard(), static_cast<gui::WizardLink*>(form.get()));

  editor->setFixedHeight(540);
  Open(7);
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(form->windowTitle().toStdString(), "Control Wizard, Line# 7");
  EXPECT_EQ(form->height(), 540);
  EXPECT_EQ(form->ShownLine(), 7);
  EXPECT_TRUE(Store().Modified);
  // An empty line shows Module / Point on IF with the first module and renders the empty text.
  EXPECT_EQ(form->Function->currentText().toStdString(), "IF");
  EXPECT_TRUE(form->IfType->isVisible());
  EXPECT_FALSE(form->ThenType->isVisible());
  EXPECT_EQ(form->IfType->currentIndex(), 0);
  ASSERT_EQ(Shown(), Panel::TestIoPoint);
  EXPECT_EQ(P()->title().toStdString(), "Test Module I/O Point");
  EXPECT_EQ(P()->Module->count(), 126);
  EXPECT_EQ(P()->Module->currentIndex(), 0);
  EXPECT_EQ(P()->Item->count(), 16);
  EXPECT_EQ(Text(7), "");
  EXPECT_EQ(form->IfType->count(), 27);
  EXPECT_EQ(form->ThenType->count(), 27);
  EXPECT_EQ(form->Function->count(), 6);

  // A click elsewhere in the grid hides it.
  editor->SetCurrentCell(9, 2);
  EXPECT_TRUE(form->isHidden());
}

TEST_F(WizardTest, ComposesModuleDataX10IrAndTouchConditions) {
  // Module / Point.
  Open(101);
  Pick(P()->Item, 9);
  Click(P()->Compare, 3);
  P()->Enter->click();
  EXPECT_EQ(At(101), (ProgramLine{W0(FunctionIf, 0), 0x0109, 3}));
  EXPECT_EQ(Text(101), "IF Module #1   -KADO16 Relay #9 Turns ON");
  EXPECT_EQ(editor->Listing->Reference(101), "0000-0109-0003");
  EXPECT_TRUE(form->isHidden()) << "an entry closes the window";

  // Module / Param on AND, with a variable: the flag is written the moment the group is clicked.
  Open(102);
  Pick(form->Function, 3);
  Pick(form->IfType, 1);
  ASSERT_EQ(Shown(), Panel::TestModParam);
  Pick(P()->Module, 1);
  ASSERT_EQ(P()->Item->count(), 16) << "the KADO16-I's analog inputs";
  Pick(P()->Item, 15);
  Click(P()->Compare, 7);
  Click(P()->Source, 1);
  EXPECT_TRUE(Store().GetValueIsVariable(102));
  EXPECT_TRUE(P()->Variable->isEnabled());
  EXPECT_FALSE(P()->Edit->isEnabled());
  Pick(P()->Variable, 4);
  P()->Enter->click();
  EXPECT_EQ(At(102), (ProgramLine{W0(FunctionAnd, 1, 7), 0x8219, 4}));
  EXPECT_EQ(Text(102), "  AND Module #2   -KADO16-I Analog #15 becomes =  Variable #4");

  // Receive Single X10.
  Open(103);
  Pick(form->IfType, 2);
  Click(P()->House, 3);
  Pick(P()->Item, 18);
  P()->Enter->click();
  EXPECT_EQ(At(103), (ProgramLine{W0(FunctionIf, 2), 0x0312, 0}));
  EXPECT_EQ(Text(103), "IF Receive X10,  D - ON  (19)");

  // Compare Lurcan Data: the controls follow the chosen module.
  Open(104);
  Pick(form->IfType, 3);
  Pick(P()->Module, 0);
  EXPECT_TRUE(P()->Compare->isHidden()) << "a KADO16 has no Lurcan data";
  Pick(P()->Module, 5);
  EXPECT_FALSE(P()->Compare->isHidden());
  Click(P()->Compare, 0);
  Replace(P()->Edit, "-5");
  P()->Enter->click();
  EXPECT_EQ(At(104), (ProgramLine{W0(FunctionIf, 3), 0x0600, 95}));
  EXPECT_EQ(Text(104), "IF Module #6   -LURCAN-T is > -5");

  // Timer and Variable.
  Open(105);
  Pick(form->IfType, 4);
  Pick(P()->Item, 63);
  Click(P()->Compare, 4);
  Replace(P()->Edit, "30");
  P()->Enter->click();
  EXPECT_EQ(At(105), (ProgramLine{W0(FunctionIf, 4, 4), 0x003F, 30}));
  EXPECT_EQ(Text(105), "IF Timer #63 becomes > 30");

  Open(106);
  Pick(form->IfType, 5);
  ASSERT_EQ(P()->Item->count(), 256);
  Pick(P()->Item, 131);
  Click(P()->Compare, 2);
  Replace(P()->Edit, "0");
  P()->Enter->click();
  EXPECT_EQ(At(106), (ProgramLine{W0(FunctionIf, 5, 2), 0x0083, 0}));
  EXPECT_EQ(Text(106), "IF Data for Module# 3 is NOT = 0");

  // Receive IR and the X10 status pair.
  Open(107);
  Pick(form->Function, 4);
  Pick(form->IfType, 13);
  Pick(P()->Module, 3);
  Pick(P()->Item, 1023);
  P()->Enter->click();
  EXPECT_EQ(At(107), (ProgramLine{W0(FunctionOr, 13), 0x0003, 1023}));
  EXPECT_EQ(Text(107), "  OR  Receive IR IR #1023, from  Module #3   -KADO16-IR");

  Open(108);
  Pick(form->IfType, 14);
  Pick(P()->Item, 37);
  Click(P()->Compare, 4);
  P()->Enter->click();
  EXPECT_EQ(At(108), (ProgramLine{W0(FunctionIf, 14), 0x0205, 4}));
  EXPECT_EQ(Text(108), "IF X-10 House C / Unit 6,  ON Command Pair");

  // I/O Error Occurs is entered by picking it, and the window stays shown.
  Open(109);
  Pick(form->IfType, 18);
  EXPECT_EQ(At(109), (ProgramLine{W0(FunctionIf, 18), 0, 0}));
  EXPECT_EQ(Text(109), "IF  I/O Error Occurs");
  EXPECT_EQ(Shown(), Panel::None);
  EXPECT_TRUE(form->isVisible());

  // Touch Button Pressed: stored only for a touch-screen controller.
  Open(110);
  Pick(form->IfType, 25);
  const ProgramLine before = At(110);
  Pick(P()->Module, 0);
  Pick(P()->Item, 511);
  P()->Enter->click();
  EXPECT_EQ(At(110), before) << "the Marvik has no touch buttons";
  Open(110);
  Pick(P()->Module, 10);
  Pick(P()->Item, 5);
  P()->Enter->click();
  EXPECT_EQ(At(110), (ProgramLine{W0(FunctionIf, 25), 0x000A, 5}));
  EXPECT_EQ(Text(110), "IF  Module #10   -Slave Tessaro, Button  5 is pressed");
  EXPECT_TRUE(Ui().Messages().empty());
}

TEST_F(WizardTest, ComposesTimeAndDateConditions) {
  // A fixed time on the "Time of Day" tab.
  Open(201);
  Pick(form->Function, 3);
  Pick(form->IfType, 6);
  ASSERT_EQ(Shown(), Panel::TimeOfDay);
  EXPECT_EQ(P()->Tab->currentIndex(), 1);
  Click(P()->Compare, 3);
  Replace(P()->Edit, "2359");
  P()->Enter->click();
  EXPECT_EQ(At(201), (ProgramLine{W0(FunctionAnd, 6, 3), 2359, 0}));
  EXPECT_EQ(Text(201), "  AND Time of Day becomes = 23:59");

  // An invalid time is refused with the message and the line stays as it was.
  Open(201);
  Replace(P()->Edit, "2360");
  P()->Enter->click();
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Invalid Time Entry, Must be between 0000 and 2359"});
  EXPECT_EQ(At(201), (ProgramLine{W0(FunctionAnd, 6, 3), 2359, 0}));
  EXPECT_EQ(Text(201), "  AND Time of Day becomes = 23:59");
  Ui().Clear();

  // A time held in a variable: the Destination click changes only the panel.
  Open(208);
  Pick(form->IfType, 6);
  Click(P()->Source, 1);
  EXPECT_EQ(P()->Variable->count(), 128);
  EXPECT_EQ(P()->Edit->text(), "");
  EXPECT_FALSE(Store().GetValueIsVariable(208)) << "this group stores nothing by itself";
  Pick(P()->Variable, 63);
  Click(P()->Compare, 2);
  P()->Enter->click();
  EXPECT_EQ(At(208), (ProgramLine{W0(FunctionIf, 6, 2), 0x2000, 63}));
  EXPECT_EQ(Text(208), "IF Time of Day is NOT = Variable# 63 / Screen#");

  // Sunset on the other tab: an empty line starts at Sunrise, offset 0.
  Open(202);
  Pick(form->IfType, 6);
  P()->Tab->setCurrentIndex(0);
  EXPECT_EQ(P()->Option->Index(), 0);
  EXPECT_EQ(P()->Slider->value(), 120);
  Click(P()->Option, 1);
  P()->Slider->setValue(240);
  EXPECT_EQ(P()->Option->title().toStdString(), "120 minutes");
  Click(P()->Compare, 3);
  ASSERT_TRUE(P()->Enter2->isVisible());
  EXPECT_FALSE(P()->Enter->isVisible()) << "each tab has its own Enter button";
  P()->Enter2->click();
  EXPECT_EQ(At(202), (ProgramLine{W0(FunctionIf, 6, 3), 0x80F0, 0}));
  EXPECT_EQ(Text(202), "IF Time of Day becomes = Sunset offset 120 minutes");

  // Month, Day of Month (a variable), Day of Week (its Compare group stores at once), Year, Date.
  Open(203);
  Pick(form->IfType, 7);
  Click(P()->Compare, 3);
  Pick(P()->Item, 11);
  P()->Enter->click();
  EXPECT_EQ(At(203), (ProgramLine{W0(FunctionIf, 7, 3), 0, 12}));
  EXPECT_EQ(Text(203), "IF  Month is = December (12)");

  Open(204);
  Pick(form->Function, 3);
  Pick(form->IfType, 8);
  Click(P()->Source, 1);
  EXPECT_TRUE(Store().GetValueIsVariable(204));
  Pick(P()->Variable, 127);
  Click(P()->Compare, 1);
  P()->Enter->click();
  EXPECT_EQ(At(204), (ProgramLine{W0(FunctionAnd, 8, 1), 0x8000, 127}));
  EXPECT_EQ(Text(204), "  AND  Day of Month is < Variable #127");

  Open(205);
  Pick(form->IfType, 9);
  Click(P()->Compare, 1);
  EXPECT_EQ(Store().GetLineSub(205), 1);
  Pick(P()->Item, 6);
  P()->Enter->click();
  EXPECT_EQ(At(205), (ProgramLine{W0(FunctionIf, 9, 1), 0, 6}));
  EXPECT_EQ(Text(205), "IF  Day of Week is < Saturday (6)");

  Open(206);
  Pick(form->Function, 4);
  Pick(form->IfType, 10);
  Click(P()->Compare, 3);
  Replace(P()->Edit, "2024");
  P()->Enter->click();
  EXPECT_EQ(At(206), (ProgramLine{W0(FunctionOr, 10, 3), 0, 2024}));
  EXPECT_EQ(Text(206), "  OR  Year is = 2024");

  Open(207);
  Pick(form->IfType, 11);
  Click(P()->Compare, 3);
  P()->Date->setDate(QDate(2000, 3, 1));
  P()->Enter->click();
  EXPECT_EQ(At(207), (ProgramLine{W0(FunctionIf, 11, 3), 0, 426}));
  EXPECT_EQ(Text(207), "IF  Date is = 03/01/00");
  Open(207);
  EXPECT_EQ(P()->Date->date(), QDate(2000, 3, 1));
  EXPECT_TRUE(Ui().Messages().empty());
}

TEST_F(WizardTest, PanelsFollowTheModuleTypeOfTheChosenSlot) {
  Open(20);
  ASSERT_EQ(Shown(), Panel::TestIoPoint);
  Pick(P()->Module, 3);  // PELKO
  EXPECT_EQ(P()->Item->count(), 8);
  EXPECT_FALSE(P()->Enter->isHidden());
  Pick(P()->Module, 5);  // LURCAN-T: no points, so no entry
  EXPECT_TRUE(P()->Item->isHidden());
  EXPECT_TRUE(P()->Item->Label->isHidden());
  EXPECT_TRUE(P()->Compare->isHidden());
  EXPECT_TRUE(P()->Enter->isHidden());
  Pick(P()->Module, 7);  // LURCAN-C: one input
  EXPECT_EQ(P()->Item->count(), 1);
  EXPECT_FALSE(P()->Enter->isHidden());
  EXPECT_TRUE(At(20).IsEmpty()) << "changing the module stores nothing";

  // Transmit IR: a KADO16-IR has sixteen zones, the controller and the slaves "Zone 0", others none.
  Pick(form->Function, 1);
  Pick(form->ThenType, 20);
  ASSERT_EQ(Shown(), Panel::SendIr);
  EXPECT_EQ(P()->Item->count(), 1);
  EXPECT_EQ(P()->Item->itemText(0).toStdString(), "Zone 0");
  Pick(P()->Module, 3);
  EXPECT_EQ(P()->Item->count(), 16);
  Pick(P()->Module, 4);
  EXPECT_TRUE(P()->Item->isHidden());
  EXPECT_TRUE(P()->Source->isHidden());

  // The Function list switches between the condition and the action lists.
  Pick(form->Function, 0);
  EXPECT_TRUE(form->IfType->isVisible());
  EXPECT_FALSE(form->ThenType->isVisible());
  // A "--" kind shows no panel and leaves the text as it was.
  editor->Listing->SetText(20, "old text");
  Pick(form->IfType, 12);
  EXPECT_EQ(Shown(), Panel::None);
  EXPECT_EQ(At(20), (ProgramLine{W0(FunctionIf, 12), 0, 0}));
  EXPECT_EQ(Text(20), "old text");
}

TEST_F(WizardTest, ReRenderingShowsTheWizardOnTheLineItNames) {
  Store().Lines[14] = ProgramLine{W0(FunctionOr, 10, 3), 0, 2024};
  // Clear Line, on another line than the one the wizard was opened on.
  Open(12);
  editor->SetCurrentCell(15, 0);
  editor->BitBtn7->click();
  EXPECT_TRUE(form->isVisible()) << "a re-render shows the wizard again";
  EXPECT_EQ(form->windowTitle().toStdString(), "Control Wizard, Line# 15");
  EXPECT_EQ(Shown(), Panel::TestIoPoint) << "an empty line, as a double click shows it";

  // Open, with a wizard never opened on a line.
  ASSERT_EQ(SavePGMFile(Store(), dir.File("loaded.pgm")), "");
  form = std::make_unique<TWizard>(editor.get());
  Wizard = form.get();
  editor->SetCurrentCell(14, 0);
  Ui().QueueAnswer(platform::MsgResult::Ok);
  Ui().QueueOpenFile(dir.File("loaded.pgm"));
  editor->OpenProgram1->trigger();
  EXPECT_EQ(form->windowTitle().toStdString(), "Control Wizard, Line# 14");
  ASSERT_EQ(Shown(), Panel::Year);
  EXPECT_EQ(P()->Edit->text(), "2024");
  EXPECT_TRUE(testing_support::Shoot(editor.get(), "/tmp/editor_after_open.png"));
  EXPECT_TRUE(testing_support::Shoot(form.get(), "/tmp/wizard_after_open.png"));

  // Shown by number, a line renders into its own row and is named.
  Store().Lines[13] = ProgramLine{W0(FunctionOr, 10, 3), 0, 1999};
  form->ShowProgramLine(13);
  EXPECT_EQ(form->windowTitle().toStdString(), "Control Wizard, Line# 13");
  EXPECT_EQ(Text(13), "  OR  Year is = 1999");
}

TEST_F(WizardTest, EndAndTheRangeWarning) {
  Store().Comments[30] = "stop here";
  editor->Listing->SetComment(30, "stop here");
  Store().Lines[30] = ProgramLine{W0(FunctionThen, 5, 2), 7, 9};
  Open(30);
  Pick(form->Function, 5);
  EXPECT_EQ(At(30), ProgramLine::End());
  EXPECT_EQ(Text(30), "End Program");
  EXPECT_EQ(CommentCell(30), "");
  EXPECT_EQ(editor->Listing->Reference(30), "7C00-0000-0000");
  EXPECT_FALSE(form->IfType->isVisible());
  EXPECT_FALSE(form->ThenType->isVisible());
  EXPECT_TRUE(form->isVisible());

  // A Module / Point line with point 20 is corrected, warned about once, and keeps its grid text.
  Store().Lines[31] = ProgramLine{W0(FunctionIf, 0, 2), 0x0114, 1};
  editor->Listing->SetText(31, "as it was");
  Open(31);
  EXPECT_EQ(At(31), (ProgramLine{W0(FunctionIf, 0, 2), 0x0100, 1}));
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Warning-Entry out of limits, line# 31"});
  EXPECT_EQ(Text(31), "as it was");
  EXPECT_EQ(Shown(), Panel::TestIoPoint);
}

TEST_F(WizardTest, RefusedEntriesLeaveTheLineAndSayWhy) {
  // Skip To a line that is not ahead.
  Store().Lines[40] = ProgramLine{W0(FunctionThen, 6), 0, 3};
  editor->UpdateListing();
  Open(40);
  ASSERT_EQ(Shown(), Panel::ProgramJump);
  EXPECT_EQ(P()->Edit->text(), "43");
  Replace(P()->Edit, "40");
  P()->Enter->click();
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Invalid Skip Address"});
  EXPECT_EQ(Ui().Beeps(), 1);
  EXPECT_EQ(At(40), (ProgramLine{W0(FunctionThen, 6), 0, 3}));
  EXPECT_EQ(Text(40), "    THEN Skip to line 43");

  // Nothing selected: a beep, and the line is kept.
  Ui().Clear();
  Open(41);
  Pick(form->Function, 1);
  Pick(form->ThenType, 2);
  P()->Item->setCurrentIndex(-1);
  P()->Enter->click();
  EXPECT_EQ(Ui().Beeps(), 1);
  EXPECT_EQ(At(41), (ProgramLine{W0(FunctionThen, 2), 0, 0}));
}

TEST_F(WizardTest, RestoreLineWritesTheSavedLineEvenAfterASearchMovedTheCurrentLine) {
  Store().Lines[50] = ProgramLine{W0(FunctionIf, 4, 4), 0x003F, 30};
  Store().Comments[50] = "timer check";
  Store().Lines[60] = ProgramLine{W0(FunctionThen, 4, 3), 5, 10};
  editor->UpdateListing();
  Open(50);
  Pick(form->Function, 4);
  Replace(P()->Edit, "45");
  P()->Enter->click();
  Store().Comments[50] = "changed";
  EXPECT_EQ(At(50), (ProgramLine{W0(FunctionOr, 4, 4), 0, 45})) << "a new Function zeroes the operands";

  // The search moves the editor's current line to 60 while the wizard still holds line 50.
  editor->Edit14->setText("Timer #5 =");
  editor->SearchButtonClick();
  ASSERT_EQ(Store().CurrentLine, 60);
  form->BitBtn2->click();
  EXPECT_EQ(At(50), (ProgramLine{W0(FunctionIf, 4, 4), 0x003F, 30}));
  EXPECT_EQ(Store().Comments[50], "timer check");
  EXPECT_EQ(Text(50), "IF Timer #63 becomes > 30");
  EXPECT_EQ(CommentCell(50), "timer check");
  EXPECT_EQ(editor->Listing->Reference(50), "0084-003F-001E");
  EXPECT_EQ(At(60), (ProgramLine{W0(FunctionThen, 4, 3), 5, 10})) << "the searched line is untouched";
  EXPECT_EQ(Store().CurrentLine, 60) << "the editor keeps its search position";

  // Enter, too, writes the line the wizard shows.
  Open(50);
  Store().CurrentLine = 60;
  Replace(P()->Edit, "12");
  P()->Enter->click();
  EXPECT_EQ(At(50).Value, 12);
  EXPECT_EQ(At(60), (ProgramLine{W0(FunctionThen, 4, 3), 5, 10}));

  // Right after the program was saved (Modified clear) the button does nothing.
  Store().Modified = false;
  form->BitBtn2->click();
  EXPECT_EQ(At(50).Value, 12);
}

}  // namespace
}  // namespace wizard_test
