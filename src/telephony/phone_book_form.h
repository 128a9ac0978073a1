#pragma once
// "Phonebook Entries": every entry of the phone book in a two-column list, with buttons to add, change
// and remove entries. Every change goes to the phone book's file at once; "Close" discards nothing.
#include <QDialog>
#include <memory>

#include "telephony/phone_book_editing.h"

class QHeaderView;
class QPushButton;
class QTableView;

namespace telephony {

class TEntryGrid;

class TPhonebookForm : public QDialog {
 public:
  // Loads the entries of `phonebook`, which must be open or able to open.
  TPhonebookForm(QWidget* owner, TLkPhonebook& phonebook);
  ~TPhonebookForm() override;

  // Sizes the header and the grid and shows the loaded entries.
  void FormCreate();
  // Each of these asks through a "Phonebook Entry" window or a confirmation where the window does, and
  // raises the phone book's errors (the window stays open).
  void AddBtnClick();
  void ChangeBtnClick() { EditPrim(); }
  void ListGridDblClick() { EditPrim(); }
  void RemoveBtnClick();

  TPhonebookEditing& Editing() const { return *editing_; }
  TEntryGrid& Grid() const { return *grid_; }

  QHeaderView* ListHeader = nullptr;
  QTableView* ListGrid = nullptr;
  QPushButton* AddBtn = nullptr;
  QPushButton* ChangeBtn = nullptr;
  QPushButton* RemoveBtn = nullptr;
  QPushButton* OkBtn = nullptr;
  QPushButton* HelpBtn = nullptr;

 private:
  void EditPrim();

  std::unique_ptr<TPhonebookEditing> editing_;
  TEntryGrid* grid_ = nullptr;
};

}  // namespace telephony
