#pragma once
// The table grid's geometry, without a window: which rows and columns are on screen and where, the locked
// area, the first non-locked row and column shown (the top-left cell), the last page in each direction, the
// scroll bar mapping and hit testing. The table keeps one of these and paints and scrolls from it.
#include <cstdint>
#include <functional>
#include <memory>

#include "controls/table_common.h"
#include "tk/types.h"

namespace controls {

class TVxTableRows;
class TVxTableColumns;

// One direction of the grid: rows (heights, the row count, the top row, the client height) or columns
// (widths, the column count, the left column, the client width).
class TVxTableAxis {
 public:
  // How many entries there are, how high or wide one is, whether it is hidden.
  std::function<int()> Count;
  std::function<int(int)> Size;
  std::function<bool(int)> Hidden;

  int Locked = 1;        // LockedRows or LockedCols
  int First = 1;         // TopRow or LeftCol
  int ClientExtent = 0;  // client height or width
  int Last = 1;          // LastTopRow or LastLeftCol
  int OnLastPage = 0;    // RowsOnLastPage or ColsOnLastPage
  // Columns start the last-page walk when the client is as wide as the page; rows only when it is wider.
  bool WalkWhenEqual = false;

  // The entries on screen; built by Rebuild.
  std::unique_ptr<TVxTblDisplayArray> Display;

  bool Visible(int n) const { return n >= 0 && n < Count() && !Hidden(n); }
  // The nearest visible non-locked entry (Direction -1, 0 or +1); the start (or Locked, for a start outside
  // the non-locked range) when there is none.
  int Inc(int n, int direction) const;
  // The locked entries that fit, then the non-locked ones from `first`, each with its offset, and the extent.
  void Build(std::unique_ptr<TVxTblDisplayArray>& da, int first) const;
  void Rebuild() { Build(Display, First); }
  // Last and OnLastPage; First is pulled back to Last (and the display rebuilt) when it lies beyond it.
  // Answers whether First moved.
  bool CalcLastPage();

  int DisplayCount() const { return Display ? Display->Count : 0; }
  int NumberAt(int index) const { return Display->Items[static_cast<std::size_t>(index)].Number; }
  int OffsetAt(int index) const { return Display->Items[static_cast<std::size_t>(index)].Offset; }
  // Where the entry at `index` ends: the next one's offset, or the extent.
  int EndAt(int index) const { return Display->Items[static_cast<std::size_t>(index) + 1].Offset; }
  int Extent() const { return Display ? DisplayExtent(*Display) : 0; }
  // Display index of an entry by binary search; -1 when it is not on screen.
  int FindInx(int n) const;
  // Offset of an entry on screen, -1 when it is not.
  int OffsetOf(int n) const;
  // The display index whose span holds `pos` (0 <= pos < min(client, extent)), else -1.
  int IndexAt(int pos) const;
  // The last entry on screen, -1 when none is.
  int LastDisplayed() const { return DisplayCount() > 0 ? NumberAt(DisplayCount() - 1) : -1; }
  // Where the non-locked entries start on screen.
  int UnlockedStart() const;
  // Visible entries in from .. to.
  int CountVisible(int from, int to) const;

  // The First that brings entry n into view: n itself when it is not on screen; when it is on screen but cut
  // off, the entry after as many leading ones as must go.
  int EnsureVisibleFirst(int n) const;
  // A page on: the last entry on screen, or the next visible one when that already is First.
  int PageForwardFirst() const;
  // A page back: the highest First whose page still shows the current First.
  int PageBackFirst() const;
};

// A scroll bar's range.
struct TVxScrollRange {
  int Min = 0;
  int Max = 0;
  friend bool operator==(const TVxScrollRange&, const TVxScrollRange&) = default;
};

// A rectangle turned into display indexes, for painting and invalidating.
struct TVxTblRectRange {
  enum Kind { Inside, Beyond, Nothing };
  Kind Result = Nothing;
  int FirstRow = 0, LastRow = -1;  // display indexes
  int FirstCol = 0, LastCol = -1;
};

struct TVxTblGridLine {
  bool Found = false;
  bool IsColumn = false;
  int Index = -1;  // display index of the row or column whose trailing line it is
};

class TVxTableLayout {
 public:
  // Rows counts at 16,384 and above map onto the vertical scroll bar scaled down.
  static constexpr int ScaledRowCount = 16384;
  // How near a grid line the pointer must be.
  static constexpr int GridLineSlack = 2;

  TVxTableLayout();
  // The rows and columns the geometry is read from; the table keeps them.
  void Bind(const TVxTableRows* rows, const TVxTableColumns* columns);

  TVxTableAxis& RowAxis() { return rows_; }
  const TVxTableAxis& RowAxis() const { return rows_; }
  TVxTableAxis& ColAxis() { return cols_; }
  const TVxTableAxis& ColAxis() const { return cols_; }
  void SetClientSize(int width, int height);

  TVxTblRegion CalcRowColFromXY(int X, int Y, int& RowNum, int& ColNum) const;
  TVxTblRectRange HitTestRect(const tk::Rect& rect) const;
  // A row line only left of the non-locked columns, a column line only above the non-locked rows.
  TVxTblGridLine IsOnGridLine(int X, int Y) const;
  // A column heading (in the locked rows, not the locked columns) or a row heading.
  TVxTblGridLine IsInMoveArea(int X, int Y) const;
  // The client rectangle of the displayed cell at these display indexes.
  tk::Rect CellRectAt(int rowIndex, int colIndex) const;
  // Of a cell by number; empty when it is not displayed.
  tk::Rect CellRect(int RowNum, int ColNum) const;

  TVxScrollRange VerticalRange() const;
  int VerticalPosition() const;
  // The top row a vertical thumb position asks for.
  int VerticalThumbRow(int position) const;
  // Visible columns from LockedCols to LastLeftCol.
  int HScrollPosCount() const;
  TVxScrollRange HorizontalRange() const { return {0, HScrollPosCount() - 1}; }
  int HorizontalPosition() const;
  int HorizontalThumbCol(int position) const;

 private:
  TVxTableAxis rows_;
  TVxTableAxis cols_;
  const TVxTableRows* rowsSource_ = nullptr;
  const TVxTableColumns* colsSource_ = nullptr;
};

}  // namespace controls
