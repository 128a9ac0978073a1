// The table and the mouse: clicks, the cursor, sizing and moving rows and columns.
#include <QApplication>
#include <QMouseEvent>

#include "controls/drag_indicator.h"
#include "controls/table.h"
#include "tk/exception_guard.h"

namespace controls {

// Rows and columns keep this much of themselves when sized.
constexpr int kMinimumSize = 6;

void TVxCustomTable::MouseDown(Qt::MouseButton button, tk::ShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TVxCustomTable::MouseUp(Qt::MouseButton button, tk::ShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TVxCustomTable::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

void TVxCustomTable::mousePressEvent(QMouseEvent* event) {
  const tk::Point p = WidgetToClient(event->position().toPoint());
  const tk::ShiftState shift = tk::ShiftFromQt(event->modifiers(), event->buttons());
  tk::Guarded([&] {
    if (event->button() == Qt::LeftButton)
      WMLButtonDown(p.X, p.Y, shift);
    else
      MouseDown(event->button(), shift, p.X, p.Y);
  });
}

void TVxCustomTable::mouseReleaseEvent(QMouseEvent* event) {
  TVxTableAncestor::mouseReleaseEvent(event);
  const tk::Point p = WidgetToClient(event->position().toPoint());
  const tk::ShiftState shift = tk::ShiftFromQt(event->modifiers(), event->buttons());
  tk::Guarded([&] {
    if (event->button() == Qt::LeftButton)
      WMLButtonUp(p.X, p.Y, shift);
    else
      MouseUp(event->button(), shift, p.X, p.Y);
  });
}

void TVxCustomTable::mouseMoveEvent(QMouseEvent* event) {
  const tk::Point p = WidgetToClient(event->position().toPoint());
  const tk::ShiftState shift = tk::ShiftFromQt(event->modifiers(), event->buttons());
  tk::Guarded([&] { WMMouseMove(p.X, p.Y, shift, event->buttons() & Qt::LeftButton); });
}

void TVxCustomTable::mouseDoubleClickEvent(QMouseEvent* event) {
  const tk::Point p = WidgetToClient(event->position().toPoint());
  const tk::ShiftState shift = tk::ShiftFromQt(event->modifiers(), event->buttons());
  tk::Guarded([&] {
    if (event->button() == Qt::LeftButton)
      WMLButtonDblClk(p.X, p.Y, shift);
    else
      MouseDown(event->button(), shift | tk::ssDouble, p.X, p.Y);
  });
}

// the left button

void TVxCustomTable::WMLButtonDown(int x, int y, tk::ShiftState shift) {
  MouseDown(Qt::LeftButton, shift, x, y);
  bool focusing = false;
  if (state_.Contains(otsUnfocused)) {
    {
      TableRedrawLock lock(*this);
      setFocus(Qt::MouseFocusReason);
    }
    focusing = true;
  } else if (!hasFocus() && !tbEditCellHasFocus(QApplication::focusWidget())) {
    // Still marked focused while neither it nor its editor has the focus any more.
    setFocus(Qt::MouseFocusReason);
  }
  if (state_.Contains(otsShowSize)) {
    SetState({otsSizing}, {otsShowSize});
    sizeLinePos_ = std::max(state_.Contains(otsDoingRow) ? y : x, SizeStart() + kMinimumSize);
    ShowSizeLine(true);
    return;
  }
  if (state_.Contains(otsShowMove)) {
    const bool column = state_.Contains(otsDoingCol);
    const TVxTableAxis& rows = layout_.RowAxis();
    const TVxTableAxis& cols = layout_.ColAxis();
    const int index = (column ? cols : rows).IndexAt(column ? x : y);
    if (index < 0 || rows.DisplayCount() == 0 || cols.DisplayCount() == 0) return;
    SetState({otsMoving}, {otsShowMove});
    moveFromIndex_ = moveToIndex_ = index;
    // The heading cell being dragged, as the picture that follows the pointer.
    tk::Rect drag;
    if (column) {
      const int left = cols.OffsetAt(index);
      drag = {left, rows.OffsetAt(0), std::min(cols.EndAt(index), ClientWidth()), rows.EndAt(0)};
    } else {
      const int top = rows.OffsetAt(index);
      drag = {cols.OffsetAt(0), top, cols.EndAt(0), std::min(rows.EndAt(index), ClientHeight())};
    }
    // On the screen, with the right and bottom edges inside as the indicator takes them.
    const QPoint origin = mapToGlobal(ClientToWidget({drag.Left, drag.Top}));
    const QPoint pointer = mapToGlobal(ClientToWidget({x, y}));
    const tk::Rect onScreen{origin.x(), origin.y(), origin.x() + drag.Width() - 1, origin.y() + drag.Height() - 1};
    dragImage_ = std::make_unique<TVxDragShow>(pointer.x(), pointer.y(), onScreen, tk::clBtnFace);
    ShowMoveLine(true);
    return;
  }
  int row = -1, col = -1;
  const TVxTblRegion region = CalcRowColFromXY(x, y, row, col);
  if (!state_.Contains(otsFocused)) return;
  if (!Has(otoNoSelection))
    SelectionClick(region, row, col, shift, focusing, x, y);
  else if (state_.Contains(otsNormal) || InEditingState())
    PlainClick(region, row, col, focusing, x, y);
}

void TVxCustomTable::SelectionClick(TVxTblRegion region, int row, int col, tk::ShiftState shift, bool focusing, int x,
                                    int y) {
  const bool ctrl = shift & tk::ssCtrl;
  const bool extend = shift & tk::ssShift;
  switch (region) {
    case otrInMain: {
      if (QWidget* editor = EditorWidget()) editor->setFocus(Qt::MouseFocusReason);
      const bool onActive = row == activeRow_ && col == activeCol_;
      const bool startsEdit = !ctrl && !extend && onActive && !focusing && !Has(otoAlwaysEditing);
      TableRedrawLock lock(*this);
      DoActiveCellMoving(ccTableMouse, row, col);
      if (!ctrl && !extend) {
        tbSetAnchorCell(row, col, tstDeselectAll);
      } else if (ctrl && !extend) {
        tbSetAnchorCell(row, col, tstAdditional);
      } else if (extend && !ctrl) {
        additiveSelect_ = true;
        tbUpdateSelection(row, col, tstDeselectAll);
      } else {
        tbUpdateSelection(row, col, tstAdditional);
      }
      tbSetActiveCellPrim(row, col);
      if (startsEdit)
        PostStartEditMouse(x, y, shift);
      else if (Has(otoMouseDragSelect) && state_.Contains(otsNormal))
        SetState({otsMouseSelect}, {otsNormal});
      break;
    }
    case otrInLocked: {
      if (InEditingState() && !StopEditingState(true)) return;
      TableRedrawLock lock(*this);
      const bool lockedRow = row < LockedRows();
      const bool lockedCol = col < LockedCols();
      if (Has(otoRowSelection) && !lockedRow && lockedCol) tbSelectRow(row);
      if (Has(otoColSelection) && !lockedCol && lockedRow) tbSelectCol(col);
      if (Has(otoRowSelection) && Has(otoColSelection) && lockedRow && lockedCol) tbSelectTable();
      if (state_.Contains(otsNormal)) DoLockedCellClick(row, col);
      break;
    }
    case otrInUnused:
      UnusedClick(row, col);
      break;
    case otrOutside:
      break;
  }
}

void TVxCustomTable::UnusedClick(int row, int col) {
  if (InEditingState() && !StopEditingState(true)) return;
  // The last visible row or column stands in for the one the click missed.
  if (row < 0) row = IncRow(RowLimit() - 1, 0);
  if (col < 0) col = IncCol(ColCount() - 1, 0);
  if (row == activeRow_ && col == activeCol_) return;
  TableRedrawLock lock(*this);
  DoActiveCellMoving(ccSetActiveCell, row, col);
  tbSetAnchorCell(row, col, tstDeselectAll);
  tbSetActiveCellPrim(row, col);
}

void TVxCustomTable::PlainClick(TVxTblRegion region, int row, int col, bool focusing, int x, int y) {
  if (region == otrInMain) {
    if (QWidget* editor = EditorWidget()) editor->setFocus(Qt::MouseFocusReason);
    const bool onActive = row == activeRow_ && col == activeCol_;
    TableRedrawLock lock(*this);
    DoActiveCellMoving(ccTableMouse, row, col);
    if (!Has(otoAlwaysEditing) && onActive && !focusing) PostStartEditMouse(x, y, 0);
    tbSetActiveCellPrim(row, col);
    return;
  }
  if (region != otrInLocked && region != otrInUnused) return;
  if (InEditingState() && !StopEditingState(true)) return;
  if (region == otrInLocked && state_.Contains(otsNormal)) DoLockedCellClick(row, col);
}

void TVxCustomTable::WMLButtonUp(int x, int y, tk::ShiftState shift) {
  MouseUp(Qt::LeftButton, shift, x, y);
  dragImage_.reset();
  if (state_.Contains(otsMouseSelect))
    SetState({otsNormal}, {otsMouseSelect});
  else if (state_.Contains(otsSizing))
    EndSizing();
  else if (state_.Contains(otsMoving))
    EndMoving();
}

void TVxCustomTable::WMLButtonDblClk(int x, int y, tk::ShiftState shift) {
  DblClick();
  MouseDown(Qt::LeftButton, shift | tk::ssDouble, x, y);
  if (Designing()) return;
  int row = -1, col = -1;
  if (CalcRowColFromXY(x, y, row, col) == otrInMain) PostStartEditMouse(x, y, shift);
}

void TVxCustomTable::WMMouseMove(int x, int y, tk::ShiftState shift, bool buttonDown) {
  MouseMove(shift, x, y);
  if (dragImage_) {
    const QPoint pointer = mapToGlobal(ClientToWidget({x, y}));
    dragImage_->DragMove(pointer.x(), pointer.y());
  }
  if (!buttonDown) SetCursorFor(x, y);
  if (state_.Contains(otsMouseSelect)) {
    if (buttonDown) MouseSelectMove(x, y, shift);
  } else if (state_.Contains(otsSizing)) {
    const int pos = state_.Contains(otsDoingRow) ? y : x;
    if (pos >= SizeStart() + kMinimumSize) {
      ShowSizeLine(false);
      sizeLinePos_ = pos;
      ShowSizeLine(true);
    }
  } else if (state_.Contains(otsMoving)) {
    const TVxTableAxis& axis = state_.Contains(otsDoingCol) ? layout_.ColAxis() : layout_.RowAxis();
    const int index = axis.IndexAt(state_.Contains(otsDoingCol) ? x : y);
    if (index >= 0 && axis.NumberAt(index) >= axis.Locked && index != moveToIndex_) {
      ShowMoveLine(false);
      moveToIndex_ = index;
      ShowMoveLine(true);
    }
  }
}

void TVxCustomTable::CancelMode() {
  extendSelection_ = false;
  if (state_.Contains(otsMouseSelect)) SetState({otsNormal}, {otsMouseSelect});
}

// the cursor

void TVxCustomTable::SetCursorFor(int x, int y) {
  if (state_.Contains(otsUnfocused) || InEditingState()) {
    unsetCursor();
    return;
  }
  if (state_.Contains(otsSizing) || state_.Contains(otsMoving) || state_.Contains(otsMouseSelect)) return;
  if (!ClientRect().Contains({x, y})) {
    if (state_.Contains(otsShowSize) || state_.Contains(otsShowMove))
      SetState({otsNormal}, {otsShowSize, otsShowMove, otsDoingRow, otsDoingCol});
    unsetCursor();
    return;
  }
  const bool design = Designing();
  const TVxTblGridLine line = layout_.IsOnGridLine(x, y);
  if (line.Found && (design || !Has(line.IsColumn ? otoNoColResizing : otoNoRowResizing))) {
    gridLineIndex_ = line.Index;
    setCursor(line.IsColumn ? Qt::SplitHCursor : Qt::SplitVCursor);
    SetState({otsShowSize, line.IsColumn ? otsDoingCol : otsDoingRow},
             {otsNormal, otsShowMove, line.IsColumn ? otsDoingRow : otsDoingCol});
    return;
  }
  if (Has(otoAllowColMoves) || Has(otoAllowRowMoves) || design) {
    const TVxTblGridLine area = layout_.IsInMoveArea(x, y);
    if (area.Found && Has(area.IsColumn ? otoAllowColMoves : otoAllowRowMoves)) {
      const std::optional<QCursor>& cursor = area.IsColumn ? colMoveCursor_ : rowMoveCursor_;
      setCursor(cursor ? *cursor : QCursor(Qt::SizeAllCursor));
      SetState({otsShowMove, area.IsColumn ? otsDoingCol : otsDoingRow},
               {otsNormal, otsShowSize, area.IsColumn ? otsDoingRow : otsDoingCol});
      return;
    }
  }
  unsetCursor();
  SetState({otsNormal}, {otsShowSize, otsShowMove, otsDoingRow, otsDoingCol});
}

int TVxCustomTable::DesignerHitTest(int X, int Y) const {
  if (!Designing()) return 1;
  if (state_.Contains(otsSizing) || state_.Contains(otsMoving)) return 1;
  if (layout_.IsOnGridLine(X, Y).Found) return 1;
  return layout_.IsInMoveArea(X, Y).Found ? 1 : 0;
}

// sizing and moving

int TVxCustomTable::SizeStart() const {
  const TVxTableAxis& axis = state_.Contains(otsDoingRow) ? layout_.RowAxis() : layout_.ColAxis();
  return gridLineIndex_ >= 0 && gridLineIndex_ < axis.DisplayCount() ? axis.OffsetAt(gridLineIndex_) : 0;
}

void TVxCustomTable::ShowSizeLine(bool shown) {
  sizeLineShown_ = shown;
  ShowSurface(SizeLineRect().ToQRect(), false);
}

void TVxCustomTable::ShowMoveLine(bool shown) {
  moveLineShown_ = shown;
  ShowSurface(MoveLineRect().ToQRect(), false);
}

tk::Rect TVxCustomTable::SizeLineRect() const {
  if (state_.Contains(otsDoingRow)) return {0, sizeLinePos_, ClientWidth(), sizeLinePos_ + 1};
  return {sizeLinePos_, 0, sizeLinePos_ + 1, ClientHeight()};
}

tk::Rect TVxCustomTable::MoveLineRect() const {
  const bool column = state_.Contains(otsDoingCol);
  const TVxTableAxis& axis = column ? layout_.ColAxis() : layout_.RowAxis();
  if (moveToIndex_ < 0 || moveToIndex_ >= axis.DisplayCount()) return {};
  // The drop goes after the entry when moving on, before it when moving back.
  const int edge = moveToIndex_ > moveFromIndex_ ? axis.EndAt(moveToIndex_) : axis.OffsetAt(moveToIndex_);
  if (column) return {edge - 1, 0, edge + 2, ClientHeight()};
  return {0, edge - 1, ClientWidth(), edge + 2};
}

void TVxCustomTable::EndSizing() {
  ShowSizeLine(false);
  const bool row = state_.Contains(otsDoingRow);
  const TVxTableAxis& axis = row ? layout_.RowAxis() : layout_.ColAxis();
  const int start = SizeStart();
  const int number = gridLineIndex_ >= 0 && gridLineIndex_ < axis.DisplayCount() ? axis.NumberAt(gridLineIndex_) : -1;
  TableRedrawLock lock(*this);
  sizeLinePos_ = std::max(sizeLinePos_, start + kMinimumSize);
  SetState({otsNormal}, {otsSizing, otsDoingRow});
  if (number >= 0) {
    if (row)
      rows_->SetRowHeight(number, sizeLinePos_ - start);
    else
      columns_->SetWidth(number, sizeLinePos_ - start);
  }
  InvalidateTable();
}

void TVxCustomTable::EndMoving() {
  ShowMoveLine(false);
  const bool column = state_.Contains(otsDoingCol);
  SetState({otsNormal}, {otsMoving, otsDoingRow, otsDoingCol});
  const TVxTableAxis& axis = column ? layout_.ColAxis() : layout_.RowAxis();
  if (moveToIndex_ == moveFromIndex_ || moveFromIndex_ < 0 || moveToIndex_ < 0 ||
      std::max(moveFromIndex_, moveToIndex_) >= axis.DisplayCount())
    return;
  const int from = axis.NumberAt(moveFromIndex_);
  const int to = axis.NumberAt(moveToIndex_);
  TableRedrawLock lock(*this);
  const auto exchange = [&](int a, int b) {
    if (column)
      columns_->Exchange(a, b);
    else
      rows_->Exchange(a, b);
  };
  if (from < to)
    for (int i = from; i < to; ++i) exchange(i, i + 1);
  else
    for (int i = from - 1; i >= to; --i) exchange(i, i + 1);
  int& active = column ? activeCol_ : activeRow_;
  if (active == from)
    active = to;
  else if (from < to && active > from && active <= to)
    active = axis.Inc(active, -1);
  else if (to <= active && active < from)
    active = axis.Inc(active, +1);
  InvalidateTable();
}

}  // namespace controls
