#include "controls/table_colors.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace controls;

// ---- colours and pens

TEST(TableColors, SettersNotifyOnChangeAndAssignNotifiesOnce) {
  TVxTableColors colors, source;
  int notices = 0;
  colors.OnChange = [&](TVxTableColors*) { ++notices; };
  colors.SetLocked(tk::clBtnFace);  // unchanged
  colors.SetSelected(tk::clRed);
  EXPECT_EQ(notices, 1);
  source.SetEditingText(tk::clBlue);
  source.SetActiveUnfocused(tk::clGreen);
  colors.Assign(source);
  EXPECT_EQ(notices, 2);
  EXPECT_EQ(colors.Selected(), tk::clHighlight);
  EXPECT_EQ(colors.EditingText(), tk::clBlue);
  EXPECT_EQ(colors.ActiveUnfocused(), tk::clGreen);
}

TEST(GridPens, TheSetStartsWithItsFourPensAndSharesOneNotifier) {
  TVxGridPenSet set;
  struct Expect {
    const TVxGridPen& Pen;
    tk::TColor Color;
    tk::PenStyle Style;
    TGridEffect Effect;
  } expected[] = {{set.NormalGrid(), tk::clBtnShadow, tk::PenStyle::psDot, geBoth},
                  {set.LockedGrid(), tk::clBtnShadow, tk::PenStyle::psSolid, ge3D},
                  {set.CellWhenFocused(), tk::clBlack, tk::PenStyle::psSolid, geBoth},
                  {set.CellWhenUnfocused(), tk::clBlack, tk::PenStyle::psDash, geBoth}};
  for (const Expect& e : expected) {
    EXPECT_EQ(e.Pen.NormalColor(), e.Color);
    EXPECT_EQ(e.Pen.Style(), e.Style);
    EXPECT_EQ(e.Pen.Effect(), e.Effect);
  }
  std::vector<TVxGridPen*> changed;
  set.SetOnChange([&](TVxGridPen* pen) { changed.push_back(pen); });
  set.LockedGrid().SetSecondColor(tk::clRed);
  set.CellWhenFocused().SetEffect(geNone);
  TVxGridPenSet copy;
  copy.SetOnChange([&](TVxGridPen* pen) { changed.push_back(pen); });
  copy.Assign(set);
  EXPECT_EQ(changed.size(), 6u);
  EXPECT_EQ(changed[0], &set.LockedGrid());
  EXPECT_EQ(copy.LockedGrid().SecondColor(), tk::clRed);
  EXPECT_EQ(copy.CellWhenFocused().Effect(), geNone);
}

// ---- selection list

using Ranges = std::vector<TVxRowRange>;

TEST(SelectionList, RangesMergeWhenTheyTouchOrOverlap) {
  struct Case {
    Ranges Select;
    Ranges Result;
  } cases[] = {
      {{{1, 3}, {4, 6}}, {{1, 6}}},
      {{{1, 3}, {5, 6}}, {{1, 3}, {5, 6}}},
      {{{5, 6}, {1, 3}, {2, 4}}, {{1, 6}}},
      {{{8, 9}, {1, 2}, {4, 5}, {3, 7}}, {{1, 9}}},
      {{{4, 6}, {0, 1}, {5, 5}}, {{0, 1}, {4, 6}}},
  };
  for (const Case& c : cases) {
    TVxSelectionList list(20, 3);
    for (const TVxRowRange& r : c.Select) list.SelectCellRange(r.FromRow, 1, r.ToRow, 1);
    EXPECT_EQ(list.Ranges(1), c.Result);
    EXPECT_EQ(list.ActiveColumns(), 1);
  }
}

TEST(SelectionList, DeselectingCutsAndSplits) {
  struct Case {
    TVxRowRange Deselect;
    Ranges Result;
  } cases[] = {
      {{5, 5}, {{1, 4}, {6, 10}}},
      {{0, 2}, {{3, 10}}},
      {{9, 15}, {{1, 8}}},
      {{0, 19}, {}},
  };
  for (const Case& c : cases) {
    TVxSelectionList list(20, 3);
    list.SelectCellRange(1, 0, 10, 2);
    list.DeselectCellRange(c.Deselect.ToRow, 0, c.Deselect.FromRow, 0);  // corners in either order
    EXPECT_EQ(list.Ranges(0), c.Result);
    EXPECT_EQ(list.ActiveColumns(), c.Result.empty() ? 2 : 3);
  }
}

TEST(SelectionList, OutsideCoordinatesAreIgnored) {
  TVxSelectionList list(5, 2);
  list.SelectCell(5, 0);
  list.SelectCell(0, -1);
  list.SelectCellRange(0, 0, 9, 1);
  EXPECT_FALSE(list.HaveSelection());
  EXPECT_FALSE(list.IsCellSelected(-1, 0));
  list.SelectAll();
  EXPECT_TRUE(list.IsCellSelected(4, 1));
  list.SetColCount(1);
  EXPECT_EQ(list.ActiveColumns(), 1);
  EXPECT_FALSE(list.IsCellSelected(4, 1));
  list.SetRowCount(-3);
  EXPECT_EQ(list.RowCount(), 5);
}

