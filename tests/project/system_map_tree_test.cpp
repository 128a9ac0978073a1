#include "project/system_map_tree.h"

#include <gtest/gtest.h>

#include "project/prj_file.h"
#include "support/temp_dir.h"

namespace project {
namespace {

int SlotPosition(const SystemMapTree& tree, int slot) {
  return tree.PositionOf(tree.Root()->Child(slot));  // row k of the root is slot k (row 0 is "Local")
}

TEST(DefaultSystemMap, HasTheFixedLocalSectionAndEmptySlots) {
  SystemMapTree tree = SystemMapTree::Default();
  EXPECT_EQ(tree.Count(), 1733);
  EXPECT_EQ(tree.TextAt(0), "Marvik");
  EXPECT_EQ(tree.TextAt(1), "Local");
  EXPECT_EQ(tree.TextAt(VariablesHeader), "Variables");
  EXPECT_EQ(tree.TextAt(FirstVariable), "Variable #0");
  EXPECT_EQ(tree.TextAt(FirstVariable + 60), "Variable# 60 / IR-Variable");
  EXPECT_EQ(tree.TextAt(FirstVariable + 63), "Variable# 63 / Screen#");
  EXPECT_EQ(tree.TextAt(FirstVariable + 64), "Variable# 64 / RCS Temp A");
  EXPECT_EQ(tree.TextAt(FirstVariable + 79), "Variable# 79 / RCS Temp P");
  EXPECT_EQ(tree.TextAt(FirstVariable + 80), "Variable #80");
  EXPECT_EQ(tree.TextAt(130), "Variable #127");
  EXPECT_EQ(tree.TextAt(TimersHeader), "Timers");
  EXPECT_EQ(tree.TextAt(195), "Timer #63");
  EXPECT_EQ(tree.TextAt(InfraRedHeader), "Infra-Red");
  EXPECT_EQ(tree.TextAt(1220), "IR #1023");
  EXPECT_EQ(tree.TextAt(X10Header), "X-10");
  EXPECT_EQ(tree.TextAt(FirstX10Unit), "X-10 House A / Unit 1");
  EXPECT_EQ(tree.TextAt(FirstX10Unit + 16 * 2 + 4), "X-10 House C / Unit 5");
  EXPECT_EQ(tree.TextAt(LastX10Unit), "X-10 House P / Unit 16");
  EXPECT_EQ(tree.TextAt(AsciiMessagesHeader), "Ascii Messages");
  EXPECT_EQ(tree.TextAt(1606), "Ascii Message 127");
  EXPECT_EQ(tree.TextAt(1607), "Module #1");
  EXPECT_EQ(tree.TextAt(1732), "Module #126");
  EXPECT_EQ(tree.LevelAt(1607), 1);
  EXPECT_EQ(tree.LevelAt(1606), 3);
  EXPECT_EQ(tree.LastLocalIndex(), 1606);
  EXPECT_FALSE(tree.IsTouchController());
  EXPECT_EQ(tree.NodeAt(1733), nullptr);
  EXPECT_EQ(tree.TextAt(-1), "");
}

TEST(ModelChange, TessaroAddsTouchObjectsAndIconsAndMovesTheSlots) {
  SystemMapTree tree = SystemMapTree::Default();
  ASSERT_TRUE(tree.AddModule(1608, ModuleType::Pelko));  // slot 2
  EXPECT_EQ(tree.ChangeToTessaro(), SystemMapTree::ModelChange::Changed);
  EXPECT_EQ(tree.Count(), 1733 + 8 + 458);
  EXPECT_TRUE(tree.IsTouchController());
  EXPECT_EQ(tree.LastLocalIndex(), 2064);
  EXPECT_EQ(tree.TextAt(TouchObjectsHeader), "Touch Objects");
  EXPECT_EQ(tree.TextAt(FirstTouchObject), "Touch Anywhere Button #0");
  EXPECT_EQ(tree.TextAt(FirstTouchObject + 255), "Touch Object #255");
  EXPECT_EQ(tree.TextAt(IconsHeader), "Icons");
  EXPECT_EQ(tree.TextAt(FirstIcon), "Screen# 0 Bitmap");
  EXPECT_EQ(tree.TextAt(2064), "Icon #199");
  EXPECT_EQ(tree.TextAt(2065), "Module #1");
  EXPECT_EQ(tree.TextAt(2066), "Module #2   -PELKO");  // content moved along
  EXPECT_EQ(tree.TextAt(2067), "Relay #0");

  EXPECT_EQ(tree.ChangeToTessaro(), SystemMapTree::ModelChange::Unchanged);
  EXPECT_EQ(tree.ChangeToMarvik(), SystemMapTree::ModelChange::Refused);
  EXPECT_TRUE(tree.IsTouchController());
  EXPECT_EQ(SystemMapTree::Default().ChangeToMarvik(), SystemMapTree::ModelChange::Unchanged);

  SystemMapTree fresh = SystemMapTree::Default();
  fresh.ChangeToTessaro();
  EXPECT_EQ(fresh.Count(), 2191);
  EXPECT_EQ(SlotPosition(fresh, 1), 2065);
}

TEST(ModelChange, AnOddRootWordIsNeitherModel) {
  auto parsed = SystemMapTree::Parse("Other\r\n Local\r\n");
  ASSERT_TRUE(parsed.Tree);
  EXPECT_EQ(parsed.Tree->LastLocalIndex(), 2064);
  EXPECT_FALSE(parsed.Tree->IsTouchController());
  EXPECT_EQ(parsed.Tree->ChangeToTessaro(), SystemMapTree::ModelChange::Unchanged);
}

struct ModuleCase {
  ModuleType Type;
  const char* Suffix;
  int Points;
  const char* First;
  const char* Last;
};

TEST(Modules, EveryTypeGivesItsSuffixAndPointsAndMovesLaterSlots) {
  const ModuleCase cases[] = {
      {ModuleType::Kado16, "-KADO16", 24, "Input #0", "Analog #7"},
      {ModuleType::Kado16I, "-KADO16-I", 32, "Input #0", "Analog #15"},
      {ModuleType::Kado16Ir, "-KADO16-IR", 16, "IR Zone #0", "IR Zone #15"},
      {ModuleType::Pelko, "-PELKO", 8, "Relay #0", "Relay #7"},
      {ModuleType::Murmex, "-MURMEX", 50, "Audio Message #0", "Audio Message #49"},
      {ModuleType::SlaveMarvik, "-Slave Marvik", 128, "Variable #0", "Variable #127"},
      {ModuleType::SlaveTessaro, "-Slave Tessaro", 384, "Variable #0", "Button #255"},
      {ModuleType::LurcanT, "-LURCAN-T", 1, "Temperature", "Temperature"},
      {ModuleType::LurcanH, "-LURCAN-H", 1, "Humidity", "Humidity"},
      {ModuleType::LurcanA, "-LURCAN-A", 128, "Ascii Message #0", "Ascii Message #127"},
      {ModuleType::LurcanL, "-LURCAN-L", 1, "Light Level", "Light Level"},
      {ModuleType::LurcanC, "-LURCAN-C", 1, "Input #0", "Input #0"},
  };
  for (const ModuleCase& c : cases) {
    SCOPED_TRACE(c.Suffix);
    SystemMapTree tree = SystemMapTree::Default();
    ASSERT_TRUE(tree.AddModule(1607, c.Type));
    EXPECT_EQ(tree.TextAt(1607), std::string("Module #1   ") + c.Suffix);
    EXPECT_EQ(tree.Root()->Child(1)->ChildCount(), c.Points);
    EXPECT_EQ(tree.TextAt(1608), c.First);
    EXPECT_EQ(tree.TextAt(1607 + c.Points), c.Last);
    EXPECT_EQ(tree.LevelAt(1608), 2);
    EXPECT_EQ(SlotPosition(tree, 2), 1608 + c.Points);
    EXPECT_EQ(tree.TextAt(1608 + c.Points), "Module #2");
    EXPECT_EQ(ModuleTypeOfSlotText(tree.TextAt(1607)), c.Type);

    ASSERT_TRUE(tree.RemoveModule(1607));
    EXPECT_EQ(tree.TextAt(1607), "Module #1  ");
    EXPECT_EQ(tree.Count(), 1733);
    EXPECT_EQ(SlotPosition(tree, 2), 1608);
    EXPECT_FALSE(ModuleTypeOfSlotText(tree.TextAt(1607)));
  }
}

TEST(Modules, ReplacingAModuleKeepsTheBlanksLeftByTheCut) {
  SystemMapTree tree = SystemMapTree::Default();
  tree.AddModule(1607, ModuleType::Pelko);
  tree.AddModule(1607, ModuleType::Kado16);
  EXPECT_EQ(tree.TextAt(1607), "Module #1     -KADO16");
  EXPECT_EQ(tree.TextAt(1608), "Input #0");
  EXPECT_EQ(tree.TextAt(1632), "Module #2");
  EXPECT_EQ(ModuleNumberOfSlotText(tree.TextAt(1607)), 1);

  int slot100 = SlotPosition(tree, 100);
  tree.AddModule(slot100, ModuleType::Pelko);
  tree.RemoveModule(slot100);
  EXPECT_EQ(tree.TextAt(slot100), "Module #100");
  EXPECT_EQ(ModuleNumberOfSlotText(tree.TextAt(slot100)), 100);
}

TEST(Modules, OnlyModuleSlotsTakeModules) {
  SystemMapTree tree = SystemMapTree::Default();
  EXPECT_FALSE(tree.AddModule(0, ModuleType::Pelko));
  EXPECT_FALSE(tree.AddModule(1, ModuleType::Pelko));     // "Local", level 1 but not after it
  EXPECT_FALSE(tree.AddModule(1606, ModuleType::Pelko));  // last ASCII message
  EXPECT_FALSE(tree.AddModule(5000, ModuleType::Pelko));  // no such node
  EXPECT_FALSE(tree.RemoveModule(FirstVariable));
  tree.AddModule(1607, ModuleType::Pelko);
  EXPECT_FALSE(tree.AddModule(1608, ModuleType::Pelko));  // a point, level 2
  EXPECT_EQ(tree.Count(), 1741);
}

TEST(Rename, FixedHeadersSlotsAndRootAreRefused) {
  SystemMapTree tree = SystemMapTree::Default();
  for (int position : {0, 1, 2, 131, 196, 1221, 1478, 1607, 1732}) EXPECT_FALSE(tree.CanEdit(position)) << position;
  for (int position : {3, 132, 197, 1222, 1479, 1606}) EXPECT_TRUE(tree.CanEdit(position)) << position;
  EXPECT_FALSE(tree.CanEdit(-1));
  EXPECT_FALSE(tree.Rename(131, "x"));
  EXPECT_EQ(tree.TextAt(131), "Timers");

  tree.AddModule(1607, ModuleType::Kado16);
  EXPECT_TRUE(tree.CanEdit(1608));  // module points may be renamed

  tree.ChangeToTessaro();
  EXPECT_FALSE(tree.CanEdit(TouchObjectsHeader));
  EXPECT_TRUE(tree.CanEdit(IconsHeader));
  EXPECT_TRUE(tree.CanEdit(FirstIcon));
}

TEST(Rename, BlanksAndTabsBecomeHyphens) {
  SystemMapTree tree = SystemMapTree::Default();
  EXPECT_TRUE(tree.Rename(FirstTimer, "porch light delay"));
  EXPECT_EQ(tree.TextAt(FirstTimer), "porch-light-delay");
  EXPECT_TRUE(tree.Rename(FirstTimer + 1, " \tlead"));
  EXPECT_EQ(tree.TextAt(FirstTimer + 1), "--lead");
  // The renamed tree still reads back node for node.
  auto parsed = SystemMapTree::Parse(tree.ToText());
  ASSERT_TRUE(parsed.Tree);
  EXPECT_EQ(parsed.Tree->Count(), 1733);
  EXPECT_EQ(parsed.Tree->TextAt(FirstTimer + 1), "--lead");
}

TEST(Hints, SlotsX10UnitsAndModulePoints) {
  SystemMapTree tree = SystemMapTree::Default();
  EXPECT_EQ(tree.HintAt(1607), "Right Click for Module List");
  EXPECT_EQ(tree.HintAt(1230), "X10 House A, Unit 9");
  EXPECT_EQ(tree.HintAt(1477), "X10 House P, Unit 16");
  EXPECT_EQ(tree.HintAt(1222), "X10 House A, Unit 1");
  EXPECT_EQ(tree.HintAt(1221), "");
  EXPECT_EQ(tree.HintAt(3), "");
  tree.AddModule(1607, ModuleType::Pelko);
  EXPECT_EQ(tree.HintAt(1608), "Left Click to Select, then Hold Left Button down to begin Edit");
  EXPECT_EQ(tree.HintAt(99999), "");
}

TEST(PrjText, RoundTripsAndReadsTabsAndBlanksAlike) {
  SystemMapTree tree = SystemMapTree::Default();
  tree.ChangeToTessaro();
  tree.AddModule(2066, ModuleType::SlaveTessaro);
  tree.Rename(FirstVariable, "Hall-Temp");

  std::string tabs = tree.ToText('\t');
  std::string blanks = tree.ToText(' ');
  EXPECT_EQ(tabs.substr(0, 20), "Tessaro\r\n\tLocal\r\n\t\tV");
  EXPECT_EQ(blanks.substr(0, 20), "Tessaro\r\n Local\r\n  V");
  std::string lf = tabs;
  std::erase(lf, '\r');

  for (const std::string* text : {&tabs, &blanks, &lf}) {
    auto parsed = SystemMapTree::Parse(*text);
    ASSERT_TRUE(parsed.Tree) << parsed.Error;
    EXPECT_EQ(parsed.Tree->ToText('\t'), tabs);
  }
  // A mix of TABs and blanks counts characters, not their kind.
  auto mixed = SystemMapTree::Parse("Marvik\r\n Local\r\n\t Variables\r\n \t x\r\n");
  ASSERT_TRUE(mixed.Tree);
  EXPECT_EQ(mixed.Tree->LevelAt(3), 3);
  EXPECT_EQ(mixed.Tree->TextAt(3), "x");
}

TEST(PrjText, SlotTrailingBlanksAndEmptyNamesSurvive) {
  SystemMapTree tree = SystemMapTree::Default();
  tree.AddModule(1607, ModuleType::Pelko);
  tree.RemoveModule(1607);
  tree.Rename(FirstVariable, "");
  auto parsed = SystemMapTree::Parse(tree.ToText());
  ASSERT_TRUE(parsed.Tree);
  EXPECT_EQ(parsed.Tree->TextAt(1607), "Module #1  ");
  EXPECT_EQ(parsed.Tree->TextAt(FirstVariable), "");
  EXPECT_EQ(parsed.Tree->LevelAt(FirstVariable), 3);
}

TEST(PrjText, DamageIsReportedWithItsLine) {
  auto jump = SystemMapTree::Parse("Marvik\r\n Local\r\n   Deep\r\n");
  EXPECT_FALSE(jump.Tree);
  EXPECT_EQ(jump.ErrorLine, 3);

  auto second = SystemMapTree::Parse("Marvik\n Local\nTessaro\n");
  EXPECT_FALSE(second.Tree);
  EXPECT_EQ(second.ErrorLine, 3);

  auto indentedRoot = SystemMapTree::Parse(" Marvik\n");
  EXPECT_FALSE(indentedRoot.Tree);
  EXPECT_EQ(indentedRoot.ErrorLine, 1);

  auto empty = SystemMapTree::Parse("");
  EXPECT_FALSE(empty.Tree);
  EXPECT_FALSE(empty.Error.empty());

  // Coming back up several levels at once is normal.
  auto shallower = SystemMapTree::Parse("R\n A\n  B\n   C\n D\n");
  ASSERT_TRUE(shallower.Tree);
  EXPECT_EQ(shallower.Tree->LevelAt(4), 1);
  EXPECT_EQ(shallower.Tree->Root()->ChildCount(), 2);
}

TEST(PrjFile, SavesAndLoadsAndReportsUnreadableFiles) {
  testing_support::TempDir dir;
  SystemMapTree tree = SystemMapTree::Default();
  tree.AddModule(1607, ModuleType::Kado16);
  ASSERT_EQ(SavePrjFile(tree, dir.File("house.prj")), "");
  auto loaded = LoadPrjFile(dir.File("house.prj"));
  ASSERT_TRUE(loaded.Tree);
  EXPECT_EQ(loaded.Tree->ToText(), tree.ToText());

  auto missing = LoadPrjFile(dir.File("none.prj"));
  EXPECT_FALSE(missing.Tree);
  EXPECT_EQ(missing.ErrorLine, 0);
  EXPECT_NE(PrjErrorMessage("none.prj", missing).find("none.prj"), std::string::npos);
  EXPECT_NE(SavePrjFile(tree, dir.File("no/such/dir/x.prj")), "");
}

TEST(TreeAssign, KeepsTheObserverAndRenewsPositions) {
  struct Recorder : SystemMapTree::Observer {
    std::vector<std::string> Events;
    void BeginReset() override { Events.push_back("begin reset"); }
    void EndReset() override { Events.push_back("end reset"); }
    void BeginRemoveChildren(const SystemMapTree::Node*, int f, int l) override {
      Events.push_back("remove " + std::to_string(f) + ".." + std::to_string(l));
    }
    void EndRemoveChildren() override { Events.push_back("removed"); }
    void BeginInsertChildren(const SystemMapTree::Node*, int f, int l) override {
      Events.push_back("insert " + std::to_string(f) + ".." + std::to_string(l));
    }
    void EndInsertChildren() override { Events.push_back("inserted"); }
    void TextChanged(const SystemMapTree::Node* node) override { Events.push_back("text " + node->Text()); }
  } recorder;
  SystemMapTree tree;
  tree.SetObserver(&recorder);
  EXPECT_TRUE(tree.Empty());
  tree.Assign(SystemMapTree::Default());
  tree.AddModule(1609, ModuleType::LurcanT);  // slot 3
  tree.ChangeToTessaro();
  tree.Rename(3, "a b");
  EXPECT_EQ(recorder.Events,
            (std::vector<std::string>{"begin reset", "end reset", "remove 3..3", "removed", "insert 3..3", "inserted",
                                      "text Tessaro", "insert 5..6", "inserted", "text a-b"}));
  EXPECT_EQ(tree.TextAt(2067), "Module #3   -LURCAN-T");
}

}  // namespace
}  // namespace project
