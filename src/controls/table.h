#pragma once
// The table grid control. It holds no cell data: it asks its owner for each cell's data (OnGetCellData) and
// hands it to cell components that paint and edit it. Geometry lives in TVxTableLayout; this class keeps
// the active cell, the selection, the editing state, the redraw lock with its array of cells to draw, the
// scroll bars, the keys and the mouse.
//
// Drawing goes to a client-sized surface that survives between paints: scrolling moves its pixels, and the
// cells collected while redrawing is locked are drawn, in the next paint, when the last lock is released.
// A paint event over anything else is a window paint request: the cells under it are drawn afresh.
#include <QCursor>
#include <QImage>
#include <QPointer>
#include <QRegion>
#include <cstdint>
#include <exception>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>

#include "controls/base.h"
#include "controls/meter.h"
#include "controls/table_cell.h"
#include "controls/table_colors.h"
#include "controls/table_common.h"
#include "controls/table_layout.h"
#include "controls/table_rows_cols.h"
#include "tk/custom_edit.h"

class QScrollBar;
class QKeyEvent;

namespace controls {

class TVxDragShow;

enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

// Library string naming the table's command table ("Grid").
inline constexpr int SGridCommandTable = 30266;
// Command codes the table gives the mouse (a click or a move with the button held) and SetActiveCell in
// OnActiveCellMoving. The entry fields' mouse commands have names of their own (entry_field_model.h).
inline constexpr std::uint16_t ccTableMouse = 250;
inline constexpr std::uint16_t ccSetActiveCell = 0;

class TVxCustomTable : public TVxTableAncestor {
 public:
  explicit TVxCustomTable(tk::Component* owner, QWidget* parent = nullptr);
  ~TVxCustomTable() override;
  std::string ClassName() const override { return "TVxCustomTable"; }

