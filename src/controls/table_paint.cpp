// The table's invalidation, redraw lock and painting.
#include <QChildEvent>
#include <QMoveEvent>
#include <QPaintEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <algorithm>
#include <array>
#include <span>
#include <vector>

#include "controls/table.h"
#include "tk/exception_guard.h"

namespace controls {

namespace {

// On and off runs of a styled pen, in pixels, as the display draws one-pixel cosmetic lines.
std::span<const int> PenPattern(tk::PenStyle style) {
  static constexpr std::array<int, 2> dot{1, 1};
  static constexpr std::array<int, 2> dash{4, 2};
  static constexpr std::array<int, 4> dashDot{4, 2, 1, 2};
  static constexpr std::array<int, 6> dashDotDot{4, 2, 1, 2, 1, 2};
  switch (style) {
    case tk::PenStyle::psDot:
      return dot;
    case tk::PenStyle::psDash:
      return dash;
    case tk::PenStyle::psDashDot:
      return dashDot;
    case tk::PenStyle::psDashDotDot:
      return dashDotDot;
    default:
      return {};
  }
}

// A grid pen as pixels: its colours and pattern, the gaps in the table's colour (the platform fills them
// opaquely).
struct PixelPen {
  PixelPen(const TVxGridPen& pen, tk::TColor back)
      : Normal(tk::ToQColor(pen.NormalColor()).rgb()),
        Second(tk::ToQColor(pen.SecondColor()).rgb()),
        Back(tk::ToQColor(back).rgb()),
        Pattern(PenPattern(pen.Style())),
        Clear(pen.Style() == tk::PenStyle::psClear) {}
  QRgb Normal, Second, Back;
  std::span<const int> Pattern;
  bool Clear;
};

// A horizontal or vertical line from `from` towards `to`, the end point left out, straight into the image:
// `color` where the pen's pattern is on, its gap colour elsewhere. `phase` carries the pattern on into the
// next segment.
void PutLine(QImage& image, tk::Point from, tk::Point to, QRgb color, const PixelPen& pen, int& phase) {
  if (pen.Clear) return;
  const int dx = (to.X > from.X) - (to.X < from.X);
  const int dy = (to.Y > from.Y) - (to.Y < from.Y);
  const int length = std::max(std::abs(to.X - from.X), std::abs(to.Y - from.Y));
  uchar* const bits = image.bits();
  const qsizetype stride = image.bytesPerLine();
  const int width = image.width();
  const int height = image.height();
  // Where the line starts in its pattern: the run, and how far into it.
  std::size_t run = 0;
  int into = 0;
  if (!pen.Pattern.empty()) {
    int period = 0;
    for (int part : pen.Pattern) period += part;
    into = phase % period;
    while (into >= pen.Pattern[run]) into -= pen.Pattern[run++];
  }
  phase += length;
  for (int k = 0, x = from.X, y = from.Y; k < length; ++k, x += dx, y += dy) {
    const bool on = run % 2 == 0;
    if (!pen.Pattern.empty() && ++into == pen.Pattern[run]) {
      into = 0;
      run = (run + 1) % pen.Pattern.size();
    }
    if (x >= 0 && y >= 0 && x < width && y < height)
      reinterpret_cast<QRgb*>(bits + y * stride)[x] = on ? color : pen.Back;
  }
}

// XORs a line of pixels into the image: `on` where the pattern is on, `off` in its gaps.
void XorLine(QImage& image, tk::Point from, int length, bool vertical, QRgb on, QRgb off, bool dotted) {
  for (int k = 0; k < length; ++k) {
    const int x = from.X + (vertical ? 0 : k);
    const int y = from.Y + (vertical ? k : 0);
    if (!image.valid(x, y)) continue;
    QRgb& pixel = reinterpret_cast<QRgb*>(image.scanLine(y))[x];
    pixel = 0xFF000000u | ((pixel ^ (!dotted || k % 2 == 0 ? on : off)) & 0x00FFFFFFu);
  }
}

tk::Rect ReduceByEffect(tk::Rect r, TGridEffect effect) {
  switch (effect) {
    case geVertical:
      --r.Right;
      break;
    case geHorizontal:
      --r.Bottom;
      break;
    case geBoth:
      --r.Right;
      --r.Bottom;
      break;
    case ge3D:
      r = r.Inflate(-1, -1);
      break;
    case geNone:
      break;
  }
  return r;
}

}  // namespace

// invalidation

void TVxCustomTable::InvalidateDisplayed(int firstRowInx, int lastRowInx, int firstColInx, int lastColInx,
                                         TVxCellArray& into) {
  const TVxTableAxis& rows = layout_.RowAxis();
  const TVxTableAxis& cols = layout_.ColAxis();
  for (int ri = std::max(0, firstRowInx); ri <= lastRowInx && ri < rows.DisplayCount(); ++ri)
    for (int ci = std::max(0, firstColInx); ci <= lastColInx && ci < cols.DisplayCount(); ++ci)
      into.AddCell(rows.NumberAt(ri), cols.NumberAt(ci));
}

void TVxCustomTable::InvalidateCell(int RowNum, int ColNum) {
  if (tbFindRowInx(RowNum) >= 0 && tbFindColInx(ColNum) >= 0) invalid_.AddCell(RowNum, ColNum);
}

void TVxCustomTable::InvalidateCellsInRect(const tk::Rect& rect) {
  const TVxTblRectRange range = layout_.HitTestRect(rect);
  if (range.Result != TVxTblRectRange::Inside && !rect.Empty()) invalid_.AddUnusedBit();
  if (range.Result == TVxTblRectRange::Nothing) return;
  InvalidateDisplayed(range.FirstRow, range.LastRow, range.FirstCol, range.LastCol, invalid_);
}

void TVxCustomTable::InvalidateRow(int RowNum) {
  const int index = tbFindRowInx(RowNum);
  if (index >= 0) InvalidateDisplayed(index, index, 0, layout_.ColAxis().DisplayCount() - 1, invalid_);
}

void TVxCustomTable::InvalidateColumn(int ColNum) {
  const int index = tbFindColInx(ColNum);
  if (index >= 0) InvalidateDisplayed(0, layout_.RowAxis().DisplayCount() - 1, index, index, invalid_);
}

void TVxCustomTable::InvalidateRowHeading(int RowNum) {
  const TVxTableAxis& cols = layout_.ColAxis();
  if (tbFindRowInx(RowNum) < 0) return;
  for (int ci = 0; ci < cols.DisplayCount() && cols.NumberAt(ci) < LockedCols(); ++ci)
    invalid_.AddCell(RowNum, cols.NumberAt(ci));
}

void TVxCustomTable::InvalidateColumnHeading(int ColNum) {
  const TVxTableAxis& rows = layout_.RowAxis();
  if (tbFindColInx(ColNum) < 0) return;
  for (int ri = 0; ri < rows.DisplayCount() && rows.NumberAt(ri) < LockedRows(); ++ri)
    invalid_.AddCell(rows.NumberAt(ri), ColNum);
}

void TVxCustomTable::InvalidateTable() {
  InvalidateDisplayed(0, layout_.RowAxis().DisplayCount() - 1, 0, layout_.ColAxis().DisplayCount() - 1, invalid_);
  invalid_.AddUnusedBit();
}

void TVxCustomTable::InvalidateTableNotLockedCols() {
  const TVxTableAxis& cols = layout_.ColAxis();
  int first = 0;
  while (first < cols.DisplayCount() && cols.NumberAt(first) < LockedCols()) ++first;
  InvalidateDisplayed(0, layout_.RowAxis().DisplayCount() - 1, first, cols.DisplayCount() - 1, invalid_);
  invalid_.AddUnusedBit();
}

void TVxCustomTable::InvalidateTableNotLockedRows() {
  const TVxTableAxis& rows = layout_.RowAxis();
  int first = 0;
  while (first < rows.DisplayCount() && rows.NumberAt(first) < LockedRows()) ++first;
  InvalidateDisplayed(first, rows.DisplayCount() - 1, 0, layout_.ColAxis().DisplayCount() - 1, invalid_);
  invalid_.AddUnusedBit();
}

// the redraw lock

void TVxCustomTable::SetAllowRedraw(bool value) {
  if (!value) {
    if (++redrawLock_ == 1) OnLock();
    return;
  }
  if (redrawLock_ == 0) return;
  if (--redrawLock_ == 0) OnUnlock();
}

void TVxCustomTable::OnLock() {
  if (!HandleAllocated()) return;
  if (Has(otoBrowseRow)) InvalidateRow(activeRow_);
  if (state_.Contains(otsEditing))
    HideEditor();
  else if (!Has(otoBrowseRow))
    InvalidateCell(activeRow_, activeCol_);
}

void TVxCustomTable::OnUnlock() {
  if (scrollPosPending_) {
    scrollPosPending_ = false;
    tbWriteScrollPos(otsbVertical);
    tbWriteScrollPos(otsbHorizontal);
  }
  if (Has(otoBrowseRow)) InvalidateRow(activeRow_);
  if (!HandleAllocated()) return;
  if (!invalid_.Empty()) {
    drawQueue_.Merge(invalid_);
    if (invalid_.MustDoUnusedBit()) drawQueue_.AddUnusedBit();
    invalid_.Clear();
  }
  const bool editorHidden = state_.Contains(otsHiddenEdit);
  if (!editorHidden) frameQueued_ = true;
  FlushDrawing();
  if (editorHidden && tbFindRowInx(activeRow_) >= 0 && tbFindColInx(activeCol_) >= 0) ShowEditor();
}

void TVxCustomTable::RequestDrawing(TVxCellArray& cells) {
  drawQueue_.Merge(cells);
  if (cells.MustDoUnusedBit()) drawQueue_.AddUnusedBit();
  cells.Clear();
  FlushDrawing();
}

void TVxCustomTable::FlushDrawing() {
  // Drawn now when the window shows; otherwise by the first paint that comes.
  if (inPaint_ || !isVisible()) return;
  const QRegion area = QueuedRegion() | dirty_;
  if (!area.isEmpty()) ShowSurface(area, true);
}

void TVxCustomTable::ShowSurface(const QRegion& area, bool now) {
  ownPaint_ |= area;
  const QRegion widgetArea = area.translated(BorderWidth(), BorderWidth());
  if (now)
    repaint(widgetArea);
  else
    update(widgetArea);
}

QRegion TVxCustomTable::CellsRegion(const TVxCellArray& cells) const {
  QRegion region;
  for (int i = 0; i < cells.Count(); ++i) {
    TVxCellAddress cell;
    cells.GetCellAddr(i, cell);
    const int rowIndex = tbFindRowInx(cell.Row);
    const int colIndex = tbFindColInx(cell.Col);
    if (rowIndex >= 0 && colIndex >= 0) region |= layout_.CellRectAt(rowIndex, colIndex).ToQRect();
  }
  if (cells.MustDoUnusedBit()) {
    const int colExtent = layout_.ColAxis().Extent();
    const int rowExtent = layout_.RowAxis().Extent();
    region |= tk::Rect{colExtent, 0, ClientWidth(), ClientHeight()}.ToQRect();
    region |= tk::Rect{0, rowExtent, colExtent, ClientHeight()}.ToQRect();
  }
  return region;
}

QRegion TVxCustomTable::FrameRegion() const {
  const int rowIndex = tbFindRowInx(activeRow_);
  const int colIndex = tbFindColInx(activeCol_);
  if (rowIndex < 0 || colIndex < 0) return {};
  // The frame keeps within two pixels of the cell's edges.
  const QRect cell = layout_.CellRectAt(rowIndex, colIndex).ToQRect();
  return QRegion(cell) - QRegion(cell.adjusted(2, 2, -2, -2));
}

void TVxCustomTable::childEvent(QChildEvent* event) {
  TVxTableAncestor::childEvent(event);
  if (event->added() && event->child()->isWidgetType()) event->child()->installEventFilter(this);
}

void TVxCustomTable::NoteChildArea(QObject* watched, const QEvent* event) {
  auto* child = qobject_cast<QWidget*>(watched);
  if (!child || child->parentWidget() != this || child->isWindow()) return;
  QRegion area = child->geometry();
  if (event->type() == QEvent::Move)
    area |= QRect(static_cast<const QMoveEvent*>(event)->oldPos(), child->size());
  else if (event->type() == QEvent::Resize)
    area |= QRect(child->pos(), static_cast<const QResizeEvent*>(event)->oldSize());
  else if (event->type() != QEvent::Show && event->type() != QEvent::Hide)
    return;
  ownPaint_ |= area.translated(-BorderWidth(), -BorderWidth());
}

QRegion TVxCustomTable::QueuedRegion() const {
  QRegion region = CellsRegion(drawQueue_);
  if (frameQueued_) region |= FrameRegion();
  return region;
}

// painting

void TVxCustomTable::EnsureSurface() {
  const QSize size(ClientWidth(), ClientHeight());
  if (surface_.size() == size) return;
  if (size.isEmpty()) {
    surface_ = QImage();
    return;
  }
  surface_ = QImage(size, QImage::Format_RGB32);
  surface_.fill(tk::ToQColor(colorUnused_));
  dirty_ = QRegion(0, 0, size.width(), size.height());
  // The paint request the new surface needs covers whatever waited.
  drawQueue_.Clear();
}

void TVxCustomTable::paintEvent(QPaintEvent* event) {
  inPaint_ = true;
  EnsureSurface();
  const int bw = BorderWidth();
  const QRegion painted = event->region().translated(-bw, -bw) & QRect(0, 0, ClientWidth(), ClientHeight());
  // Beyond what the table asked to show itself, the window system or a caller asks for a paint; the editor
  // covers its own part. A lock ignores the request unless a scroll happened in it.
  QRegion asked = painted - ownPaint_;
  ownPaint_ = QRegion();
  if (QWidget* editor = EditorWidget(); editor && editor->isVisible() && editor->parentWidget() == this)
    asked -= editor->geometry().translated(-bw, -bw);
  if (!asked.isEmpty() && (redrawLock_ == 0 || scrolledDuringLock_)) dirty_ |= asked;
  QRegion drawnLate;
  if (!surface_.isNull()) {
    tk::Canvas canvas(&surface_);
    paintCanvas_ = &canvas;
    tk::Guarded([&] {
      // Drawing fires events whose handlers may ask for more drawing; a few rounds take it in.
      for (int round = 0; round < 4; ++round) {
        bool drew = false;
        if (round > 0) drawnLate |= QueuedRegion();
        if (!drawQueue_.Empty()) {
          TVxCellArray cells = drawQueue_;
          drawQueue_.Clear();
          DrawCellArray(canvas, cells);
          drew = true;
        }
        if (!dirty_.isEmpty()) {
          const QRegion pending = dirty_;
          if (redrawLock_ == 0) {
            dirty_ = QRegion();
            PaintRequest(canvas, tk::Rect::FromQRect(pending.boundingRect()));
            drew = true;
          } else if (scrolledDuringLock_) {
            // Inside a lock, only what a scroll uncovered is collected, for the last unlock to draw.
            dirty_ = QRegion();
            for (const QRect& part : pending) InvalidateCellsInRect(tk::Rect::FromQRect(part));
            scrolledDuringLock_ = false;
          }
        }
        if (frameQueued_) {
          frameQueued_ = false;
          DrawActiveFrame(canvas);
          drew = true;
        }
        if (!drew) break;
      }
    });
    paintCanvas_ = nullptr;
  }
  // What handlers had drawn during this paint and lies outside it is shown by the next.
  drawnLate -= painted;
  if (!drawnLate.isEmpty()) ShowSurface(drawnLate, false);
  tk::Canvas frame(this);
  if (!surface_.isNull()) {
    if (sizeLineShown_ || moveLineShown_) {
      QImage withLines = surface_.copy();
      DrawOverlays(withLines);
      frame.Draw(bw, bw, withLines);
    } else {
      frame.Draw(bw, bw, surface_);
    }
  }
  if (vertical_->isVisible() && horizontal_->isVisible()) {
    frame.Brush = tk::Brush{tk::clBtnFace, tk::BrushStyle::Solid};
    frame.FillRect(tk::Bounds(bw + ClientWidth(), bw + ClientHeight(), vertical_->width(), horizontal_->height()));
  }
  tk::Rect edge = tk::Bounds(0, 0, width(), height());
  if (bw == 2) {
    frame.Frame3D(edge, tk::clBtnShadow, tk::clBtnHighlight, 1);
    frame.Frame3D(edge, tk::cl3DDkShadow, tk::cl3DLight, 1);
  } else if (bw == 1) {
    frame.Brush = tk::Brush{tk::clWindowFrame, tk::BrushStyle::Solid};
    frame.FrameRect(edge);
  }
  inPaint_ = false;
}

void TVxCustomTable::DrawCellArray(tk::Canvas& canvas, TVxCellArray& cells) {
  const TVxTableAxis& rows = layout_.RowAxis();
  const TVxTableAxis& cols = layout_.ColAxis();
  const int count = cells.Count();
  for (int i = 0; i < count;) {
    TVxCellAddress first;
    cells.GetCellAddr(i, first);
    const int rowIndex = rows.FindInx(first.Row);
    const int colIndex = cols.FindInx(first.Col);
    if (rowIndex < 0 || colIndex < 0) {
      ++i;
      continue;
    }
    // A run: the cells of the row whose columns follow each other on screen.
    int last = colIndex;
    int j = i + 1;
    for (; j < count; ++j) {
      TVxCellAddress next;
      cells.GetCellAddr(j, next);
      if (next.Row != first.Row || cols.FindInx(next.Col) != last + 1) break;
      ++last;
    }
    DrawRow(canvas, rowIndex, colIndex, last);
    i = j;
  }
  if (cells.MustDoUnusedBit()) PaintUnusedArea(canvas);
  cells.Clear();
}

void TVxCustomTable::PaintRequest(tk::Canvas& canvas, const tk::Rect& clip) {
  // The editor covers the cell it edits.
  if (InEditingState() && clip == layout_.CellRect(activeRow_, activeCol_)) return;
  const TVxTblRectRange range = layout_.HitTestRect(clip);
  if (range.Result != TVxTblRectRange::Nothing)
    for (int ri = range.FirstRow; ri <= range.LastRow; ++ri) DrawRow(canvas, ri, range.FirstCol, range.LastCol);
  if (range.Result != TVxTblRectRange::Inside) PaintUnusedArea(canvas);
  DrawActiveFrame(canvas);
}

void TVxCustomTable::DrawRow(tk::Canvas& canvas, int rowIndex, int firstColIndex, int lastColIndex) {
  const TVxTableAxis& rows = layout_.RowAxis();
  const TVxTableAxis& cols = layout_.ColAxis();
  if (rowIndex < 0 || rowIndex >= rows.DisplayCount()) return;
  const int row = rows.NumberAt(rowIndex);
  const int y = rows.OffsetAt(rowIndex);
  const int h = rows.EndAt(rowIndex) - y;
  DoEnteringRow(row);
  // The grid lines go straight into the surface's pixels once the row's cells are painted; no cell paints
  // over another's lines.
  struct GridLines {
    int X, Y, W, H;
    const TVxGridPen* Pen;
  };
  std::vector<GridLines> lines;
  for (int ci = std::max(0, firstColIndex); ci <= lastColIndex && ci < cols.DisplayCount(); ++ci) {
    const int col = cols.NumberAt(ci);
    const int x = cols.OffsetAt(ci);
    const int w = cols.EndAt(ci) - x;
    DoEnteringColumn(col);
    const TVxGridPen& pen =
        col < LockedCols() || row < LockedRows() ? gridPenSet_.LockedGrid() : gridPenSet_.NormalGrid();
    const tk::Rect cellRect = ReduceByEffect({x, y, x + w, y + h}, pen.Effect());
    const bool edited = InEditingState() && row == activeRow_ && col == activeCol_;
    TVxBaseTableCell* cell = edited ? nullptr : tbFindCell(row, col);
    canvas.Pen = tk::Pen{};
    canvas.Font = Font();
    if (cell) {
      void* data = nullptr;
      DoGetCellData(row, col, data, cdpForPaint);
      TVxCellAttributes attr;
      scratchFont_ = Font();
      attr.Font = &scratchFont_;
      cell->ResolveAttributes(row, col, attr);
      canvas.Brush = tk::Brush{attr.Color, tk::BrushStyle::Solid};
      cell->Paint(canvas, cellRect, row, col, attr, data);
    } else {
      TVxCellAttributes attr;
      attr.Color = Color();
      scratchFont_ = Font();
      attr.Font = &scratchFont_;
      attr.FontColor = Font().Color();
      ResolveCellAttributes(row, col, attr);
      canvas.Brush = tk::Brush{attr.Color, tk::BrushStyle::Solid};
      canvas.FillRect(cellRect);
    }
    if (pen.Effect() != geNone) lines.push_back({x, y, w, h, &pen});
  }
  if (lines.empty()) return;
  canvas.Flush();
  QImage& image = surface_;
  const PixelPen normal(gridPenSet_.NormalGrid(), Color());
  const PixelPen locked(gridPenSet_.LockedGrid(), Color());
  for (const GridLines& cell : lines) {
    const TGridEffect effect = cell.Pen->Effect();
    const PixelPen& pen = cell.Pen == &gridPenSet_.LockedGrid() ? locked : normal;
    const int x = cell.X, y = cell.Y, w = cell.W, h = cell.H;
    int phase = 0;
    if (effect == ge3D) {
      PutLine(image, {x, y + h - 1}, {x, y}, pen.Second, pen, phase);
      PutLine(image, {x, y}, {x + w, y}, pen.Second, pen, phase);
    }
    if (effect != geHorizontal) {
      phase = 0;
      PutLine(image, {x + w - 1, y}, {x + w - 1, y + h}, pen.Normal, pen, phase);
    }
    if (effect != geVertical) {
      phase = 0;
      PutLine(image, {x, y + h - 1}, {x + w, y + h - 1}, pen.Normal, pen, phase);
    }
  }
}

void TVxCustomTable::DrawActiveFrame(tk::Canvas& canvas) {
  const int rowIndex = tbFindRowInx(activeRow_);
  const int colIndex = tbFindColInx(activeCol_);
  if (rowIndex < 0 || colIndex < 0) return;
  if (InEditingState()) {
    if (QWidget* editor = EditorWidget()) editor->update();
    return;
  }
  const TVxGridPen& pen = state_.Contains(otsFocused) ? gridPenSet_.CellWhenFocused() : gridPenSet_.CellWhenUnfocused();
  if (pen.Effect() == geNone) return;
  const tk::Rect cell = layout_.CellRectAt(rowIndex, colIndex);
  int left = cell.Left, top = cell.Top, right = cell.Right - 1, bottom = cell.Bottom - 1;
  switch (gridPenSet_.NormalGrid().Effect()) {
    case geVertical:
      --right;
      break;
    case geHorizontal:
      --bottom;
      break;
    case geBoth:
      --right;
      --bottom;
      break;
    case ge3D:
      --right;
      --bottom;
      ++left;
      ++top;
      break;
    case geNone:
      break;
  }
  const TGridEffect effect = pen.Effect();
  const bool sides = effect == geVertical || effect == geBoth || effect == ge3D;
  const bool ends = effect == geHorizontal || effect == geBoth || effect == ge3D;
  canvas.Flush();
  QImage& image = surface_;
  const PixelPen pixels(pen, Color());
  int phase = 0;
  QRgb color = pixels.Normal;
  if (sides) PutLine(image, {left, top}, {left, bottom + 1}, color, pixels, phase);
  if (ends) PutLine(image, {left, top}, {right + 1, top}, color, pixels, phase);
  if (effect == ge3D) color = pixels.Second;
  if (sides) PutLine(image, {right, top}, {right, bottom + 1}, color, pixels, phase);
  if (ends) PutLine(image, {left, bottom}, {right + 1, bottom}, color, pixels, phase);
}

void TVxCustomTable::PaintUnusedArea(tk::Canvas&) { DoPaintUnusedArea(); }

void TVxCustomTable::DoPaintUnusedArea() {
  if (OnPaintUnusedArea) {
    if (!Quiet()) OnPaintUnusedArea(this);
    return;
  }
  if (!paintCanvas_) return;
  const int colExtent = layout_.ColAxis().Extent();
  const int rowExtent = layout_.RowAxis().Extent();
  const tk::Rect right{colExtent, 0, ClientWidth(), ClientHeight()};
  const tk::Rect below{0, rowExtent, colExtent, ClientHeight()};
  paintCanvas_->Brush = tk::Brush{colorUnused_, tk::BrushStyle::Solid};
  if (!right.Empty()) paintCanvas_->FillRect(right);
  if (!below.Empty()) paintCanvas_->FillRect(below);
}

void TVxCustomTable::DrawOverlays(QImage& frame) const {
  // Both lines are the platform's exclusive-or lines: drawn twice, they are gone.
  if (sizeLineShown_) {
    const bool row = state_.Contains(otsDoingRow);
    const QRgb back = tk::ToQColor(Color()).rgb();
    if (row)
      XorLine(frame, {0, sizeLinePos_}, ClientWidth(), false, 0, back, true);
    else
      XorLine(frame, {sizeLinePos_, 0}, ClientHeight(), true, 0, back, true);
  }
  if (moveLineShown_) {
    const tk::Rect r = MoveLineRect();
    const bool vertical = r.Width() <= r.Height();
    for (int k = 0; k < 3; ++k) {
      if (vertical)
        XorLine(frame, {r.Left + k, 0}, ClientHeight(), true, 0xFFFFFF, 0xFFFFFF, false);
      else
        XorLine(frame, {0, r.Top + k}, ClientWidth(), false, 0xFFFFFF, 0xFFFFFF, false);
    }
  }
}

tk::Rect TVxCustomTable::EditorRect() const {
  return ReduceByEffect(layout_.CellRect(activeRow_, activeCol_), gridPenSet_.NormalGrid().Effect());
}

// attributes

void TVxCustomTable::ResolveCellAttributes(int RowNum, int ColNum, TVxCellAttributes& CellAttr) {
  const TVxSparseAttr over = cells_->ResolveFullAttr(RowNum, ColNum);
  CellAttr.Access = over.Access != otxDefault ? over.Access : CellAttr.Access != otxDefault ? CellAttr.Access : access_;
  CellAttr.Adjust = over.Adjust != otaDefault ? over.Adjust : CellAttr.Adjust != otaDefault ? CellAttr.Adjust : adjust_;
  if (over.Font && CellAttr.Font) *CellAttr.Font = *over.Font;
  const bool locked = RowNum < LockedRows() || ColNum < LockedCols();
  const bool focused = state_.Contains(otsFocused);
  const auto use = [&](tk::TColor back, tk::TColor text) {
    CellAttr.Color = back;
    CellAttr.FontColor = text;
  };
  const auto activePair = [&] {
    if (focused)
      use(colors_.ActiveFocused(), colors_.ActiveFocusedText());
    else
      use(colors_.ActiveUnfocused(), colors_.ActiveUnfocusedText());
  };
  if (RowNum == activeRow_ && ColNum == activeCol_) {
    if (focused && (InEditingState() || (Has(otoAlwaysEditing) && CellAttr.Access == otxNormal)))
      use(colors_.Editing(), colors_.EditingText());
    else
      activePair();
  } else if (Has(otoBrowseRow) && RowNum == activeRow_) {
    activePair();
  } else if (InSelection(RowNum, ColNum)) {
    use(colors_.Selected(), colors_.SelectedText());
  } else {
    CellAttr.FontColor = over.Font ? over.Font->Color() : locked ? colors_.LockedText() : CellAttr.FontColor;
    if (over.Color != clTblColorNotSet)
      CellAttr.Color = over.Color;
    else if (locked)
      CellAttr.Color = colors_.Locked();
  }
  DoGetCellAttributes(RowNum, ColNum, CellAttr);
}

}  // namespace controls
