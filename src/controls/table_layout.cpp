#include "controls/table_layout.h"

#include <algorithm>
#include <cstdlib>

#include "controls/table_rows_cols.h"

namespace controls {

namespace {

// Display index of `n` in `da` by binary search over its ascending numbers; -1 when absent.
int FindInxIn(const TVxTblDisplayArray* da, int n) {
  if (!da || da->Count == 0) return -1;
  const auto begin = da->Items.begin();
  const auto end = begin + da->Count;
  const auto at =
      std::lower_bound(begin, end, n, [](const TVxTblDisplayItem& item, int number) { return item.Number < number; });
  return at != end && at->Number == n ? static_cast<int>(at - begin) : -1;
}

}  // namespace

// one direction

int TVxTableAxis::Inc(int n, int direction) const {
  const int count = Count();
  if (n < Locked || n > count - 1) n = Locked;
  if (direction == 0 && Visible(n)) return n;
  if (direction >= 0) {
    for (int m = n + 1; m < count; ++m)
      if (Visible(m)) return m;
    if (direction > 0) return n;
  }
  for (int m = n - 1; m >= Locked; --m)
    if (Visible(m)) return m;
  return n;
}

void TVxTableAxis::Build(std::unique_ptr<TVxTblDisplayArray>& da, int first) const {
  if (!da) AssignDisplayArray(da, DisplayArrayInitialCount);
  da->Count = 0;
  const int count = Count();
  int position = 0;
  for (int n = 0; n < Locked && n < count && position < ClientExtent; ++n) {
    if (Hidden(n)) continue;
    AppendDisplayItem(da, n, position);
    position += Size(n);
  }
  for (int n = std::max(first, Locked); n < count && position < ClientExtent; ++n) {
    if (Hidden(n)) continue;
    AppendDisplayItem(da, n, position);
    position += Size(n);
  }
  SetDisplayExtent(da, position);
}

bool TVxTableAxis::CalcLastPage() {
  const int count = Count();
  if (count <= Locked) {
    OnLastPage = 0;
    return false;
  }
  std::unique_ptr<TVxTblDisplayArray> scratch;
  int candidate = Inc(count - 1, 0);
  Build(scratch, candidate);
  const int extent = DisplayExtent(*scratch);
  if (WalkWhenEqual ? ClientExtent >= extent : ClientExtent > extent) {
    int remembered = candidate;
    do {
      remembered = candidate;
      const int next = Inc(candidate, -1);
      if (next == candidate) break;
      candidate = next;
      Build(scratch, candidate);
    } while (ClientExtent > DisplayExtent(*scratch));
    Last = remembered;
    OnLastPage = count - remembered;
    if (Last < First) {
      First = Last;
      Rebuild();
      return true;
    }
  } else {
    Last = candidate;
    OnLastPage = 1;
  }
  return false;
}

int TVxTableAxis::FindInx(int n) const { return FindInxIn(Display.get(), n); }

int TVxTableAxis::OffsetOf(int n) const {
  const int index = FindInx(n);
  return index < 0 ? -1 : OffsetAt(index);
}

int TVxTableAxis::IndexAt(int pos) const {
  const int count = DisplayCount();
  if (count == 0 || pos < 0 || pos >= std::min(ClientExtent, Extent())) return -1;
  const auto begin = Display->Items.begin();
  const auto end = begin + count;
  // The last entry that starts at or before pos.
  const auto at =
      std::upper_bound(begin, end, pos, [](int p, const TVxTblDisplayItem& item) { return p < item.Offset; });
  return at == begin ? -1 : static_cast<int>(at - begin) - 1;
}

int TVxTableAxis::UnlockedStart() const {
  for (int i = 0; i < DisplayCount(); ++i)
    if (NumberAt(i) >= Locked) return OffsetAt(i);
  return Extent();
}

int TVxTableAxis::CountVisible(int from, int to) const {
  int visible = 0;
  for (int n = std::max(0, from); n <= to && n < Count(); ++n)
    if (!Hidden(n)) ++visible;
  return visible;
}

int TVxTableAxis::EnsureVisibleFirst(int n) const {
  const int wanted = FindInx(n);
  if (wanted < 0) return n;
  int bottom = EndAt(wanted);
  if (bottom <= ClientExtent) return First;
  int i = FindInx(First);
  if (i < 0 || i >= wanted) return First;
  bottom -= EndAt(i) - OffsetAt(i);
  ++i;
  while (i < wanted && bottom > ClientExtent) {
    bottom -= EndAt(i) - OffsetAt(i);
    ++i;
  }
  return NumberAt(i);
}

int TVxTableAxis::PageForwardFirst() const {
  const int last = LastDisplayed();
  return last <= First ? Inc(First, +1) : last;
}

int TVxTableAxis::PageBackFirst() const {
  int candidate = Inc(First, -1);
  if (candidate == First) return First;
  std::unique_ptr<TVxTblDisplayArray> scratch;
  for (;;) {
    const int next = Inc(candidate, -1);
    if (next == candidate) break;
    Build(scratch, next);
    if (FindInxIn(scratch.get(), First) < 0) break;
    candidate = next;
  }
  return candidate;
}

// both directions

TVxTableLayout::TVxTableLayout() {
  rows_.Count = [this] { return rowsSource_ ? rowsSource_->Limit() : 0; };
  rows_.Size = [this](int n) { return rowsSource_->Height(n); };
  rows_.Hidden = [this](int n) { return rowsSource_->Hidden(n); };
  cols_.Count = [this] { return colsSource_ ? colsSource_->Count() : 0; };
  cols_.Size = [this](int n) { return colsSource_->Width(n); };
  cols_.Hidden = [this](int n) { return colsSource_->Hidden(n); };
  cols_.WalkWhenEqual = true;
}

void TVxTableLayout::Bind(const TVxTableRows* rows, const TVxTableColumns* columns) {
  rowsSource_ = rows;
  colsSource_ = columns;
}

void TVxTableLayout::SetClientSize(int width, int height) {
  cols_.ClientExtent = std::max(0, width);
  rows_.ClientExtent = std::max(0, height);
}

TVxTblRegion TVxTableLayout::CalcRowColFromXY(int X, int Y, int& RowNum, int& ColNum) const {
  RowNum = -1;
  ColNum = -1;
  if (const int index = rows_.IndexAt(Y); index >= 0) RowNum = rows_.NumberAt(index);
  if (const int index = cols_.IndexAt(X); index >= 0) ColNum = cols_.NumberAt(index);
  TVxTblRegion region;
  if (X < 0 || Y < 0 || X >= cols_.ClientExtent || Y >= rows_.ClientExtent)
    region = otrOutside;
  else if (RowNum < 0 || ColNum < 0)
    region = otrInUnused;
  else if (RowNum < rows_.Locked || ColNum < cols_.Locked)
    return otrInLocked;
  else
    return otrInMain;
  if (RowNum == -1 && Y < 0) RowNum = -2;
  if (ColNum == -1 && X < 0) ColNum = -2;
  return region;
}

TVxTblRectRange TVxTableLayout::HitTestRect(const tk::Rect& rect) const {
  TVxTblRectRange range;
  const tk::Rect r{std::max(0, rect.Left), std::max(0, rect.Top), std::min(rect.Right, cols_.ClientExtent),
                   std::min(rect.Bottom, rows_.ClientExtent)};
  if (r.Empty()) return range;
  int row = -1, col = -1;
  CalcRowColFromXY(r.Left, r.Top, row, col);
  if (row < 0 || col < 0) return range;  // the top-left corner is in the unused area: no cell to draw
  range.FirstRow = rows_.FindInx(row);
  range.FirstCol = cols_.FindInx(col);
  range.Result = TVxTblRectRange::Inside;
  CalcRowColFromXY(r.Right - 1, r.Bottom - 1, row, col);
  if (row < 0) {
    range.LastRow = rows_.DisplayCount() - 1;
    range.Result = TVxTblRectRange::Beyond;
  } else {
    range.LastRow = rows_.FindInx(row);
  }
  if (col < 0) {
    range.LastCol = cols_.DisplayCount() - 1;
    range.Result = TVxTblRectRange::Beyond;
  } else {
    range.LastCol = cols_.FindInx(col);
  }
  return range;
}

TVxTblGridLine TVxTableLayout::IsOnGridLine(int X, int Y) const {
  const int lockedColsEnd = cols_.UnlockedStart();
  const int lockedRowsEnd = rows_.UnlockedStart();
  if (X >= lockedColsEnd && Y >= lockedRowsEnd) return {};
  const bool rowLine = X < lockedColsEnd;
  const TVxTableAxis& axis = rowLine ? rows_ : cols_;
  const int pos = rowLine ? Y : X;
  for (int i = 0; i < axis.DisplayCount(); ++i)
    if (std::abs(pos - axis.EndAt(i)) <= GridLineSlack) return {true, !rowLine, i};
  return {};
}

TVxTblGridLine TVxTableLayout::IsInMoveArea(int X, int Y) const {
  const int lockedColsEnd = cols_.UnlockedStart();
  const int lockedRowsEnd = rows_.UnlockedStart();
  if (Y >= 0 && Y < lockedRowsEnd && X >= lockedColsEnd && X < cols_.Extent()) return {true, true, cols_.IndexAt(X)};
  if (X >= 0 && X < lockedColsEnd && Y >= lockedRowsEnd && Y < rows_.Extent()) return {true, false, rows_.IndexAt(Y)};
  return {};
}

tk::Rect TVxTableLayout::CellRectAt(int rowIndex, int colIndex) const {
  return {cols_.OffsetAt(colIndex), rows_.OffsetAt(rowIndex), cols_.EndAt(colIndex), rows_.EndAt(rowIndex)};
}

tk::Rect TVxTableLayout::CellRect(int RowNum, int ColNum) const {
  const int rowIndex = rows_.FindInx(RowNum);
  const int colIndex = cols_.FindInx(ColNum);
  if (rowIndex < 0 || colIndex < 0) return {};
  return CellRectAt(rowIndex, colIndex);
}

namespace {
// The one divisor a scaled vertical bar works with, for its range, position and thumb alike (different ones
// make the thumb jump after a drag): from the row count, chosen by the last top row.
int VerticalScale(int lastTop, int rowCount) {
  return (lastTop == TVxTableLayout::ScaledRowCount ? rowCount / 64 : rowCount / 1024) + 1;
}
}  // namespace

TVxScrollRange TVxTableLayout::VerticalRange() const {
  const int last = rows_.Last;
  if (last < ScaledRowCount)
    return {rows_.Locked, rows_.CountVisible(rows_.Locked, last - 1) > 0 ? last : rows_.Locked};
  return {rows_.Locked, last / VerticalScale(last, rows_.Count())};
}

int TVxTableLayout::VerticalPosition() const {
  if (rows_.Last < ScaledRowCount) return rows_.First;
  return rows_.First / VerticalScale(rows_.Last, rows_.Count());
}

int TVxTableLayout::VerticalThumbRow(int position) const {
  const int count = rows_.Count();
  if (rows_.Last < ScaledRowCount) return position;
  if (position == rows_.Locked) return rows_.Locked;
  const int d = VerticalScale(rows_.Last, count);
  // The bottom of the bar is the end of the table (the top-left clamp makes it the last page).
  if (position >= rows_.Last / d || position == count / d) return count - 1;
  return position * d;
}

int TVxTableLayout::HScrollPosCount() const { return cols_.CountVisible(cols_.Locked, cols_.Last); }

int TVxTableLayout::HorizontalPosition() const { return cols_.CountVisible(cols_.Locked, cols_.First - 1); }

int TVxTableLayout::HorizontalThumbCol(int position) const {
  // Position 0 is the first visible column, which need not be the first non-locked one.
  int col = cols_.Inc(cols_.Locked, 0);
  for (int i = 0; i < position; ++i) col = cols_.Inc(col, +1);
  return col;
}

}  // namespace controls
