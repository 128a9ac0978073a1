#pragma once
// The table's rows and columns. Rows are many and mostly alike: only rows whose height differs from the
// default or that are hidden keep a record, in a sparse array. Columns are few: each is an object with a
// width, a hidden flag and a default cell component. Both report every change through one handler the table
// installs.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/sparse_array.h"
#include "controls/table_cell.h"
#include "controls/table_common.h"

namespace controls {

using TVxRowsChangedEvent = std::function<void(TVxTableObject* Sender, int RowNum1, int RowNum2, TVxTblActions Action)>;
using TVxColumnsChangedEvent =
    std::function<void(TVxTableObject* Sender, int ColNum1, int ColNum2, TVxTblActions Action)>;

// Library strings of the layout errors (none has a text: the message reads "Unknown").
inline constexpr int SRowOutOfRange = 30258;
inline constexpr int SRowInsertBeyondMax = 30259;
inline constexpr int SColumnLimit = 30260;

class TVxTableRows : public TVxTableObject {
 public:
  // Rows from here on are never stored: they read as plain default rows.
  static constexpr int MaxStoredRow = TVxSparseArray::MaxEntries;
  static constexpr int DefaultHeight = 30;
  static constexpr int DefaultLimit = 10;

  TVxTableRows() = default;
  ~TVxTableRows() override;
  TVxTableRows(const TVxTableRows&) = delete;
  TVxTableRows& operator=(const TVxTableRows&) = delete;

  // Row numbers outside 0 .. Limit - 1 raise EVxTable.
  TRowStyle Row(int n) const;
  // A default style (height below 1 or DefHeight, and not hidden) removes the row's record.
  void SetRow(int n, const TRowStyle& style);
  int Height(int n) const;
  void SetRowHeight(int n, int height);
  bool Hidden(int n) const;
  void SetRowHidden(int n, bool hidden);
  bool RowIsSpecial(int n) const;
  void Reset(int n);
  // n may be Limit (append); 320,000 and above raise EVxTable.
  void Insert(int n, const TRowStyle& style);
  void Append(const TRowStyle& style) { Insert(limit_, style); }
  void Delete(int n);
  void Exchange(int RowA, int RowB);
  void Clear();

  int DefHeight() const { return defHeight_; }
  // Values below 1 are ignored.
  void SetDefHeight(int value);
  int Limit() const { return limit_; }
  // Values below 1 become 1; records of rows that drop off are freed.
  void SetLimit(int value);
  // Rows that keep a record.
  int SpecialCount() const { return count_; }
  void rwScaleHeights(int M, int D);

  TVxRowsChangedEvent OnCfgChanged;

 private:
  void CheckRow(int n) const;
  TRowStyle* Record(int n) const;
  // Height -1 stands for the default height in a record.
  int StoredHeight(int height) const { return height < 1 || height == defHeight_ ? -1 : height; }
  void FreeRecord(int n);
  void Changed(int RowNum1, int RowNum2, TVxTblActions Action);

  TVxSparseArray records_;
  int count_ = 0;
  int defHeight_ = DefaultHeight;
  int limit_ = DefaultLimit;
};

class TVxTableColumns;

class TVxTableColumn : public TVxTableObject {
 public:
  static constexpr int DefaultWidth = 150;

  explicit TVxTableColumn(TVxTableAncestor* table) : table_(table) {}
  ~TVxTableColumn() override;
  TVxTableColumn(const TVxTableColumn&) = delete;
  TVxTableColumn& operator=(const TVxTableColumn&) = delete;

  // A new cell is taken when it is null, unused, or already used by this column's table.
  TVxBaseTableCell* DefaultCell() const { return defaultCell_; }
  void SetDefaultCell(TVxBaseTableCell* cell);
  bool Hidden() const { return hidden_; }
  void SetHidden(bool value);
  int Width() const { return width_; }
  void SetWidth(int value);
  // Width, hidden flag and default cell.
  void Assign(const TVxTableColumn& source);

