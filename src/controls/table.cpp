#include "controls/table.h"

#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <algorithm>

#include "controls/drag_indicator.h"
#include "controls/library_data.h"
#include "controls/misc.h"
#include "controls/table_cells.h"
#include "controls/virtual_list_box.h"
#include "tk/exception_guard.h"
#include "tk/services.h"

namespace controls {

namespace {

const bool kRegistered =
    (tk::RegisterClass("TVxTable", [](tk::Component* owner) { return new TVxTable(owner); }), true);

constexpr int kDefaultWidth = 300;
constexpr int kDefaultHeight = 100;
constexpr int kDefaultColumns = 10;

bool HasHorizontal(TScrollStyle s) { return s == TScrollStyle::ssHorizontal || s == TScrollStyle::ssBoth; }
bool HasVertical(TScrollStyle s) { return s == TScrollStyle::ssVertical || s == TScrollStyle::ssBoth; }

}  // namespace

TVxCustomTable::TVxCustomTable(tk::Component* owner, QWidget* parent)
    : TVxTableAncestor(owner, parent),
      columns_(std::make_unique<TVxTableColumns>(this, kDefaultColumns)),
      cells_(std::make_unique<TVxTableCells>(this)),
      rows_(std::make_unique<TVxTableRows>()),
      vertical_(new QScrollBar(Qt::Vertical, this)),
      horizontal_(new QScrollBar(Qt::Horizontal, this)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  repaintOnFocus_ = false;
  SetTabStop(true);
  layout_.Bind(rows_.get(), columns_.get());
  cmdTableName_ = GetVxStr(SGridCommandTable);
  colMoveCursor_ = LoadBaseCursor("VXCOLUMNMOVECURSOR");
  rowMoveCursor_ = LoadBaseCursor("VXROWMOVECURSOR");
  InstallCompanionHandlers();
  for (QScrollBar* bar : {vertical_, horizontal_}) {
    bar->setFocusPolicy(Qt::NoFocus);
    bar->hide();
    const TVxScrollBar which = bar == vertical_ ? otsbVertical : otsbHorizontal;
    QObject::connect(bar, &QAbstractSlider::actionTriggered, this,
                     [this, which](int action) { OnScrollAction(which, action); });
    QObject::connect(bar, &QAbstractSlider::sliderReleased, this, [this, bar, which] {
      tk::Guarded([&] {
        tk::SendMessage(*this, which == otsbVertical ? WM_VSCROLL : WM_HSCROLL,
                        SB_THUMBPOSITION | static_cast<std::uintptr_t>(bar->sliderPosition() & 0xFFFF) << 16);
        tbWriteScrollPos(which);
      });
    });
  }
  TVxTableAncestor::SetBounds(Left(), Top(), kDefaultWidth, kDefaultHeight);
  tbSizeChanged();
}

TVxCustomTable::~TVxCustomTable() {
  // Marks the table as going and frees what it owns, the cell editors among them.
  DestroyComponents();
  dragImage_.reset();
  editCell_ = nullptr;
  colors_.OnChange = nullptr;
  gridPenSet_.SetOnChange(nullptr);
  columns_->SetOnColumnChanged(nullptr);
  rows_->OnCfgChanged = nullptr;
  cells_->OnChange = nullptr;
  if (lockedRowsCell_) lockedRowsCell_->DecRefs();
  lockedRowsCell_ = nullptr;
  columns_.reset();
  cells_.reset();
  rows_.reset();
}

void TVxCustomTable::InstallCompanionHandlers() {
  colors_.OnChange = [this](TVxTableColors*) { tbRepaintAll(); };
  gridPenSet_.SetOnChange([this](TVxGridPen*) { tbRepaintAll(); });
  columns_->SetOnColumnChanged(
      [this](TVxTableObject*, int c1, int c2, TVxTblActions a) { tbColumnsChanged(c1, c2, a); });
  rows_->OnCfgChanged = [this](TVxTableObject*, int r1, int r2, TVxTblActions a) { tbRowsChanged(r1, r2, a); };
  cells_->OnChange = [this](TVxTableCells*) { tbCellChanged(nullptr); };
}

void TVxCustomTable::SetState(std::initializer_list<TVxTblState> on, std::initializer_list<TVxTblState> off) {
  for (TVxTblState s : off) state_.Exclude(s);
  for (TVxTblState s : on) state_.Include(s);
}

// client area and window

int TVxCustomTable::BorderWidth() const {
  if (borderStyle_ == TBorderStyle::bsNone) return 0;
  return ctl3D_ && NewStyleControls() ? 2 : 1;
}

int TVxCustomTable::ScrollBarExtent() const { return style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this); }

int TVxCustomTable::ClientWidth() const {
  return std::max(0, width() - 2 * BorderWidth() - (hasVScrollBar_ ? ScrollBarExtent() : 0));
}

int TVxCustomTable::ClientHeight() const {
  return std::max(0, height() - 2 * BorderWidth() - (hasHScrollBar_ ? ScrollBarExtent() : 0));
}

QPoint TVxCustomTable::ClientToWidget(tk::Point point) const {
  return {point.X + BorderWidth(), point.Y + BorderWidth()};
}

tk::Point TVxCustomTable::WidgetToClient(const QPoint& point) const {
  return {point.x() - BorderWidth(), point.y() - BorderWidth()};
}

void TVxCustomTable::LayoutClient() {
  const int bw = BorderWidth();
  const int extent = ScrollBarExtent();
  const int cw = ClientWidth();
  const int ch = ClientHeight();
  vertical_->setGeometry(bw + cw, bw, extent, ch);
  vertical_->setVisible(hasVScrollBar_);
  horizontal_->setGeometry(bw, bw + ch, cw, extent);
  horizontal_->setVisible(hasHScrollBar_);
  layout_.SetClientSize(cw, ch);
}

