#include "telephony/get_number_form.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/text.h"
#include "telephony/form_helpers.h"
#include "telephony/number_select_form.h"
#include "telephony/phone_book.h"
#include "telephony/recent_numbers.h"
#include "tk/exception_guard.h"
#include "tk/modal.h"

namespace telephony {

TGetNumberForm::TGetNumberForm(QWidget* owner, TLkPhonebook& phonebook, std::string& number)
    : QDialog(owner), phonebook_(phonebook), number_(number) {
  setObjectName("GetNumberForm");
  setWindowTitle("Dial");
  FixAndCentre(this, 290, 110);

  PhoneLabel = new QLabel("Phone &number", this);
  PhoneLabel->setGeometry(10, 10, 180, 18);
  PhoneCombo = new QComboBox(this);
  PhoneCombo->setObjectName("PhoneCombo");
  PhoneCombo->setEditable(true);
  PhoneCombo->setInsertPolicy(QComboBox::NoInsert);
  PhoneCombo->setGeometry(10, 30, 180, 25);
  PhoneLabel->setBuddy(PhoneCombo);
  GuardLatin1(PhoneCombo->lineEdit());
  // No more than the number variable holds can be typed.
  PhoneCombo->lineEdit()->setMaxLength(static_cast<int>(MaxNumber));

  SelectBtn = new QPushButton("&Select", this);
  SelectBtn->setObjectName("SelectBtn");
  SelectBtn->setGeometry(200, 29, 80, 27);
  OkBtn = new QPushButton("OK", this);
  OkBtn->setObjectName("OkBtn");
  OkBtn->setGeometry(112, 72, 80, 27);
  OkBtn->setDefault(true);
  CancelBtn = new QPushButton("Cancel", this);
  CancelBtn->setObjectName("CancelBtn");
  CancelBtn->setGeometry(200, 72, 80, 27);

  for (const std::string& recent : RecentNumbers().Items()) PhoneCombo->addItem(platform::ToQString(recent));
  PhoneCombo->setEditText(platform::ToQString(number_));
  SelectBtn->setEnabled(phonebook_.GetNumRecs() > 0);

  connect(OkBtn, &QPushButton::clicked, this, [this] { tk::Guarded([this] { OkBtnClick(); }); });
  connect(SelectBtn, &QPushButton::clicked, this, [this] { tk::Guarded([this] { SelectBtnClick(); }); });
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TGetNumberForm::OkBtnClick() {
  number_ = platform::FromQString(PhoneCombo->currentText()).value_or("").substr(0, MaxNumber);
  RecentNumbers().Use(number_);
  accept();
}

void TGetNumberForm::SelectBtnClick() {
  TNumberSelectForm form(this, phonebook_);
  if (tk::ExecModal(form, "TNumberSelectForm") == QDialog::Accepted) PhoneCombo->setEditText(platform::ToQString(form.ChosenNumber()));
}

}  // namespace telephony
