#include "project/touch_designer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace project {
namespace {

class TouchDesignerTest : public ::testing::Test {
 protected:
  TouchDesignerTest() {
    tree.ChangeToTessaro();
    tree.SetText(FirstIcon + 3, "lamp.bmp");
    RefreshNameTable(tree, names);
  }
  int SlotPosition(int slot) { return tree.PositionOf(tree.Root()->Child(slot)); }
  void AddModule(int slot, ModuleType type) {
    ASSERT_TRUE(tree.AddModule(SlotPosition(slot), type));
    RefreshNameTable(tree, names);
  }
  int NewLight() { return designer.CreateObject(TouchStatusLight, 1, 16, 40); }
  TouchObject At(int record) const { return table.Object(record); }

  SystemMapTree tree = SystemMapTree::Default();
  NameTable names;
  TouchScreenTable table;
  TouchDesigner designer{table, names};
};

TEST_F(TouchDesignerTest, NewObjectTakesTheLowestFreeRecordAndTheTemplatesSize) {
  ASSERT_EQ(designer.CreateObject(TouchButton, 3, 64, 40), 1);
  EXPECT_TRUE(designer.Modified);
  TouchObject expected;
  expected.Type = TouchButton;
  expected.Page = 3;
  expected.ObjectNumber = 1;
  expected.X = 5;
  expected.Y = 5;
  expected.Width = 64;
  expected.Height = 40;
  EXPECT_EQ(At(1), expected);

  EXPECT_EQ(designer.CreateObject(TouchText, 3, 88, 16), 2);
  EXPECT_EQ(At(2).Type, TouchText);
  designer.DeleteObject(1);
  EXPECT_TRUE(table.IsFree(1));
  const int again = designer.CreateObject(TouchStatusLight, 4, 16, 40);
  EXPECT_EQ(again, 1);
  EXPECT_EQ(At(1).ObjectNumber, 1);
  EXPECT_EQ(At(1).Page, 4);
}

TEST_F(TouchDesignerTest, FullTableRefusesANewObjectWithoutTouchingAnything) {
  for (int n = 1; n < TouchScreenTable::kRecords; ++n) ASSERT_EQ(designer.CreateObject(TouchButton, 1, 32, 40), n);
  designer.Modified = false;
  const std::vector<std::uint8_t> before(table.Bytes().begin(), table.Bytes().end());
  EXPECT_EQ(designer.CreateObject(TouchText, 1, 88, 16), 0);
  EXPECT_FALSE(designer.Modified);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), table.Bytes().begin()));
}

struct DragCase {
  const char* Name;
  int Width, Height, StartX, StartY, Dx, Dy;
  bool Moves;
  int X, Y;
};

class TouchDragTest : public TouchDesignerTest, public ::testing::WithParamInterface<DragCase> {};

TEST_P(TouchDragTest, MovesInStepsOfEightWithinThePage) {
  const DragCase& c = GetParam();
  const int record = designer.CreateObject(TouchButton, 1, c.Width, c.Height);
  TouchObject o = At(record);
  o.X = static_cast<std::uint16_t>(c.StartX);
  o.Y = static_cast<std::uint16_t>(c.StartY);
  table.SetObject(record, o);
  designer.Modified = false;

  designer.BeginDrag(record, 20, 20);
  EXPECT_EQ(designer.DragMove(20 + c.Dx, 20 + c.Dy), c.Moves);
  EXPECT_EQ(At(record).X, c.Moves ? c.X : c.StartX);
  EXPECT_EQ(At(record).Y, c.Moves ? c.Y : c.StartY);
  EXPECT_EQ(designer.Modified, c.Moves);
}

