#include "controls/table_colors.h"

#include <algorithm>
#include <iterator>
#include <limits>

namespace controls {

// colours

void TVxTableColors::Changed() {
  if (OnChange) OnChange(this);
}

void TVxTableColors::Set(tk::TColor& field, tk::TColor value) {
  if (field == value) return;
  field = value;
  Changed();
}

void TVxTableColors::Assign(const TVxTableColors& source) {
  activeFocused_ = source.activeFocused_;
  activeFocusedText_ = source.activeFocusedText_;
  activeUnfocused_ = source.activeUnfocused_;
  activeUnfocusedText_ = source.activeUnfocusedText_;
  editing_ = source.editing_;
  editingText_ = source.editingText_;
  locked_ = source.locked_;
  lockedText_ = source.lockedText_;
  selected_ = source.selected_;
  selectedText_ = source.selectedText_;
  Changed();
}

// grid pens

void TVxGridPen::Changed() {
  if (OnChange) OnChange(this);
}

void TVxGridPen::SetNormalColor(tk::TColor value) {
  if (value == normalColor_) return;
  normalColor_ = value;
  Changed();
}

void TVxGridPen::SetSecondColor(tk::TColor value) {
  if (value == secondColor_) return;
  secondColor_ = value;
  Changed();
}

void TVxGridPen::SetStyle(tk::PenStyle value) {
  if (value == style_) return;
  style_ = value;
  Changed();
}

void TVxGridPen::SetEffect(TGridEffect value) {
  if (value == effect_) return;
  effect_ = value;
  Changed();
}

void TVxGridPen::Assign(const TVxGridPen& source) {
  normalColor_ = source.normalColor_;
  secondColor_ = source.secondColor_;
  style_ = source.style_;
  effect_ = source.effect_;
  Changed();
}

TVxGridPenSet::TVxGridPenSet() {
  normalGrid_.SetStyle(tk::PenStyle::psDot);
  lockedGrid_.SetEffect(ge3D);
  cellWhenFocused_.SetNormalColor(tk::clBlack);
  cellWhenUnfocused_.SetNormalColor(tk::clBlack);
  cellWhenUnfocused_.SetStyle(tk::PenStyle::psDash);
}

void TVxGridPenSet::SetOnChange(const std::function<void(TVxGridPen* sender)>& handler) {
  for (TVxGridPen* pen : {&normalGrid_, &lockedGrid_, &cellWhenFocused_, &cellWhenUnfocused_}) pen->OnChange = handler;
}

void TVxGridPenSet::Assign(const TVxGridPenSet& source) {
  normalGrid_.Assign(source.normalGrid_);
  lockedGrid_.Assign(source.lockedGrid_);
  cellWhenFocused_.Assign(source.cellWhenFocused_);
  cellWhenUnfocused_.Assign(source.cellWhenUnfocused_);
}

// selection list

namespace {
constexpr std::size_t kRangeGrowth = 16;
}

TVxSelectionList::TVxSelectionList(int RowCount, int ColCount) {
  SetRowCount(RowCount);
  SetColCount(ColCount);
}

void TVxSelectionList::SetRowCount(int value) {
  if (value < 0) return;
  const bool shrinking = value < rowCount_;
  rowCount_ = value;
  if (!shrinking) return;
  // Ranges past the new end would be reported by Iterate as rows that no longer exist.
  for (int col = 0; col < ColCount(); ++col) {
    if (columns_[static_cast<std::size_t>(col)]) DeselectRows(col, value, std::numeric_limits<int>::max());
  }
  if (value == 0) {
    noPending_ = true;
    return;
  }
  anchorRow_ = std::min(anchorRow_, value - 1);
  currentRow_ = std::min(currentRow_, value - 1);
  if (!noPending_) UpdatePending();
}

void TVxSelectionList::SetColCount(int value) {
  if (value < 0) return;
  for (int col = value; col < ColCount(); ++col)
    if (columns_[static_cast<std::size_t>(col)]) --activeColumns_;
  columns_.resize(static_cast<std::size_t>(value));
}

void TVxSelectionList::SelectRows(int Col, int From, int To) {
  auto& list = columns_[static_cast<std::size_t>(Col)];
  if (!list) {
    list = std::make_unique<RangeList>();
    ++activeColumns_;
  }
  if (list->size() == list->capacity()) list->reserve(list->capacity() + kRangeGrowth);
  auto at = std::upper_bound(list->begin(), list->end(), From,
                             [](int from, const TVxRowRange& r) { return from < r.FromRow; });
  at = list->insert(at, TVxRowRange{From, To});
  // Merge from the range before when it reaches the new one; absorb whatever follows within reach.
  if (at != list->begin() && std::prev(at)->ToRow >= From - 1) --at;
  auto next = std::next(at);
  while (next != list->end() && next->FromRow <= at->ToRow + 1) {
    at->ToRow = std::max(at->ToRow, next->ToRow);
    next = list->erase(next);
  }
}

void TVxSelectionList::DeselectRows(int Col, int From, int To) {
  auto& list = columns_[static_cast<std::size_t>(Col)];
  if (!list) return;
  RangeList kept;
  for (const TVxRowRange& r : *list) {
    if (r.ToRow < From || r.FromRow > To) {
      kept.push_back(r);
      continue;
    }
    if (r.FromRow < From) kept.push_back({r.FromRow, From - 1});
    if (r.ToRow > To) kept.push_back({To + 1, r.ToRow});
  }
  if (kept.empty()) {
    list.reset();
    --activeColumns_;
  } else {
    *list = std::move(kept);
  }
}

void TVxSelectionList::SelectCellRange(int Row1, int Col1, int Row2, int Col2) {
  if (!Inside(Row1, Col1) || !Inside(Row2, Col2)) return;
  const int fromRow = std::min(Row1, Row2), toRow = std::max(Row1, Row2);
  for (int col = std::min(Col1, Col2); col <= std::max(Col1, Col2); ++col) SelectRows(col, fromRow, toRow);
}

void TVxSelectionList::DeselectCellRange(int Row1, int Col1, int Row2, int Col2) {
  if (!Inside(Row1, Col1) || !Inside(Row2, Col2)) return;
  const int fromRow = std::min(Row1, Row2), toRow = std::max(Row1, Row2);
  for (int col = std::min(Col1, Col2); col <= std::max(Col1, Col2); ++col) DeselectRows(col, fromRow, toRow);
}

void TVxSelectionList::SelectAll() {
  if (rowCount_ <= 0) return;
  for (auto& list : columns_) {
    if (!list) ++activeColumns_;
    list = std::make_unique<RangeList>(RangeList{{0, rowCount_ - 1}});
  }
}

void TVxSelectionList::DeselectAll() {
  for (auto& list : columns_) list.reset();
  activeColumns_ = 0;
  noPending_ = true;
}

void TVxSelectionList::CommitPending() {
  if (noPending_) return;
  if (pendingSelects_)
    SelectCellRange(lowRow_, lowCol_, highRow_, highCol_);
  else
    DeselectCellRange(lowRow_, lowCol_, highRow_, highCol_);
  noPending_ = true;
}

void TVxSelectionList::SetRangeAnchor(int Row, int Col, TVxTblSelectionType SelType) {
  if (SelType == tstDeselectAll)
    DeselectAll();
  else
    CommitPending();
  anchorRow_ = currentRow_ = Row;
  anchorCol_ = currentCol_ = Col;
  noPending_ = true;
}

void TVxSelectionList::UpdatePending() {
  noPending_ = anchorRow_ == currentRow_ && anchorCol_ == currentCol_;
  lowRow_ = std::min(anchorRow_, currentRow_);
  highRow_ = std::max(anchorRow_, currentRow_);
  lowCol_ = std::min(anchorCol_, currentCol_);
  highCol_ = std::max(anchorCol_, currentCol_);
}

void TVxSelectionList::ExtendRange(int Row, int Col, bool Select) {
  currentRow_ = Row;
  currentCol_ = Col;
  pendingSelects_ = Select;
  UpdatePending();
}

bool TVxSelectionList::IsCellSelected(int Row, int Col) const {
  if (!Inside(Row, Col)) return false;
  if (!noPending_ && Row >= lowRow_ && Row <= highRow_ && Col >= lowCol_ && Col <= highCol_) return pendingSelects_;
  const auto& list = columns_[static_cast<std::size_t>(Col)];
  if (!list) return false;
  return std::any_of(list->begin(), list->end(),
                     [Row](const TVxRowRange& r) { return Row >= r.FromRow && Row <= r.ToRow; });
}

bool TVxSelectionList::HaveSelection() const { return !noPending_ || activeColumns_ > 0; }

void TVxSelectionList::Iterate(const TVxSelectionAction& Action, void* ExtraData) {
  CommitPending();
  for (int col = 0; col < ColCount(); ++col) {
    const auto& list = columns_[static_cast<std::size_t>(col)];
    if (!list) continue;
    const RangeList ranges = *list;  // the action may change the selection
    for (const TVxRowRange& r : ranges)
      if (!Action(r.FromRow, col, r.ToRow, col, ExtraData)) return;
  }
}

std::vector<TVxRowRange> TVxSelectionList::Ranges(int Col) const {
  if (Col < 0 || Col >= ColCount() || !columns_[static_cast<std::size_t>(Col)]) return {};
  return *columns_[static_cast<std::size_t>(Col)];
}

// cell array

void TVxCellArray::AddCell(int Row, int Col) {
  const TVxCellAddress address{Row, Col};
  auto at = std::lower_bound(cells_.begin(), cells_.end(), address);
  if (at != cells_.end() && *at == address) return;
  if (cells_.size() == cells_.capacity()) {
    const auto index = at - cells_.begin();
    cells_.reserve(cells_.capacity() + CapacityStep);
    at = cells_.begin() + index;
  }
  cells_.insert(at, address);
}

bool TVxCellArray::DeleteCell(int Row, int Col) {
  const TVxCellAddress address{Row, Col};
  auto at = std::lower_bound(cells_.begin(), cells_.end(), address);
  if (at == cells_.end() || !(*at == address)) return false;
  cells_.erase(at);
  return true;
}

void TVxCellArray::GetCellAddr(int Index, TVxCellAddress& Address) const {
  Address = Index >= 0 && Index < Count() ? cells_[static_cast<std::size_t>(Index)] : TVxCellAddress{};
}

void TVxCellArray::Clear() {
  cells_.clear();
  unusedBit_ = false;
}

void TVxCellArray::Merge(const TVxCellArray& other) {
  std::vector<TVxCellAddress> merged;
  const std::size_t total = cells_.size() + other.cells_.size();
  merged.reserve((total + CapacityStep - 1) / CapacityStep * CapacityStep);
  std::set_union(cells_.begin(), cells_.end(), other.cells_.begin(), other.cells_.end(), std::back_inserter(merged));
  cells_ = std::move(merged);
}

}  // namespace controls
