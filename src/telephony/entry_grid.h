#pragma once
// The list of phone book entries that the "Phonebook Entries" and "Select Phone Number" windows show: a
// header (`ListHeader`, "Name" and "Phone number") over a draw grid (`ListGrid`, two columns, whole-row
// selection, rows 20 pixels high) whose column widths follow the header's sections.
#include <QObject>
#include <vector>

#include "telephony/phone_book.h"

class QAbstractTableModel;
class QHeaderView;
class QStandardItemModel;
class QTableView;
class QWidget;

namespace telephony {

class TEntryGrid : public QObject {
 public:
  static constexpr int RowHeight = 20;

  // Shows `entries` (which must outlive the grid); the two controls are children of `parent`.
  TEntryGrid(QWidget* parent, const std::vector<TPhonebookEntry>& entries);

  QHeaderView* ListHeader = nullptr;
  QTableView* ListGrid = nullptr;

  // Sizes the header's sections (half each) and the grid's columns to them.
  void SizeColumns();
  // After a header section was resized: column 0 = section 0 less the border allowance, column 1 the rest.
  void HeaderSized();
  // Half the difference between the grid's outer and client width.
  int BorderAllowance() const;

  int RowCount() const;
  void SetRowCount(int rows);
  // The selected row, -1 when none.
  int Row() const;
  void SelectRow(int row);
  // Draws the rows again from the entries.
  void Repaint();

 private:
  QAbstractTableModel* model_ = nullptr;
  QStandardItemModel* headerModel_ = nullptr;
};

}  // namespace telephony
