#include "telephony/field_info_form.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/text.h"
#include "telephony/field_info_check.h"
#include "telephony/form_helpers.h"
#include "telephony/ini_engine.h"
#include "tk/exception.h"
#include "tk/exception_guard.h"

namespace telephony {

TFrmFieldInfo::TFrmFieldInfo(QWidget* owner) : QDialog(owner) {
  setObjectName("FrmFieldInfo");
  setWindowTitle("Field Information");
  FixAndCentre(this, 300, 150);

  FieldNameLabel = new QLabel("Field &name:", this);
  FieldNameLabel->setGeometry(10, 14, 90, 21);
  FieldNameEdit = new QLineEdit(this);
  FieldNameEdit->setObjectName("FieldNameEdit");
  FieldNameEdit->setGeometry(105, 12, 185, 23);
  FieldNameEdit->setMaxLength(static_cast<int>(MaxFieldNameLen));
  FieldNameLabel->setBuddy(FieldNameEdit);
  GuardLatin1(FieldNameEdit);

  StrTypeCheckBox = new QCheckBox("String &type", this);
  StrTypeCheckBox->setObjectName("StrTypeCheckBox");
  StrTypeCheckBox->setGeometry(10, 46, 110, 21);
  StrTypeCheckBox->setChecked(true);
  MaxLenLabel = new QLabel("&Max length:", this);
  MaxLenLabel->setGeometry(140, 46, 85, 21);
  MaxLenEdit = new QLineEdit(this);
  MaxLenEdit->setObjectName("MaxLenEdit");
  MaxLenEdit->setGeometry(230, 44, 60, 23);
  MaxLenEdit->setMaxLength(3);
  MaxLenLabel->setBuddy(MaxLenEdit);
  GuardLatin1(MaxLenEdit);

  OkBtn = new QPushButton("OK", this);
  OkBtn->setObjectName("OkBtn");
  OkBtn->setGeometry(45, 112, 75, 27);
  OkBtn->setDefault(true);
  CancelBtn = new QPushButton("Cancel", this);
  CancelBtn->setObjectName("CancelBtn");
  CancelBtn->setGeometry(128, 112, 75, 27);
  HelpBtn = new QPushButton("&Help", this);
  HelpBtn->setObjectName("HelpBtn");
  HelpBtn->setGeometry(211, 112, 75, 27);
  HelpBtn->setEnabled(false);

  connect(StrTypeCheckBox, &QCheckBox::toggled, this, [this] { StrTypeCheckBoxClick(); });
  connect(OkBtn, &QPushButton::clicked, this, [this] { tk::Guarded([this] { OkBtnClick(); }); });
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TFrmFieldInfo::Initialize(TDBFieldInfo& field, std::int32_t recordSize, const TDBFieldList& working) {
  field_ = &field;
  recordSize_ = recordSize;
  working_ = &working;
  StrTypeCheckBox->setChecked(field.IsString);
  if (field.IsString) MaxLenEdit->setText(QString::number(field.FieldLength));
  FieldNameEdit->setText(platform::ToQString(field.Name));
}

void TFrmFieldInfo::StrTypeCheckBoxClick() {
  const bool isString = StrTypeCheckBox->isChecked();
  MaxLenEdit->setText(isString ? "20" : "");
  MaxLenEdit->setVisible(isString);
  MaxLenLabel->setVisible(isString);
}

void TFrmFieldInfo::OkBtnClick() {
  if (!field_ || !working_) return;
  const std::string name = platform::FromQString(FieldNameEdit->text()).value_or("");
  const std::string length = platform::FromQString(MaxLenEdit->text()).value_or("");
  const bool isString = StrTypeCheckBox->isChecked();
  const TFieldInfoProblem problem = CheckFieldInfo(name, isString, length, recordSize_, *working_, field_);
  if (problem.At != TFieldInfoProblem::Where::None) {
    (problem.At == TFieldInfoProblem::Where::Name ? FieldNameEdit : MaxLenEdit)->setFocus();
    throw tk::Exception(problem.Text);
  }
  field_->Name = platform::Trim(name);
  field_->IsString = isString;
  // An integer field is 4 bytes whatever length it had as a string.
  field_->FieldLength = isString ? static_cast<std::uint16_t>(std::stoi(platform::Trim(length))) : 4;
  accept();
}

}  // namespace telephony