void TVxCustomTable::tbRebuildArrays() {
  layout_.RowAxis().Rebuild();
  layout_.ColAxis().Rebuild();
}

void TVxCustomTable::tbSizeChanged() {
  LayoutClient();
  const int cw = ClientWidth();
  const int ch = ClientHeight();
  const bool widthChanged = cw != laidOutWidth_;
  const bool heightChanged = ch != laidOutHeight_;
  if (!widthChanged && !heightChanged) return;
  laidOutWidth_ = cw;
  laidOutHeight_ = ch;
  if (!HandleAllocated()) {
    if (!Loading()) {
      layout_.RowAxis().CalcLastPage();
      layout_.ColAxis().CalcLastPage();
    }
    return;
  }
  TableRedrawLock lock(*this);
  if (widthChanged) layout_.ColAxis().Rebuild();
  if (heightChanged) layout_.RowAxis().Rebuild();
  tbSetScrollRange(otsbVertical);
  tbSetScrollRange(otsbHorizontal);
  InvalidateTable();
}

void TVxCustomTable::SetBounds(int left, int top, int width, int height) {
  TVxTableAncestor::SetBounds(left, top, width, height);
  tbSizeChanged();
}

void TVxCustomTable::resizeEvent(QResizeEvent* event) {
  TVxTableAncestor::resizeEvent(event);
  tk::Guarded([this] { tbSizeChanged(); });
}

void TVxCustomTable::CreateWnd() {
  TVxTableAncestor::CreateWnd();
  tk::PostMessage(this, ctimLoadDefaultCells);
  redrawLock_ = 0;
  hasHScrollBar_ = HasHorizontal(scrollBars_);
  hasVScrollBar_ = HasVertical(scrollBars_);
  if (Designing()) state_ = {otsDesigning, otsFocused, otsNormal};
  LayoutClient();
  laidOutWidth_ = ClientWidth();
  laidOutHeight_ = ClientHeight();
  dirty_ = QRegion(0, 0, laidOutWidth_, laidOutHeight_);
  update();
  tbRebuildArrays();
  layout_.RowAxis().CalcLastPage();
  layout_.ColAxis().CalcLastPage();
  SetLeftCol(LeftCol());
  SetTopRow(TopRow());
  SetActiveCol(activeCol_);
  SetActiveRow(activeRow_);
  anchorRow_ = activeRow_;
  anchorCol_ = activeCol_;
  tbSetScrollRange(otsbHorizontal);
  tbSetScrollPos(otsbHorizontal);
  tbSetScrollRange(otsbVertical);
  tbSetScrollPos(otsbVertical);
  DoTopLeftCellChanged(TopRow(), LeftCol());
  DoActiveCellChanged(activeRow_, activeCol_);
  if (!Designing() && Has(otoAlwaysEditing)) PostStartEdit();
}

void TVxCustomTable::DestroyWnd() {
  EndEditingNow();
  dragImage_.reset();
  sizeLineShown_ = moveLineShown_ = false;
  SetState({otsNormal}, {otsMouseSelect, otsShowSize, otsSizing, otsShowMove, otsMoving, otsDoingRow, otsDoingCol});
  TVxTableAncestor::DestroyWnd();
}

void TVxCustomTable::SetScrollBars(TScrollStyle value) {
  if (value == scrollBars_) return;
  scrollBars_ = value;
  if (HandleAllocated()) {
    RecreateWnd();
    return;
  }
  hasHScrollBar_ = HasHorizontal(value);
  hasVScrollBar_ = HasVertical(value);
  tbSizeChanged();
}

void TVxCustomTable::SetBorderStyle(TBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  if (HandleAllocated())
    RecreateWnd();
  else
    tbSizeChanged();
  update();
}

void TVxCustomTable::SetCtl3D(bool value) {
  if (value == ctl3D_) return;
  ctl3D_ = value;
  if (HandleAllocated() && borderStyle_ == TBorderStyle::bsSingle && NewStyleControls())
    RecreateWnd();
  else
    tbSizeChanged();
  update();
}

void TVxCustomTable::ChangeScale(int M, int D) {
  if (M == D) return;
  TableRedrawLock lock(*this);
  TVxTableAncestor::ChangeScale(M, D);
  rows_->rwScaleHeights(M, D);
  for (int c = 0; c < ColCount(); ++c) columns_->SetWidth(c, MulDiv(columns_->Width(c), M, D));
  if (!HandleAllocated()) return;
  tbRebuildArrays();
  tbSetScrollRange(otsbVertical);
  tbSetScrollRange(otsbHorizontal);
  InvalidateTable();
}

// top-left cell and scrolling

void TVxCustomTable::SetTopLeftCell(int RowNum, int ColNum) {
  // Rows and columns may still be on their way in: the window normalises what was read.
  if (Loading()) {
    layout_.RowAxis().First = RowNum;
    layout_.ColAxis().First = ColNum;
    return;
  }
  ColNum = IncCol(std::min(ColNum, LastLeftCol()), 0);
  RowNum = IncRow(std::min(RowNum, LastTopRow()), 0);
  DoTopLeftCellChanging(RowNum, ColNum);
  // The handler's cell is taken as it is, as far as the table has such a cell.
  RowNum = std::clamp(RowNum, LockedRows(), std::max(LockedRows(), RowLimit() - 1));
  ColNum = std::clamp(ColNum, LockedCols(), std::max(LockedCols(), ColCount() - 1));
  if (!HandleAllocated()) {
    layout_.RowAxis().First = RowNum;
    layout_.ColAxis().First = ColNum;
    return;
  }
  if (RowNum == TopRow() && ColNum == LeftCol()) return;
  {
    TableRedrawLock lock(*this);
    if (RowNum > TopRow())
      tbScrollTableUp(RowNum);
    else if (RowNum < TopRow())
      tbScrollTableDown(RowNum);
    if (ColNum > LeftCol())
      tbScrollTableLeft(ColNum);
    else if (ColNum < LeftCol())
      tbScrollTableRight(ColNum);
  }
  tbSetScrollPos(otsbVertical);
  tbSetScrollPos(otsbHorizontal);
  DoTopLeftCellChanged(RowNum, ColNum);
}

