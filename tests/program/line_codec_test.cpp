// The wizard's common machinery: the fixed lists, the Function dispatch, END, the kind lists and Restore Line.
#include "program/line_codec.h"

#include <string>
#include <vector>

#include "line_codec_fixture.h"

namespace program_test {
namespace {

using program::Panel;

TEST(WizardListsTest, FixedTextsKeepTheirBlanks) {
  EXPECT_EQ(program::FunctionItems().size(), 6u);
  EXPECT_STREQ(program::FunctionItems()[1], "    THEN");
  EXPECT_STREQ(program::FunctionItems()[3], "  AND");
  EXPECT_EQ(program::IfTypeItems().size(), 27u);
  EXPECT_EQ(program::ThenTypeItems().size(), 27u);
  EXPECT_STREQ(program::IfTypeItems()[12], "        --");
  EXPECT_STREQ(program::IfTypeItems()[26], "");
  EXPECT_STREQ(program::ThenTypeItems()[1], "Set Slave Variable  ");
  EXPECT_STREQ(program::ThenTypeItems()[13], "Send  X10 Thermostat (RCS)");
  EXPECT_STREQ(program::ThenTypeItems()[16], "        --");
  EXPECT_EQ(program::X10CodeItems().size(), 32u);
  EXPECT_STREQ(program::X10CodeItems()[15], "16");
  EXPECT_STREQ(program::X10CodeItems()[18], "ON  (19)");
  EXPECT_STREQ(program::X10CodeItems()[31], "Preset Dim 1  (32)");
  EXPECT_STREQ(program::ComparePhrases()[7], "becomes = ");
  EXPECT_STREQ(program::TimeComparePhrases()[3], "becomes =");
  EXPECT_EQ(program::RcsCommandItems().size(), 35u);
  EXPECT_STREQ(program::RcsCommandItems()[33], "Request Temperature");
  EXPECT_EQ(program::GroupItems().size(), 64u);
  EXPECT_STREQ(program::GroupItems()[63], "Group# 63");
  EXPECT_EQ(program::ItemOf(program::MonthItems(), 12), "");
}

TEST_F(LineCodecTest, EndAndStoredFiveRenderEndProgram) {
  Put(4, W0(FunctionThen, 5, 2), 0x1234, 9);
  store.CurrentLine = 4;
  program::WizardView v = codec.FunctionChange(program::FunctionEndIndex);
  EXPECT_EQ(At(4), (ProgramLine{0x7C00, 0, 0}));
  EXPECT_EQ(v.Text, "End Program");
  EXPECT_TRUE(v.ClearComment);
  EXPECT_EQ(v.FunctionIndex, 5);
  EXPECT_EQ(v.IfTypeIndex, -1);
  EXPECT_EQ(v.ThenTypeIndex, -1);
  EXPECT_FALSE(v.IfTypeVisible || v.ThenTypeVisible);
  EXPECT_EQ(v.ReferenceLine, 4);
  EXPECT_TRUE(v.ShowWindow);

  Put(5, W0(5, 3, 1), 7, 7);
  store.CurrentLine = 4;
  v = codec.ShowProgramLine(5);
  EXPECT_EQ(v.Text, "End Program");
  EXPECT_EQ(v.ReferenceLine, 4);  // the editor's current line, as the wizard does
  EXPECT_EQ(At(5), (ProgramLine{W0(5, 3, 1), 7, 7}));
}

TEST_F(LineCodecTest, UnknownFunctionsAndKindsLeaveTheText) {
  for (int function : {6, 17, 30}) {
    Put(2, W0(function, 0), 0x0101, 1);
    program::WizardView v = codec.ShowProgramLine(2);
    EXPECT_FALSE(v.Text.has_value()) << function;
    EXPECT_EQ(v.Panel.Id, Panel::None);
    EXPECT_EQ(v.FunctionIndex, -1);
  }
  for (int kind : {12, 15, 16, 17, 19, 24, 26, 31}) {
    Put(2, W0(FunctionIf, kind), 5, 5);
    EXPECT_FALSE(codec.RenderLine(2).has_value()) << kind;
  }
  for (int kind : {8, 9, 10, 11, 14, 18, 25, 26}) {
    Put(2, W0(FunctionElse, kind), 5, 5);
    EXPECT_FALSE(codec.RenderLine(2).has_value()) << kind;
  }
}

TEST_F(LineCodecTest, PickingAFunctionKeepsKindAndSubAndZeroesTheOperands) {
  Put(3, W0(FunctionIf, 5, 3), 0x8002, 7);
  program::WizardView v = codec.FunctionChange(FunctionAnd);
  EXPECT_EQ(At(3), (ProgramLine{W0(FunctionAnd, 5, 3), 0, 0}));
  EXPECT_EQ(v.Text, "  AND Variable #0 is = 0");
  EXPECT_TRUE(v.IfTypeVisible);
  EXPECT_FALSE(v.ThenTypeVisible);
  EXPECT_EQ(v.IfTypeIndex, 5);
  EXPECT_TRUE(v.ShowWindow);
}

TEST_F(LineCodecTest, PickingANoKindEntryStoresItAndShowsNoPanel) {
  Put(3, W0(FunctionIf, 5, 3), 0x8002, 7);
  program::WizardView v = codec.IfTypeChange(15);
  EXPECT_EQ(At(3), (ProgramLine{W0(FunctionIf, 15, 3), 0, 0}));
  EXPECT_FALSE(v.Text.has_value());
  EXPECT_EQ(v.Panel.Id, Panel::None);
  EXPECT_EQ(v.ReferenceLine, 0);

  Put(3, W0(FunctionThen, 5, 1), 3, 3);
  v = codec.ThenTypeChange(14);  // Send Lurcan Thermostat: no panel, no text
  EXPECT_EQ(At(3), (ProgramLine{W0(FunctionThen, 14, 1), 0, 0}));
  EXPECT_FALSE(v.Text.has_value());
  EXPECT_EQ(v.ReferenceLine, 3);
  EXPECT_EQ(v.ThenTypeIndex, 14);
}

TEST_F(LineCodecTest, AnEmptyLineShowsTheFirstModuleAndRendersNothing) {
  program::WizardView v = codec.ShowProgramLine(9);
  EXPECT_EQ(v.Text, "");
  EXPECT_EQ(v.Panel.Id, Panel::TestIoPoint);
  EXPECT_EQ(v.Panel.Module.Index, 0);
  EXPECT_EQ(v.Panel.Module.Text(), "Module #1   -KADO16");
  EXPECT_EQ(v.Panel.Item.Items.size(), 16u);
  EXPECT_EQ(v.Panel.Item.Index, 0);
  EXPECT_EQ(v.FunctionIndex, 0);
  EXPECT_EQ(v.IfTypeIndex, 0);
}

TEST_F(LineCodecTest, RestoreLineBringsBackTheOpenedLineOnlyWhenModified) {
  Put(6, W0(FunctionThen, 4, 3), 5, 10);
  store.Comments[6] = "porch";
  codec.OpenLine(6);
  EXPECT_TRUE(store.Modified);
  EXPECT_EQ(store.CurrentLine, 6);
  codec.FunctionChange(FunctionElse);
  store.Comments[6] = "changed";
  program::WizardView v = codec.RestoreLine();
  EXPECT_EQ(At(6), (ProgramLine{W0(FunctionThen, 4, 3), 5, 10}));
  EXPECT_EQ(store.Comments[6], "porch");
  EXPECT_TRUE(v.CommentRestored);
  EXPECT_EQ(v.ReferenceLine, 6);
  EXPECT_EQ(v.Text, "    THEN Timer #5 = 10");

  codec.FunctionChange(FunctionElse);
  store.Modified = false;  // saved since
  v = codec.RestoreLine();
  EXPECT_EQ(At(6).Function(), FunctionElse);
  EXPECT_FALSE(v.Text.has_value());
  EXPECT_FALSE(v.CommentRestored);
}

TEST_F(LineCodecTest, RestoreLineWritesTheLineItSavedWhereverTheCurrentLineMoved) {
  Put(6, W0(FunctionThen, 4, 3), 5, 10);
  store.Comments[6] = "porch";
  Put(9, W0(FunctionIf, 5, 1), 2, 3);
  store.Comments[9] = "hall";
  codec.OpenLine(6);
  codec.FunctionChange(FunctionElse);
  store.CurrentLine = 9;  // a search moved on
  program::WizardView v = codec.RestoreLine();
  EXPECT_EQ(At(6), (ProgramLine{W0(FunctionThen, 4, 3), 5, 10}));
  EXPECT_EQ(At(9), (ProgramLine{W0(FunctionIf, 5, 1), 2, 3}));
  EXPECT_EQ(store.Comments[9], "hall");
  EXPECT_EQ(v.ReferenceLine, 6);
  EXPECT_EQ(v.Text, "    THEN Timer #5 = 10");
}

TEST_F(LineCodecTest, LinesOutsideTheStoreAreNeverTouched) {
  EXPECT_FALSE(codec.RenderLine(0).has_value());
  EXPECT_FALSE(codec.RenderLine(4097).has_value());
  EXPECT_FALSE(codec.RenderLine(-3).has_value());
  // With no valid current line the handlers change nothing, slot 0 above all.
  program::WizardView v = codec.ShowProgramLine(1);
  store.CurrentLine = 0;
  codec.FunctionChange(FunctionThen);
  codec.IfTypeChange(5);
  codec.ThenTypeChange(6);
  v.Panel.Item.Index = 1;
  v.Panel.Compare.Index = 1;
  codec.Enter(v);
  codec.SourceChanged(v, 1);
  EXPECT_TRUE(store.Lines[0].IsEmpty());
  EXPECT_EQ(Ui().Beeps(), 0);
}

// A Constant, an RCS setpoint or an X10 repeat count is read as every number typed for the controller: its
// whole text, within what the line holds (a Constant: the 16-bit Value; Lurcan data: stored plus 100 and shown
// back as a signed number). Any other is refused and told, and the line keeps what it held, rather than store
// it clamped or its low bits as another value. A Variable reads no edit.
TEST_F(LineCodecTest, ATypedNumberThatDoesNotFitIsRefusedAndTheLineKeepsWhatItHeld) {
  const std::string fits = "Constant must be a whole number from 0 to 65535";
  const std::string lurcan = "Constant must be a whole number from -100 to 32767";
  const std::string setpoint = "Setpoint must be a whole number from 4 to 99";
  const std::string repeat = "Repeat must be a whole number from 1 to 16";
  const struct {
    int Function, Kind;
    std::uint16_t Arg;
    const char* Typed;
    int Stored;         // the Value entered; -1 refused
    std::string Told;   // "": none
    int Variable = -1;  // the Variable picked instead of the Constant
  } cases[] = {
      {FunctionIf, 4, 0x0009, "70000", -1, fits},  // Timer
      {FunctionIf, 4, 0x0009, "65535", 65535, ""},
      {FunctionOr, 5, 0x0003, "-1", -1, fits},      // Variable
      {FunctionAnd, 1, 0x010C, "65536", -1, fits},  // Module / Param
      {FunctionIf, 3, 0x0600, "-101", -1, lurcan},  // Compare Lurcan Data
      {FunctionIf, 3, 0x0600, "32768", -1, lurcan},
      {FunctionIf, 3, 0x0600, "-100", 0, ""},
      {FunctionIf, 3, 0x0600, "32767", 32867, ""},
      {FunctionIf, 8, 0x0000, "99999", -1, fits},   // Day of Month
      {FunctionIf, 10, 0x0000, "12abc", -1, fits},  // Year
      {FunctionIf, 10, 0x0000, "", -1, fits},
      {FunctionThen, 1, 0x0A02, "70000", -1, fits},     // Set Slave Variable
      {FunctionThen, 4, 0x0009, "70000", -1, fits},     // Timer
      {FunctionElse, 5, 0x0003, " 65535 ", 65535, ""},  // Variable
      {FunctionThen, 24, 0x0000, "70000", -1, fits},    // Transmit Ascii Message
      {FunctionThen, 4, 0x0009, "70000", 7, "", 7},
      {FunctionIf, 5, 0x0003, "70000", 7, "", 7},
      {FunctionThen, 13, 0x0002, "100", -1, setpoint},  // Send X10 Thermostat (RCS), Setpoint
      {FunctionThen, 13, 0x0002, "70000", -1, setpoint},
      {FunctionElse, 13, 0x0002, "3", -1, setpoint},
      {FunctionThen, 3, 0x0214, "17", -1, repeat},  // Transmit Single X10, Dim
      {FunctionThen, 3, 0x0214, "40", -1, repeat},
      {FunctionElse, 3, 0x0215, "0", -1, repeat},  // Bright
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.Function) + "/" + std::to_string(c.Kind) + " " + c.Typed);
    Ui().Clear();
    const ProgramLine held{W0(c.Function, c.Kind), c.Arg, 1234};
    Put(70, held.Word0, held.Arg, held.Value);
    program::WizardView v = codec.ShowProgramLine(70);
    v.Panel.Source.Index = c.Variable < 0 ? 0 : 1;
    v.Panel.Variable.Index = c.Variable;
    v.Panel.EditText = c.Typed;
    const program::WizardView shown = codec.Enter(v);
    EXPECT_EQ(Ui().Messages(), c.Told.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.Told});
    if (c.Stored < 0) {
      EXPECT_EQ(At(70), held);
      EXPECT_EQ(shown.ReferenceLine, 0);
      EXPECT_EQ(shown.Panel.EditText, c.Typed) << "the typing stays to be put right";
    } else {
      EXPECT_EQ(At(70).Value, c.Stored);
      EXPECT_EQ(shown.ReferenceLine, 70);
    }
  }
}

}  // namespace
}  // namespace program_test