  // layout
  int LockedRows() const { return layout_.RowAxis().Locked; }
  void SetLockedRows(int value);
  int LockedCols() const { return layout_.ColAxis().Locked; }
  void SetLockedCols(int value);
  int TopRow() const { return layout_.RowAxis().First; }
  void SetTopRow(int value) { SetTopLeftCell(value, LeftCol()); }
  int LeftCol() const { return layout_.ColAxis().First; }
  void SetLeftCol(int value) { SetTopLeftCell(TopRow(), value); }
  int RowLimit() const { return rows_->Limit(); }
  void SetRowLimit(int value);
  int ColCount() const { return columns_->Count(); }
  void SetColCount(int value);
  TVxTableColumns& Columns() { return *columns_; }
  const TVxTableColumns& Columns() const { return *columns_; }
  // Takes a column list made for this table.
  void SetColumns(std::unique_ptr<TVxTableColumns> value);
  TVxTableRows& Rows() { return *rows_; }
  const TVxTableRows& Rows() const { return *rows_; }
  void SetRows(std::unique_ptr<TVxTableRows> value);
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle value);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool value);
  // The table takes the focus itself when clicked (a click that only focuses it does not edit), so Qt
  // gives it the focus by Tab alone.
  bool TabStop() const { return focusPolicy() == Qt::TabFocus; }
  void SetTabStop(bool value) { setFocusPolicy(value ? Qt::TabFocus : Qt::NoFocus); }

  void SetTopLeftCell(int RowNum, int ColNum);
  int IncRow(int RowNum, int Direction) const { return layout_.RowAxis().Inc(RowNum, Direction); }
  int IncCol(int ColNum, int Direction) const { return layout_.ColAxis().Inc(ColNum, Direction); }
  int GetRowOffset(int RowNum) const { return layout_.RowAxis().OffsetOf(RowNum); }
  int GetColOffset(int ColNum) const { return layout_.ColAxis().OffsetOf(ColNum); }
  void GetDisplayedRowNums(TVxTableNumberArray& NA) const;
  void GetDisplayedColNums(TVxTableNumberArray& NA) const;
  int tbFindRowInx(int RowNum) const { return layout_.RowAxis().FindInx(RowNum); }
  int tbFindColInx(int ColNum) const { return layout_.ColAxis().FindInx(ColNum); }
  const TVxTableLayout& Layout() const { return layout_; }
  int LastTopRow() const { return layout_.RowAxis().Last; }
  int LastLeftCol() const { return layout_.ColAxis().Last; }
  bool ScrollPosPending() const { return scrollPosPending_; }
  QScrollBar* VerticalScrollBar() const { return vertical_; }
  QScrollBar* HorizontalScrollBar() const { return horizontal_; }
  // The client area: inside the border and beside the scroll bars; cells are placed in its coordinates.
  int ClientWidth() const;
  int ClientHeight() const;
  tk::Rect ClientRect() const { return {0, 0, ClientWidth(), ClientHeight()}; }
  QPoint ClientToWidget(tk::Point point) const;
  tk::Point WidgetToClient(const QPoint& point) const;

  // painting
  bool AllowRedraw() const { return redrawLock_ == 0; }
  void SetAllowRedraw(bool value);
  void InvalidateCell(int RowNum, int ColNum);
  void InvalidateCellsInRect(const tk::Rect& rect);
  void InvalidateRow(int RowNum);
  void InvalidateColumn(int ColNum);
  void InvalidateRowHeading(int RowNum);
  void InvalidateColumnHeading(int ColNum);
  void InvalidateTable();
  void InvalidateTableNotLockedCols();
  void InvalidateTableNotLockedRows();
  // The cells waiting for the last unlock.
  const TVxCellArray& InvalidCells() const { return invalid_; }
  // The canvas being painted on, for OnPaintUnusedArea and owner drawing; null outside painting.
  tk::Canvas* Canvas() const { return paintCanvas_; }
  // The picture of the client area as last painted.
  const QImage& Surface() const { return surface_; }

  TVxTblAccess Access() const { return access_; }
  void SetAccess(TVxTblAccess value);
  TVxTblAdjust Adjust() const { return adjust_; }
  void SetAdjust(TVxTblAdjust value);
  TVxTableColors& Colors() { return colors_; }
  const TVxTableColors& Colors() const { return colors_; }
  void SetColors(const TVxTableColors& value) { colors_.Assign(value); }
  TVxGridPenSet& GridPenSet() { return gridPenSet_; }
  const TVxGridPenSet& GridPenSet() const { return gridPenSet_; }
  void SetGridPenSet(const TVxGridPenSet& value) { gridPenSet_.Assign(value); }
  tk::TColor ColorUnused() const { return colorUnused_; }
  void SetColorUnused(tk::TColor value);
  // The per-cell overrides.
  TVxTableCells& Cells() { return *cells_; }

  void ResolveCellAttributes(int RowNum, int ColNum, TVxCellAttributes& CellAttr) override;
  void tbCellChanged(TVxTableCellAncestor* sender) override;

  // navigation
  int ActiveRow() const { return activeRow_; }
  void SetActiveRow(int value) { SetActiveCell(value, activeCol_); }
  int ActiveCol() const { return activeCol_; }
  void SetActiveCol(int value) { SetActiveCell(activeRow_, value); }
  void SetActiveCell(int RowNum, int ColNum);
  virtual void MoveActiveCell(std::uint16_t Command);
  TVxTblKeyNeeds FilterKey(tk::Message& msg) override;
  const std::string& CmdTableName() const { return cmdTableName_; }

  // selection
  TVxTblOptionSet Options() const { return options_; }
  void SetOptions(TVxTblOptionSet value);
  bool HaveSelection() const { return selection_.HaveSelection(); }
  bool InSelection(int RowNum, int ColNum) const;
  void IterateSelections(const TVxSelectionAction& Action, void* ExtraData) { selection_.Iterate(Action, ExtraData); }
  int SelectionAnchorRow() const { return anchorRow_; }
  int SelectionAnchorCol() const { return anchorCol_; }
  void tbSetAnchorCell(int RowNum, int ColNum, TVxTblSelectionType SelType);
  void tbUpdateSelection(int RowNum, int ColNum, TVxTblSelectionType SelType);
  void tbSelectRow(int RowNum);
  void tbSelectCol(int ColNum);
  void tbSelectTable();
  // Every displayed selected cell goes into `cells`, then the selection is cleared.
  void tbDeselectAll(TVxCellArray& cells);

  // editing
  bool StartEditingState();
  bool StopEditingState(bool SaveValue);
  bool SaveEditedData();
  bool InEditingState() const { return state_.Contains(otsEditing) || state_.Contains(otsHiddenEdit); }
  TVxBaseTableCell* EditCell() const { return editCell_; }
  // Whether `window` is the editor or a first child below it.
  bool tbEditCellHasFocus(QWidget* window) const;

  // mouse
  TVxTblRegion CalcRowColFromXY(int X, int Y, int& RowNum, int& ColNum) const {
    return layout_.CalcRowColFromXY(X, Y, RowNum, ColNum);
  }
  TVxTblStates State() const { return state_; }
  // Whether a design-time click at this client point goes to the control.
  int DesignerHitTest(int X, int Y) const;
  // Ends a mouse selection, as when the platform cancels the mouse mode.
  void CancelMode();
  int SizeLinePos() const { return sizeLinePos_; }
  int MoveToIndex() const { return moveToIndex_; }
  TVxDragShow* DragImage() const { return dragImage_.get(); }

  // cells, data and blocks
  TVxBaseTableCell* LockedRowsCell() const { return lockedRowsCell_; }
  void SetLockedRowsCell(TVxBaseTableCell* cell);
  // The cell component of a cell: its override, the locked-rows cell for a locked row, else its column's.
  TVxBaseTableCell* tbFindCell(int RowNum, int ColNum) const;
  int BlockRowBegin() const { return blockRowBegin_; }
  void SetBlockRowBegin(int value);
  int BlockRowEnd() const { return blockRowEnd_; }
  void SetBlockRowEnd(int value);
  int BlockColBegin() const { return blockColBegin_; }
  void SetBlockColBegin(int value);
  int BlockColEnd() const { return blockColEnd_; }
  void SetBlockColEnd(int value);
  void SetBlockAccess(TVxTblAccess value);
  void SetBlockAdjust(TVxTblAdjust value);
  void SetBlockCell(TVxBaseTableCell* cell);
  void SetBlockColor(tk::TColor value);
  void SetBlockFont(const tk::Font* font);

  void ChangeScale(int M, int D) override;
  void SetBounds(int left, int top, int width, int height) override;
  void Notification(tk::Component* component, tk::Operation operation) override;
  void Dispatch(tk::Message& message) override;
  void DefineProperties(tk::Filer& filer) override;
  void Loaded() override;

  // events
  TCellNotifyEvent OnActiveCellChanged;
  TCellMoveNotifyEvent OnActiveCellMoving;
  TCellBeginEditNotifyEvent OnBeginEdit;
  tk::NotifyEvent OnClipboardCopy;
  tk::NotifyEvent OnClipboardCut;
  tk::NotifyEvent OnClipboardPaste;
  TColChangeNotifyEvent OnColumnsChanged;
  tk::NotifyEvent OnDblClick;
  TCellNotifyEvent OnDoneEdit;
  TCellEndEditNotifyEvent OnEndEdit;
  tk::NotifyEvent OnEnter;
  TColNotifyEvent OnEnteringColumn;
  TRowNotifyEvent OnEnteringRow;
  tk::NotifyEvent OnExit;
  TCellDataNotifyEvent OnGetCellData;
  TCellAttrNotifyEvent OnGetCellAttributes;
  tk::KeyEvent OnKeyDown;
  tk::KeyPressEvent OnKeyPress;
  tk::KeyEvent OnKeyUp;
  TColNotifyEvent OnLeavingColumn;
  TRowNotifyEvent OnLeavingRow;
  TCellNotifyEvent OnLockedCellClick;
  tk::MouseEvent OnMouseDown;
  tk::MouseEvent OnMouseUp;
  tk::NotifyEvent OnPaintUnusedArea;
  TRowChangeNotifyEvent OnRowsChanged;
  TSizeCellEditorNotifyEvent OnSizeCellEditor;
  TCellNotifyEvent OnTopLeftCellChanged;
  TCellChangeNotifyEvent OnTopLeftCellChanging;
  TUserCommandEvent OnUserCommand;

  // the overridable dispatchers
  virtual void DoActiveCellChanged(int RowNum, int ColNum);
  virtual void DoActiveCellMoving(std::uint16_t Command, int& RowNum, int& ColNum);
  virtual void DoBeginEdit(int RowNum, int ColNum, bool& AllowIt);
  virtual void DoClipboardCopy();
  virtual void DoClipboardCut();
  virtual void DoClipboardPaste();
  virtual void DoColumnsChanged(int ColNum1, int ColNum2, TVxTblActions Action);
  virtual void DoDoneEdit(int RowNum, int ColNum);
  virtual void DoEndEdit(TVxTableCellAncestor* Cell, int RowNum, int ColNum, bool& AllowIt);
  virtual void DoEnteringColumn(int ColNum);
  virtual void DoEnteringRow(int RowNum);
  virtual void DoGetCellAttributes(int RowNum, int ColNum, TVxCellAttributes& CellAttr);
  virtual void DoGetCellData(int RowNum, int ColNum, void*& Data, TVxCellDataPurpose Purpose);
  virtual void DoLeavingColumn(int ColNum);
  virtual void DoLeavingRow(int RowNum);
  virtual void DoLockedCellClick(int RowNum, int ColNum);
  virtual void DoPaintUnusedArea();
  virtual void DoRowsChanged(int RowNum1, int RowNum2, TVxTblActions Action);
  virtual void DoSizeCellEditor(int RowNum, int ColNum, tk::Rect& CellRect, TVxTblEditorStyle& CellStyle);
  virtual void DoTopLeftCellChanged(int RowNum, int ColNum);
  virtual void DoTopLeftCellChanging(int& RowNum, int& ColNum);
  virtual void DoUserCommand(std::uint16_t Command);
  virtual void ProcessScrollBarClick(TVxScrollBar ScrollBar, std::uint16_t ScrollCode);

 protected:
  void CreateWnd() override;
  void DestroyWnd() override;
  void tbResolveCellLinks() override;
  void DoOnMouseWheel(tk::ShiftState shift, int delta, int x, int y) override;

  // The toolkit's key and mouse handling: the events first. A key set to 0 is taken.
  virtual void KeyDown(std::uint16_t& key, tk::ShiftState shift);
  virtual void KeyPress(char& key);
  virtual void MouseDown(Qt::MouseButton button, tk::ShiftState shift, int x, int y);
  virtual void MouseUp(Qt::MouseButton button, tk::ShiftState shift, int x, int y);
  virtual void DblClick();
  // The window procedure's handling of a key and of the left button (client coordinates).
  void WMKeyDown(std::uint16_t key, tk::ShiftState shift);
  void WMLButtonDown(int x, int y, tk::ShiftState shift);
  void WMLButtonUp(int x, int y, tk::ShiftState shift);
  void WMLButtonDblClk(int x, int y, tk::ShiftState shift);
  void WMMouseMove(int x, int y, tk::ShiftState shift, bool buttonDown);
  void WMSetFocus();
  void WMKillFocus();

  bool eventFilter(QObject* watched, QEvent* event) override;
  void childEvent(QChildEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  friend class TableRedrawLock;
  // Events fire neither while loading nor while being destroyed.
  bool Quiet() const { return Loading() || Destroying(); }
  bool Has(TVxTblOption option) const { return options_.Contains(option); }
  void SetState(std::initializer_list<TVxTblState> on, std::initializer_list<TVxTblState> off);

  // layout (table.cpp)
  int BorderWidth() const;
  int ScrollBarExtent() const;
  void LayoutClient();
  void tbSizeChanged();
  void tbRebuildArrays();
  void tbSetScrollRange(TVxScrollBar bar);
  void tbSetScrollPos(TVxScrollBar bar);
  void tbWriteScrollPos(TVxScrollBar bar);
  void tbScrollTableUp(int newTop);
  void tbScrollTableDown(int newTop);
  void tbScrollTableLeft(int newLeft);
  void tbScrollTableRight(int newLeft);
  void tbEnsureRowIsVisible(int RowNum);
  void tbEnsureColumnIsVisible(int ColNum);
  void ScrollSurface(const tk::Rect& area, int dx, int dy);
  void WMScroll(TVxScrollBar bar, std::uint16_t code, int position);
  void OnScrollAction(TVxScrollBar bar, int action);
  void tbColumnsChanged(int ColNum1, int ColNum2, TVxTblActions Action);
  void tbRowsChanged(int RowNum1, int RowNum2, TVxTblActions Action);
  void tbAxisChanged(bool columns, int n1, int n2, TVxTblActions Action);
  void tbSetLocked(bool columns, int value);
  void tbSetCount(bool columns, int value);
  void tbClampBlocks();
  void tbForgetCell(TVxBaseTableCell* cell);
  void InstallCompanionHandlers();
  void tbRepaintAll();
  TVxStreamList WriteRowData() const;
  void ReadRowData(const TVxStreamList& list);
  TVxStreamList WriteColData();
  void ReadColData(const TVxStreamList& list);

  // painting (table_paint.cpp)
  void InvalidateDisplayed(int firstRowInx, int lastRowInx, int firstColInx, int lastColInx, TVxCellArray& into);
  void RequestDrawing(TVxCellArray& cells);
  void FlushDrawing();
  // Shows what the surface holds there, now or at the next paint, without drawing it anew.
  void ShowSurface(const QRegion& area, bool now);
  // Where the cells, the unused area and the frame waiting in the draw queue lie.
  QRegion QueuedRegion() const;
  QRegion CellsRegion(const TVxCellArray& cells) const;
  QRegion FrameRegion() const;
  // A child window that shows, moves or goes uncovers what the surface still holds.
  void NoteChildArea(QObject* watched, const QEvent* event);
  void EnsureSurface();
  void DrawCellArray(tk::Canvas& canvas, TVxCellArray& cells);
  void PaintRequest(tk::Canvas& canvas, const tk::Rect& clip);
  void DrawRow(tk::Canvas& canvas, int rowIndex, int firstColIndex, int lastColIndex);
  void DrawActiveFrame(tk::Canvas& canvas);
  void PaintUnusedArea(tk::Canvas& canvas);
  void DrawOverlays(QImage& frame) const;
  // The active cell's rectangle less the normal grid pen's lines: where the editor goes.
  tk::Rect EditorRect() const;
  void OnLock();
  void OnUnlock();

  // navigation (table_navigation.cpp)
  std::uint16_t TranslateKey(std::uint16_t key, tk::ShiftState shift);
  void tbMoveTo(std::uint16_t command, int RowNum, int ColNum);
  void tbMoveDown(std::uint16_t command);
  void tbMoveRight(std::uint16_t command);
  void tbPageDown(std::uint16_t command, bool columns);
  void tbPageUp(std::uint16_t command, bool columns);
  void tbSetActiveCellWithSel(int RowNum, int ColNum);
  void tbSetActiveCellPrim(int RowNum, int ColNum);

  // editing (table_editing.cpp)
  void StartEditMouse(std::uintptr_t wParam, std::intptr_t lParam);
  void StartEditKey(std::uintptr_t wParam, std::intptr_t lParam);
  QWidget* EditorWidget() const;
  void EndEditingNow();
  void HideEditor();
  void ShowEditor();
  void PostStartEdit();
  void PostStartEditMouse(int x, int y, tk::ShiftState shift);

  // mouse (table_mouse.cpp)
  void SetCursorFor(int x, int y);
  void SelectionClick(TVxTblRegion region, int row, int col, tk::ShiftState shift, bool focusing, int x, int y);
  void PlainClick(TVxTblRegion region, int row, int col, bool focusing, int x, int y);
  void UnusedClick(int row, int col);
  void MouseSelectMove(int x, int y, tk::ShiftState shift);
  int SizeStart() const;
  void ShowSizeLine(bool shown);
  void ShowMoveLine(bool shown);
  tk::Rect SizeLineRect() const;
  tk::Rect MoveLineRect() const;
  void EndSizing();
  void EndMoving();

  TVxTableColors colors_;
  TVxGridPenSet gridPenSet_;
  std::unique_ptr<TVxTableColumns> columns_;
  std::unique_ptr<TVxTableCells> cells_;
  std::unique_ptr<TVxTableRows> rows_;
  TVxSelectionList selection_{TVxTableRows::DefaultLimit, 10};
  TVxCellArray invalid_;
  tk::Font scratchFont_;
  std::string cmdTableName_;
  TVxTableLayout layout_;

  TVxTblAccess access_ = otxNormal;
  TVxTblAdjust adjust_ = otaCenterLeft;
  tk::TColor colorUnused_ = tk::clWindow;
  TVxTblOptionSet options_;
  TScrollStyle scrollBars_ = TScrollStyle::ssBoth;
  TBorderStyle borderStyle_ = TBorderStyle::bsSingle;
  bool ctl3D_ = true;
  bool hasHScrollBar_ = true;
  bool hasVScrollBar_ = true;
  bool scrollPosPending_ = false;
  bool scrolledDuringLock_ = false;
  int redrawLock_ = 0;
  TVxTblStates state_{otsUnfocused, otsNormal};

  int activeRow_ = 1;
  int activeCol_ = 1;
  int anchorRow_ = 1;
  int anchorCol_ = 1;
  bool additiveSelect_ = false;
  bool extendSelection_ = false;
  int lastEnteredRow_ = -1;
  int lastEnteredCol_ = -1;
  int blockRowBegin_ = 0, blockRowEnd_ = 0, blockColBegin_ = 0, blockColEnd_ = 0;
  TVxBaseTableCell* lockedRowsCell_ = nullptr;

  TVxBaseTableCell* editCell_ = nullptr;
  QPointer<QWidget> editor_;
  bool editorHadFocus_ = false;
  // The editor handed the focus to the table (Shift+Tab out of it).
  bool editorPassedFocus_ = false;
  // Focus moves the table makes itself are not reacted to.
  bool movingFocus_ = false;
  // The key that started editing, for the editor to receive as typed.
  struct StartKey {
    std::uint16_t VirtualKey = 0;
    int QtKey = 0;
    Qt::KeyboardModifiers Modifiers;
    QString Text;
  } startKey_;

  int gridLineIndex_ = -1;
  int sizeLinePos_ = 0;
  bool sizeLineShown_ = false;
  int moveFromIndex_ = -1;
  int moveToIndex_ = -1;
  bool moveLineShown_ = false;
  std::unique_ptr<TVxDragShow> dragImage_;
  std::optional<QCursor> colMoveCursor_;
  std::optional<QCursor> rowMoveCursor_;

  QScrollBar* vertical_;
  QScrollBar* horizontal_;
  QImage surface_;
  QRegion dirty_;             // parts of the surface that need a paint request
  QRegion ownPaint_;          // what the table asked to show itself: a paint event there is no paint request
  TVxCellArray drawQueue_;    // cells to draw at the next paint, lock or no lock
  bool frameQueued_ = false;  // the active cell's frame too
  tk::Canvas* paintCanvas_ = nullptr;
  bool inPaint_ = false;
  int laidOutWidth_ = -1;
  int laidOutHeight_ = -1;
};

// A redraw lock for a scope.
class TableRedrawLock {
 public:
  explicit TableRedrawLock(TVxCustomTable& table) : table_(table), unwinding_(std::uncaught_exceptions()) {
    table_.SetAllowRedraw(false);
  }
  // The release draws and may fire events; what they throw goes on, unless another exception is on its way.
  ~TableRedrawLock() noexcept(false) {
    if (std::uncaught_exceptions() == unwinding_) {
      table_.SetAllowRedraw(true);
      return;
    }
    try {
      table_.SetAllowRedraw(true);
    } catch (...) {
    }
  }
  TableRedrawLock(const TableRedrawLock&) = delete;
  TableRedrawLock& operator=(const TableRedrawLock&) = delete;

 private:
  TVxCustomTable& table_;
  int unwinding_;
};

// The table as the form designer places it: the published properties.
class TVxTable : public TVxCustomTable {
 public:
  using TVxCustomTable::TVxCustomTable;
  std::string ClassName() const override { return "TVxTable"; }
  void GetProperties(tk::PropertyList& list) const override;

  std::string OptionsText() const;
  // A comma-separated list of option names; an unknown name is refused.
  void SetOptionsText(const std::string& text);
};

}  // namespace controls