void TVxCustomTable::tbScrollTableUp(int newTop) {
  TableRedrawLock lock(*this);
  TVxTableAxis& axis = layout_.RowAxis();
  const int newOffset = axis.OffsetOf(newTop);
  if (newOffset < 0 || newOffset >= axis.ClientExtent) {
    axis.First = newTop;
    axis.Rebuild();
    InvalidateTableNotLockedRows();
    return;
  }
  int noted = axis.LastDisplayed();
  if (axis.Extent() < axis.ClientExtent) {
    ++noted;
    invalid_.AddUnusedBit();
  }
  const int distance = newOffset - axis.OffsetOf(axis.First);
  const int lockedEnd = axis.UnlockedStart();
  axis.First = newTop;
  axis.Rebuild();
  ScrollSurface({0, lockedEnd, layout_.ColAxis().ClientExtent, axis.ClientExtent}, 0, -distance);
  if (axis.LastDisplayed() >= noted) {
    invalid_.AddUnusedBit();
    for (int i = 0; i < axis.DisplayCount(); ++i)
      if (axis.NumberAt(i) >= noted) InvalidateRow(axis.NumberAt(i));
  }
}

void TVxCustomTable::tbScrollTableDown(int newTop) {
  TableRedrawLock lock(*this);
  TVxTableAxis& axis = layout_.RowAxis();
  const int oldTop = axis.First;
  const int oldOffset = axis.OffsetOf(oldTop);
  const int lockedEnd = axis.UnlockedStart();
  axis.First = newTop;
  axis.Rebuild();
  const int newOffset = axis.OffsetOf(oldTop);
  if (newOffset < 0 || oldOffset < 0) {
    InvalidateTableNotLockedRows();
    return;
  }
  ScrollSurface({0, lockedEnd, layout_.ColAxis().ClientExtent, axis.ClientExtent}, 0, newOffset - oldOffset);
  for (int i = 0; i < axis.DisplayCount(); ++i)
    if (axis.NumberAt(i) >= newTop && axis.NumberAt(i) < oldTop) InvalidateRow(axis.NumberAt(i));
}

void TVxCustomTable::tbScrollTableLeft(int newLeft) {
  TableRedrawLock lock(*this);
  TVxTableAxis& axis = layout_.ColAxis();
  const int newOffset = axis.OffsetOf(newLeft);
  if (newOffset < 0 || newOffset >= axis.ClientExtent) {
    axis.First = newLeft;
    axis.Rebuild();
    InvalidateTableNotLockedCols();
    return;
  }
  int noted = axis.LastDisplayed();
  if (axis.Extent() < axis.ClientExtent) {
    ++noted;
    invalid_.AddUnusedBit();
  }
  const int distance = newOffset - axis.OffsetOf(axis.First);
  const int lockedEnd = axis.UnlockedStart();
  axis.First = newLeft;
  axis.Rebuild();
  ScrollSurface({lockedEnd, 0, axis.ClientExtent, layout_.RowAxis().ClientExtent}, -distance, 0);
  if (axis.LastDisplayed() >= noted) {
    invalid_.AddUnusedBit();
    for (int i = 0; i < axis.DisplayCount(); ++i)
      if (axis.NumberAt(i) >= noted) InvalidateColumn(axis.NumberAt(i));
  }
}

void TVxCustomTable::tbScrollTableRight(int newLeft) {
  TableRedrawLock lock(*this);
  TVxTableAxis& axis = layout_.ColAxis();
  const int oldLeft = axis.First;
  const int oldOffset = axis.OffsetOf(oldLeft);
  const int lockedEnd = axis.UnlockedStart();
  axis.First = newLeft;
  axis.Rebuild();
  const int newOffset = axis.OffsetOf(oldLeft);
  if (newOffset < 0 || oldOffset < 0) {
    InvalidateTableNotLockedCols();
    return;
  }
  ScrollSurface({lockedEnd, 0, axis.ClientExtent, layout_.RowAxis().ClientExtent}, newOffset - oldOffset, 0);
  for (int i = 0; i < axis.DisplayCount(); ++i)
    if (axis.NumberAt(i) >= newLeft && axis.NumberAt(i) < oldLeft) InvalidateColumn(axis.NumberAt(i));
}

void TVxCustomTable::ScrollSurface(const tk::Rect& area, int dx, int dy) {
  const QRect box = area.ToQRect();
  if (box.isEmpty() || (dx == 0 && dy == 0)) return;
  if (surface_.size() == QSize(laidOutWidth_, laidOutHeight_)) {
    // The window's scroll operation: the pixels move, what they leave is drawn anew.
    const QImage moved = surface_.copy(box);
    QPainter painter(&surface_);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setClipRect(box);
    painter.drawImage(box.topLeft() + QPoint(dx, dy), moved);
  }
  const QRegion inside = dirty_ & box;
  dirty_ -= inside;
  dirty_ |= inside.translated(dx, dy) & box;
  const QRegion uncovered = QRegion(box) - QRegion(box.translated(dx, dy));
  for (const QRect& part : uncovered) InvalidateCellsInRect(tk::Rect::FromQRect(part));
  scrolledDuringLock_ = true;
  ShowSurface(box, false);
}