INSTANTIATE_TEST_SUITE_P(Cases, TouchDragTest,
                         ::testing::Values(DragCase{"TenRightCutsToEight", 64, 40, 5, 5, 10, 0, true, 8, 0},
                                           DragCase{"TwoRightCutsToZero", 64, 40, 5, 5, 2, 0, true, 0, 0},
                                           DragCase{"SixLeftCutsTowardZero", 64, 40, 5, 5, -6, 0, true, 0, 0},
                                           DragCase{"TallButtonReachesTheBottom", 128, 120, 0, 0, 0, 120, true, 0, 120},
                                           DragCase{"TallButtonPastTheBottom", 128, 120, 0, 0, 0, 128, false, 0, 0},
                                           DragCase{"OddTemplateAt152", 32, 81, 0, 0, 0, 152, true, 0, 152},
                                           DragCase{"OddTemplateAt160", 32, 81, 0, 0, 0, 160, false, 0, 0},
                                           DragCase{"WideButtonReachesTheRightEdge", 224, 40, 0, 0, 96, 0, true, 96, 0},
                                           DragCase{"WideButtonPastTheRightEdge", 224, 40, 0, 0, 104, 0, false, 0, 0},
                                           DragCase{"FarLeftIsRefused", 64, 40, 5, 5, -13, 0, false, 0, 0},
                                           DragCase{"SixteenBitWrapLandsAtZero", 64, 40, 65535, 0, 1, 0, true, 0, 0},
                                           DragCase{"SixteenBitWrapGoesNegative", 64, 40, 32760, 0, 16, 0, false, 0,
                                                    0}),
                         [](const ::testing::TestParamInfo<DragCase>& info) { return info.param.Name; });

TEST_F(TouchDesignerTest, DragFollowsThePointerOnlyWhileDragging) {
  const int record = designer.CreateObject(TouchButton, 1, 64, 40);
  EXPECT_FALSE(designer.DragMove(40, 40));
  designer.BeginDrag(record, 10, 10);
  ASSERT_TRUE(designer.DragMove(26, 10));  // 5 + 16
  EXPECT_EQ(At(record).X, 16);
  // The control now stands at 16: the same pointer offset moves it again.
  ASSERT_TRUE(designer.DragMove(26, 10));
  EXPECT_EQ(At(record).X, 32);
  designer.EndDrag();
  EXPECT_FALSE(designer.DragMove(60, 10));
  EXPECT_EQ(At(record).X, 32);
}

TEST_F(TouchDesignerTest, HintsNameTheObjectItsBordersAndIcon) {
  const int button = designer.CreateObject(TouchButton, 1, 64, 40);
  const int text = designer.CreateObject(TouchText, 1, 88, 16);
  const int light = NewLight();
  EXPECT_EQ(designer.NewButtonHint(button), "Object# 1, Borders = 0, No Icon ");
  EXPECT_EQ(designer.Hint(button), "Object# 1, Borders = 0, No Icon");
  EXPECT_EQ(designer.Hint(text), "Object# 2");
  EXPECT_EQ(designer.Hint(light), "Object# 3");

  TouchDesigner::CaptionEntry entry = designer.CaptionSetup(button);
  entry.Icon = 3;
  entry.HiddenBorder = true;
  designer.ApplyCaption(button, entry);
  EXPECT_EQ(designer.Hint(button), "Object# 1, Borders = 1, Icon- lamp.bmp");
}

TEST_F(TouchDesignerTest, EnterCaptionFillsTheDialogAndStoresItsAnswers) {
  const int button = designer.CreateObject(TouchButton, 1, 64, 40);
  designer.Modified = false;
  TouchDesigner::CaptionEntry entry = designer.CaptionSetup(button);
  EXPECT_EQ(entry.Text, "");
  EXPECT_EQ(entry.Font, 0);
  EXPECT_FALSE(entry.HiddenBorder);
  ASSERT_EQ(entry.Icons.size(), 200u);
  EXPECT_EQ(entry.Icons[0], "No Icon");
  EXPECT_EQ(entry.Icons[3], "lamp.bmp");
  EXPECT_EQ(entry.Icon, 0);

  entry.Text = "Porch Light";
  entry.Font = 1;
  entry.HiddenBorder = true;
  entry.Icon = 3;
  designer.ApplyCaption(button, entry);
  const TouchObject o = At(button);
  EXPECT_EQ(o.Text, "Porch Light");
  EXPECT_EQ(o.Style, 1);
  EXPECT_EQ(o.LinkA, 1);
  EXPECT_EQ(o.Icon, 3);
  EXPECT_EQ(designer.FontOf(button), (TouchDesigner::Font{16, true}));

  TouchDesigner::CaptionEntry reopened = designer.CaptionSetup(button);
  EXPECT_EQ(reopened.Text, "Porch Light");
  EXPECT_TRUE(reopened.HiddenBorder);
  EXPECT_EQ(reopened.Icon, 3);
}

