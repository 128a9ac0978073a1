#include "telephony/field_list_form.h"

#include <QListWidget>
#include <QPushButton>
#include <QToolButton>

#include "platform/text.h"
#include "platform/ui.h"
#include "telephony/field_info_form.h"
#include "telephony/form_helpers.h"
#include "tk/exception.h"
#include "tk/exception_guard.h"

namespace telephony {

namespace {
QPushButton* Button(QWidget* parent, const char* name, const char* caption, int y) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setGeometry(250, y, 85, 27);
  return button;
}
}  // namespace

TFrmDBFieldList::TFrmDBFieldList(QWidget* owner, TDBFieldList& list) : QDialog(owner), list_(list), editing_(list) {
  setObjectName("FrmDBFieldList");
  setWindowTitle("Database Fields");
  FixAndCentre(this, 345, 232);

  FieldList = new QListWidget(this);
  FieldList->setObjectName("FieldList");
  FieldList->setGeometry(10, 10, 195, 212);
  for (int i = 0; i < editing_.Working().Count(); ++i)
    FieldList->addItem(platform::ToQString(editing_.Working().Items(i).Name));

  UpBtn = new QToolButton(this);
  UpBtn->setObjectName("UpBtn");
  UpBtn->setArrowType(Qt::UpArrow);
  UpBtn->setGeometry(212, 80, 28, 28);
  DownBtn = new QToolButton(this);
  DownBtn->setObjectName("DownBtn");
  DownBtn->setArrowType(Qt::DownArrow);
  DownBtn->setGeometry(212, 114, 28, 28);

  AddBtn = Button(this, "AddBtn", "&Add", 10);
  EditBtn = Button(this, "EditBtn", "&Edit", 43);
  EditBtn->setDefault(true);
  DeleteBtn = Button(this, "DeleteBtn", "&Delete", 76);
  OkBtn = Button(this, "OkBtn", "OK", 129);
  CancelBtn = Button(this, "CancelBtn", "Cancel", 162);
  HelpBtn = Button(this, "HelpBtn", "&Help", 195);
  HelpBtn->setEnabled(false);

  auto guard = [this](void (TFrmDBFieldList::*handler)()) {
    return [this, handler] { tk::Guarded([this, handler] { (this->*handler)(); }); };
  };
  connect(AddBtn, &QPushButton::clicked, this, guard(&TFrmDBFieldList::AddBtnClick));
  connect(EditBtn, &QPushButton::clicked, this, guard(&TFrmDBFieldList::EditBtnClick));
  connect(DeleteBtn, &QPushButton::clicked, this, guard(&TFrmDBFieldList::DeleteBtnClick));
  connect(UpBtn, &QToolButton::clicked, this, guard(&TFrmDBFieldList::UpBtnClick));
  connect(DownBtn, &QToolButton::clicked, this, guard(&TFrmDBFieldList::DownBtnClick));
  connect(FieldList, &QListWidget::itemDoubleClicked, this, guard(&TFrmDBFieldList::FieldListDblClick));
  connect(OkBtn, &QPushButton::clicked, this, guard(&TFrmDBFieldList::OkBtnClick));
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

int TFrmDBFieldList::Selected() const {
  const QList<QListWidgetItem*> selected = FieldList->selectedItems();
  return selected.isEmpty() ? -1 : FieldList->row(selected.front());
}

void TFrmDBFieldList::AddBtnClick() {
  TDBFieldInfo field("FieldName", 20);
  TFrmFieldInfo form(this);
  form.Initialize(field, editing_.Working().RecordSize(), editing_.Working());
  if (form.exec() != QDialog::Accepted) return;
  editing_.Append(field);
  FieldList->addItem(platform::ToQString(field.Name));
}

void TFrmDBFieldList::EditPrim() {
  const int row = Selected();
  if (row < 0) {
    platform::Ui().Beep();
    return;
  }
  TFrmFieldInfo form(this);
  TDBFieldInfo& field = editing_.Working().Items(row);
  form.Initialize(field, editing_.Working().RecordSize(), editing_.Working());
  if (form.exec() != QDialog::Accepted) return;
  FieldList->item(row)->setText(platform::ToQString(field.Name));
  FieldList->setCurrentRow(row);
}

void TFrmDBFieldList::DeleteBtnClick() {
  const int row = Selected();
  if (!editing_.Delete(row)) {
    platform::Ui().Beep();
    return;
  }
  delete FieldList->takeItem(row);
}

void TFrmDBFieldList::UpBtnClick() {
  const int row = Selected();
  if (!editing_.MoveUp(row)) {
    platform::Ui().Beep();
    return;
  }
  FieldList->insertItem(row - 1, FieldList->takeItem(row));
  FieldList->setCurrentRow(row - 1);
}

void TFrmDBFieldList::DownBtnClick() {
  const int row = Selected();
  if (!editing_.MoveDown(row)) {
    platform::Ui().Beep();
    return;
  }
  FieldList->insertItem(row + 1, FieldList->takeItem(row));
  FieldList->setCurrentRow(row + 1);
}

void TFrmDBFieldList::OkBtnClick() {
  if (std::string problem = editing_.AcceptProblem(); !problem.empty()) throw tk::Exception(problem);
  editing_.AcceptInto(list_);
  accept();
}

}  // namespace telephony
