#pragma once
// "Select Phone Number": the phone book's entries in a two-column list; OK or a double click chooses the
// selected one.
#include <QDialog>
#include <string>
#include <vector>

#include "telephony/phone_book.h"

class QHeaderView;
class QPushButton;
class QTableView;

namespace telephony {

class TEntryGrid;

class TNumberSelectForm : public QDialog {
 public:
  // Loads the entries of `phonebook`, which must be open or able to open.
  TNumberSelectForm(QWidget* owner, TLkPhonebook& phonebook);

  void FormCreate();
  // Chooses the selected row's entry and closes with OK; beeps when there is none.
  void OkBtnClick();
  void ListGridDblClick() { OkBtnClick(); }

  const std::vector<TPhonebookEntry>& Entries() const { return entries_; }
  TEntryGrid& Grid() const { return *grid_; }
  const std::string& ChosenNumber() const { return chosenNumber_; }
  const std::string& ChosenName() const { return chosenName_; }

  QHeaderView* ListHeader = nullptr;
  QTableView* ListGrid = nullptr;
  QPushButton* OkBtn = nullptr;
  QPushButton* CancelBtn = nullptr;
  QPushButton* HelpBtn = nullptr;

 private:
  std::vector<TPhonebookEntry> entries_;
  TEntryGrid* grid_ = nullptr;
  std::string chosenNumber_;
  std::string chosenName_;
};

}  // namespace telephony
