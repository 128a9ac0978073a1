// The table's selection: anchor and extension from keys and mouse, whole rows, columns and table.
#include <algorithm>

#include "controls/table.h"

namespace controls {

namespace {

struct Span {
  int From, To;
};

Span Between(int a, int b) { return {std::min(a, b), std::max(a, b)}; }

}  // namespace

void TVxCustomTable::tbDeselectAll(TVxCellArray& cells) {
  const TVxTableAxis& rows = layout_.RowAxis();
  selection_.Iterate(
      [&](int rowFrom, int col, int rowTo, int, void*) {
        if (tbFindColInx(col) < 0) return true;
        for (int ri = 0; ri < rows.DisplayCount(); ++ri) {
          const int row = rows.NumberAt(ri);
          if (row >= rowFrom && row <= rowTo) cells.AddCell(row, col);
        }
        return true;
      },
      nullptr);
  selection_.DeselectAll();
}

void TVxCustomTable::tbSetAnchorCell(int RowNum, int ColNum, TVxTblSelectionType SelType) {
  if (SelType == tstDeselectAll) tbDeselectAll(invalid_);
  anchorCol_ = std::clamp(ColNum, LockedCols(), std::max(LockedCols(), ColCount() - 1));
  anchorRow_ = std::clamp(RowNum, LockedRows(), std::max(LockedRows(), RowLimit() - 1));
  selection_.SetRangeAnchor(RowNum, ColNum, SelType);
  additiveSelect_ = SelType == tstAdditional && !selection_.IsCellSelected(RowNum, ColNum);
}

void TVxCustomTable::tbUpdateSelection(int RowNum, int ColNum, TVxTblSelectionType SelType) {
  TVxCellArray toDraw, deselected;
  if (SelType == tstDeselectAll) tbDeselectAll(deselected);
  const bool wholeRows = Has(otoBrowseRow);
  const Span allCols{LockedCols(), ColCount() - 1};
  const Span oldRows = Between(activeRow_, anchorRow_);
  const Span oldCols = wholeRows ? allCols : Between(activeCol_, anchorCol_);
  const Span newRows = Between(RowNum, anchorRow_);
  const Span newCols = wholeRows ? allCols : Between(ColNum, anchorCol_);
  selection_.ExtendRange(RowNum, ColNum, additiveSelect_ || extendSelection_);
  const TVxTableAxis& rows = layout_.RowAxis();
  const TVxTableAxis& cols = layout_.ColAxis();
  const auto eachDisplayed = [&](Span r, Span c, const auto& visit) {
    for (int ri = 0; ri < rows.DisplayCount(); ++ri) {
      const int row = rows.NumberAt(ri);
      if (row < r.From || row > r.To) continue;
      for (int ci = 0; ci < cols.DisplayCount(); ++ci) {
        const int col = cols.NumberAt(ci);
        if (col >= c.From && col <= c.To) visit(row, col);
      }
    }
  };
  eachDisplayed(oldRows, oldCols, [&](int row, int col) {
    deselected.DeleteCell(row, col);
    toDraw.AddCell(row, col);
  });
  // What remains in toDraw afterwards changed between the two rectangles.
  eachDisplayed(newRows, newCols, [&](int row, int col) {
    if (!toDraw.DeleteCell(row, col)) toDraw.AddCell(row, col);
  });
  toDraw.AddCell(activeRow_, activeCol_);
  invalid_.Merge(toDraw);
  invalid_.Merge(deselected);
}

void TVxCustomTable::tbSelectRow(int RowNum) {
  selection_.SelectCellRange(RowNum, LockedCols(), RowNum, ColCount() - 1);
  InvalidateRow(RowNum);
}

void TVxCustomTable::tbSelectCol(int ColNum) {
  selection_.SelectCellRange(LockedRows(), ColNum, RowLimit() - 1, ColNum);
  InvalidateColumn(ColNum);
}

void TVxCustomTable::tbSelectTable() {
  selection_.SelectAll();
  InvalidateTable();
}

void TVxCustomTable::MouseSelectMove(int x, int y, tk::ShiftState shift) {
  const TVxTableAxis& rows = layout_.RowAxis();
  const TVxTableAxis& cols = layout_.ColAxis();
  int row = -1, col = -1;
  CalcRowColFromXY(x, y, row, col);
  // Beyond an edge the target is one row or column further that way, so each move scrolls by at most one.
  if (y < 0 || (row >= 0 && row < LockedRows()))
    row = IncRow(activeRow_, -1);
  else if (row < 0)
    row = std::min(IncRow(rows.LastDisplayed(), +1), RowLimit() - 1);
  if (x < 0 || (col >= 0 && col < LockedCols()))
    col = IncCol(activeCol_, -1);
  else if (col < 0)
    col = std::min(IncCol(cols.LastDisplayed(), +1), ColCount() - 1);
  TableRedrawLock lock(*this);
  DoActiveCellMoving(ccTableMouse, row, col);
  if (row == activeRow_ && col == activeCol_) return;
  if (shift & tk::ssCtrl) {
    tbUpdateSelection(row, col, tstAdditional);
  } else {
    additiveSelect_ = true;
    tbUpdateSelection(row, col, tstDeselectAll);
  }
  tbSetActiveCellPrim(row, col);
}

}  // namespace controls
