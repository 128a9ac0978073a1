#pragma once
// Four companions of the table grid: the colour set it paints with, the pens of its grid lines and focus
// frame, the record of which cells are selected (row ranges per column plus one pending rectangle while the
// user drags or extends), and a sorted set of cell addresses the table collects for repainting.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "controls/table_common.h"
#include "tk/color.h"
#include "tk/pen_style.h"

namespace controls {

class TVxTableColors : public TVxTableObject {
 public:
  tk::TColor ActiveFocused() const { return activeFocused_; }
  void SetActiveFocused(tk::TColor value) { Set(activeFocused_, value); }
  tk::TColor ActiveFocusedText() const { return activeFocusedText_; }
  void SetActiveFocusedText(tk::TColor value) { Set(activeFocusedText_, value); }
  tk::TColor ActiveUnfocused() const { return activeUnfocused_; }
  void SetActiveUnfocused(tk::TColor value) { Set(activeUnfocused_, value); }
  tk::TColor ActiveUnfocusedText() const { return activeUnfocusedText_; }
  void SetActiveUnfocusedText(tk::TColor value) { Set(activeUnfocusedText_, value); }
  tk::TColor Editing() const { return editing_; }
  void SetEditing(tk::TColor value) { Set(editing_, value); }
  tk::TColor EditingText() const { return editingText_; }
  void SetEditingText(tk::TColor value) { Set(editingText_, value); }
  tk::TColor Locked() const { return locked_; }
  void SetLocked(tk::TColor value) { Set(locked_, value); }
  tk::TColor LockedText() const { return lockedText_; }
  void SetLockedText(tk::TColor value) { Set(lockedText_, value); }
  tk::TColor Selected() const { return selected_; }
  void SetSelected(tk::TColor value) { Set(selected_, value); }
  tk::TColor SelectedText() const { return selectedText_; }
  void SetSelectedText(tk::TColor value) { Set(selectedText_, value); }

  // Copies all ten and notifies once.
  void Assign(const TVxTableColors& source);

  std::function<void(TVxTableColors* sender)> OnChange;

 private:
  void Set(tk::TColor& field, tk::TColor value);
  void Changed();

  tk::TColor activeFocused_ = tk::clHighlight;
  tk::TColor activeFocusedText_ = tk::clHighlightText;
  tk::TColor activeUnfocused_ = tk::clHighlight;
  tk::TColor activeUnfocusedText_ = tk::clHighlightText;
  tk::TColor editing_ = tk::clBtnFace;
  tk::TColor editingText_ = tk::clWindowText;
  tk::TColor locked_ = tk::clBtnFace;
  tk::TColor lockedText_ = tk::clWindowText;
  tk::TColor selected_ = tk::clHighlight;
  tk::TColor selectedText_ = tk::clHighlightText;
};

enum TGridEffect : std::uint8_t { geNone, geVertical, geHorizontal, geBoth, ge3D };

class TVxGridPen : public TVxTableObject {
 public:
  tk::TColor NormalColor() const { return normalColor_; }
  void SetNormalColor(tk::TColor value);
  tk::TColor SecondColor() const { return secondColor_; }
  void SetSecondColor(tk::TColor value);
  tk::PenStyle Style() const { return style_; }
  void SetStyle(tk::PenStyle value);
  TGridEffect Effect() const { return effect_; }
  void SetEffect(TGridEffect value);
  // Copies all four and notifies.
  void Assign(const TVxGridPen& source);

  std::function<void(TVxGridPen* sender)> OnChange;

 private:
  void Changed();

  tk::TColor normalColor_ = tk::clBtnShadow;
  tk::TColor secondColor_ = tk::clBtnHighlight;
  tk::PenStyle style_ = tk::PenStyle::psSolid;
  TGridEffect effect_ = geBoth;
};

class TVxGridPenSet : public TVxTableObject {
 public:
  TVxGridPenSet();

  TVxGridPen& NormalGrid() { return normalGrid_; }
  const TVxGridPen& NormalGrid() const { return normalGrid_; }
  TVxGridPen& LockedGrid() { return lockedGrid_; }
  const TVxGridPen& LockedGrid() const { return lockedGrid_; }
  TVxGridPen& CellWhenFocused() { return cellWhenFocused_; }
  const TVxGridPen& CellWhenFocused() const { return cellWhenFocused_; }
  TVxGridPen& CellWhenUnfocused() { return cellWhenUnfocused_; }
  const TVxGridPen& CellWhenUnfocused() const { return cellWhenUnfocused_; }