  int Number() const { return number_; }
  TVxTableAncestor* Table() const { return table_; }

  // The list's change handler, copied in by the list.
  TVxColumnsChangedEvent OnColumnChanged;

 private:
  friend class TVxTableColumns;
  void Changed();

  TVxTableAncestor* table_;
  TVxBaseTableCell* defaultCell_ = nullptr;
  bool hidden_ = false;
  int width_ = DefaultWidth;
  int number_ = -1;
};

// What the column list makes and accepts.
struct TVxTableColumnClass {
  std::function<std::unique_ptr<TVxTableColumn>(TVxTableAncestor* table)> Create;
  std::function<bool(const TVxTableColumn* column)> IsInstance;
};

template <class T>
TVxTableColumnClass ColumnClassOf() {
  return {[](TVxTableAncestor* table) -> std::unique_ptr<TVxTableColumn> { return std::make_unique<T>(table); },
          [](const TVxTableColumn* column) { return dynamic_cast<const T*>(column) != nullptr; }};
}

// A default-cell name read from a form stream, waiting for the end of loading.
struct TVxPendingCell {
  std::string Name;  // form name, "." and cell name
  TVxTableColumn* Column = nullptr;
};

class TVxTableColumns : public TVxTableObject {
 public:
  static constexpr int MaxColumns = 134217727;

  TVxTableColumns(TVxTableAncestor* table, int count,
                  TVxTableColumnClass columnClass = ColumnClassOf<TVxTableColumn>());
  ~TVxTableColumns() override;
  TVxTableColumns(const TVxTableColumns&) = delete;
  TVxTableColumns& operator=(const TVxTableColumns&) = delete;

  int Count() const { return static_cast<int>(columns_.size()); }
  // Grows with new columns of the column class, shrinks from the end; 0 and below are ignored.
  void SetCount(int value);
  // Takes only a column of the column class made for this table (the caller keeps a refused one); at
  // 134,217,727 columns raises EVxTable.
  bool Append(std::unique_ptr<TVxTableColumn>&& column);
  // As Append, at 0 <= n < Count.
  bool Insert(int n, std::unique_ptr<TVxTableColumn>&& column);
  void Delete(int n);
  void Exchange(int ColA, int ColB);
  void Clear();

  // Null outside the range.
  TVxTableColumn* Col(int n) const;
  // Assigns the given column's settings to column n.
  void SetCol(int n, const TVxTableColumn& column);
  // Outside the range: width 0, hidden, no default cell; the setters ignore it.
  int Width(int n) const;
  void SetWidth(int n, int value);
  bool Hidden(int n) const;
  void SetHidden(int n, bool value);
  TVxBaseTableCell* DefaultCell(int n) const;
  void SetDefaultCell(int n, TVxBaseTableCell* cell);

  const TVxColumnsChangedEvent& OnColumnChanged() const { return onColumnChanged_; }
  // Copied into every column as well.
  void SetOnColumnChanged(TVxColumnsChangedEvent handler);
  // Every column whose default cell is `cell` drops it.
  void tcNotifyCellDeletion(TVxBaseTableCell* cell);

  TVxTableAncestor* Table() const { return table_; }
  const TVxTableColumnClass& ColumnClass() const { return columnClass_; }

  // Loading from a form stream: default-cell names wait in the pending list until StopLoading resolves
  // them against the forms (see ResolveStoredCellNames) and frees it.
  bool IsLoading() const { return pending_ != nullptr; }
  std::vector<TVxPendingCell>& StartLoading();
  void StopLoading();

 private:
  bool Accepts(const TVxTableColumn& column) const;
  void Renumber();
  void Changed(int ColNum1, int ColNum2, TVxTblActions Action);

  TVxTableAncestor* table_;
  TVxTableColumnClass columnClass_;
  std::vector<std::unique_ptr<TVxTableColumn>> columns_;
  TVxColumnsChangedEvent onColumnChanged_;
  std::unique_ptr<std::vector<TVxPendingCell>> pending_;
};

}  // namespace controls