TEST_F(TouchDesignerTest, ValuesTheDialogCannotShowAreKeptOrShownAsTheLastItem) {
  const int button = designer.CreateObject(TouchButton, 1, 64, 40);
  TouchObject o = At(button);
  o.Icon = 250;
  o.Style = 7;
  table.SetObject(button, o);
  TouchDesigner::CaptionEntry entry = designer.CaptionSetup(button);
  EXPECT_EQ(entry.Icon, -1);
  EXPECT_EQ(entry.Font, 1);
  designer.ApplyCaption(button, entry);
  EXPECT_EQ(At(button).Icon, 250);
  EXPECT_EQ(At(button).Style, 1);
}

TEST_F(TouchDesignerTest, EnterTextStoresTheVariableAndTheLargeNumbersFont) {
  const int text = designer.CreateObject(TouchText, 2, 88, 16);
  TouchDesigner::TextEntry entry = designer.TextSetup(text);
  ASSERT_EQ(entry.Variables.size(), 128u);
  EXPECT_EQ(entry.Variable, 0);
  entry.Text = std::string(40, 'x');  // what the dialog refuses never reaches the table
  entry.Font = 2;
  entry.Variable = 17;
  designer.ApplyText(text, entry);
  EXPECT_EQ(At(text).Text, std::string(30, 'x'));
  EXPECT_EQ(At(text).Variable, 17);
  EXPECT_EQ(At(text).Style, 2);
  EXPECT_EQ(designer.FontOf(text), (TouchDesigner::Font{36, true}));
  EXPECT_EQ(designer.TextSetup(text).Variable, 17);
}

TEST_F(TouchDesignerTest, AttachX10StoresHouseAndUnitAndReselectsThem) {
  const int light = NewLight();
  TouchObject o = At(light);
  o.Text = "old";
  o.Style = 1;
  o.LinkA = 0x23;
  o.LinkB = 0x19;
  table.SetObject(light, o);

  TouchDesigner::X10Entry entry = designer.AttachX10(light);
  EXPECT_EQ(At(light).Text, "");
  EXPECT_EQ(At(light).Style, 0);
  EXPECT_EQ(entry.Unit, 16 * 3 + 9);
  ASSERT_EQ(entry.Units.size(), 256u);
  EXPECT_EQ(entry.Units[0], names.At(FirstX10Unit));

  designer.ApplyX10(light, 2 * 16 + 4);  // house C, unit 5
  EXPECT_EQ(At(light).LinkA, 2);
  EXPECT_EQ(At(light).LinkB, 4);
  EXPECT_EQ(designer.AttachX10(light).Unit, 36);
}

TEST_F(TouchDesignerTest, AttachIoLowersThePointToTheModulesHighest) {
  AddModule(3, ModuleType::Pelko);  // slot 3: module 3
  const int light = NewLight();
  TouchObject o = At(light);
  o.LinkA = 3;
  o.LinkB = 12;
  table.SetObject(light, o);

  TouchDesigner::IoEntry entry = designer.AttachIo(light);
  EXPECT_EQ(At(light).Style, 1);
  EXPECT_EQ(At(light).LinkB, 7);
  ASSERT_EQ(entry.Modules.size(), 126u);
  EXPECT_EQ(entry.Module, 2);
  EXPECT_EQ(entry.Point, 7);
  ASSERT_EQ(entry.Points.size(), 8u);
  EXPECT_EQ(entry.Points[7], "Relay #7");

  designer.ApplyIo(light, 2, 5);
  EXPECT_EQ(At(light).LinkA, 3);
  EXPECT_EQ(At(light).LinkB, 5);
}

TEST_F(TouchDesignerTest, PointListsFollowTheSlotSuffix) {
  AddModule(1, ModuleType::Kado16);
  AddModule(2, ModuleType::Kado16I);
  AddModule(3, ModuleType::LurcanC);
  AddModule(4, ModuleType::Kado16Ir);
  struct {
    int Module;
    std::size_t Count;
  } cases[] = {{0, 16}, {1, 16}, {2, 1}, {3, 0}, {4, 0}};
  for (const auto& c : cases) EXPECT_EQ(designer.PointList(c.Module).size(), c.Count) << "module " << c.Module + 1;
  EXPECT_EQ(designer.PointList(2), (std::vector<std::string>{"Input #0"}));
}

