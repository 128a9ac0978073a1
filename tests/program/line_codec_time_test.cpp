// Time-of-day and date condition kinds: golden texts, silent corrections and encoders.
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

TEST_F(LineCodecTest, TimeAndDateKindsRenderTheirGoldenTexts) {
  const Golden table[] = {
      {W0(FunctionIf, 6, 0), 1730, 0, "IF Time of Day is > 17:30"},
      {W0(FunctionAnd, 6, 3), 2359, 0, "  AND Time of Day becomes = 23:59"},
      {W0(FunctionIf, 6, 1), 0, 0, "IF Time of Day is < 00:00"},
      {W0(FunctionIf, 6, 2), 0x2000, 63, "IF Time of Day is NOT = Variable# 63 / Screen#"},
      {W0(FunctionIf, 6, 0), 0x4000, 0, "IF Time of Day is > Sunrise offset -120 minutes"},
      {W0(FunctionOr, 6, 1), 0x4078, 0, "  OR Time of Day is < Sunrise offset 0 minutes"},
      {W0(FunctionIf, 6, 3), 0x80F0, 0, "IF Time of Day becomes = Sunset offset 120 minutes"},
      {W0(FunctionIf, 7, 3), 0, 12, "IF  Month is = December (12)"},
      {W0(FunctionIf, 7, 0), 0, 13, "IF  Month is > "},
      {W0(FunctionIf, 7, 2), 0x8000, 5, "IF  Month is NOT = Variable #5"},
      {W0(FunctionIf, 7, 2), 0x8000, 0, "IF  Month is NOT = Variable #0"},
      {W0(FunctionAnd, 8, 0), 0, 15, "  AND  Day of Month is > 15"},
      {W0(FunctionAnd, 8, 1), 0x8000, 127, "  AND  Day of Month is < Variable #127"},
      {W0(FunctionIf, 9, 1), 0, 6, "IF  Day of Week is < Saturday (6)"},
      {W0(FunctionIf, 9, 1), 0, 0, "IF  Day of Week is < Sunday (0)"},
      {W0(FunctionIf, 9, 1), 0, 7, "IF  Day of Week is < "},
      {W0(FunctionIf, 9, 3), 0x8000, 128, "IF  Day of Week is = "},
      {W0(FunctionOr, 10, 3), 0, 2024, "  OR  Year is = 2024"},
      {W0(FunctionOr, 10, 0), 0x8000, 3, "  OR  Year is > Variable #3"},
      {W0(FunctionIf, 11, 0), 0, 1, "IF  Date is > 01/01/99"},
      {W0(FunctionIf, 11, 1), 0, 0, "IF  Date is < 12/31/98"},
      {W0(FunctionIf, 11, 2), 0, 366, "IF  Date is NOT = 01/01/00"},
      {W0(FunctionIf, 11, 3), 0, 426, "IF  Date is = 03/01/00"},
      {W0(FunctionIf, 11, 3), 0, 8036, "IF  Date is = 12/31/20"},
  };
  int line = 200;
  for (const Golden& g : table) {
    Put(++line, g.Word0, g.Arg, g.Value);
    EXPECT_EQ(Render(line), g.Text) << std::hex << g.Word0 << " " << g.Arg << " " << g.Value;
    EXPECT_EQ(At(line), (ProgramLine{g.Word0, g.Arg, g.Value})) << g.Text;
  }
  EXPECT_TRUE(Ui().Messages().empty());
}

TEST_F(LineCodecTest, TimeAndDateCorrectionsAreSilent) {
  Put(10, W0(FunctionIf, 6, 5), 256, 0);
  EXPECT_EQ(Render(10), "IF Time of Day is > 02:56");
  EXPECT_EQ(At(10).Sub(), 0);
  for (int kind : {7, 8, 9, 10, 11}) {
    Put(11, W0(FunctionIf, kind, 31), 0, 3);
    codec.RenderLine(11);
    EXPECT_EQ(At(11).Sub(), 0) << kind;
  }
  // A constant month 0 becomes January.
  Put(12, W0(FunctionIf, 7, 1), 0, 0);
  EXPECT_EQ(Render(12), "IF  Month is < January (1)");
  EXPECT_EQ(At(12).Value, 1);
  EXPECT_TRUE(Ui().Messages().empty());
  // A form no encoder stores leaves the text as it was.
  Put(13, W0(FunctionIf, 6, 0), 0x1234, 0);
  EXPECT_FALSE(codec.RenderLine(13).has_value());
}

