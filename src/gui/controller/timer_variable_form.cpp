#include "gui/controller/timer_variable_form.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "controller/comms_engine.h"
#include "gui/controller/change_timer_variable_form.h"

TTimerVariableForm* TimerVariableForm = nullptr;

namespace {

constexpr int GridRows = 257;  // with the header row
constexpr int Timers = 64;
constexpr int NumberedRows = 128;

// A cell of the fixed column: shown, but never current, since a click opens the change window on the
// current cell.
QTableWidgetItem* FixedItem(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::NoItemFlags);
  item->setBackground(QPalette().brush(QPalette::Button));
  item->setForeground(QPalette().brush(QPalette::ButtonText));
  return item;
}

}  // namespace

TTimerVariableForm::TTimerVariableForm(controller::CommsEngine& engine, QWidget* parent)
    : QDialog(parent), engine_(engine) {
  setWindowTitle("Debug Timers and Variables");
  setObjectName("TimerVariableForm");

  TVGrid = new QTableWidget(GridRows - 1, 3, this);
  TVGrid->setObjectName("TVGrid");
  TVGrid->setHorizontalHeaderLabels({"", "Timers", "Variables"});
  TVGrid->verticalHeader()->hide();
  TVGrid->verticalHeader()->setDefaultSectionSize(20);
  TVGrid->setColumnWidth(0, 48);
  TVGrid->setColumnWidth(1, 90);
  TVGrid->setColumnWidth(2, 90);
  TVGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TVGrid->setSelectionMode(QAbstractItemView::SingleSelection);
  for (int row = 1; row < GridRows; ++row) {
    TVGrid->setItem(row - 1, 0, FixedItem(row <= NumberedRows ? QString::number(row - 1) : QString()));
    if (row > Timers && row <= NumberedRows) TVGrid->setItem(row - 1, 1, new QTableWidgetItem(" N/A "));
  }
  TVGrid->setCurrentCell(0, 1);
  TVGrid->setMinimumSize(260, 360);
  connect(TVGrid, &QTableWidget::cellClicked, this, [this](int, int column) {
    if (column != 0) TVGridClick();
  });

  BitBtn1 = new QPushButton("Close", this);
  BitBtn1->setObjectName("BitBtn1");
  connect(BitBtn1, &QPushButton::clicked, this, &QWidget::hide);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(BitBtn1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(TVGrid, 1);
  layout->addLayout(buttons);
}

bool TTimerVariableForm::OpensChange(int column, int row) { return column == 2 || row <= Timers; }

int TTimerVariableForm::CurrentColumn() const { return TVGrid->currentColumn(); }
int TTimerVariableForm::CurrentRow() const { return TVGrid->currentRow() + 1; }

void TTimerVariableForm::TVGridClick() {
  const int column = CurrentColumn();
  const int row = CurrentRow();
  if (!OpensChange(column, row) || !Form32) return;
  Form32->ShowFor(column == 2, row - 1);
}

void TTimerVariableForm::FormHide() { engine_.TimerVarMonitorRequest = 0; }

void TTimerVariableForm::hideEvent(QHideEvent* event) {
  QDialog::hideEvent(event);
  if (!event->spontaneous()) FormHide();
}