void TVxCustomTable::tbEnsureRowIsVisible(int RowNum) {
  const int first = layout_.RowAxis().EnsureVisibleFirst(RowNum);
  if (first != TopRow()) SetTopRow(first);
}

void TVxCustomTable::tbEnsureColumnIsVisible(int ColNum) {
  const int first = layout_.ColAxis().EnsureVisibleFirst(ColNum);
  if (first != LeftCol()) SetLeftCol(first);
}

void TVxCustomTable::GetDisplayedRowNums(TVxTableNumberArray& NA) const {
  const TVxTableAxis& axis = layout_.RowAxis();
  NA.Count = axis.DisplayCount();
  NA.Number.clear();
  for (int i = 0; i < std::min(NA.Count, NA.NumElements); ++i) NA.Number.push_back(axis.NumberAt(i));
}

void TVxCustomTable::GetDisplayedColNums(TVxTableNumberArray& NA) const {
  const TVxTableAxis& axis = layout_.ColAxis();
  NA.Count = axis.DisplayCount();
  NA.Number.clear();
  for (int i = 0; i < std::min(NA.Count, NA.NumElements); ++i) NA.Number.push_back(axis.NumberAt(i));
}

// scroll bars

void TVxCustomTable::tbSetScrollRange(TVxScrollBar bar) {
  const bool vertical = bar == otsbVertical;
  TVxTableAxis& axis = vertical ? layout_.RowAxis() : layout_.ColAxis();
  if (axis.CalcLastPage() && HandleAllocated()) {
    if (vertical)
      InvalidateTableNotLockedRows();
    else
      InvalidateTableNotLockedCols();
  }
  if (!(vertical ? hasVScrollBar_ : hasHScrollBar_)) return;
  const TVxScrollRange range = vertical ? layout_.VerticalRange() : layout_.HorizontalRange();
  QScrollBar* sb = vertical ? vertical_ : horizontal_;
  const QSignalBlocker block(sb);
  sb->setRange(range.Min, std::max(range.Min, range.Max));
  sb->setEnabled(range.Max > range.Min);
  int unlocked = 0;
  for (int i = 0; i < axis.DisplayCount(); ++i)
    if (axis.NumberAt(i) >= axis.Locked) ++unlocked;
  sb->setPageStep(std::max(1, unlocked));
  sb->setSingleStep(1);
}

void TVxCustomTable::tbSetScrollPos(TVxScrollBar bar) {
  const bool exists = bar == otsbVertical ? hasVScrollBar_ : hasHScrollBar_;
  if (!exists || !HandleAllocated() || redrawLock_ > 0) {
    scrollPosPending_ = true;
    return;
  }
  tbWriteScrollPos(bar);
}

void TVxCustomTable::tbWriteScrollPos(TVxScrollBar bar) {
  const bool vertical = bar == otsbVertical;
  if (!(vertical ? hasVScrollBar_ : hasHScrollBar_)) return;
  QScrollBar* sb = vertical ? vertical_ : horizontal_;
  const QSignalBlocker block(sb);
  sb->setValue(vertical ? layout_.VerticalPosition() : layout_.HorizontalPosition());
}

void TVxCustomTable::OnScrollAction(TVxScrollBar bar, int action) {
  QScrollBar* sb = bar == otsbVertical ? vertical_ : horizontal_;
  std::uint16_t code = SB_ENDSCROLL;
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      code = SB_LINEUP;
      break;
    case QAbstractSlider::SliderSingleStepAdd:
      code = SB_LINEDOWN;
      break;
    case QAbstractSlider::SliderPageStepSub:
      code = SB_PAGEUP;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      code = SB_PAGEDOWN;
      break;
    case QAbstractSlider::SliderToMinimum:
      code = SB_TOP;
      break;
    case QAbstractSlider::SliderToMaximum:
      code = SB_BOTTOM;
      break;
    case QAbstractSlider::SliderMove:
      code = SB_THUMBTRACK;
      break;
    default:
      break;
  }
  const int position = sb->sliderPosition() & 0xFFFF;
  tk::Guarded([&] {
    tk::SendMessage(*this, bar == otsbVertical ? WM_VSCROLL : WM_HSCROLL,
                    code | static_cast<std::uintptr_t>(position) << 16);
  });
  // A thumb being dragged stays under the pointer; otherwise the bar shows where the table went.
  if (code == SB_THUMBTRACK && !Has(otoThumbTrack)) return;
  const bool vertical = bar == otsbVertical;
  const QSignalBlocker block(sb);
  sb->setSliderPosition(vertical ? layout_.VerticalPosition() : layout_.HorizontalPosition());
}

void TVxCustomTable::WMScroll(TVxScrollBar bar, std::uint16_t code, int position) {
  if (code == SB_ENDSCROLL || (code == SB_THUMBTRACK && !Has(otoThumbTrack))) return;
  if (state_.Contains(otsUnfocused)) {
    if (Designing())
      update();
    else
      setFocus(Qt::OtherFocusReason);
  }
  if (InEditingState() && editCell_ && !editCell_->CanSaveEditedData(true)) return;
  switch (code) {
    case SB_LINEUP:
    case SB_LINEDOWN:
    case SB_PAGEUP:
    case SB_PAGEDOWN:
      ProcessScrollBarClick(bar, code);
      break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
      if (bar == otsbHorizontal) {
        const int col = layout_.HorizontalThumbCol(position);
        if (col != LeftCol()) SetLeftCol(col);
      } else if (position != layout_.VerticalPosition()) {
        SetTopRow(layout_.VerticalThumbRow(position));
      }
      break;
    default:
      break;
  }
}