TEST_F(LineCodecTest, TimeOfDayPanelFollowsTheForm) {
  Put(14, W0(FunctionIf, 6, 3), 0x80F0, 0);
  WizardView v = codec.ShowProgramLine(14);
  EXPECT_EQ(v.Panel.Id, Panel::TimeOfDay);
  EXPECT_EQ(v.Panel.Tab.Index, 0);
  EXPECT_EQ(v.Panel.Option.Index, 1);
  EXPECT_EQ(v.Panel.Slider, 240);
  EXPECT_EQ(v.Panel.SliderCaption, "120 minutes");
  EXPECT_EQ(v.Panel.Compare.Text(), "becomes =");
  Put(14, W0(FunctionIf, 6, 0), 0x2000, 9);
  v = codec.ShowProgramLine(14);
  EXPECT_EQ(v.Panel.Tab.Index, 1);
  EXPECT_EQ(v.Panel.Source.Index, 1);
  EXPECT_EQ(v.Panel.Variable.Index, 9);
  EXPECT_EQ(v.Panel.EditText, "");
  Put(14, W0(FunctionIf, 6, 0), 905, 0);
  v = codec.ShowProgramLine(14);
  EXPECT_EQ(v.Panel.Tab.Index, 1);
  EXPECT_EQ(v.Panel.Source.Index, 0);
  EXPECT_EQ(v.Panel.EditText, "905");
  EXPECT_TRUE(v.Panel.Variable.Items.empty());
}

WizardView OpenOn(program::LineCodec& codec, ProgramStore& store, int line, int function, int kind) {
  store.CurrentLine = static_cast<std::int16_t>(line);
  codec.FunctionChange(function);
  return codec.IfTypeChange(kind);
}

TEST_F(LineCodecTest, FixedTimesAreCheckedBeforeAnythingIsStored) {
  WizardView v = OpenOn(codec, store, 20, FunctionIf, 6);
  v.Panel.Tab.Index = 1;
  v.Panel.Compare.Index = 3;
  v.Panel.Source.Index = 0;
  v.Panel.EditText = "2359";
  WizardView shown = codec.Enter(v);
  EXPECT_EQ(At(20), (ProgramLine{W0(FunctionIf, 6, 3), 0x0937, 0}));
  EXPECT_EQ(store.ReferenceText(20), "00C3-0937-0000");
  EXPECT_EQ(shown.Text, "IF Time of Day becomes = 23:59");

  Put(21, W0(FunctionOr, 5, 2), 0x8003, 44);  // a finished line of another kind
  for (const char* bad : {"2360", "2400", "9999", "-5", "abc", "", "17:30", "12ab", "9 30"}) {
    Ui().Clear();
    v.Panel.EditText = bad;
    v.FunctionIndex = FunctionAnd;
    shown = codec.Enter(v);
    EXPECT_EQ(At(21), (ProgramLine{W0(FunctionOr, 5, 2), 0x8003, 44})) << bad;
    EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Invalid Time Entry, Must be between 0000 and 2359"}) << bad;
    EXPECT_FALSE(shown.Text.has_value());
    EXPECT_EQ(shown.ReferenceLine, 0);
  }

  // The variable form keeps bit 15 clear.
  store.CurrentLine = 20;
  v.Panel.Source.Index = 1;
  v.Panel.Variable.Index = 12;
  shown = codec.Enter(v);
  EXPECT_EQ(At(20), (ProgramLine{W0(FunctionAnd, 6, 3), 0x2000, 12}));
  EXPECT_EQ(shown.Text, "  AND Time of Day becomes = Variable #12");
}

TEST_F(LineCodecTest, SunriseAndSunsetOffsets) {
  WizardView v = OpenOn(codec, store, 22, FunctionIf, 6);
  // On an empty time line the "Sunrise / Sunset" tab starts at sunrise, offset 0.
  codec.TodTabChanged(v.Panel, 0);
  EXPECT_EQ(v.Panel.Option.Index, 0);
  EXPECT_EQ(v.Panel.Slider, 120);
  EXPECT_EQ(v.Panel.SliderCaption, "0 minutes");
  v.Panel.Compare.Index = 0;
  v.Panel.Slider = 0;
  WizardView shown = codec.Enter(v);
  EXPECT_EQ(At(22), (ProgramLine{W0(FunctionIf, 6, 0), 0x4000, 0}));
  EXPECT_EQ(shown.Text, "IF Time of Day is > Sunrise offset -120 minutes");
  v.Panel.Option.Index = 1;
  v.Panel.Slider = 240;
  shown = codec.Enter(v);
  EXPECT_EQ(At(22), (ProgramLine{W0(FunctionIf, 6, 0), 0x80F0, 0}));
  EXPECT_EQ(shown.Text, "IF Time of Day is > Sunset offset 120 minutes");
  // The tab keeps a stored line's offset.
  codec.TodTabChanged(shown.Panel, 0);
  EXPECT_EQ(shown.Panel.Slider, 240);
  // Neither sunrise nor sunset chosen: refused.
  v.Panel.Option.Index = -1;
  codec.Enter(v);
  EXPECT_EQ(At(22).Arg, 0x80F0);
  EXPECT_EQ(Ui().Beeps(), 1);
}

