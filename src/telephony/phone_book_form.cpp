#include "telephony/phone_book_form.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableView>

#include "platform/ui.h"
#include "serial/error_text.h"
#include "telephony/entry_grid.h"
#include "telephony/form_helpers.h"
#include "telephony/phone_entry_form.h"
#include "tk/exception_guard.h"

namespace telephony {

namespace {
QPushButton* Button(QWidget* parent, const char* name, const char* caption, int y) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setGeometry(300, y, 85, 27);
  return button;
}
}  // namespace

TPhonebookForm::TPhonebookForm(QWidget* owner, TLkPhonebook& phonebook)
    : QDialog(owner), editing_(std::make_unique<TPhonebookEditing>(phonebook)) {
  setObjectName("PhonebookForm");
  setWindowTitle("Phonebook Entries");
  FixAndCentre(this, 395, 262);

  grid_ = new TEntryGrid(this, editing_->Entries());
  ListHeader = grid_->ListHeader;
  ListGrid = grid_->ListGrid;
  ListHeader->setGeometry(10, 10, 280, 22);
  ListGrid->setGeometry(10, 32, 280, 220);

  AddBtn = Button(this, "AddBtn", "&Add", 10);
  ChangeBtn = Button(this, "ChangeBtn", "&Change", 43);
  ChangeBtn->setDefault(true);
  RemoveBtn = Button(this, "RemoveBtn", "&Remove", 76);
  OkBtn = Button(this, "OkBtn", "Close", 192);
  HelpBtn = Button(this, "HelpBtn", "&Help", 225);
  HelpBtn->setEnabled(false);

  auto guard = [this](void (TPhonebookForm::*handler)()) {
    return [this, handler] { tk::Guarded([this, handler] { (this->*handler)(); }); };
  };
  connect(AddBtn, &QPushButton::clicked, this, guard(&TPhonebookForm::AddBtnClick));
  connect(ChangeBtn, &QPushButton::clicked, this, guard(&TPhonebookForm::ChangeBtnClick));
  connect(RemoveBtn, &QPushButton::clicked, this, guard(&TPhonebookForm::RemoveBtnClick));
  connect(ListGrid, &QTableView::doubleClicked, this, guard(&TPhonebookForm::ListGridDblClick));
  connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);

  FormCreate();
}

TPhonebookForm::~TPhonebookForm() = default;

void TPhonebookForm::FormCreate() {
  grid_->SizeColumns();
  grid_->SetRowCount(editing_->RowCount());
}

void TPhonebookForm::AddBtnClick() {
  TPhonebookEntry entry;
  TPhoneEntryForm form(this, editing_->Phonebook(), entry);
  if (form.exec() != QDialog::Accepted) return;
  const int row = editing_->Add(entry);
  grid_->SetRowCount(editing_->RowCount());
  if (editing_->Count() == 1) grid_->Repaint();
  grid_->SelectRow(row);
}

void TPhonebookForm::EditPrim() {
  const int row = grid_->Row();
  if (editing_->Count() == 0 || row < 0 || row >= editing_->Count()) {
    platform::Ui().Beep();
    return;
  }
  TPhonebookEntry copy = editing_->Entries()[static_cast<std::size_t>(row)];
  TPhoneEntryForm form(this, editing_->Phonebook(), copy);
  if (form.exec() != QDialog::Accepted) return;
  editing_->Change(row, copy);
  grid_->Repaint();
}

void TPhonebookForm::RemoveBtnClick() {
  const int row = grid_->Row();
  if (editing_->Count() == 0 || row < 0 || row >= editing_->Count()) {
    platform::Ui().Beep();
    return;
  }
  if (platform::Ui().MessageBox(serial::LkLoadStr(4101), "Confirm", platform::MsgButtons::YesNo,
                                platform::MsgKind::Question) != platform::MsgResult::Yes)
    return;
  editing_->Remove(row);
  grid_->SetRowCount(grid_->RowCount() - 1);
  grid_->Repaint();
}

}  // namespace telephony
