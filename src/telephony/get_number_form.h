#pragma once
// "Dial": a number typed, picked from the recent numbers, or chosen from the phone book with "&Select".
#include <QDialog>
#include <string>

class QComboBox;
class QLabel;
class QPushButton;

namespace telephony {

class TLkPhonebook;

class TGetNumberForm : public QDialog {
 public:
  // The longest number the caller's variable holds; a longer one typed is cut.
  static constexpr std::size_t MaxNumber = 21;

  // `number` (the caller's) is shown and receives the number on OK.
  TGetNumberForm(QWidget* owner, TLkPhonebook& phonebook, std::string& number);

  // Takes the combo box's text as the number, puts it at the top of the recent numbers and closes with OK.
  void OkBtnClick();
  // Shows "Select Phone Number"; on OK its number goes into the combo box.
  void SelectBtnClick();

  QLabel* PhoneLabel = nullptr;
  QComboBox* PhoneCombo = nullptr;
  QPushButton* SelectBtn = nullptr;
  QPushButton* OkBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

 private:
  TLkPhonebook& phonebook_;
  std::string& number_;
};

}  // namespace telephony