TEST_F(TouchDesignerTest, AttachIoOnAModuleWithoutPointsIsRefused) {
  const int light = NewLight();
  TouchObject o = At(light);
  o.LinkA = 0;
  o.LinkB = 9;
  table.SetObject(light, o);
  TouchDesigner::IoEntry entry = designer.AttachIo(light);
  EXPECT_EQ(entry.Module, 0);
  EXPECT_TRUE(entry.Points.empty());
  EXPECT_FALSE(designer.ApplyIo(light, entry.Module, -1));  // an empty point list has nothing selected
  EXPECT_EQ(At(light).LinkA, 0);
  EXPECT_EQ(At(light).LinkB, 0);
}

TEST_F(TouchDesignerTest, SettingsGoToRecordZeroAndCountAsChanges) {
  designer.SetBeepOnTouch(1);
  EXPECT_EQ(table.BeepOnTouch(), 1);
  EXPECT_TRUE(designer.Modified);
  designer.Modified = false;
  designer.SetShowDateAndTime(1);
  EXPECT_EQ(table.ShowDateAndTime(), 1);
  EXPECT_TRUE(designer.Modified);
  designer.Modified = false;
  designer.SetBacklightOffDelay(120);
  EXPECT_EQ(table.BacklightOffDelay(), 120);
  EXPECT_TRUE(designer.Modified);

  EXPECT_EQ(designer.TypeBacklightOffDelay("45"), 45);
  EXPECT_EQ(table.BacklightOffDelay(), 45);
  EXPECT_EQ(table.Type(0), TouchFree);
}

TEST_F(TouchDesignerTest, TypedDelayBecomesABarPosition) {
  const struct {
    const char* Text;
    int Position;
  } cases[] = {{"0", 0}, {"200", 200}, {"250", 200}, {"-5", 0},         {"abc", 0},
               {"", 0},  {"12abc", 0}, {" 7", 7},    {"99999999999", 0}};
  for (const auto& c : cases) EXPECT_EQ(TouchDesigner::BarPositionOf(c.Text), c.Position) << '"' << c.Text << '"';
}

TEST_F(TouchDesignerTest, NewFileFreesEverything) {
  designer.CreateObject(TouchButton, 1, 64, 40);
  designer.SetBeepOnTouch(1);
  designer.NewFile();
  EXPECT_TRUE(table.IsFree(1));
  EXPECT_EQ(table.BeepOnTouch(), 0);
}

TEST_F(TouchDesignerTest, EveryChangeOfTheTableSetsModified) {
  AddModule(3, ModuleType::Pelko);
  const int button = designer.CreateObject(TouchButton, 1, 64, 40);
  const int text = designer.CreateObject(TouchText, 1, 88, 16);
  const int light = NewLight();
  const struct {
    const char* What;
    std::function<void()> Change;
  } changes[] = {
      {"drag", [&] { designer.BeginDrag(button, 0, 0); ASSERT_TRUE(designer.DragMove(11, 19)); designer.EndDrag(); }},
      {"caption", [&] { designer.ApplyCaption(button, designer.CaptionSetup(button)); }},
      {"text", [&] { designer.ApplyText(text, designer.TextSetup(text)); }},
      {"attach X10", [&] { designer.ApplyX10(light, designer.AttachX10(light).Unit); }},
      {"attach I/O", [&] { designer.AttachIo(light); ASSERT_TRUE(designer.ApplyIo(light, 2, 4)); }},
      {"typed delay", [&] { designer.TypeBacklightOffDelay("45"); }},
      {"delete", [&] { designer.DeleteObject(text); }},
      {"new file", [&] { designer.NewFile(); }},
  };
  for (const auto& c : changes) {
    designer.Modified = false;
    c.Change();
    EXPECT_TRUE(designer.Modified) << c.What;
  }
}

}  // namespace
}  // namespace project