void TVxCustomTable::ProcessScrollBarClick(TVxScrollBar ScrollBar, std::uint16_t ScrollCode) {
  if (InEditingState() && editCell_ && !editCell_->CanSaveEditedData(true)) return;
  const bool vertical = ScrollBar == otsbVertical;
  const TVxTableAxis& axis = vertical ? layout_.RowAxis() : layout_.ColAxis();
  int first = axis.First;
  switch (ScrollCode) {
    case SB_LINEUP:
      first = axis.Inc(axis.First, -1);
      break;
    case SB_LINEDOWN:
      first = axis.Inc(axis.First, +1);
      break;
    case SB_PAGEUP:
      first = axis.PageBackFirst();
      break;
    case SB_PAGEDOWN:
      first = axis.PageForwardFirst();
      break;
    default:
      return;
  }
  if (vertical)
    SetTopRow(first);
  else
    SetLeftCol(first);
}

// counts, locked area, rows and columns

void TVxCustomTable::SetLockedRows(int value) { tbSetLocked(false, value); }

void TVxCustomTable::SetLockedCols(int value) { tbSetLocked(true, value); }

// Rows and columns lock alike; `columns` picks the axis, its limit, its first scrolling line and its bar.
void TVxCustomTable::tbSetLocked(bool columns, int value) {
  TVxTableAxis& axis = columns ? layout_.ColAxis() : layout_.RowAxis();
  const int limit = columns ? ColCount() : RowLimit();
  if (!HandleAllocated()) {
    // While loading the count may come before the limit it must stay below: Loaded checks it then.
    if (value < 0 || (!Loading() && value >= limit)) return;
    axis.Locked = value;
    if (!Loading()) axis.CalcLastPage();
    return;
  }
  if (value == axis.Locked || value < 0 || value >= limit) return;
  {
    TableRedrawLock lock(*this);
    axis.Locked = value;
    if (columns) {
      if (value > LeftCol()) SetLeftCol(LeftCol());
      if (value > activeCol_) SetActiveCol(LeftCol());
    } else {
      if (value > TopRow()) SetTopRow(TopRow());
      if (value > activeRow_) SetActiveRow(TopRow());
    }
    axis.Rebuild();
    InvalidateTable();
  }
  const auto bar = columns ? otsbHorizontal : otsbVertical;
  tbSetScrollRange(bar);
  tbSetScrollPos(bar);
}

void TVxCustomTable::SetRowLimit(int value) { tbSetCount(false, value); }

void TVxCustomTable::SetColCount(int value) { tbSetCount(true, value); }

// Rows and columns are counted alike; `columns` picks the axis, its active and anchor line and its bar.
void TVxCustomTable::tbSetCount(bool columns, int value) {
  TVxTableAxis& axis = columns ? layout_.ColAxis() : layout_.RowAxis();
  if (value == (columns ? ColCount() : RowLimit()) || value <= axis.Locked) return;
  {
    TableRedrawLock lock(*this);
    // What stands on a line that goes moves to the new last line, before the deletions of the lines could
    // move it anywhere else.
    int& active = columns ? activeCol_ : activeRow_;
    int& anchor = columns ? anchorCol_ : anchorRow_;
    if (active >= value) active = value - 1;
    if (anchor >= value) anchor = value - 1;
    const bool firstGoes = axis.First >= value;
    if (firstGoes) axis.First = value - 1;
    if (columns) {
      columns_->SetCount(value);
      selection_.SetColCount(value);
    } else {
      rows_->SetLimit(value);
      selection_.SetRowCount(value);
    }
    if (firstGoes && HandleAllocated()) axis.Rebuild();
    tbSetScrollRange(columns ? otsbHorizontal : otsbVertical);
    tbClampBlocks();
  }
  tbSetScrollPos(columns ? otsbHorizontal : otsbVertical);
}

void TVxCustomTable::SetColumns(std::unique_ptr<TVxTableColumns> value) {
  if (!value || value->Table() != this || value == columns_) return;
  TableRedrawLock lock(*this);
  columns_->SetOnColumnChanged(nullptr);
  columns_ = std::move(value);
  layout_.Bind(rows_.get(), columns_.get());
  columns_->SetOnColumnChanged(
      [this](TVxTableObject*, int c1, int c2, TVxTblActions a) { tbColumnsChanged(c1, c2, a); });
  tbColumnsChanged(-2, 0, taGeneral);
}

void TVxCustomTable::SetRows(std::unique_ptr<TVxTableRows> value) {
  if (!value || value == rows_) return;
  TableRedrawLock lock(*this);
  rows_->OnCfgChanged = nullptr;
  rows_ = std::move(value);
  layout_.Bind(rows_.get(), columns_.get());
  rows_->OnCfgChanged = [this](TVxTableObject*, int r1, int r2, TVxTblActions a) { tbRowsChanged(r1, r2, a); };
  tbRowsChanged(-2, 0, taGeneral);
}

void TVxCustomTable::tbColumnsChanged(int ColNum1, int ColNum2, TVxTblActions Action) {
  tbAxisChanged(true, ColNum1, ColNum2, Action);
}

void TVxCustomTable::tbRowsChanged(int RowNum1, int RowNum2, TVxTblActions Action) {
  tbAxisChanged(false, RowNum1, RowNum2, Action);
}

