#include "project/name_table.h"

#include <gtest/gtest.h>

namespace project {
namespace {

class NameTableTest : public ::testing::Test {
 protected:
  void Rebuild() { RefreshNameTable(tree, table); }
  SystemMapTree tree = SystemMapTree::Default();
  NameTable table;
  std::vector<std::string> items{"old"};
};

TEST_F(NameTableTest, DefaultProjectPositions) {
  EXPECT_EQ(table.ModuleSlotIndex[1], 0);
  Rebuild();
  EXPECT_EQ(table.Names[0], "Marvik");
  EXPECT_EQ(table.Names[1606], "Ascii Message 127");
  EXPECT_EQ(table.ModuleSlotIndex[1], 1607);
  EXPECT_EQ(table.ModuleSlotIndex[2], 1608);
  EXPECT_EQ(table.ModuleSlotIndex[126], 1732);
  EXPECT_EQ(table.Names[1732], "Module #126");
  EXPECT_EQ(table.Names[1733], "");
}

TEST_F(NameTableTest, ModulesShiftTheSlotIndexAndPointsFollowTheirSlot) {
  tree.AddModule(1607, ModuleType::Kado16);
  tree.AddModule(1632, ModuleType::Pelko);  // slot 2
  Rebuild();
  EXPECT_EQ(table.ModuleSlotIndex[2], 1632);
  EXPECT_EQ(table.ModuleSlotIndex[3], 1641);
  FillModulePointList(items, 2, 7, 0, table);
  ASSERT_EQ(items.size(), 8u);
  EXPECT_EQ(items[0], "Relay #0");
  EXPECT_EQ(items[7], "Relay #7");
  FillModulePointList(items, 1, 17, 16, table);
  EXPECT_EQ(items, (std::vector<std::string>{"Analog #0", "Analog #1"}));
  FillModulePointList(items, 1, 3, 4, table);
  EXPECT_TRUE(items.empty());
  items = {"old"};
  FillModulePointList(items, 0, 3, 0, table);
  EXPECT_TRUE(items.empty());
}

TEST_F(NameTableTest, TessaroMovesTheSlotsAndFillsTouchAndIconLists) {
  tree.ChangeToTessaro();
  tree.Rename(FirstIcon, "screen.bmp");
  tree.Rename(FirstIcon + 1, "lamp.bmp");
  Rebuild();
  EXPECT_EQ(table.ModuleSlotIndex[1], 2065);
  EXPECT_EQ(table.ModuleSlotIndex[126], 2190);
  EXPECT_TRUE(table.IsTouchController());

  FillTouchObjectList(items, table);
  ASSERT_EQ(items.size(), 256u);
  EXPECT_EQ(items[0], "Touch Anywhere Button #0");
  EXPECT_EQ(items[255], "Touch Object #255");

  FillIconList(items, table);
  ASSERT_EQ(items.size(), 200u);
  EXPECT_EQ(items[0], "No Icon");
  EXPECT_EQ(items[1], "lamp.bmp");  // icon 0, the screen bitmap, is never listed by name
  EXPECT_EQ(items[199], "Icon #199");

  FillControllerModuleList(items, table);
  ASSERT_EQ(items.size(), 127u);
  EXPECT_EQ(items[0], "Tessaro");
  EXPECT_EQ(items[1], "Module #1");
}

TEST_F(NameTableTest, BuildersClearOrAppendAsEachOneShould) {
  Rebuild();
  FillVariableList(items, table);
  ASSERT_EQ(items.size(), 128u);
  EXPECT_EQ(items[60], "Variable# 60 / IR-Variable");
  AddModuleDataItems(items);
  ASSERT_EQ(items.size(), 256u);
  EXPECT_EQ(items[127], "Variable #127");
  EXPECT_EQ(items[128], "Data for Module# 0");
  EXPECT_EQ(items[255], "Data for Module# 127");

  items = {"old"};
  FillTimerList(items, table);
  ASSERT_EQ(items.size(), 64u);
  EXPECT_EQ(items[0], "Timer #0");

  items = {"old"};
  FillIrList(items, table);
  ASSERT_EQ(items.size(), 1024u);
  EXPECT_EQ(items[1023], "IR #1023");

  items = {"old"};
  FillX10UnitList(items, table);
  ASSERT_EQ(items.size(), 256u);
  EXPECT_EQ(items[16 * 3 + 4], "X-10 House D / Unit 5");

  items = {"old"};
  FillModuleList(items, table);
  ASSERT_EQ(items.size(), 126u);
  EXPECT_EQ(items[0], "Module #1");
  EXPECT_EQ(items[125], "Module #126");

  items = {"old"};
  FillControllerModuleList(items, table);
  ASSERT_EQ(items.size(), 127u);
  EXPECT_EQ(items[0], "Marvik");

  // The smaller model has no touch objects: the list keeps whatever it held.
  items = {"a", "b"};
  FillTouchObjectList(items, table);
  EXPECT_EQ(items, (std::vector<std::string>{"a", "b"}));
}

TEST_F(NameTableTest, AShorterTreeLeavesLaterEntriesAsTheyWere) {
  tree.ChangeToTessaro();
  Rebuild();
  EXPECT_EQ(table.Names[2190], "Module #126");
  tree.Assign(SystemMapTree::Default());
  Rebuild();
  EXPECT_EQ(table.Names[0], "Marvik");
  EXPECT_EQ(table.Names[1607], "Module #1");
  EXPECT_EQ(table.Names[2190], "Module #126");  // not covered by the new tree: kept
  EXPECT_EQ(table.ModuleSlotIndex[126], 1732);
}

TEST_F(NameTableTest, NodesPastPosition4998AreNotCopied) {
  tree.ChangeToTessaro();
  // Eight slave Tessaro controllers of 384 points each push the later slots past the table's end.
  for (int slot = 1; slot <= 8; ++slot)
    tree.AddModule(tree.PositionOf(tree.Root()->Child(slot)), ModuleType::SlaveTessaro);
  ASSERT_GT(tree.Count(), NameTable::Size);
  table.Names[4999] = "untouched";
  Rebuild();
  EXPECT_EQ(table.Names[4998], tree.TextAt(4998));
  EXPECT_EQ(table.Names[4999], "untouched");
  EXPECT_EQ(table.ModuleSlotIndex[8], 2065 + 7 * 385);
  // Slot 9 starts at 2065 + 8 * 385 = 5145, beyond the table: it is not recorded.
  EXPECT_EQ(table.ModuleSlotIndex[9], 0);

  FillModulePointList(items, 8, 383, 0, table);
  EXPECT_EQ(items.size(), static_cast<size_t>(NameTable::Size - (2065 + 7 * 385) - 1));  // stops at the end
}

TEST(SharedNameTable, IsOneInstance) { EXPECT_EQ(&SharedNameTable(), &SharedNameTable()); }

}  // namespace
}  // namespace project