TEST_F(LineCodecTest, MonthWeekdayDayAndYearEncoders) {
  WizardView v = OpenOn(codec, store, 30, FunctionIf, 7);
  EXPECT_EQ(v.Panel.Item.Items.size(), 12u);
  v.Panel.Compare.Index = 2;
  v.Panel.Source.Index = 0;
  v.Panel.Item.Index = 11;
  WizardView shown = codec.Enter(v);
  EXPECT_EQ(At(30), (ProgramLine{W0(FunctionIf, 7, 2), 0, 12}));
  EXPECT_EQ(shown.Text, "IF  Month is NOT = December (12)");
  EXPECT_EQ(shown.Panel.Item.Index, 11);

  // The Constant/Variable click stores the flag and shows the line again in full.
  codec.SourceChanged(shown, 1);
  EXPECT_EQ(At(30).Arg, 0x8000);
  EXPECT_EQ(shown.Text, "IF  Month is NOT = Variable #12");
  EXPECT_EQ(shown.Panel.Item.Index, -1);
  EXPECT_EQ(shown.Panel.Variable.Index, 12);

  v = OpenOn(codec, store, 31, FunctionAnd, 9);
  v.Panel.Compare.Index = 0;
  v.Panel.Source.Index = 0;
  v.Panel.Item.Index = 3;
  shown = codec.Enter(v);
  EXPECT_EQ(At(31), (ProgramLine{W0(FunctionAnd, 9, 0), 0, 3}));
  EXPECT_EQ(shown.Text, "  AND  Day of Week is > Wednesday (3)");
  // The weekday compare group stores Sub at once and renders nothing.
  codec.CompareChanged(shown, 3);
  EXPECT_EQ(At(31), (ProgramLine{W0(FunctionAnd, 9, 3), 0, 3}));
  EXPECT_FALSE(shown.Text.has_value());

  v = OpenOn(codec, store, 32, FunctionIf, 8);
  v.Panel.Compare.Index = 1;
  v.Panel.Source.Index = 0;
  v.Panel.EditText = "40";  // no range check
  shown = codec.Enter(v);
  EXPECT_EQ(At(32), (ProgramLine{W0(FunctionIf, 8, 1), 0, 40}));
  EXPECT_EQ(shown.Text, "IF  Day of Month is < 40");

  v = OpenOn(codec, store, 33, FunctionOr, 10);
  v.Panel.Compare.Index = 3;
  v.Panel.Source.Index = 1;
  v.Panel.Variable.Index = 80;
  shown = codec.Enter(v);
  EXPECT_EQ(At(33), (ProgramLine{W0(FunctionOr, 10, 3), 0x8000, 80}));
  EXPECT_EQ(shown.Text, "  OR  Year is = Variable #80");
  EXPECT_EQ(shown.Panel.EditText, "");
}

TEST_F(LineCodecTest, DatesAreStoredAsDayNumbers) {
  WizardView v = OpenOn(codec, store, 40, FunctionIf, 11);
  v.Panel.Compare.Index = 3;
  v.Panel.Day = 1, v.Panel.Month = 1, v.Panel.Year = 1999;
  WizardView shown = codec.Enter(v);
  EXPECT_EQ(At(40), (ProgramLine{W0(FunctionIf, 11, 3), 0, 1}));
  EXPECT_EQ(shown.Text, "IF  Date is = 01/01/99");
  v.Panel.Day = 1, v.Panel.Month = 3, v.Panel.Year = 2000;
  shown = codec.Enter(v);
  EXPECT_EQ(At(40).Value, 426);
  EXPECT_EQ(shown.Text, "IF  Date is = 03/01/00");
  EXPECT_EQ(shown.Panel.Day, 1);
  EXPECT_EQ(shown.Panel.Month, 3);
  EXPECT_EQ(shown.Panel.Year, 2000);
  // Day number 0 leaves the picker alone.
  Put(41, W0(FunctionIf, 11), 0, 0);
  v = codec.ShowProgramLine(41);
  EXPECT_EQ(v.Panel.Year, 0);
  EXPECT_EQ(v.Text, "IF  Date is > 12/31/98");
}

}  // namespace
}  // namespace program_test