// Rows and columns change alike; `columns` picks the axis and what is done to its cells and bar.
void TVxCustomTable::tbAxisChanged(bool columns, int n1, int n2, TVxTblActions Action) {
  if (Quiet()) return;
  TVxTableAxis& axis = columns ? layout_.ColAxis() : layout_.RowAxis();
  const auto countSelection = [&] {
    if (columns)
      selection_.SetColCount(ColCount());
    else
      selection_.SetRowCount(RowLimit());
  };
  if (!HandleAllocated()) {
    countSelection();
    axis.CalcLastPage();
    return;
  }
  TableRedrawLock lock(*this);
  const auto shownOrJustBeyond = [&](int n) {
    return axis.FindInx(n) >= 0 || (n > axis.LastDisplayed() && axis.Extent() < axis.ClientExtent);
  };
  bool visible = false;
  switch (Action) {
    case taGeneral:
    case taAll:
      visible = true;
      break;
    case taSingle:
      visible = shownOrJustBeyond(n1);
      break;
    case taInsert:
      visible = shownOrJustBeyond(n1);
      if (columns)
        cells_->InsertCol(n1);
      else
        cells_->InsertRow(n1);
      break;
    case taDelete:
      visible = axis.FindInx(n1) >= 0;
      if (columns)
        cells_->DeleteCol(n1);
      else
        cells_->DeleteRow(n1);
      break;
    case taExchange:
      visible = axis.FindInx(n1) >= 0 || axis.FindInx(n2) >= 0;
      if (columns)
        cells_->ExchangeCols(n1, n2);
      else
        cells_->ExchangeRows(n1, n2);
      break;
  }
  if (Action != taGeneral && Action != taAll) {
    if (columns)
      DoColumnsChanged(n1, n2, Action);
    else
      DoRowsChanged(n1, n2, Action);
  }
  if (visible) {
    axis.Rebuild();
    InvalidateTable();
    if (Action == taSingle || Action == taDelete) {
      // Off a line that became hidden or went.
      if (columns) {
        if (LeftCol() == n1) SetLeftCol(n1);
        if (activeCol_ == n1) SetActiveCol(n1);
      } else {
        if (TopRow() == n1) SetTopRow(n1);
        if (activeRow_ == n1) SetActiveRow(n1);
      }
    }
    tbClampBlocks();
  }
  countSelection();
  const auto bar = columns ? otsbHorizontal : otsbVertical;
  tbSetScrollRange(bar);
  tbSetScrollPos(bar);
}

// attributes, colours and options

void TVxCustomTable::tbRepaintAll() {
  if (Quiet() || !HandleAllocated()) return;
  TableRedrawLock lock(*this);
  InvalidateTable();
}

void TVxCustomTable::tbCellChanged(TVxTableCellAncestor*) { tbRepaintAll(); }

void TVxCustomTable::SetAccess(TVxTblAccess value) {
  if (value == otxDefault) value = otxNormal;
  if (value == access_) return;
  const bool repaint = value == otxInvisible || access_ == otxInvisible;
  access_ = value;
  if (repaint) tbRepaintAll();
}

void TVxCustomTable::SetAdjust(TVxTblAdjust value) {
  if (value == otaDefault) value = otaCenterLeft;
  if (value == adjust_) return;
  adjust_ = value;
  tbRepaintAll();
}

void TVxCustomTable::SetColorUnused(tk::TColor value) {
  if (value == colorUnused_) return;
  colorUnused_ = value;
  TableRedrawLock lock(*this);
  invalid_.AddUnusedBit();
}

void TVxCustomTable::SetOptions(TVxTblOptionSet value) {
  TableRedrawLock lock(*this);
  options_ = value;
  if (HaveSelection()) {
    additiveSelect_ = false;
    tbSetAnchorCell(activeRow_, activeCol_, tstDeselectAll);
  }
  const TVxTblOptionSet noSelecting{otoMouseDragSelect, otoRowSelection, otoColSelection};
  const TVxTblOptionSet fixed{otoNoRowResizing, otoNoColResizing, otoNoSelection};
  if (Has(otoBrowseRow)) options_ = options_ + fixed - noSelecting;
  if (Has(otoAlwaysEditing))
    options_ = options_ + fixed - noSelecting;
  else if (Has(otoNoSelection))
    options_ = options_ - noSelecting;
  if (Has(otoRowSelection)) options_.Exclude(otoAllowRowMoves);
  if (Has(otoColSelection)) options_.Exclude(otoAllowColMoves);
  InvalidateTable();
}

bool TVxCustomTable::InSelection(int RowNum, int ColNum) const {
  return HaveSelection() && selection_.IsCellSelected(RowNum, ColNum);
}

// cells, data and blocks

TVxBaseTableCell* TVxCustomTable::tbFindCell(int RowNum, int ColNum) const {
  if (TVxBaseTableCell* cell = cells_->Cell(RowNum, ColNum)) return cell;
  if (RowNum < LockedRows()) return lockedRowsCell_;
  return columns_->DefaultCell(ColNum);
}

void TVxCustomTable::SetLockedRowsCell(TVxBaseTableCell* cell) {
  if (cell == lockedRowsCell_ || (cell && cell->UsedByOtherTable(this))) return;
  if (lockedRowsCell_) lockedRowsCell_->DecRefs();
  lockedRowsCell_ = cell;
  if (cell) cell->AttachAndIncRefs(this);
  tbCellChanged(cell);
}

void TVxCustomTable::tbForgetCell(TVxBaseTableCell* cell) {
  if (!cell || Destroying()) return;
  if (editCell_ == cell) EndEditingNow();
  TableRedrawLock lock(*this);
  if (lockedRowsCell_ == cell) {
    lockedRowsCell_ = nullptr;
    cell->DecRefs();
    tbRepaintAll();
  }
  columns_->tcNotifyCellDeletion(cell);
  cells_->tcNotifyCellDeletion(cell);
}