TEST(SelectionList, ThePendingRectangleDecidesInsideItself) {
  TVxSelectionList list(10, 10);
  list.SelectCellRange(0, 0, 9, 0);
  list.SetRangeAnchor(2, 0, tstAdditional);
  list.ExtendRange(4, 2, false);  // a deselecting rectangle
  EXPECT_FALSE(list.IsCellSelected(3, 0));
  EXPECT_TRUE(list.IsCellSelected(5, 0));
  EXPECT_TRUE(list.HasPendingRect());
  list.ExtendRange(2, 0, false);  // back onto the anchor: only the stored ranges count
  EXPECT_FALSE(list.HasPendingRect());
  EXPECT_TRUE(list.IsCellSelected(3, 0));
  list.ExtendRange(3, 1, true);
  list.SetRangeAnchor(7, 7, tstAdditional);  // commits the rectangle
  EXPECT_EQ(list.Ranges(1), (Ranges{{2, 3}}));
  list.SetRangeAnchor(7, 7, tstDeselectAll);
  EXPECT_FALSE(list.HaveSelection());
}

TEST(SelectionList, IterationCommitsAndStopsWhenAsked) {
  TVxSelectionList list(10, 4);
  list.SelectCellRange(1, 3, 2, 3);
  list.SelectCell(8, 3);
  list.SetRangeAnchor(0, 1, tstAdditional);
  list.ExtendRange(1, 1, true);
  std::vector<std::vector<int>> seen;
  int calls = 0;
  list.Iterate(
      [&](int rowFrom, int colFrom, int rowTo, int colTo, void* extra) {
        seen.push_back({rowFrom, colFrom, rowTo, colTo});
        return ++*static_cast<int*>(extra) < 2;
      },
      &calls);
  EXPECT_EQ(seen, (std::vector<std::vector<int>>{{0, 1, 1, 1}, {1, 3, 2, 3}}));
  EXPECT_FALSE(list.HasPendingRect());
  EXPECT_EQ(list.Ranges(1), (Ranges{{0, 1}}));
}

TEST(SelectionList, ShrinkingTheRowsDropsRangesBeyondTheNewEnd) {
  TVxSelectionList list(20, 3);
  list.SelectCellRange(2, 0, 15, 0);
  list.SelectCellRange(12, 1, 18, 1);
  list.SetRangeAnchor(5, 2, tstAdditional);
  list.ExtendRange(17, 2, true);  // a pending rectangle across the new end
  list.SetRowCount(10);
  std::vector<std::vector<int>> seen;
  list.Iterate(
      [&](int rowFrom, int colFrom, int rowTo, int colTo, void*) {
        seen.push_back({rowFrom, colFrom, rowTo, colTo});
        return true;
      },
      nullptr);
  EXPECT_EQ(seen, (std::vector<std::vector<int>>{{2, 0, 9, 0}, {5, 2, 9, 2}}));
  EXPECT_EQ(list.ActiveColumns(), 2);
  list.SetRowCount(20);
  EXPECT_FALSE(list.IsCellSelected(12, 0));
}

// ---- cell array

std::vector<TVxCellAddress> Cells(const TVxCellArray& array) {
  std::vector<TVxCellAddress> cells;
  for (int i = 0; i < array.Count(); ++i) {
    TVxCellAddress a;
    array.GetCellAddr(i, a);
    cells.push_back(a);
  }
  return cells;
}

TEST(CellArray, KeepsCellsSortedAndOnce) {
  TVxCellArray array;
  for (auto [row, col] : {std::pair{3, 1}, {1, 5}, {3, 0}, {1, 5}, {2, 9}}) array.AddCell(row, col);
  EXPECT_EQ(Cells(array), (std::vector<TVxCellAddress>{{1, 5}, {2, 9}, {3, 0}, {3, 1}}));
  EXPECT_TRUE(array.DeleteCell(2, 9));
  EXPECT_FALSE(array.DeleteCell(2, 9));
  TVxCellAddress outside{7, 7};
  array.GetCellAddr(3, outside);
  EXPECT_EQ(outside, (TVxCellAddress{0, 0}));
  for (int i = 0; i < 200; ++i) array.AddCell(i, 0);
  EXPECT_EQ(array.Count(), 202);
  EXPECT_EQ(array.Capacity() % TVxCellArray::CapacityStep, 0);
}

TEST(CellArray, MergingUnitesButLeavesTheUnusedAreaFlag) {
  TVxCellArray a, b;
  a.AddCell(1, 1);
  a.AddCell(4, 0);
  b.AddCell(1, 1);
  b.AddCell(2, 2);
  b.AddUnusedBit();
  a.Merge(b);
  EXPECT_EQ(Cells(a), (std::vector<TVxCellAddress>{{1, 1}, {2, 2}, {4, 0}}));
  EXPECT_FALSE(a.MustDoUnusedBit());
  TVxCellArray flagOnly;
  flagOnly.AddUnusedBit();
  EXPECT_FALSE(flagOnly.Empty());
  flagOnly.Clear();
  EXPECT_TRUE(flagOnly.Empty());
}

}  // namespace
