// Action kinds other than X10: golden texts per module type, range corrections, Skip To and encoders.
#include <vector>

#include "line_codec_fixture.h"

namespace program_test {
namespace {

using program::Panel;
using program::WizardView;

struct Golden {
  int Line;
  std::uint16_t Word0, Arg, Value;
  const char* Text;
  ProgramLine After;  // the record once shown (corrections); all zero: unchanged
};

void CheckGolden(LineCodecTest& t, ProgramStore& store, program::LineCodec& codec, const Golden& g) {
  store.Lines[g.Line] = ProgramLine{g.Word0, g.Arg, g.Value};
  EXPECT_EQ(codec.RenderLine(g.Line).value_or("<unchanged>"), g.Text)
      << std::hex << g.Word0 << " " << g.Arg << " " << g.Value;
  const ProgramLine after = g.After.IsEmpty() ? ProgramLine{g.Word0, g.Arg, g.Value} : g.After;
  EXPECT_EQ(store.Lines[g.Line], after) << g.Text;
  (void)t;
}

TEST_F(LineCodecTest, ActionKindsRenderTheirGoldenTexts) {
  const std::uint16_t T = FunctionThen, E = FunctionElse;
  const Golden table[] = {
      // Module / Point: KADO16 relays 8..15, Pelko relays 0..7.
      {300, W0(T, 0), 0x010A, 1, "    THEN Module #1   -KADO16 Relay #10 Turn ON", {}},
      {301, W0(T, 0), 0x0103, 0, "    THEN Module #1   -KADO16 Relay #8 Turn OFF", {}},
      {302, W0(E, 0, 7), 0x0405, 3, "    ELSE Module #4   -PELKO Relay #5 Turn ON", {}},
      {303, W0(T, 0), 0x0409, 2, "    THEN Module #4   -PELKO  Turn ON", {}},
      {304, W0(T, 0), 0x0000, 1, "    THEN Module #1   -KADO16 Relay #8 Turn ON", {}},
      {305, W0(T, 0), 0x0600, 1, "    THEN Module #6   -LURCAN-T  Turn ON", {}},
      {306, W0(T, 0), 0x020F, 1, "    THEN Module #2   -KADO16-I  Turn ON", {}},
      // Set Slave Variable: KADO16 and Pelko take the numbers 0..16, slaves their variables.
      {310, W0(T, 1), 0x0110, 5, "    THEN Module #1   -KADO16 16 to:  5", {}},
      {311, W0(T, 1), 0x0411, 5, "    THEN Module #4   -PELKO  to:  5", {}},
      {312, W0(E, 1), 0x897F, 3, "    ELSE Module #9   -Slave Marvik Variable #127 to:  Variable #3", {}},
      {313, W0(T, 1), 0x0A40, 65535, "    THEN Module #10   -Slave Tessaro Variable #64 to:  65535", {}},
      {314, W0(T, 1), 0x0703, 0, "    THEN Module #7   -LURCAN-A  to:  0", {}},
      // Load Data to Variable: the whole Arg is the variable.
      {320, W0(T, 2), 63, 0, "    THEN  Load Data to:  Variable# 63 / Screen#", {}},
      {321, W0(T, 2), 0x0105, 0, "    THEN  Load Data to:  ", {}},
      // Timer and Variable.
      {330, W0(T, 4, 3), 5, 10, "    THEN Timer #5 = 10", {}},
      {331, W0(E, 4, 3), 0x8005, 10, "    ELSE Timer #5 = Variable #10", {}},
      {332, W0(T, 5, 1), 0x0002, 7, "    THEN Variable #2 + 7", {}},
      {333, W0(T, 5, 3), 0x8002, 200, "    THEN Variable #2 * Data for Module# 72", {}},
      {334, W0(T, 5, 9), 0x007F, 2, "    THEN Variable #127 % 2", {}},
      {335, W0(T, 5, 0), 0x8002, 256, "    THEN Variable #2 = ", {}},
      // Skip To: the target is this line plus the distance; 0 becomes 1.
      {340, W0(T, 6), 0, 5, "    THEN Skip to line 345", {}},
      {341, W0(E, 6), 0, 0, "    ELSE Skip to line 342", ProgramLine{W0(E, 6), 0, 1}},
      {4000, W0(T, 6), 0, 96, "    THEN Skip to line 4096", {}},
      {4001, W0(T, 6), 0, 96, "<unchanged>", {}},
      // Set Displayed Icon on the smaller model: empty text.
      {350, W0(T, 7), 3, 5, "", {}},
      // Transmit IR (kinds 12 and 20): zones by the selected entry.
      {360, W0(T, 20), 0x0000, 5, "    THEN Marvik, Zone 0 IR  IR #5", {}},
      {361, W0(T, 20), 0x0304, 1023, "    THEN Module #3   -KADO16-IR, IR Zone #4 IR  IR #1023", {}},
      {362, W0(E, 12), 0x8A00, 2, "    ELSE Module #10   -Slave Tessaro, Zone 0 IR  Variable #2", {}},
      {363, W0(T, 20), 0x0400, 0, "    THEN Module #4   -PELKO,  IR  IR #0", {}},
      {364, W0(T, 20), 0x0001, 1024, "    THEN Marvik,  IR  ", {}},
      {365, W0(T, 12), 0x0910, 7, "    THEN Module #9   -Slave Marvik,  IR  IR #7", {}},
      // Send Page: message 0 becomes 1, the high byte is kept.
      {370, W0(T, 19), 0x0000, 0, "    THEN Send Pager Message# 1", ProgramLine{W0(T, 19), 0x0001, 0}},
      {371, W0(T, 19), 0x120F, 9, "    THEN Send Pager Message# 15", {}},
      {372, W0(T, 19), 0x0010, 0, "    THEN Send Pager ", {}},
      // Transmit Murmex: module 0 becomes module 1, message 0.
      {380, W0(T, 23), 0x0507, 0, "    THEN Send Module #5   -MURMEX Audio Message #7", {}},
      {381, W0(T, 23), 0x0031, 4, "    THEN Send Module #1   -KADO16 ", ProgramLine{W0(T, 23), 0x0100, 4}},
      {382, W0(T, 23), 0x0532, 0, "    THEN Send Module #5   -MURMEX ", {}},
      // Transmit Ascii Message.
      {390, W0(T, 24), 0x0000, 5, "    THEN Send Marvik Message 5 w/ Variable #0", {}},
      {391, W0(T, 24), 0x8703, 9, "    THEN Send Module #7   -LURCAN-A Message Variable #9 w/ Variable #3", {}},
      {392, W0(E, 24), 0x0402, 1, "    ELSE Send Module #4   -PELKO Message 1 w/ ", {}},
      {393, W0(T, 24), 0x0980, 1, "    THEN Send Module #9   -Slave Marvik Message 1 w/ ", {}},
  };
  for (const Golden& g : table) CheckGolden(*this, store, codec, g);
  EXPECT_TRUE(Ui().Messages().empty());
}

TEST_F(TouchLineCodecTest, SetDisplayedIconOnTheTouchScreenModel) {
  const std::uint16_t T = FunctionThen;
  const Golden table[] = {
      {10, W0(T, 7), 3, 5, "    THEN Touch Object #3 displays  Icon# Icon #5", {}},
      {11, W0(T, 7), 0, 0, "    THEN Touch Anywhere Button #0 displays  Icon# No Icon", {}},
      {12, W0(T, 7), 0x8003, 7, "    THEN Touch Object #3 displays  Icon# in Variable #7", {}},
      {13, W0(T, 7), 0x00FF, 200, "    THEN Touch Object #255 displays  Icon# ", {}},
  };
  for (const Golden& g : table) CheckGolden(*this, store, codec, g);
  // The module slots follow the touch-screen groups.
  Put(14, W0(T, 20), 0x0000, 1);
  EXPECT_EQ(Render(14), "    THEN Tessaro, Zone 0 IR  IR #1");
  Put(15, W0(T, 0), 0x010A, 1);
  EXPECT_EQ(Render(15), "    THEN Module #1   -KADO16 Relay #10 Turn ON");
}

TEST_F(LineCodecTest, ActionRangeCorrectionsWarnAndLeaveTheText) {
  const struct {
    std::uint16_t Word0, Arg, Value;
    ProgramLine After;
  } cases[] = {
      {W0(FunctionThen, 0), 0x0114, 1, {W0(FunctionThen, 0), 0x0100, 1}},
      {W0(FunctionThen, 0), 0x0109, 4, {W0(FunctionThen, 0), 0x0109, 0}},
      {W0(FunctionThen, 0), 0x0120, 9, {W0(FunctionThen, 0), 0x0100, 0}},
      {W0(FunctionThen, 1), 0x8980, 3, {W0(FunctionThen, 1), 0x8900, 3}},
      {W0(FunctionElse, 4, 3), 0x0040, 3, {W0(FunctionElse, 4, 3), 0x0000, 3}},
      {W0(FunctionThen, 5, 2), 0x8080, 3, {W0(FunctionThen, 5, 2), 0x8000, 3}},
  };
  int line = 500;
  for (const auto& c : cases) {
    Ui().Clear();
    Put(++line, c.Word0, c.Arg, c.Value);
    WizardView v = codec.ShowProgramLine(line);
    EXPECT_FALSE(v.Text.has_value()) << line;
    EXPECT_TRUE(v.Warned);
    EXPECT_EQ(At(line), c.After) << line;
    EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Warning-Entry out of limits, line# " + std::to_string(line)});
  }
}

TEST_F(LineCodecTest, SetIoPanelFollowsTheModuleType) {
  Put(40, W0(FunctionThen, 0), 0x010A, 1);
  WizardView v = codec.ShowProgramLine(40);
  EXPECT_EQ(v.Panel.Item.Items.size(), 8u);
  EXPECT_EQ(v.Panel.Item.Items.front(), "Relay #8");
  EXPECT_EQ(v.Panel.Item.Index, 2);
  EXPECT_EQ(v.Panel.Compare.Items, (std::vector<std::string>{"Turn OFF", "Turn ON"}));
  for (int slot : {Pelko, Kado16I, Kado16Ir, Murmex, LurcanC, SlaveTessaro, EmptySlot}) {
    v.Panel.Module.Index = slot - 1;
    codec.ModuleChanged(v);
    EXPECT_EQ(v.Panel.Item.Visible, slot == Pelko) << slot;
    EXPECT_EQ(v.Panel.EnterVisible, slot == Pelko) << slot;
    EXPECT_EQ(v.Panel.Item.Items.size(), slot == Pelko ? 8u : 0u) << slot;
  }
  v.Panel.Module.Index = Pelko - 1;
  codec.ModuleChanged(v);
  EXPECT_EQ(v.Panel.Item.Items.front(), "Relay #0");
  EXPECT_EQ(v.Panel.Item.Index, -1);  // point 10 is no Pelko relay
}

TEST_F(LineCodecTest, DependentListsOfSlaveIrMurmexAndAsciiPanels) {
  Put(41, W0(FunctionThen, 1), 0x0103, 0);
  WizardView v = codec.ShowProgramLine(41);
  EXPECT_EQ(v.Panel.Item.Items.size(), 17u);
  EXPECT_EQ(v.Panel.Item.Items[16], "16");
  v.Panel.Module.Index = SlaveMarvik - 1;
  codec.ModuleChanged(v);
  EXPECT_EQ(v.Panel.Item.Items.size(), 128u);
  EXPECT_EQ(v.Panel.Item.Index, 3);
  v.Panel.Module.Index = LurcanA - 1;
  codec.ModuleChanged(v);
  EXPECT_FALSE(v.Panel.Item.Visible || v.Panel.Source.Visible || v.Panel.EditVisible || v.Panel.Variable.Visible);

  Put(42, W0(FunctionThen, 20), 0x0000, 3);
  v = codec.ShowProgramLine(42);
  EXPECT_EQ(v.Panel.Module.Items.size(), 127u);
  EXPECT_EQ(v.Panel.Item.Items, std::vector<std::string>{"Zone 0"});
  EXPECT_EQ(v.Panel.Choice.Items.size(), 1024u);
  EXPECT_EQ(v.Panel.Choice.Index, 3);
  v.Panel.Module.Index = Kado16Ir;
  codec.ModuleChanged(v);
  EXPECT_EQ(v.Panel.Item.Items.size(), 16u);
  EXPECT_EQ(v.Panel.Item.Items[15], "IR Zone #15");
  v.Panel.Module.Index = Kado16;
  codec.ModuleChanged(v);
  EXPECT_FALSE(v.Panel.Item.Visible || v.Panel.Source.Visible || v.Panel.Choice.Visible || v.Panel.Variable.Visible);

  // Murmex renders after a change of the module list too, from the stored record.
  Put(43, W0(FunctionThen, 23), 0x0502, 0);
  v = codec.ShowProgramLine(43);
  EXPECT_EQ(v.Panel.Item.Items.size(), 50u);
  v.Panel.Module.Index = Kado16 - 1;
  codec.ModuleChanged(v);
  EXPECT_FALSE(v.Panel.Item.Visible);
  EXPECT_EQ(v.Text, "    THEN Send Module #5   -MURMEX Audio Message #2");

  Put(44, W0(FunctionThen, 24), 0x0000, 0);
  v = codec.ShowProgramLine(44);
  for (int entry : std::vector<int>{0, LurcanA, SlaveMarvik, SlaveTessaro, Pelko, Murmex, EmptySlot}) {
    v.Panel.Module.Index = entry;
    codec.ModuleChanged(v);
    const bool shown = entry == 0 || entry == LurcanA || entry == SlaveMarvik || entry == SlaveTessaro;
    EXPECT_EQ(v.Panel.Item.Visible, shown) << entry;
    EXPECT_EQ(v.Panel.Item.Items.size(), shown ? 128u : 0u) << entry;
  }
}

WizardView OpenOn(program::LineCodec& codec, ProgramStore& store, int line, int function, int kind) {
  store.CurrentLine = static_cast<std::int16_t>(line);
  codec.FunctionChange(function);
  return codec.ThenTypeChange(kind);
}

TEST_F(LineCodecTest, ActionEncodersStoreThePanelsInputs) {
  // Module / Point: the third KADO16 relay is point 10, a Pelko relay is stored as it is.
  WizardView v = OpenOn(codec, store, 60, FunctionThen, 0);
  v.Panel.Module.Index = Kado16 - 1;
  v.Panel.Item.Index = 2;
  v.Panel.Compare.Index = 1;
  WizardView shown = codec.Enter(v);
  EXPECT_EQ(At(60), (ProgramLine{W0(FunctionThen, 0), 0x010A, 1}));
  EXPECT_EQ(store.ReferenceText(60), "0400-010A-0001");
  EXPECT_EQ(shown.Text, "    THEN Module #1   -KADO16 Relay #10 Turn ON");
  v.Panel.Module.Index = Pelko - 1;
  codec.Enter(v);
  EXPECT_EQ(At(60).Arg, 0x0402);
  v.Panel.Module.Index = LurcanT - 1;  // no relays: Arg stays 0
  v.Panel.Item.Index = -1;
  codec.Enter(v);
  EXPECT_EQ(At(60), (ProgramLine{W0(FunctionThen, 0), 0, 1}));

  // Set Slave Variable.
  v = OpenOn(codec, store, 61, FunctionElse, 1);
  v.Panel.Module.Index = SlaveMarvik - 1;
  v.Panel.Item.Index = 100;
  v.Panel.Source.Index = 0;
  v.Panel.EditText = "42";
  shown = codec.Enter(v);
  EXPECT_EQ(At(61), (ProgramLine{W0(FunctionElse, 1), 0x0964, 42}));
  EXPECT_EQ(shown.Text, "    ELSE Module #9   -Slave Marvik Variable #100 to:  42");

  // Load Data: the whole word.
  v = OpenOn(codec, store, 62, FunctionThen, 2);
  v.Panel.Item.Index = 127;
  codec.Enter(v);
  EXPECT_EQ(At(62), (ProgramLine{W0(FunctionThen, 2), 127, 0}));

  // Timer: Sub is always 3.
  Put(63, W0(FunctionThen, 4, 0), 0, 0);
  v = codec.ShowProgramLine(63);
  v.Panel.Item.Index = 8;
  v.Panel.Source.Index = 1;
  v.Panel.Variable.Index = 4;
  shown = codec.Enter(v);
  EXPECT_EQ(At(63), (ProgramLine{W0(FunctionThen, 4, 3), 0x8008, 4}));
  EXPECT_EQ(shown.Text, "    THEN Timer #8 = Variable #4");

  // Variable: operation and a module-data source.
  v = OpenOn(codec, store, 64, FunctionThen, 5);
  v.Panel.Item.Index = 2;
  v.Panel.Compare.Index = 4;
  v.Panel.Source.Index = 1;
  codec.SourceChanged(v, 1);
  EXPECT_EQ(v.Panel.Variable.Items.size(), 256u);
  v.Panel.Variable.Index = 200;
  shown = codec.Enter(v);
  EXPECT_EQ(At(64), (ProgramLine{W0(FunctionThen, 5, 4), 0x8002, 200}));
  EXPECT_EQ(shown.Text, "    THEN Variable #2 / Data for Module# 72");

  // Transmit IR: the module list position itself; a kind-12 line stays 12.
  v = OpenOn(codec, store, 65, FunctionThen, 20);
  v.Panel.Module.Index = Kado16Ir;
  codec.ModuleChanged(v);
  v.Panel.Item.Index = 4;
  v.Panel.Source.Index = 0;
  v.Panel.Choice.Index = 77;
  shown = codec.Enter(v);
  EXPECT_EQ(At(65), (ProgramLine{W0(FunctionThen, 20), 0x0304, 77}));
  EXPECT_EQ(shown.Text, "    THEN Module #3   -KADO16-IR, IR Zone #4 IR  IR #77");
  Put(66, W0(FunctionElse, 12), 0, 0);
  v = codec.ShowProgramLine(66);
  EXPECT_EQ(v.ThenTypeIndex, 12);
  v.Panel.Module.Index = 0;
  v.Panel.Item.Index = 0;
  v.Panel.Choice.Index = 9;
  codec.Enter(v);
  EXPECT_EQ(At(66), (ProgramLine{W0(FunctionElse, 12), 0, 9}));

  // Send Page keeps the high byte and Value.
  Put(67, W0(FunctionThen, 19), 0x3300, 8);
  v = codec.ShowProgramLine(67);
  v.Panel.Item.Index = 14;
  shown = codec.Enter(v);
  EXPECT_EQ(At(67), (ProgramLine{W0(FunctionThen, 19), 0x330F, 8}));
  EXPECT_EQ(shown.Text, "    THEN Send Pager Message# 15");

  // Murmex.
  Put(68, W0(FunctionThen, 23), 0x0100, 0);
  v = codec.ShowProgramLine(68);
  v.Panel.Module.Index = Murmex - 1;
  v.Panel.Item.Index = 49;
  shown = codec.Enter(v);
  EXPECT_EQ(At(68), (ProgramLine{W0(FunctionThen, 23), 0x0531, 0}));
  EXPECT_EQ(shown.Text, "    THEN Send Module #5   -MURMEX Audio Message #49");

  // Ascii message: constant 5 with the first variable embedded.
  Put(69, W0(FunctionThen, 24), 0x0000, 0);
  v = codec.ShowProgramLine(69);
  v.Panel.Module.Index = 0;
  v.Panel.Item.Index = 0;
  v.Panel.Source.Index = 0;
  v.Panel.EditText = "5";
  shown = codec.Enter(v);
  EXPECT_EQ(At(69), (ProgramLine{W0(FunctionThen, 24), 0x0000, 5}));
  EXPECT_EQ(shown.Text, "    THEN Send Marvik Message 5 w/ Variable #0");
}

TEST_F(LineCodecTest, SkipToTargetsMustLieAheadAndBeforeLine4095) {
  Put(1, W0(FunctionThen, 6), 0, 0);
  WizardView v = codec.ShowProgramLine(1);
  EXPECT_EQ(v.Panel.EditText, "2");
  v.Panel.EditText = "4094";
  WizardView shown = codec.Enter(v);
  EXPECT_EQ(At(1), (ProgramLine{W0(FunctionThen, 6), 0, 4093}));
  EXPECT_EQ(shown.Text, "    THEN Skip to line 4094");
  EXPECT_EQ(store.ReferenceText(1), "04C0-0000-0FFD");

  for (const char* bad : {"1", "0", "4095", "9999", "-3", "x"}) {
    Ui().Clear();
    v.Panel.EditText = bad;
    shown = codec.Enter(v);
    EXPECT_EQ(At(1), (ProgramLine{W0(FunctionThen, 6), 0, 4093})) << bad;  // unchanged, not wiped
    EXPECT_EQ(Ui().Beeps(), 1) << bad;
    EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Invalid Skip Address"}) << bad;
    EXPECT_FALSE(shown.Text.has_value());
  }
  // Insert and delete keep the target (the store's renumbering), and the text follows.
  Put(10, W0(FunctionElse, 6), 0, 3);
  store.InsertLine(12, true);
  EXPECT_EQ(Render(10), "    ELSE Skip to line 14");
}

TEST_F(LineCodecTest, SetIconEncoderDoesNothingOnTheSmallerModel) {
  Put(70, W0(FunctionThen, 7), 0, 0);
  WizardView v = codec.ShowProgramLine(70);
  EXPECT_TRUE(v.Panel.Item.Items.empty());
  EXPECT_EQ(v.Panel.Choice.Items.size(), 200u);
  v.Panel.Item.Index = 3;
  v.Panel.Source.Index = 0;
  v.Panel.Choice.Index = 4;
  WizardView shown = codec.Enter(v);
  EXPECT_EQ(At(70), (ProgramLine{W0(FunctionThen, 7), 0, 0}));
  EXPECT_EQ(shown.ReferenceLine, 0);
  EXPECT_EQ(Ui().Beeps(), 0);
}

TEST_F(TouchLineCodecTest, SetIconEncoderOnTheTouchScreenModel) {
  store.CurrentLine = 71;
  codec.FunctionChange(FunctionThen);
  WizardView v = codec.ThenTypeChange(7);
  ASSERT_EQ(v.Panel.Item.Items.size(), 256u);
  v.Panel.Item.Index = 3;
  v.Panel.Source.Index = 0;
  v.Panel.Choice.Index = 4;
  WizardView shown = codec.Enter(v);
  EXPECT_EQ(At(71), (ProgramLine{W0(FunctionThen, 7), 3, 4}));
  EXPECT_EQ(shown.Text, "    THEN Touch Object #3 displays  Icon# Icon #4");
  // The Constant/Variable click shows the line again in full.
  codec.SourceChanged(shown, 1);
  EXPECT_EQ(At(71).Arg, 0x8003);
  EXPECT_EQ(shown.Text, "    THEN Touch Object #3 displays  Icon# in Variable #4");
}

}  // namespace
}  // namespace program_test