void TVxCustomTable::Notification(tk::Component* component, tk::Operation operation) {
  if (operation == tk::Operation::Remove)
    if (auto* cell = dynamic_cast<TVxBaseTableCell*>(component)) tbForgetCell(cell);
  TVxTableAncestor::Notification(component, operation);
}

void TVxCustomTable::SetBlockRowBegin(int value) {
  if (value < 0 || value == blockRowBegin_ || value >= RowLimit()) return;
  blockRowBegin_ = value;
  blockRowEnd_ = std::max(blockRowEnd_, value);
}

void TVxCustomTable::SetBlockRowEnd(int value) {
  if (value < 0 || value == blockRowEnd_ || value >= RowLimit()) return;
  blockRowEnd_ = value;
  blockRowBegin_ = std::min(blockRowBegin_, value);
}

void TVxCustomTable::SetBlockColBegin(int value) {
  if (value < 0 || value == blockColBegin_ || value >= ColCount()) return;
  blockColBegin_ = value;
  blockColEnd_ = std::max(blockColEnd_, value);
}

void TVxCustomTable::SetBlockColEnd(int value) {
  if (value < 0 || value == blockColEnd_ || value >= ColCount()) return;
  blockColEnd_ = value;
  blockColBegin_ = std::min(blockColBegin_, value);
}

void TVxCustomTable::tbClampBlocks() {
  const int lastRow = std::max(0, RowLimit() - 1);
  const int lastCol = std::max(0, ColCount() - 1);
  blockRowBegin_ = std::min(blockRowBegin_, lastRow);
  blockRowEnd_ = std::min(blockRowEnd_, lastRow);
  blockColBegin_ = std::min(blockColBegin_, lastCol);
  blockColEnd_ = std::min(blockColEnd_, lastCol);
}

namespace {
template <class F>
void ForBlock(int rowBegin, int rowEnd, int colBegin, int colEnd, F&& set) {
  for (int r = rowBegin; r <= rowEnd; ++r)
    for (int c = colBegin; c <= colEnd; ++c) set(r, c);
}
}  // namespace

void TVxCustomTable::SetBlockAccess(TVxTblAccess value) {
  TableRedrawLock lock(*this);
  ForBlock(blockRowBegin_, blockRowEnd_, blockColBegin_, blockColEnd_,
           [&](int r, int c) { cells_->SetAccess(r, c, value); });
}

void TVxCustomTable::SetBlockAdjust(TVxTblAdjust value) {
  TableRedrawLock lock(*this);
  ForBlock(blockRowBegin_, blockRowEnd_, blockColBegin_, blockColEnd_,
           [&](int r, int c) { cells_->SetAdjust(r, c, value); });
}

void TVxCustomTable::SetBlockCell(TVxBaseTableCell* cell) {
  TableRedrawLock lock(*this);
  ForBlock(blockRowBegin_, blockRowEnd_, blockColBegin_, blockColEnd_,
           [&](int r, int c) { cells_->SetCell(r, c, cell); });
}

void TVxCustomTable::SetBlockColor(tk::TColor value) {
  TableRedrawLock lock(*this);
  ForBlock(blockRowBegin_, blockRowEnd_, blockColBegin_, blockColEnd_,
           [&](int r, int c) { cells_->SetColor(r, c, value); });
}

void TVxCustomTable::SetBlockFont(const tk::Font* font) {
  TableRedrawLock lock(*this);
  ForBlock(blockRowBegin_, blockRowEnd_, blockColBegin_, blockColEnd_,
           [&](int r, int c) { cells_->SetFont(r, c, font); });
}

// window procedure

void TVxCustomTable::Dispatch(tk::Message& message) {
  switch (message.Msg) {
    case tk::WM_GETDLGCODE:
      message.Result = tk::DLGC_WANTARROWS | tk::DLGC_WANTCHARS | (Has(otoTabToArrow) ? tk::DLGC_WANTTAB : 0);
      return;
    case ctimQueryOptions:
      message.Result = options_.ToBits();
      return;
    case ctimQueryLockedCols:
      message.Result = LockedCols();
      return;
    case ctimQueryLockedRows:
      message.Result = LockedRows();
      return;
    case ctimQueryActiveCol:
      message.Result = activeCol_;
      return;
    case ctimQueryActiveRow:
      message.Result = activeRow_;
      return;
    case ctimRemoveCell:
      tbForgetCell(dynamic_cast<TVxBaseTableCell*>(reinterpret_cast<TVxTableCellAncestor*>(message.LParam)));
      message.Result = 0;
      return;
    case ctimStartEdit:
      if (!StartEditingState()) {
        TableRedrawLock lock(*this);
        InvalidateCell(activeRow_, activeCol_);
      }
      message.Result = 1;
      return;
    case ctimStartEditMouse:
      StartEditMouse(message.WParam, message.LParam);
      message.Result = 1;
      return;
    case ctimStartEditKey:
      StartEditKey(message.WParam, message.LParam);
      message.Result = 1;
      return;
    case ctimEditorGotFocus:
    case ctimEditorLostFocus:
      return;
    case ctimLoadDefaultCells:
      tbResolveCellLinks();
      return;
    case WM_KEYDOWN:
      WMKeyDown(static_cast<std::uint16_t>(message.WParam), tk::Svc().KeyboardShiftState());
      return;
    case WM_VSCROLL:
    case WM_HSCROLL:
      WMScroll(message.Msg == WM_VSCROLL ? otsbVertical : otsbHorizontal,
               static_cast<std::uint16_t>(message.WParam & 0xFFFF), static_cast<int>((message.WParam >> 16) & 0xFFFF));
      message.Result = 0;
      return;
    case tk::WM_SETFOCUS:
      TVxTableAncestor::Dispatch(message);
      WMSetFocus();
      return;
    case tk::WM_KILLFOCUS:
      TVxTableAncestor::Dispatch(message);
      WMKillFocus();
      return;
    case tk::CM_COLORCHANGED:
    case tk::CM_FONTCHANGED: {
      TableRedrawLock lock(*this);
      tbNotifyCellsOfTableChange();
      if (HandleAllocated()) InvalidateTable();
      return;
    }
    default:
      TVxTableAncestor::Dispatch(message);
  }
}

