#include "controls/table_rows_cols.h"

#include <algorithm>

#include "tk/control.h"

namespace controls {

// rows

TVxTableRows::~TVxTableRows() {
  records_.ForAll(
      [](int, void* record) {
        delete static_cast<TRowStyle*>(record);
        return true;
      },
      false);
}

void TVxTableRows::CheckRow(int n) const {
  if (n < 0 || n >= limit_) TableErrorRes(SRowOutOfRange);
}

TRowStyle* TVxTableRows::Record(int n) const {
  if (n >= MaxStoredRow) return nullptr;
  return static_cast<TRowStyle*>(records_.GetItem(n));
}

void TVxTableRows::FreeRecord(int n) {
  delete Record(n);
  records_.PutItem(n, nullptr);
  --count_;
}

void TVxTableRows::Changed(int RowNum1, int RowNum2, TVxTblActions Action) {
  if (OnCfgChanged) OnCfgChanged(this, RowNum1, RowNum2, Action);
}

TRowStyle TVxTableRows::Row(int n) const {
  CheckRow(n);
  const TRowStyle* record = Record(n);
  if (!record) return {defHeight_, false};
  return {record->Height == -1 ? defHeight_ : record->Height, record->Hidden};
}

void TVxTableRows::SetRow(int n, const TRowStyle& style) {
  CheckRow(n);
  if (n >= MaxStoredRow) return;
  const int height = StoredHeight(style.Height);
  if (height == -1 && !style.Hidden) {
    Reset(n);
    return;
  }
  TRowStyle* record = Record(n);
  if (!record) {
    record = new TRowStyle;
    records_.PutItem(n, record);
    ++count_;
  }
  *record = {height, style.Hidden};
  Changed(n, 0, taSingle);
}

int TVxTableRows::Height(int n) const { return Row(n).Height; }

void TVxTableRows::SetRowHeight(int n, int height) {
  CheckRow(n);
  if (n >= MaxStoredRow) return;
  const int stored = StoredHeight(height);
  TRowStyle* record = Record(n);
  if (!record) {
    if (stored == -1) return;
    records_.PutItem(n, new TRowStyle{stored, false});
    ++count_;
  } else if (stored == -1 && !record->Hidden) {
    FreeRecord(n);
  } else {
    if (record->Height == stored) return;
    record->Height = stored;
  }
  Changed(n, 0, taSingle);
}

bool TVxTableRows::Hidden(int n) const { return Row(n).Hidden; }

void TVxTableRows::SetRowHidden(int n, bool hidden) {
  CheckRow(n);
  if (n >= MaxStoredRow) return;
  TRowStyle* record = Record(n);
  if (!record) {
    if (!hidden) return;
    records_.PutItem(n, new TRowStyle{-1, true});
    ++count_;
  } else if (record->Hidden == hidden) {
    return;
  } else if (!hidden && record->Height == -1) {
    FreeRecord(n);
  } else {
    record->Hidden = hidden;
  }
  Changed(n, 0, taSingle);
}

bool TVxTableRows::RowIsSpecial(int n) const {
  CheckRow(n);
  return Record(n) != nullptr;
}

void TVxTableRows::Reset(int n) {
  CheckRow(n);
  if (!Record(n)) return;
  FreeRecord(n);
  Changed(n, 0, taSingle);
}

void TVxTableRows::Insert(int n, const TRowStyle& style) {
  if (n >= MaxStoredRow) TableErrorRes(SRowInsertBeyondMax);
  if (n < 0 || n > limit_) TableErrorRes(SRowOutOfRange);
  const int height = StoredHeight(style.Height);
  const bool special = height != -1 || style.Hidden;
  auto record = special ? std::make_unique<TRowStyle>(TRowStyle{height, style.Hidden}) : nullptr;
  records_.Insert(n, record.get());
  if (record) {
    record.release();
    ++count_;
  }
  ++limit_;
  Changed(n, 0, taInsert);
}

void TVxTableRows::Delete(int n) {
  CheckRow(n);
  if (n >= MaxStoredRow) return;
  if (Record(n)) FreeRecord(n);
  records_.Delete(n);
  limit_ = std::max(1, limit_ - 1);
  Changed(n, 0, taDelete);
}

void TVxTableRows::Exchange(int RowA, int RowB) {
  CheckRow(RowA);
  CheckRow(RowB);
  if (RowA == RowB || RowA >= MaxStoredRow || RowB >= MaxStoredRow) return;
  records_.Exchange(RowA, RowB);
  Changed(RowA, RowB, taExchange);
}

void TVxTableRows::Clear() {
  records_.ForAll(
      [](int, void* record) {
        delete static_cast<TRowStyle*>(record);
        return true;
      },
      false);
  records_.Clear();
  count_ = 0;
  Changed(0, 0, taAll);
}

void TVxTableRows::SetDefHeight(int value) {
  if (value < 1 || value == defHeight_) return;
  defHeight_ = value;
  Changed(0, 0, taAll);
}

void TVxTableRows::SetLimit(int value) {
  value = std::max(1, value);
  if (value == limit_) return;
  // A row that drops off must not come back with its old settings when the table grows again.
  for (int n = value; n < std::min(records_.Count(), MaxStoredRow); ++n)
    if (Record(n)) FreeRecord(n);
  limit_ = value;
  Changed(-2, 0, taGeneral);
}

void TVxTableRows::rwScaleHeights(int M, int D) {
  defHeight_ = MulDiv(defHeight_, M, D);
  records_.ForAll(
      [M, D](int, void* item) {
        auto* record = static_cast<TRowStyle*>(item);
        if (record->Height != -1) record->Height = MulDiv(record->Height, M, D);
        return true;
      },
      false);
}

// columns

TVxTableColumn::~TVxTableColumn() {
  if (defaultCell_) defaultCell_->DecRefs();
}

void TVxTableColumn::Changed() {
  if (OnColumnChanged) OnColumnChanged(this, number_, 0, taSingle);
}

void TVxTableColumn::SetDefaultCell(TVxBaseTableCell* cell) {
  if (cell == defaultCell_) return;
  if (cell && cell->UsedByOtherTable(table_)) return;
  if (defaultCell_) defaultCell_->DecRefs();
  defaultCell_ = cell;
  if (cell) cell->AttachAndIncRefs(table_);
  Changed();
}

void TVxTableColumn::SetHidden(bool value) {
  if (value == hidden_) return;
  hidden_ = value;
  Changed();
}

void TVxTableColumn::SetWidth(int value) {
  if (value == width_) return;
  width_ = value;
  Changed();
}

void TVxTableColumn::Assign(const TVxTableColumn& source) {
  if (&source == this) return;
  SetWidth(source.width_);
  SetHidden(source.hidden_);
  SetDefaultCell(source.defaultCell_);
}

TVxTableColumns::TVxTableColumns(TVxTableAncestor* table, int count, TVxTableColumnClass columnClass)
    : table_(table), columnClass_(std::move(columnClass)) {
  for (int i = 0; i < count; ++i) Append(columnClass_.Create(table_));
}

TVxTableColumns::~TVxTableColumns() {
  // No notification while the columns go.
  onColumnChanged_ = nullptr;
  for (auto& column : columns_) column->OnColumnChanged = nullptr;
  columns_.clear();
}

bool TVxTableColumns::Accepts(const TVxTableColumn& column) const {
  return column.Table() == table_ && columnClass_.IsInstance(&column);
}

void TVxTableColumns::Renumber() {
  for (std::size_t i = 0; i < columns_.size(); ++i) columns_[i]->number_ = static_cast<int>(i);
}

void TVxTableColumns::Changed(int ColNum1, int ColNum2, TVxTblActions Action) {
  if (onColumnChanged_) onColumnChanged_(this, ColNum1, ColNum2, Action);
}

bool TVxTableColumns::Append(std::unique_ptr<TVxTableColumn>&& column) {
  if (!column || !Accepts(*column)) return false;
  if (Count() >= MaxColumns) TableErrorRes(SColumnLimit);
  column->number_ = Count();
  column->OnColumnChanged = onColumnChanged_;
  columns_.push_back(std::move(column));
  Changed(Count() - 1, 0, taInsert);
  return true;
}

bool TVxTableColumns::Insert(int n, std::unique_ptr<TVxTableColumn>&& column) {
  if (!column || !Accepts(*column)) return false;
  if (Count() >= MaxColumns) TableErrorRes(SColumnLimit);
  if (n < 0 || n >= Count()) return false;
  TVxTableColumn* inserted = column.get();
  column->OnColumnChanged = onColumnChanged_;
  columns_.insert(columns_.begin() + n, std::move(column));
  Renumber();
  if (pending_) {
    const auto at = std::min(static_cast<std::size_t>(n), pending_->size());
    pending_->insert(pending_->begin() + static_cast<std::ptrdiff_t>(at), TVxPendingCell{"unknown", inserted});
  }
  Changed(n, 0, taInsert);
  return true;
}

void TVxTableColumns::Delete(int n) {
  if (n < 0 || n >= Count()) return;
  // A pending name must not outlive its column.
  if (pending_) std::erase_if(*pending_, [&](const TVxPendingCell& p) { return p.Column == columns_[n].get(); });
  columns_.erase(columns_.begin() + n);
  Renumber();
  Changed(n, 0, taDelete);
}

void TVxTableColumns::Exchange(int ColA, int ColB) {
  if (ColA == ColB || !Col(ColA) || !Col(ColB)) return;
  std::swap(columns_[static_cast<std::size_t>(ColA)], columns_[static_cast<std::size_t>(ColB)]);
  Renumber();
  Changed(ColA, ColB, taExchange);
}

void TVxTableColumns::Clear() {
  if (pending_) pending_->clear();
  columns_.clear();
  Changed(0, 0, taAll);
}

void TVxTableColumns::SetCount(int value) {
  if (value <= 0) return;
  while (Count() < value) Append(columnClass_.Create(table_));
  while (Count() > value) Delete(Count() - 1);
}

TVxTableColumn* TVxTableColumns::Col(int n) const {
  return n >= 0 && n < Count() ? columns_[static_cast<std::size_t>(n)].get() : nullptr;
}

void TVxTableColumns::SetCol(int n, const TVxTableColumn& column) {
  if (TVxTableColumn* target = Col(n)) target->Assign(column);
}

int TVxTableColumns::Width(int n) const {
  const TVxTableColumn* c = Col(n);
  return c ? c->Width() : 0;
}

void TVxTableColumns::SetWidth(int n, int value) {
  if (TVxTableColumn* c = Col(n)) c->SetWidth(value);
}

bool TVxTableColumns::Hidden(int n) const {
  const TVxTableColumn* c = Col(n);
  return c ? c->Hidden() : true;
}

void TVxTableColumns::SetHidden(int n, bool value) {
  if (TVxTableColumn* c = Col(n)) c->SetHidden(value);
}

TVxBaseTableCell* TVxTableColumns::DefaultCell(int n) const {
  const TVxTableColumn* c = Col(n);
  return c ? c->DefaultCell() : nullptr;
}

void TVxTableColumns::SetDefaultCell(int n, TVxBaseTableCell* cell) {
  if (TVxTableColumn* c = Col(n)) c->SetDefaultCell(cell);
}

void TVxTableColumns::SetOnColumnChanged(TVxColumnsChangedEvent handler) {
  onColumnChanged_ = std::move(handler);
  for (auto& column : columns_) column->OnColumnChanged = onColumnChanged_;
}

void TVxTableColumns::tcNotifyCellDeletion(TVxBaseTableCell* cell) {
  if (!cell) return;
  for (auto& column : columns_)
    if (column->defaultCell_ == cell) column->SetDefaultCell(nullptr);
}

std::vector<TVxPendingCell>& TVxTableColumns::StartLoading() {
  if (!pending_) pending_ = std::make_unique<std::vector<TVxPendingCell>>();
  return *pending_;
}

void TVxTableColumns::StopLoading() {
  if (!pending_) return;
  std::vector<TVxPendingCell> pending = std::move(*pending_);
  pending_.reset();
  std::vector<std::string> names;
  for (const TVxPendingCell& p : pending) names.push_back(p.Name);
  tk::Form* host = table_ ? tk::GetParentForm(table_) : nullptr;
  ResolveStoredCellNames(host, names, [&](std::size_t index, tk::Component* component) {
    auto* cell = dynamic_cast<TVxBaseTableCell*>(component);
    if (!cell) return false;
    if (TVxTableColumn* column = pending[index].Column) column->SetDefaultCell(cell);
    return true;
  });
}

}  // namespace controls
