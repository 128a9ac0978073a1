#include "controls/table_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "controls/table_rows_cols.h"

namespace {

using namespace controls;

// Rows of 20 pixels and columns of 50 under a client of the given size; one locked row and column.
struct Grid {
  Grid(int width, int height, int rowCount = 10, int colCount = 10) : columns(nullptr, colCount) {
    rows.SetDefHeight(20);
    rows.SetLimit(rowCount);
    for (int c = 0; c < colCount; ++c) columns.SetWidth(c, 50);
    layout.Bind(&rows, &columns);
    layout.SetClientSize(width, height);
    Rebuild();
  }
  void Rebuild() {
    layout.RowAxis().CalcLastPage();
    layout.ColAxis().CalcLastPage();
    layout.RowAxis().Rebuild();
    layout.ColAxis().Rebuild();
  }
  std::vector<int> ShownRows() const {
    std::vector<int> shown;
    for (int i = 0; i < layout.RowAxis().DisplayCount(); ++i) shown.push_back(layout.RowAxis().NumberAt(i));
    return shown;
  }
  TVxTableRows rows;
  TVxTableColumns columns;
  TVxTableLayout layout;
};

TEST(TableLayout, DisplayArraysShowLockedRowsThenTheRestFromTheTopRow) {
  struct Case {
    int Height, Locked, First;
    std::set<int> Hidden;
    std::vector<int> Shown;
    int Extent;
  } cases[] = {
      {100, 1, 1, {}, {0, 1, 2, 3, 4}, 100},
      {90, 1, 1, {}, {0, 1, 2, 3, 4}, 100},  // the last one cut off
      {100, 2, 5, {}, {0, 1, 5, 6, 7}, 100},
      {100, 1, 3, {4, 5}, {0, 3, 6, 7, 8}, 100},  // hidden rows never show
      {100, 1, 8, {}, {0, 8, 9}, 60},             // the rows run out
      {0, 1, 1, {}, {}, 0},
  };
  for (const Case& c : cases) {
    Grid g(300, c.Height);
    for (int r : c.Hidden) g.rows.SetRowHidden(r, true);
    g.layout.RowAxis().Locked = c.Locked;
    g.layout.RowAxis().First = c.First;
    g.layout.RowAxis().Rebuild();
    EXPECT_EQ(g.ShownRows(), c.Shown) << c.Height << " " << c.First;
    EXPECT_EQ(g.layout.RowAxis().Extent(), c.Extent);
  }
}

TEST(TableLayout, IncFindsTheNearestVisibleUnlockedEntry) {
  struct Case {
    int Start, Direction, Expected;
  } cases[] = {
      {3, 0, 4},                                       // hidden: forward first
      {3, 1, 4},  {4, -1, 2}, {2, -1, 1}, {1, -1, 1},  // nothing above the locked row: the start
      {9, 1, 9},  {9, 0, 9},  {0, 0, 1},               // a locked start becomes the first unlocked
      {20, 0, 1}, {8, 0, 9},
  };
  Grid g(300, 100);
  g.rows.SetRowHidden(3, true);
  g.rows.SetRowHidden(8, true);
  for (const Case& c : cases)
    EXPECT_EQ(g.layout.RowAxis().Inc(c.Start, c.Direction), c.Expected) << c.Start << " " << c.Direction;
}

TEST(TableLayout, TheLastPageShowsTheLastRowWhole) {
  struct Case {
    int Height, Rows;
    int LastTop, OnLastPage;
  } cases[] = {
      {100, 10, 7, 3},  // rows 6..9 would fill 100 exactly: a page only counts while room is left
      {110, 10, 6, 4}, {95, 10, 7, 3}, {400, 10, 1, 9},  // everything fits: the first unlocked row
      {15, 10, 9, 1},                                    // not even one row fits
  };
  for (const Case& c : cases) {
    Grid g(300, c.Height, c.Rows);
    EXPECT_EQ(g.layout.RowAxis().Last, c.LastTop) << c.Height;
    EXPECT_EQ(g.layout.RowAxis().OnLastPage, c.OnLastPage) << c.Height;
  }
}

TEST(TableLayout, ColumnsWalkTheLastPageWhenItFitsExactly) {
  // The header and the last visible entry fill the client exactly; the last one is hidden.
  Grid g(100, 40, 10, 10);
  g.columns.SetHidden(9, true);
  g.rows.SetRowHidden(9, true);
  g.Rebuild();
  EXPECT_EQ(g.layout.ColAxis().Last, 8);
  EXPECT_EQ(g.layout.ColAxis().OnLastPage, 2);  // counted from the walk's last candidate
  EXPECT_EQ(g.layout.RowAxis().Last, 8);
  EXPECT_EQ(g.layout.RowAxis().OnLastPage, 1);
}

TEST(TableLayout, AFirstBeyondTheLastPageIsPulledBack) {
  Grid g(300, 100);
  g.layout.RowAxis().First = 9;
  EXPECT_TRUE(g.layout.RowAxis().CalcLastPage());
  EXPECT_EQ(g.layout.RowAxis().First, 7);
  EXPECT_EQ(g.ShownRows(), (std::vector<int>{0, 7, 8, 9}));
  EXPECT_FALSE(g.layout.RowAxis().CalcLastPage());
}

TEST(TableLayout, HidingEveryUnlockedRowLeavesNothingToScroll) {
  Grid g(300, 100);
  for (int r = 1; r < 10; ++r) g.rows.SetRowHidden(r, true);
  g.Rebuild();
  EXPECT_EQ(g.layout.RowAxis().First, 1);
  EXPECT_EQ(g.ShownRows(), std::vector<int>{0});
  EXPECT_EQ(g.layout.VerticalRange(), (TVxScrollRange{1, 1}));
}

TEST(TableLayout, PointsFallInRegions) {
  struct Case {
    int X, Y;
    TVxTblRegion Region;
    int Row, Col;
  } cases[] = {
      {60, 25, otrInMain, 1, 1},    {10, 25, otrInLocked, 1, 0}, {60, 5, otrInLocked, 0, 1},
      {49, 19, otrInLocked, 0, 0},  {50, 20, otrInMain, 1, 1},   {280, 25, otrInUnused, 1, -1},
      {60, 95, otrInUnused, -1, 1}, {-1, 25, otrOutside, 1, -2}, {60, -3, otrOutside, -2, 1},
      {400, 25, otrOutside, 1, -1},
  };
  Grid g(300, 100, 4, 6);  // rows end at 80, columns at 300
  g.columns.SetWidth(5, 20);
  g.Rebuild();
  for (const Case& c : cases) {
    int row = 0, col = 0;
    EXPECT_EQ(g.layout.CalcRowColFromXY(c.X, c.Y, row, col), c.Region) << c.X << "," << c.Y;
    EXPECT_EQ(row, c.Row) << c.X << "," << c.Y;
    EXPECT_EQ(col, c.Col) << c.X << "," << c.Y;
  }
}

TEST(TableLayout, RectanglesBecomeIndexRanges) {
  Grid g(300, 100, 4, 4);  // rows end at 80, columns at 200
  const TVxTblRectRange inside = g.layout.HitTestRect({55, 25, 120, 60});
  EXPECT_EQ(inside.Result, TVxTblRectRange::Inside);
  EXPECT_EQ(inside.FirstRow, 1);
  EXPECT_EQ(inside.LastRow, 2);
  EXPECT_EQ(inside.FirstCol, 1);
  EXPECT_EQ(inside.LastCol, 2);
  const TVxTblRectRange beyond = g.layout.HitTestRect({0, 0, 300, 100});
  EXPECT_EQ(beyond.Result, TVxTblRectRange::Beyond);
  EXPECT_EQ(beyond.LastRow, 3);
  EXPECT_EQ(beyond.LastCol, 3);
  EXPECT_EQ(g.layout.HitTestRect({210, 10, 290, 90}).Result, TVxTblRectRange::Nothing);
}

TEST(TableLayout, GridLinesAreFoundWithinTwoPixelsInTheHeadings) {
  struct Case {
    int X, Y;
    bool Found, IsColumn;
    int Index;
  } cases[] = {
      {98, 10, true, true, 1},  {102, 10, true, true, 1}, {97, 10, false, false, -1},  {103, 10, false, false, -1},
      {10, 38, true, false, 1}, {10, 42, true, false, 1}, {100, 40, false, false, -1},  // in the cells: no grid line
      {51, 10, true, true, 0},  {10, 18, true, false, 0}, {48, 10, false, false, -1},   // left of the unlocked columns
                                                                                        // only row lines count
  };
  Grid g(300, 100);
  for (const Case& c : cases) {
    const TVxTblGridLine line = g.layout.IsOnGridLine(c.X, c.Y);
    EXPECT_EQ(line.Found, c.Found) << c.X << "," << c.Y;
    if (!c.Found) continue;
    EXPECT_EQ(line.IsColumn, c.IsColumn) << c.X << "," << c.Y;
    EXPECT_EQ(line.Index, c.Index) << c.X << "," << c.Y;
  }
}

TEST(TableLayout, HeadingsAreMoveAreas) {
  Grid g(300, 100, 4, 4);
  EXPECT_EQ(g.layout.IsInMoveArea(120, 10).IsColumn, true);
  EXPECT_EQ(g.layout.IsInMoveArea(120, 10).Index, 2);
  EXPECT_TRUE(g.layout.IsInMoveArea(10, 50).Found);
  EXPECT_FALSE(g.layout.IsInMoveArea(10, 50).IsColumn);
  EXPECT_FALSE(g.layout.IsInMoveArea(10, 10).Found);   // the corner
  EXPECT_FALSE(g.layout.IsInMoveArea(250, 10).Found);  // beyond the columns
  EXPECT_FALSE(g.layout.IsInMoveArea(120, 50).Found);
}

TEST(TableLayout, KeepingARowInViewDropsLeadingRowsOnly) {
  Grid g(300, 90);  // header and rows 1..4, row 4 cut off at 90
  TVxTableAxis& rows = g.layout.RowAxis();
  EXPECT_EQ(rows.EnsureVisibleFirst(2), 1);  // already whole
  EXPECT_EQ(rows.EnsureVisibleFirst(4), 2);  // cut off by 10 pixels: one row goes
  EXPECT_EQ(rows.EnsureVisibleFirst(8), 8);  // not shown: it becomes the top row
  g.rows.SetRowHeight(4, 60);
  rows.Rebuild();
  EXPECT_EQ(rows.EnsureVisibleFirst(4), 4);  // never beyond the wanted row
}

TEST(TableLayout, PagesOverlapByOneRow) {
  Grid g(300, 90, 30);
  TVxTableAxis& rows = g.layout.RowAxis();
  EXPECT_EQ(rows.PageForwardFirst(), 4);  // the cut-off last row becomes the top
  rows.First = 10;
  rows.Rebuild();
  EXPECT_EQ(rows.PageBackFirst(), 7);  // the old top row becomes the cut-off last row
  rows.First = 2;
  rows.Rebuild();
  EXPECT_EQ(rows.PageBackFirst(), 1);
  rows.First = 1;
  rows.Rebuild();
  EXPECT_EQ(rows.PageBackFirst(), 1);
  g.layout.SetClientSize(300, 30);  // only the header and one row
  rows.Rebuild();
  EXPECT_EQ(rows.PageForwardFirst(), 2);
}

TEST(TableLayout, ManyRowsScaleTheVerticalBar) {
  Grid g(300, 80, 20000);
  TVxTableAxis& rows = g.layout.RowAxis();
  ASSERT_EQ(rows.Last, 19998);
  EXPECT_EQ(g.layout.VerticalRange(), (TVxScrollRange{1, 999}));  // 19998 div (19 + 1)
  EXPECT_EQ(g.layout.VerticalThumbRow(37), 740);                  // 20000 div 1024 + 1
  EXPECT_EQ(g.layout.VerticalThumbRow(1000), 19999);
  EXPECT_EQ(g.layout.VerticalThumbRow(1), 1);
  rows.First = 740;
  EXPECT_EQ(g.layout.VerticalPosition(), 37);  // the thumb goes back where it was dropped
  // Range, position and thumb share one divisor: a dropped thumb stays put, down to the bottom of the bar.
  for (int count : {20000, 20480, 16386, 16400, 1000000}) {
    Grid many(300, 80, count);
    TVxTableAxis& axis = many.layout.RowAxis();
    const int bottom = many.layout.VerticalRange().Max;
    for (int position : {37, bottom / 2, bottom}) {
      axis.First = std::min(many.layout.VerticalThumbRow(position), axis.Last);
      EXPECT_EQ(many.layout.VerticalPosition(), position) << count;
    }
    EXPECT_EQ(axis.First, axis.Last) << count;
  }
  Grid few(300, 80, 500);
  EXPECT_EQ(few.layout.VerticalRange(), (TVxScrollRange{1, few.layout.RowAxis().Last}));
  EXPECT_EQ(few.layout.VerticalThumbRow(123), 123);
}

TEST(TableLayout, TheHorizontalBarCountsVisibleColumns) {
  Grid g(200, 100, 10, 10);  // header + 3 columns a page
  g.columns.SetHidden(3, true);
  g.Rebuild();
  TVxTableAxis& cols = g.layout.ColAxis();
  ASSERT_EQ(cols.Last, 8);
  EXPECT_EQ(g.layout.HScrollPosCount(), 7);  // 1, 2, 4, 5, 6, 7, 8
  cols.First = 5;
  EXPECT_EQ(g.layout.HorizontalPosition(), 3);
  EXPECT_EQ(g.layout.HorizontalThumbCol(3), 5);
  EXPECT_EQ(g.layout.HorizontalThumbCol(0), 1);
  g.columns.SetHidden(1, true);  // the first non-locked column hidden: counting starts at the next one
  g.Rebuild();
  EXPECT_EQ(g.layout.HorizontalThumbCol(0), 2);
  EXPECT_EQ(g.layout.HorizontalThumbCol(2), 5);
  cols.First = 5;
  EXPECT_EQ(g.layout.HorizontalPosition(), 2);
}

}  // namespace
