#include "telephony/number_select_form.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableView>

#include "platform/ui.h"
#include "telephony/entry_grid.h"
#include "telephony/form_helpers.h"
#include "telephony/phone_book_entries.h"
#include "tk/exception_guard.h"

namespace telephony {

TNumberSelectForm::TNumberSelectForm(QWidget* owner, TLkPhonebook& phonebook)
    : QDialog(owner), entries_(LoadPhonebookEntries(phonebook)) {
  setObjectName("NumberSelectForm");
  setWindowTitle("Select Phone Number");
  FixAndCentre(this, 300, 282);

  grid_ = new TEntryGrid(this, entries_);
  ListHeader = grid_->ListHeader;
  ListGrid = grid_->ListGrid;
  ListHeader->setGeometry(10, 10, 280, 22);
  ListGrid->setGeometry(10, 32, 280, 200);

  OkBtn = new QPushButton("OK", this);
  OkBtn->setObjectName("OkBtn");
  OkBtn->setGeometry(32, 244, 80, 27);
  OkBtn->setDefault(true);
  CancelBtn = new QPushButton("Cancel", this);
  CancelBtn->setObjectName("CancelBtn");
  CancelBtn->setGeometry(120, 244, 80, 27);
  HelpBtn = new QPushButton("&Help", this);
  HelpBtn->setObjectName("HelpBtn");
  HelpBtn->setGeometry(208, 244, 80, 27);
  HelpBtn->setEnabled(false);

  connect(OkBtn, &QPushButton::clicked, this, [this] { tk::Guarded([this] { OkBtnClick(); }); });
  connect(ListGrid, &QTableView::doubleClicked, this, [this] { tk::Guarded([this] { ListGridDblClick(); }); });
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

  FormCreate();
}

void TNumberSelectForm::FormCreate() {
  grid_->SizeColumns();
  grid_->SetRowCount(static_cast<int>(entries_.size()));
}

void TNumberSelectForm::OkBtnClick() {
  const int row = grid_->Row();
  if (row < 0 || static_cast<std::size_t>(row) >= entries_.size()) {
    platform::Ui().Beep();
    return;
  }
  const TPhonebookEntry& entry = entries_[static_cast<std::size_t>(row)];
  chosenNumber_ = entry.Number.Get();
  chosenName_ = entry.Name.Get();
  accept();
}

}  // namespace telephony
