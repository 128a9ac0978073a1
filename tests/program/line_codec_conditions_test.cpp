// Condition kinds on modules, data, X10, IR and touch buttons: golden texts, corrections and encoders.
#include <vector>

#include "line_codec_fixture.h"

namespace program_test {
namespace {

using program::Panel;
using program::WizardView;

struct Golden {
  std::uint16_t Word0, Arg, Value;
  const char* Text;
};

TEST_F(LineCodecTest, ConditionKindsRenderTheirGoldenTexts) {
  const Golden table[] = {
      // Module / Point, per module type; module 0 shows the first module.
      {W0(FunctionIf, 0), 0x0109, 3, "IF Module #1   -KADO16 Relay #9 Turns ON"},
      {W0(FunctionAnd, 0), 0x0002, 1, "  AND Module #1   -KADO16 Input #2 Is ON"},
      {W0(FunctionOr, 0, 5), 0x0407, 0, "  OR Module #4   -PELKO Relay #7 Is OFF"},
      {W0(FunctionIf, 0), 0x0408, 2, "IF Module #4   -PELKO  Turns OFF"},
      {W0(FunctionIf, 0), 0x020F, 0, "IF Module #2   -KADO16-I Input #15 Is OFF"},
      {W0(FunctionIf, 0), 0x0800, 2, "IF Module #8   -LURCAN-C Input #0 Turns OFF"},
      {W0(FunctionIf, 0), 0x0600, 1, "IF Module #6   -LURCAN-T  Is ON"},
      {W0(FunctionIf, 0), 0x0D00, 1, "IF Module #13  Is ON"},
      {W0(FunctionIf, 0), 0x7F00, 0, "IF   Is OFF"},
      // Module / Param: KADO16 analog inputs stored + 10, slave variables as they are.
      {W0(FunctionIf, 1, 0), 0x010C, 500, "IF Module #1   -KADO16 Analog #2 is > 500"},
      {W0(FunctionIf, 1, 7), 0x8219, 4, "IF Module #2   -KADO16-I Analog #15 becomes =  Variable #4"},
      {W0(FunctionOr, 1, 3), 0x0A02, 65535, "  OR Module #10   -Slave Tessaro Variable #2 is = 65535"},
      {W0(FunctionIf, 1, 5), 0x0933, 8, "IF Module #9   -Slave Marvik Variable #51 becomes < 8"},
      {W0(FunctionIf, 1, 5), 0x0934, 8, "IF Module #9   -Slave Marvik  becomes < 8"},
      {W0(FunctionIf, 1, 1), 0x0105, 0, "IF Module #1   -KADO16  is < 0"},
      {W0(FunctionIf, 1, 2), 0x0400, 7, "IF Module #4   -PELKO  is NOT = 7"},
      {W0(FunctionIf, 1, 9), 0x0110, 1, "IF Module #1   -KADO16 Analog #6 becomes =  1"},
      // Receive Single X10.
      {W0(FunctionIf, 2), 0x0312, 0, "IF Receive X10,  D - ON  (19)"},
      {W0(FunctionAnd, 2, 4), 0x5F1F, 9, "  AND Receive X10,  P - Preset Dim 1  (32)"},
      {W0(FunctionIf, 2), 0x0120, 0, "IF Receive X10,  B - "},
      // Compare Lurcan Data: the constant is stored plus 100.
      {W0(FunctionIf, 3, 0), 0x0600, 95, "IF Module #6   -LURCAN-T is > -5"},
      {W0(FunctionIf, 3, 4), 0x8B00, 127, "IF Module #11   -LURCAN-H becomes > Variable #127"},
      {W0(FunctionIf, 3, 3), 0x0C00, 0, "IF Module #12   -LURCAN-L is = -100"},
      {W0(FunctionIf, 3, 3), 0x0100, 65535, "IF Module #1   -KADO16 is = -101"},
      // Timer and Variable.
      {W0(FunctionIf, 4, 4), 0x003F, 30, "IF Timer #63 becomes > 30"},
      {W0(FunctionOr, 4, 6), 0x8000, 64, "  OR Timer #0 becomes NOT = Variable# 64 / RCS Temp A"},
      {W0(FunctionIf, 5, 2), 0x0083, 0, "IF Data for Module# 3 is NOT = 0"},
      {W0(FunctionIf, 5, 2), 0x00FF, 1, "IF Data for Module# 127 is NOT = 1"},
      {W0(FunctionIf, 5, 2), 0x8005, 128, "IF Variable #5 is NOT = "},
      // Receive IR: the controller is entry 0.
      {W0(FunctionIf, 13), 0x0000, 5, "IF  Receive IR IR #5, from  Marvik"},
      {W0(FunctionOr, 13), 0x0003, 1023, "  OR  Receive IR IR #1023, from  Module #3   -KADO16-IR"},
      {W0(FunctionIf, 13), 0x007F, 1024, "IF  Receive IR , from  "},
      // X10 Status/Cmnd Pair.
      {W0(FunctionIf, 14), 0x0205, 4, "IF X-10 House C / Unit 6,  ON Command Pair"},
      {W0(FunctionIf, 14), 0x0F0F, 9, "IF X-10 House P / Unit 16,  OFF Command Pair"},
      {W0(FunctionIf, 14), 0x1000, 0, "IF ,  Is OFF"},
      // Touch Button Pressed on the smaller model: buttons are numbers.
      {W0(FunctionIf, 25), 0x0000, 511, "IF  Marvik, Button  511 is pressed"},
      {W0(FunctionAnd, 25), 0x000A, 512, "  AND  Module #10   -Slave Tessaro, Button   is pressed"},
  };
  int line = 100;
  for (const Golden& g : table) {
    Put(++line, g.Word0, g.Arg, g.Value);
    EXPECT_EQ(Render(line), g.Text) << std::hex << g.Word0 << " " << g.Arg << " " << g.Value;
    EXPECT_EQ(At(line), (ProgramLine{g.Word0, g.Arg, g.Value})) << g.Text;  // nothing corrected
  }
  EXPECT_TRUE(Ui().Messages().empty());
}

TEST_F(LineCodecTest, ReceiveX10WithACodeAbove32IsResetOnDisplay) {
  Put(7, W0(FunctionIf, 2, 3), 0x4321, 6);
  EXPECT_EQ(Render(7), "IF Receive X10,  A - 1");
  EXPECT_EQ(At(7), (ProgramLine{W0(FunctionIf, 2, 3), 0, 6}));
  EXPECT_TRUE(Ui().Messages().empty());
}

TEST_F(LineCodecTest, IoErrorIsEnteredByBeingShown) {
  Put(8, W0(FunctionOr, 18, 4), 0x1234, 9);
  WizardView v = codec.ShowProgramLine(8);
  EXPECT_EQ(v.Text, "  OR  I/O Error Occurs");
  EXPECT_EQ(At(8), (ProgramLine{W0(FunctionOr, 18, 4), 0, 0}));
  EXPECT_EQ(v.Panel.Id, Panel::None);
  EXPECT_EQ(v.ReferenceLine, 8);
  EXPECT_TRUE(v.ShowWindow);

  Put(9, W0(FunctionIf, 3), 0x0600, 100);
  v = codec.IfTypeChange(18);
  EXPECT_EQ(At(9), (ProgramLine{W0(FunctionIf, 18), 0, 0}));
  EXPECT_EQ(v.Text, "IF  I/O Error Occurs");
}

TEST_F(LineCodecTest, OutOfRangeFieldsAreCorrectedWithOneWarning) {
  Put(20, W0(FunctionIf, 0, 2), 0x0114, 1);  // point 20
  WizardView v = codec.ShowProgramLine(20);
  EXPECT_EQ(At(20), (ProgramLine{W0(FunctionIf, 0, 2), 0x0100, 1}));
  EXPECT_FALSE(v.Text.has_value());
  EXPECT_TRUE(v.Warned);
  EXPECT_TRUE(v.Panel.Module.Items.empty());  // lists not filled
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Warning-Entry out of limits, line# 20"});

  // Point and status both out of range: both corrected, one message.
  Ui().Clear();
  Put(21, W0(FunctionAnd, 0), 0x8214, 7);
  EXPECT_FALSE(codec.RenderLine(21).has_value());
  EXPECT_EQ(At(21), (ProgramLine{W0(FunctionAnd, 0), 0x8200, 0}));
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Warning-Entry out of limits, line# 21"});
  // Shown again, the corrected line renders.
  EXPECT_EQ(Render(21), "  AND Module #2   -KADO16-I Input #0 Is OFF");

  Ui().Clear();
  Put(22, W0(FunctionIf, 4, 1), 0x8140, 3);  // timer 64
  EXPECT_FALSE(codec.RenderLine(22).has_value());
  EXPECT_EQ(At(22), (ProgramLine{W0(FunctionIf, 4, 1), 0x8100, 3}));
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Warning-Entry out of limits, line# 22"});
}

TEST_F(LineCodecTest, ModulePointListsFollowTheModuleType) {
  Put(30, W0(FunctionIf, 0), 0x0103, 1);
  WizardView v = codec.ShowProgramLine(30);
  ASSERT_EQ(v.Panel.Module.Items.size(), 126u);
  EXPECT_EQ(v.Panel.Module.Index, 0);
  EXPECT_EQ(v.Panel.Item.Items.front(), "Input #0");
  EXPECT_EQ(v.Panel.Item.Items.back(), "Relay #15");
  EXPECT_EQ(v.Panel.Item.Index, 3);
  EXPECT_EQ(v.Panel.Compare.Index, 1);
  const struct {
    int Slot;
    std::size_t Points;
    const char* Last;
  } expected[] = {{Kado16I, 16, "Input #15"}, {Pelko, 8, "Relay #7"}, {LurcanC, 1, "Input #0"},
                  {Kado16Ir, 0, ""},          {Murmex, 0, ""},        {LurcanT, 0, ""},
                  {LurcanA, 0, ""},           {SlaveMarvik, 0, ""},   {SlaveTessaro, 0, ""},
                  {EmptySlot, 0, ""}};
  for (const auto& e : expected) {
    v.Panel.Module.Index = e.Slot - 1;
    codec.ModuleChanged(v);
    EXPECT_EQ(v.Panel.Item.Items.size(), e.Points) << e.Slot;
    EXPECT_EQ(v.Panel.Item.Visible, e.Points > 0) << e.Slot;
    EXPECT_EQ(v.Panel.Compare.Visible, e.Points > 0) << e.Slot;
    EXPECT_EQ(v.Panel.EnterVisible, e.Points > 0) << e.Slot;
    if (e.Points) {
      EXPECT_EQ(v.Panel.Item.Items.back(), e.Last);
    }
    EXPECT_EQ(v.Panel.Item.Index, e.Points > 3 ? 3 : -1) << e.Slot;
  }
  EXPECT_EQ(At(30), (ProgramLine{W0(FunctionIf, 0), 0x0103, 1}));  // nothing stored
}

TEST_F(LineCodecTest, ModuleParameterListsFollowTheModuleType) {
  Put(31, W0(FunctionIf, 1, 3), 0x010C, 40);
  WizardView v = codec.ShowProgramLine(31);
  EXPECT_EQ(v.Panel.Item.Items, (std::vector<std::string>{"Analog #0", "Analog #1", "Analog #2", "Analog #3",
                                                          "Analog #4", "Analog #5", "Analog #6", "Analog #7"}));
  EXPECT_EQ(v.Panel.Item.Index, 2);
  EXPECT_EQ(v.Panel.Compare.Index, 3);
  EXPECT_EQ(v.Panel.Source.Index, 0);
  EXPECT_EQ(v.Panel.EditText, "40");
  EXPECT_FALSE(v.Panel.Variable.Enabled);
  const struct {
    int Slot;
    std::size_t Params;
  } expected[] = {{Kado16I, 16}, {SlaveMarvik, 52}, {SlaveTessaro, 52}, {Pelko, 0}, {LurcanA, 0}, {EmptySlot, 0}};
  for (const auto& e : expected) {
    v.Panel.Module.Index = e.Slot - 1;
    codec.ModuleChanged(v);
    EXPECT_EQ(v.Panel.Item.Items.size(), e.Params) << e.Slot;
    for (bool visible : {v.Panel.Item.Visible, v.Panel.Compare.Visible, v.Panel.Source.Visible, v.Panel.EditVisible,
                         v.Panel.Variable.Visible})
      EXPECT_EQ(visible, e.Params > 0) << e.Slot;
  }
  v.Panel.Module.Index = SlaveTessaro - 1;
  codec.ModuleChanged(v);
  EXPECT_EQ(v.Panel.Item.Items.back(), "Variable #51");
  EXPECT_EQ(v.Panel.Item.Index, 12);  // the slave list is positioned at the low byte itself
}

TEST_F(LineCodecTest, LurcanDataControlsShowOnlyForLurcanModules) {
  Put(32, W0(FunctionIf, 3, 1), 0x0600, 150);
  WizardView v = codec.ShowProgramLine(32);
  EXPECT_TRUE(v.Panel.Compare.Visible);
  EXPECT_EQ(v.Panel.EditText, "50");
  for (int slot : {LurcanT, LurcanH, LurcanA, LurcanL, LurcanC, Kado16, SlaveMarvik, EmptySlot}) {
    v.Panel.Module.Index = slot - 1;
    codec.ModuleChanged(v);
    const bool lurcan = slot == LurcanT || slot == LurcanH || slot == LurcanA || slot == LurcanL || slot == LurcanC;
    EXPECT_EQ(v.Panel.Compare.Visible && v.Panel.Source.Visible && v.Panel.EditVisible && v.Panel.Variable.Visible,
              lurcan)
        << slot;
    EXPECT_EQ(v.Panel.Compare.Visible || v.Panel.Source.Visible || v.Panel.EditVisible, lurcan) << slot;
  }
}

TEST_F(LineCodecTest, ClickingConstantOrVariableStoresTheFlagAtOnce) {
  Put(33, W0(FunctionIf, 5, 0), 0x0007, 12);
  WizardView v = codec.ShowProgramLine(33);
  ASSERT_EQ(v.Panel.Item.Items.size(), 256u);
  EXPECT_EQ(v.Panel.Item.Items[131], "Data for Module# 3");
  codec.SourceChanged(v, 1);
  EXPECT_EQ(At(33), (ProgramLine{W0(FunctionIf, 5, 0), 0x8007, 12}));
  EXPECT_TRUE(v.Panel.Variable.Enabled);
  EXPECT_FALSE(v.Panel.EditEnabled);
  EXPECT_EQ(v.Panel.Variable.Items.size(), 128u);
  EXPECT_EQ(v.Panel.Variable.Index, 12);
  EXPECT_FALSE(v.Text.has_value());  // mode 2 renders nothing
  codec.SourceChanged(v, 0);
  EXPECT_EQ(At(33).Arg, 0x0007);
  EXPECT_TRUE(v.Panel.EditEnabled);
  EXPECT_EQ(v.Panel.EditText, "12");
  EXPECT_TRUE(v.Panel.Variable.Items.empty());
}

// Opens `line` in the wizard and returns what the panel shows.
WizardView OpenOn(program::LineCodec& codec, ProgramStore& store, int line, int function, int kind) {
  store.CurrentLine = static_cast<std::int16_t>(line);
  codec.FunctionChange(function);
  return codec.IfTypeChange(kind);
}

TEST_F(LineCodecTest, ConditionEncodersStoreThePanelsInputs) {
  // Module / Point: module list position + 1, point, status.
  WizardView v = OpenOn(codec, store, 40, FunctionIf, 0);
  v.Panel.Module.Index = Pelko - 1;
  codec.ModuleChanged(v);
  v.Panel.Item.Index = 6;
  v.Panel.Compare.Index = 3;
  WizardView shown = codec.Enter(v);
  EXPECT_EQ(At(40), (ProgramLine{W0(FunctionIf, 0), 0x0406, 3}));
  EXPECT_EQ(store.ReferenceText(40), "0000-0406-0003");
  EXPECT_EQ(shown.Text, "IF Module #4   -PELKO Relay #6 Turns ON");
  EXPECT_EQ(shown.ReferenceLine, 40);

  // Module / Param: the third analog input of a KADO16 is 12, the third variable of a slave is 2.
  v = OpenOn(codec, store, 41, FunctionAnd, 1);
  v.Panel.Module.Index = Kado16 - 1;
  codec.ModuleChanged(v);
  v.Panel.Item.Index = 2;
  v.Panel.Compare.Index = 7;
  v.Panel.Source.Index = 0;
  v.Panel.EditText = "321";
  shown = codec.Enter(v);
  EXPECT_EQ(At(41), (ProgramLine{W0(FunctionAnd, 1, 7), 0x010C, 321}));
  EXPECT_EQ(shown.Text, "  AND Module #1   -KADO16 Analog #2 becomes =  321");
  v.Panel.Module.Index = SlaveTessaro - 1;
  codec.ModuleChanged(v);
  v.Panel.Item.Index = 2;
  v.Panel.Source.Index = 1;
  v.Panel.Variable.Index = 70;
  shown = codec.Enter(v);
  EXPECT_EQ(At(41), (ProgramLine{W0(FunctionAnd, 1, 7), 0x8A02, 70}));
  EXPECT_EQ(store.ReferenceText(41), "0C27-8A02-0046");
  EXPECT_EQ(shown.Text, "  AND Module #10   -Slave Tessaro Variable #2 becomes =  Variable# 70 / RCS Temp G");

  // Compare Lurcan Data: constant -5 is stored as 95 and shown as -5.
  v = OpenOn(codec, store, 42, FunctionIf, 3);
  v.Panel.Module.Index = LurcanT - 1;
  v.Panel.Compare.Index = 1;
  v.Panel.Source.Index = 0;
  v.Panel.EditText = "-5";
  shown = codec.Enter(v);
  EXPECT_EQ(At(42), (ProgramLine{W0(FunctionIf, 3, 1), 0x0600, 95}));
  EXPECT_EQ(shown.Text, "IF Module #6   -LURCAN-T is < -5");
  EXPECT_EQ(shown.Panel.EditText, "-5");

  // Timer: only the low byte of Arg.
  v = OpenOn(codec, store, 43, FunctionOr, 4);
  v.Panel.Item.Index = 9;
  v.Panel.Compare.Index = 0;
  v.Panel.Source.Index = 0;
  v.Panel.EditText = "7000";
  codec.Enter(v);
  EXPECT_EQ(At(43), (ProgramLine{W0(FunctionOr, 4, 0), 0x0009, 7000}));

  // Variable: the data of module 3 is entry 131.
  v = OpenOn(codec, store, 44, FunctionIf, 5);
  v.Panel.Item.Index = 131;
  v.Panel.Compare.Index = 6;
  v.Panel.Source.Index = 1;
  v.Panel.Variable.Index = 2;
  shown = codec.Enter(v);
  EXPECT_EQ(At(44), (ProgramLine{W0(FunctionIf, 5, 6), 0x8083, 2}));
  EXPECT_EQ(shown.Text, "IF Data for Module# 3 becomes NOT = Variable #2");

  // Receive IR: the module list position itself.
  v = OpenOn(codec, store, 45, FunctionIf, 13);
  v.Panel.Module.Index = 0;
  v.Panel.Item.Index = 300;
  shown = codec.Enter(v);
  EXPECT_EQ(At(45), (ProgramLine{W0(FunctionIf, 13), 0, 300}));
  EXPECT_EQ(shown.Text, "IF  Receive IR IR #300, from  Marvik");

  // X10 Status/Cmnd Pair: unit list position 37 is house C, unit 6.
  v = OpenOn(codec, store, 46, FunctionIf, 14);
  v.Panel.Item.Index = 37;
  v.Panel.Compare.Index = 5;
  shown = codec.Enter(v);
  EXPECT_EQ(At(46), (ProgramLine{W0(FunctionIf, 14), 0x0205, 5}));
  EXPECT_EQ(shown.Text, "IF X-10 House C / Unit 6,  OFF Command Pair");
}

TEST_F(LineCodecTest, ReceiveSingleX10WritesOnlyItsOperand) {
  Put(50, W0(FunctionAnd, 2, 9), 0x0000, 77);
  WizardView v = codec.ShowProgramLine(50);
  v.Panel.House.Index = 3;
  v.Panel.Item.Index = 18;
  v.FunctionIndex = FunctionIf;  // not taken by this kind
  WizardView shown = codec.Enter(v);
  EXPECT_EQ(At(50), (ProgramLine{W0(FunctionAnd, 2, 9), 0x0312, 77}));
  EXPECT_EQ(shown.Text, "  AND Receive X10,  D - ON  (19)");
}

TEST_F(LineCodecTest, TouchButtonsAreStoredOnlyForTouchScreenControllers) {
  Put(51, W0(FunctionIf, 25), 0x0000, 0);
  WizardView v = codec.ShowProgramLine(51);
  ASSERT_EQ(v.Panel.Item.Items.size(), 512u);
  EXPECT_EQ(v.Panel.Item.Items[511], "511");
  v.Panel.Module.Index = 0;  // the Marvik itself has no touch screen
  v.Panel.Item.Index = 5;
  v.FunctionIndex = FunctionOr;
  WizardView shown = codec.Enter(v);
  EXPECT_EQ(At(51), (ProgramLine{W0(FunctionIf, 25), 0, 0}));
  EXPECT_EQ(shown.ReferenceLine, 51);  // shown again all the same
  EXPECT_EQ(shown.Text, "IF  Marvik, Button  0 is pressed");
  v.Panel.Module.Index = SlaveTessaro;
  shown = codec.Enter(v);
  EXPECT_EQ(At(51), (ProgramLine{W0(FunctionOr, 25), 0x000A, 5}));
  EXPECT_EQ(shown.Text, "  OR  Module #10   -Slave Tessaro, Button  5 is pressed");
}

TEST_F(TouchLineCodecTest, TouchButtonsOfTheTouchScreenModel) {
  Put(52, W0(FunctionIf, 25), 0x0000, 0);
  WizardView v = codec.ShowProgramLine(52);
  ASSERT_EQ(v.Panel.Item.Items.size(), 256u);
  EXPECT_EQ(v.Panel.Module.Items[0], "Tessaro");
  v.Panel.Module.Index = 0;
  v.Panel.Item.Index = 17;
  WizardView shown = codec.Enter(v);
  EXPECT_EQ(At(52), (ProgramLine{W0(FunctionIf, 25), 0, 17}));
  EXPECT_EQ(shown.Text, "IF  Tessaro, Button  Touch Object #17 is pressed");
  Put(53, W0(FunctionIf, 25), 0x0000, 256);
  EXPECT_EQ(Render(53), "IF  Tessaro, Button   is pressed");
}

TEST_F(LineCodecTest, AnEntryWithoutASelectionIsRefusedWithABeep) {
  Put(60, W0(FunctionIf, 0), 0x0103, 1);
  WizardView v = codec.ShowProgramLine(60);
  v.Panel.Item.Index = -1;
  WizardView shown = codec.Enter(v);
  EXPECT_EQ(At(60), (ProgramLine{W0(FunctionIf, 0), 0x0103, 1}));
  EXPECT_EQ(Ui().Beeps(), 1);
  EXPECT_FALSE(shown.Text.has_value());
  EXPECT_EQ(shown.ReferenceLine, 0);

  Put(61, W0(FunctionIf, 1, 2), 0x010C, 5);
  v = codec.ShowProgramLine(61);
  v.Panel.Source.Index = 1;  // Variable, but no variable picked
  v.Panel.Variable.Index = -1;
  codec.Enter(v);
  EXPECT_EQ(At(61), (ProgramLine{W0(FunctionIf, 1, 2), 0x010C, 5}));
  EXPECT_EQ(Ui().Beeps(), 2);

  Put(62, W0(FunctionIf, 14), 0, 0);
  v = codec.ShowProgramLine(62);
  v.Panel.Item.Index = 3;
  v.Panel.Compare.Index = 0;
  v.FunctionIndex = -1;
  codec.Enter(v);
  EXPECT_EQ(At(62), (ProgramLine{W0(FunctionIf, 14), 0, 0}));
  EXPECT_EQ(Ui().Beeps(), 3);
}

}  // namespace
}  // namespace program_test
