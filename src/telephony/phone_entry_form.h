#pragma once
// "Phonebook Entry": one entry's name and number, checked before the window closes with OK.
#include <QDialog>
#include <string>

#include "telephony/phone_book.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace telephony {

class TPhoneEntryForm : public QDialog {
 public:
  static constexpr int MaxTyped = 20;

  // Shows `entry` (not owned), which OK fills.
  TPhoneEntryForm(QWidget* owner, TLkPhonebook& phonebook, TPhonebookEntry& entry);

  // Checks the texts; on a problem focuses the edit at fault and raises the problem's text (the window stays
  // open); else stores them into the entry and closes with OK.
  void OkBtnClick();

  QLabel* NameLabel = nullptr;
  QLineEdit* NameEdit = nullptr;
  QLabel* NumberLabel = nullptr;
  QLineEdit* NumberEdit = nullptr;
  QPushButton* OkBtn = nullptr;
  QPushButton* CancelBtn = nullptr;
  QPushButton* HelpBtn = nullptr;

 private:
  TLkPhonebook& phonebook_;
  TPhonebookEntry& entry_;
  std::string oldName_;
};

}  // namespace telephony
