// X10 action kinds: repeat counts, the RCS thermostat groups, preset dim levels, quick ON/OFF and groups.
#include <vector>

#include "line_codec_fixture.h"

namespace program_test {
namespace {

using program::Panel;
using program::WizardView;

struct Golden {
  std::uint16_t Word0, Arg, Value;
  const char* Text;
  ProgramLine After;  // all zero: unchanged
};

TEST_F(LineCodecTest, X10ActionKindsRenderTheirGoldenTexts) {
  const std::uint16_t T = FunctionThen, E = FunctionElse;
  const Golden table[] = {
      // Transmit Single X10: the count shows with Dim and Bright only.
      {W0(T, 3), 0x2214, 0, "    THEN Transmit X10,  C - Dim  (21), 3 time(s)", {}},
      {W0(T, 3), 0xF015, 0, "    THEN Transmit X10,  A - Bright  (22), 16 time(s)", {}},
      {W0(E, 3, 6), 0x0212, 4, "    ELSE Transmit X10,  C - ON  (19)", {}},
      {W0(T, 3), 0x4F00, 0, "    THEN Transmit X10,  P - 1", {}},
      {W0(T, 3), 0x0020, 0, "    THEN Transmit X10,  A - ", {}},
      {W0(T, 3), 0x3528, 0, "    THEN Transmit X10,  A - 1", ProgramLine{W0(T, 3), 0, 0}},
      // RCS thermostat: three blanks before Set/Send.
      {W0(T, 13), 0x0002, 4, "    THEN   Set RCS X10 A Setpoint 72", {}},
      {W0(T, 13), 0x0500, 0, "    THEN   Set RCS X10 F Setpoint 4", {}},
      {W0(T, 13), 0x0001, 0, "    THEN   Set RCS X10 A Setpoint 36", {}},
      {W0(T, 13), 0x0002, 31, "    THEN   Set RCS X10 A Setpoint 99", {}},
      {W0(T, 13), 0x0103, 1, "    THEN   Send RCS X10 B Command:  Heat Mode", {}},
      {W0(T, 13), 0x0103, 31, "    THEN   Send RCS X10 B Command:  DT4", {}},
      {W0(E, 13), 0x0F04, 0, "    ELSE   Send RCS X10 P Command:  Request Temperature", {}},
      {W0(T, 13), 0xF001, 2, "    THEN   Set RCS X10 A Setpoint 38", ProgramLine{W0(T, 13), 0x0001, 2}},
      {W0(T, 13), 0x0103, 40, "    THEN   Send RCS X10 B Command:  ", {}},
      {W0(T, 13), 0x0007, 0, "    THEN ", {}},
      // Preset dim: level * 100 / maximum, a larger level held at the maximum.
      {W0(T, 15), 0x0102, 15, "    THEN Set X-10 House B / Unit 3, to:  48 %", {}},
      {W0(T, 15), 0x0102, 40, "    THEN Set X-10 House B / Unit 3, to:  100 %", {}},
      {W0(T, 21), 0x0F0F, 63, "    THEN Set X-10 House P / Unit 16, to:  100 %", {}},
      {W0(T, 21), 0x0000, 31, "    THEN Set X-10 House A / Unit 1, to:  49 %", {}},
      {W0(E, 21), 0x8102, 2, "    ELSE Set X-10 House B / Unit 3, to:  Variable #2", {}},
      // Quick ON/OFF; kind 16 becomes 17 and switches on.
      {W0(T, 17), 0x0000, 0, "    THEN X-10 House A / Unit 1, Turn OFF", {}},
      {W0(T, 17), 0x0E0F, 1, "    THEN X-10 House O / Unit 16, Turn ON", {}},
      {W0(T, 16, 2), 0x3105, 0, "    THEN X-10 House B / Unit 6, Turn ON", ProgramLine{W0(T, 17, 2), 0x0105, 1}},
      // Leviton groups.
      {W0(T, 22), 0x0001, 5, "    THEN Send House A-Group# 5,  Group to PRESET", {}},
      {W0(E, 22), 0x0F00, 63, "    ELSE Send House P-Group# 63,  Group to OFF", {}},
      {W0(T, 22), 0x1002, 64, "    THEN Send House -,  ", {}},
  };
  int line = 600;
  for (const Golden& g : table) {
    Put(++line, g.Word0, g.Arg, g.Value);
    EXPECT_EQ(Render(line), g.Text) << std::hex << g.Word0 << " " << g.Arg << " " << g.Value;
    const ProgramLine after = g.After.IsEmpty() ? ProgramLine{g.Word0, g.Arg, g.Value} : g.After;
    EXPECT_EQ(At(line), after) << g.Text;
  }
  EXPECT_TRUE(Ui().Messages().empty());
}

TEST_F(LineCodecTest, TransmitX10RepeatCounts) {
  Put(10, W0(FunctionThen, 3), 0, 0);
  WizardView v = codec.ShowProgramLine(10);
  EXPECT_FALSE(v.Panel.EditVisible);
  EXPECT_EQ(v.Panel.EditText, "1");
  v.Panel.House.Index = 2;
  v.Panel.Item.Index = 20;
  program::LineCodec::X10CommandChanged(v.Panel);
  EXPECT_TRUE(v.Panel.EditVisible);
  const struct {
    const char* Repeat;
    std::uint16_t Arg;
    const char* Text;
  } cases[] = {
      {"3", 0x2214, "    THEN Transmit X10,  C - Dim  (21), 3 time(s)"},
      {"16", 0xF214, "    THEN Transmit X10,  C - Dim  (21), 16 time(s)"},
  };
  for (const auto& c : cases) {
    v.Panel.EditText = c.Repeat;
    WizardView shown = codec.Enter(v);
    EXPECT_EQ(At(10), (ProgramLine{W0(FunctionThen, 3), c.Arg, 0})) << c.Repeat;
    EXPECT_EQ(shown.Text, c.Text);
    EXPECT_TRUE(shown.Panel.EditVisible);
  }
  // Any other command sends once, whatever the hidden field holds.
  v.Panel.Item.Index = 18;
  program::LineCodec::X10CommandChanged(v.Panel);
  EXPECT_FALSE(v.Panel.EditVisible);
  v.Panel.EditText = "3";
  WizardView shown = codec.Enter(v);
  EXPECT_EQ(At(10).Arg, 0x0212);
  EXPECT_EQ(shown.Text, "    THEN Transmit X10,  C - ON  (19)");
  EXPECT_EQ(store.ReferenceText(10), "0460-0212-0000");
}

TEST_F(LineCodecTest, RcsSetpointsFallIntoTheirGroups) {
  Put(20, W0(FunctionThen, 13), 0x0002, 4);
  WizardView v = codec.ShowProgramLine(20);
  EXPECT_EQ(v.Panel.EditText, "72");
  EXPECT_EQ(v.Panel.Item.Index, 0);
  v.Panel.House.Index = 0;
  const struct {
    const char* Typed;
    int Group, Value, Shown;
  } setpoints[] = {{"72", 2, 4, 72},  {"4", 0, 0, 4},   {"35", 0, 31, 35}, {"36", 1, 0, 36},
                   {"67", 1, 31, 67}, {"68", 2, 0, 68}, {"99", 2, 31, 99}};
  for (const auto& s : setpoints) {
    v.Panel.EditText = s.Typed;
    WizardView shown = codec.Enter(v);
    EXPECT_EQ(At(20), (ProgramLine{W0(FunctionThen, 13), static_cast<std::uint16_t>(s.Group),
                                   static_cast<std::uint16_t>(s.Value)}))
        << s.Typed;
    EXPECT_EQ(shown.Panel.EditText, std::to_string(s.Shown));
    EXPECT_EQ(shown.Text, "    THEN   Set RCS X10 A Setpoint " + std::to_string(s.Shown));
  }
  v.Panel.House.Index = 7;
  v.Panel.Item.Index = 2;  // Heat Mode
  WizardView shown = codec.Enter(v);
  EXPECT_EQ(At(20), (ProgramLine{W0(FunctionThen, 13), 0x0703, 1}));
  EXPECT_EQ(shown.Text, "    THEN   Send RCS X10 H Command:  Heat Mode");
  EXPECT_EQ(shown.Panel.EditText, "72");
  v.Panel.Item.Index = 33;  // Request Temperature
  shown = codec.Enter(v);
  EXPECT_EQ(At(20), (ProgramLine{W0(FunctionThen, 13), 0x0704, 0}));
  EXPECT_EQ(shown.Text, "    THEN   Send RCS X10 H Command:  Request Temperature");
  EXPECT_EQ(shown.Panel.Item.Index, 33);
}

TEST_F(LineCodecTest, PresetDimLevelsAndSwitchTypes) {
  store.CurrentLine = 30;
  codec.FunctionChange(FunctionThen);
  WizardView v = codec.ThenTypeChange(15);
  EXPECT_EQ(v.Panel.SliderMax, 31);
  EXPECT_EQ(v.Panel.Option.Index, 0);
  v.Panel.Item.Index = 18;  // house B, unit 3
  v.Panel.Source.Index = 0;
  v.Panel.Slider = 15;
  program::LineCodec::LevelChanged(v.Panel);
  EXPECT_EQ(v.Panel.SliderCaption, "Light Level 48 %");
  WizardView shown = codec.Enter(v);
  EXPECT_EQ(At(30), (ProgramLine{W0(FunctionThen, 15), 0x0102, 15}));
  EXPECT_EQ(shown.Text, "    THEN Set X-10 House B / Unit 3, to:  48 %");
  EXPECT_EQ(shown.Panel.Slider, 15);
  EXPECT_EQ(shown.Panel.SliderCaption, "Light Level 48 %");

  // Leviton: kind 21 and levels up to 63, whatever the kind list shows.
  v.Panel.Option.Index = 1;
  program::LineCodec::SwitchTypeChanged(v.Panel);
  EXPECT_EQ(v.Panel.SliderMax, 63);
  v.Panel.Slider = 63;
  shown = codec.Enter(v);
  EXPECT_EQ(At(30), (ProgramLine{W0(FunctionThen, 21), 0x0102, 63}));
  EXPECT_EQ(shown.Text, "    THEN Set X-10 House B / Unit 3, to:  100 %");
  // Back to PCS: the slider is held at 31.
  shown.Panel.Option.Index = 0;
  program::LineCodec::SwitchTypeChanged(shown.Panel);
  EXPECT_EQ(shown.Panel.Slider, 31);
  EXPECT_EQ(shown.Panel.SliderCaption, "Light Level 100 %");

  // A variable level hides the label; going back to Constant shows the stored level.
  v.Panel.Source.Index = 1;
  v.Panel.Variable.Index = 6;
  shown = codec.Enter(v);
  EXPECT_EQ(At(30), (ProgramLine{W0(FunctionThen, 21), 0x8102, 6}));
  EXPECT_FALSE(shown.Panel.SliderCaptionVisible);
  EXPECT_EQ(shown.Text, "    THEN Set X-10 House B / Unit 3, to:  Variable #6");
  codec.SourceChanged(shown, 0);
  EXPECT_EQ(At(30).Arg, 0x8102);  // this group stores nothing
  EXPECT_EQ(shown.Panel.Slider, 6);
  EXPECT_TRUE(shown.Panel.SliderCaptionVisible);
  EXPECT_EQ(shown.Panel.SliderCaption, "Light Level 9 %");
}

TEST_F(LineCodecTest, QuickOnOffAndLevitonGroupEncoders) {
  store.CurrentLine = 40;
  codec.FunctionChange(FunctionElse);
  WizardView v = codec.ThenTypeChange(17);
  v.Panel.Item.Index = 37;
  v.Panel.Compare.Index = 1;
  WizardView shown = codec.Enter(v);
  EXPECT_EQ(At(40), (ProgramLine{W0(FunctionElse, 17), 0x0205, 1}));
  EXPECT_EQ(shown.Text, "    ELSE X-10 House C / Unit 6, Turn ON");

  // An old kind-16 line shown in the wizard is rewritten as 17, without a Reference refresh.
  Put(41, W0(FunctionThen, 16), 0x0105, 0);
  v = codec.ShowProgramLine(41);
  EXPECT_EQ(At(41), (ProgramLine{W0(FunctionThen, 17), 0x0105, 1}));
  EXPECT_EQ(v.ReferenceLine, 0);
  EXPECT_EQ(v.Panel.Item.Index, 21);
  EXPECT_EQ(v.Panel.Compare.Index, 1);

  store.CurrentLine = 42;
  codec.FunctionChange(FunctionThen);
  v = codec.ThenTypeChange(22);
  v.Panel.House.Index = 0;
  v.Panel.Item.Index = 5;
  v.Panel.Compare.Index = 1;
  shown = codec.Enter(v);
  EXPECT_EQ(At(42), (ProgramLine{W0(FunctionThen, 22), 0x0001, 5}));
  EXPECT_EQ(store.ReferenceText(42), "06C0-0001-0005");
  EXPECT_EQ(shown.Text, "    THEN Send House A-Group# 5,  Group to PRESET");
}

}  // namespace
}  // namespace program_test