  // Installs the notifier in all four pens.
  void SetOnChange(const std::function<void(TVxGridPen* sender)>& handler);
  // Pen by pen.
  void Assign(const TVxGridPenSet& source);

 private:
  TVxGridPen normalGrid_;
  TVxGridPen lockedGrid_;
  TVxGridPen cellWhenFocused_;
  TVxGridPen cellWhenUnfocused_;
};

struct TVxRowRange {
  std::int32_t FromRow = 0;
  std::int32_t ToRow = 0;
  friend bool operator==(const TVxRowRange&, const TVxRowRange&) = default;
};

// Called for every selected range; false stops the walk.
using TVxSelectionAction = std::function<bool(int RowFrom, int ColFrom, int RowTo, int ColTo, void* ExtraData)>;

class TVxSelectionList : public TVxTableObject {
 public:
  TVxSelectionList(int RowCount, int ColCount);

  int RowCount() const { return rowCount_; }
  int ColCount() const { return static_cast<int>(columns_.size()); }
  // Negative values are ignored; shrinking drops the ranges (and clamps the pending rectangle) past the new
  // end, as shrinking the columns frees the dropped columns' ranges.
  void SetRowCount(int value);
  void SetColCount(int value);

  // Coordinates outside the table are ignored.
  void SelectCell(int Row, int Col) { SelectCellRange(Row, Col, Row, Col); }
  void DeselectCell(int Row, int Col) { DeselectCellRange(Row, Col, Row, Col); }
  // Two corner cells in either order.
  void SelectCellRange(int Row1, int Col1, int Row2, int Col2);
  void DeselectCellRange(int Row1, int Col1, int Row2, int Col2);
  void SelectAll();
  // Frees every range and clears the pending rectangle.
  void DeselectAll();

  void SetRangeAnchor(int Row, int Col, TVxTblSelectionType SelType);
  // Moves the current corner: the pending rectangle spans anchor and current unless they are one cell.
  void ExtendRange(int Row, int Col, bool Select);
  bool IsCellSelected(int Row, int Col) const;
  bool HaveSelection() const;
  // Commits the pending rectangle, then calls Action for every range, columns ascending.
  void Iterate(const TVxSelectionAction& Action, void* ExtraData);

  // The ranges of one column (empty outside the table).
  std::vector<TVxRowRange> Ranges(int Col) const;
  // Columns that hold ranges.
  int ActiveColumns() const { return activeColumns_; }
  bool HasPendingRect() const { return !noPending_; }

 private:
  using RangeList = std::vector<TVxRowRange>;
  bool Inside(int Row, int Col) const { return Row >= 0 && Row < rowCount_ && Col >= 0 && Col < ColCount(); }
  void SelectRows(int Col, int From, int To);
  void DeselectRows(int Col, int From, int To);
  void CommitPending();
  void UpdatePending();

  int rowCount_ = 0;
  std::vector<std::unique_ptr<RangeList>> columns_;
  int activeColumns_ = 0;
  int anchorRow_ = 0, anchorCol_ = 0, currentRow_ = 0, currentCol_ = 0;
  int lowRow_ = 0, highRow_ = 0, lowCol_ = 0, highCol_ = 0;
  bool pendingSelects_ = true;
  bool noPending_ = true;
};

struct TVxCellAddress {
  std::int32_t Row = 0;
  std::int32_t Col = 0;
  friend auto operator<=>(const TVxCellAddress&, const TVxCellAddress&) = default;
};

// Cell addresses sorted by row, then column, without duplicates; and a flag that asks for the area outside
// all cells to be painted too.
class TVxCellArray : public TVxTableObject {
 public:
  static constexpr int CapacityStep = 128;

  void AddCell(int Row, int Col);
  // Whether it was there.
  bool DeleteCell(int Row, int Col);
  // Zeros outside the range.
  void GetCellAddr(int Index, TVxCellAddress& Address) const;
  int Count() const { return static_cast<int>(cells_.size()); }
  int Capacity() const { return static_cast<int>(cells_.capacity()); }
  bool Empty() const { return cells_.empty() && !unusedBit_; }
  void AddUnusedBit() { unusedBit_ = true; }
  bool MustDoUnusedBit() const { return unusedBit_; }
  void Clear();
  // The union of both arrays; the other's unused-area flag is not taken over.
  void Merge(const TVxCellArray& other);

 private:
  std::vector<TVxCellAddress> cells_;
  bool unusedBit_ = false;
};

}  // namespace controls