// event dispatchers

void TVxCustomTable::DoActiveCellChanged(int RowNum, int ColNum) {
  if (!Quiet() && OnActiveCellChanged) OnActiveCellChanged(this, RowNum, ColNum);
}

void TVxCustomTable::DoActiveCellMoving(std::uint16_t Command, int& RowNum, int& ColNum) {
  if (Quiet()) return;
  if (OnActiveCellMoving) OnActiveCellMoving(this, Command, RowNum, ColNum);
  if (InEditingState() && (RowNum != activeRow_ || ColNum != activeCol_) && !StopEditingState(true)) {
    RowNum = activeRow_;
    ColNum = activeCol_;
  }
}

void TVxCustomTable::DoBeginEdit(int RowNum, int ColNum, bool& AllowIt) {
  AllowIt = !Quiet();
  if (AllowIt && OnBeginEdit) OnBeginEdit(this, RowNum, ColNum, AllowIt);
}

void TVxCustomTable::DoClipboardCopy() {
  if (!Quiet() && OnClipboardCopy) OnClipboardCopy(this);
}

void TVxCustomTable::DoClipboardCut() {
  if (!Quiet() && OnClipboardCut) OnClipboardCut(this);
}

void TVxCustomTable::DoClipboardPaste() {
  if (!Quiet() && OnClipboardPaste) OnClipboardPaste(this);
}

void TVxCustomTable::DoColumnsChanged(int ColNum1, int ColNum2, TVxTblActions Action) {
  if (Quiet()) return;
  const std::vector<TVxTableCellAncestor*> cells = CellList();
  for (TVxTableCellAncestor* cell : cells)
    if (auto* heading = dynamic_cast<TVxTCColHead*>(cell)) heading->tcColumnsChanged(ColNum1, ColNum2, Action);
  if (OnColumnsChanged) OnColumnsChanged(this, ColNum1, ColNum2, Action);
}

void TVxCustomTable::DoDoneEdit(int RowNum, int ColNum) {
  if (!Quiet() && OnDoneEdit) OnDoneEdit(this, RowNum, ColNum);
}

void TVxCustomTable::DoEndEdit(TVxTableCellAncestor* Cell, int RowNum, int ColNum, bool& AllowIt) {
  AllowIt = !Quiet();
  if (AllowIt && OnEndEdit) OnEndEdit(this, Cell, RowNum, ColNum, AllowIt);
}

void TVxCustomTable::DoEnteringColumn(int ColNum) {
  if (Quiet() || ColNum == lastEnteredCol_) return;
  lastEnteredCol_ = ColNum;
  if (OnEnteringColumn) OnEnteringColumn(this, ColNum);
}

void TVxCustomTable::DoEnteringRow(int RowNum) {
  if (Quiet() || RowNum == lastEnteredRow_) return;
  lastEnteredRow_ = RowNum;
  if (OnEnteringRow) OnEnteringRow(this, RowNum);
}

void TVxCustomTable::DoGetCellAttributes(int RowNum, int ColNum, TVxCellAttributes& CellAttr) {
  if (!Quiet() && OnGetCellAttributes) OnGetCellAttributes(this, RowNum, ColNum, CellAttr);
}

void TVxCustomTable::DoGetCellData(int RowNum, int ColNum, void*& Data, TVxCellDataPurpose Purpose) {
  Data = nullptr;
  if (Quiet() || !HandleAllocated()) return;
  if (OnGetCellData) OnGetCellData(this, RowNum, ColNum, Data, Purpose);
}

void TVxCustomTable::DoLeavingColumn(int ColNum) {
  if (!Quiet() && OnLeavingColumn) OnLeavingColumn(this, ColNum);
}

void TVxCustomTable::DoLeavingRow(int RowNum) {
  if (!Quiet() && OnLeavingRow) OnLeavingRow(this, RowNum);
}

void TVxCustomTable::DoLockedCellClick(int RowNum, int ColNum) {
  if (!Quiet() && OnLockedCellClick) OnLockedCellClick(this, RowNum, ColNum);
}

void TVxCustomTable::DoRowsChanged(int RowNum1, int RowNum2, TVxTblActions Action) {
  if (!Quiet() && OnRowsChanged) OnRowsChanged(this, RowNum1, RowNum2, Action);
}

void TVxCustomTable::DoSizeCellEditor(int RowNum, int ColNum, tk::Rect& CellRect, TVxTblEditorStyle& CellStyle) {
  if (OnSizeCellEditor) OnSizeCellEditor(this, RowNum, ColNum, CellRect, CellStyle);
}

void TVxCustomTable::DoTopLeftCellChanged(int RowNum, int ColNum) {
  if (!Quiet() && OnTopLeftCellChanged) OnTopLeftCellChanged(this, RowNum, ColNum);
}

void TVxCustomTable::DoTopLeftCellChanging(int& RowNum, int& ColNum) {
  if (!Quiet() && OnTopLeftCellChanging) OnTopLeftCellChanging(this, RowNum, ColNum);
}

void TVxCustomTable::DoUserCommand(std::uint16_t Command) {
  if (!Quiet() && OnUserCommand) OnUserCommand(this, Command);
}

}  // namespace controls
