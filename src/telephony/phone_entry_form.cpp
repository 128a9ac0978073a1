#include "telephony/phone_entry_form.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/text.h"
#include "telephony/form_helpers.h"
#include "telephony/phone_entry_check.h"
#include "tk/exception.h"
#include "tk/exception_guard.h"

namespace telephony {

TPhoneEntryForm::TPhoneEntryForm(QWidget* owner, TLkPhonebook& phonebook, TPhonebookEntry& entry)
    : QDialog(owner), phonebook_(phonebook), entry_(entry), oldName_(entry.Name.Get()) {
  setObjectName("PhoneEntryForm");
  setWindowTitle("Phonebook Entry");
  FixAndCentre(this, 300, 118);

  NameLabel = new QLabel("&Name", this);
  NameLabel->setGeometry(10, 14, 60, 21);
  NameEdit = new QLineEdit(this);
  NameEdit->setObjectName("NameEdit");
  NameEdit->setGeometry(75, 12, 210, 23);
  NameLabel->setBuddy(NameEdit);
  NumberLabel = new QLabel("Nu&mber", this);
  NumberLabel->setGeometry(10, 46, 60, 21);
  NumberEdit = new QLineEdit(this);
  NumberEdit->setObjectName("NumberEdit");
  NumberEdit->setGeometry(75, 44, 210, 23);
  NumberLabel->setBuddy(NumberEdit);
  for (QLineEdit* edit : {NameEdit, NumberEdit}) {
    edit->setMaxLength(MaxTyped);
    GuardLatin1(edit);
  }

  OkBtn = new QPushButton("OK", this);
  OkBtn->setObjectName("OkBtn");
  OkBtn->setGeometry(45, 80, 75, 27);
  OkBtn->setDefault(true);
  CancelBtn = new QPushButton("Cancel", this);
  CancelBtn->setObjectName("CancelBtn");
  CancelBtn->setGeometry(128, 80, 75, 27);
  HelpBtn = new QPushButton("&Help", this);
  HelpBtn->setObjectName("HelpBtn");
  HelpBtn->setGeometry(211, 80, 75, 27);
  HelpBtn->setEnabled(false);

  NameEdit->setText(platform::ToQString(entry.Name.Get()));
  NumberEdit->setText(platform::ToQString(entry.Number.Get()));

  connect(OkBtn, &QPushButton::clicked, this, [this] { tk::Guarded([this] { OkBtnClick(); }); });
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TPhoneEntryForm::OkBtnClick() {
  const std::string name = platform::FromQString(NameEdit->text()).value_or("");
  const std::string number = platform::FromQString(NumberEdit->text()).value_or("");
  const TPhoneEntryProblem problem = CheckPhoneEntry(phonebook_, oldName_, name, number);
  if (problem != TPhoneEntryProblem::None) {
    (problem == TPhoneEntryProblem::NoNumber ? NumberEdit : NameEdit)->setFocus();
    throw tk::Exception(PhoneEntryProblemText(problem));
  }
  entry_.Name.Set(name);
  entry_.Number.Set(number);
  accept();
}

}  // namespace telephony
