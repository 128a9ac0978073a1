#include "gui/controller/x10_grid_form.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "controller/comms_engine.h"
#include "controller/name_tables.h"
#include "platform/text.h"

TX10Grid* X10Grid = nullptr;

namespace {

constexpr int GridSize = 17;
constexpr int CellWidth = 30;
constexpr int CellHeight = 19;

// A heading cell: grey like the original grid's fixed row and column, and not editable.
QTableWidgetItem* Heading(const std::string& text) {
  auto* item = new QTableWidgetItem(platform::ToQString(text));
  item->setFlags(Qt::ItemIsEnabled);
  item->setTextAlignment(Qt::AlignCenter);
  item->setBackground(QColor(0xD4, 0xD0, 0xC8));
  return item;
}

}  // namespace

TX10Grid::TX10Grid(controller::CommsEngine& engine, QWidget* parent) : QDialog(parent), engine_(engine) {
  setWindowTitle("X10 Monitoring");
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  StringGrid1 = new QTableWidget(GridSize, GridSize, this);
  StringGrid1->setObjectName("StringGrid1");
  StringGrid1->horizontalHeader()->hide();
  StringGrid1->verticalHeader()->hide();
  StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGrid1->setSelectionMode(QAbstractItemView::NoSelection);
  StringGrid1->setFocusPolicy(Qt::NoFocus);
  StringGrid1->horizontalHeader()->setMinimumSectionSize(CellWidth);
  StringGrid1->horizontalHeader()->setDefaultSectionSize(CellWidth);
  StringGrid1->verticalHeader()->setMinimumSectionSize(CellHeight);
  StringGrid1->verticalHeader()->setDefaultSectionSize(CellHeight);
  StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  StringGrid1->setItem(0, 0, Heading(""));
  for (int i = 1; i < GridSize; ++i) {
    StringGrid1->setItem(0, i, Heading(controller::X10HouseNames()[static_cast<std::size_t>(i - 1)]));
    StringGrid1->setItem(i, 0, Heading(std::to_string(i)));
  }
  const int frame = 2 * StringGrid1->frameWidth();
  StringGrid1->setFixedSize(GridSize * CellWidth + frame, GridSize * CellHeight + frame);

  ListBox1 = new QListWidget(this);
  ListBox1->setObjectName("ListBox1");
  ListBox1->setMinimumWidth(280);
  Button1 = new QPushButton("Clear Log", this);
  Button1->setObjectName("Button1");
  CheckBox1 = new QCheckBox("Use Names", this);
  CheckBox1->setObjectName("CheckBox1");
  CheckBox1->setChecked(true);
  CloseButton = new QPushButton("&Close", this);
  CloseButton->setObjectName("CloseButton");

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Button1);
  buttons->addWidget(CheckBox1);
  buttons->addStretch(1);
  buttons->addWidget(CloseButton);
  auto* log = new QVBoxLayout;
  log->addWidget(ListBox1, 1);
  log->addLayout(buttons);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(StringGrid1, 0, Qt::AlignTop);
  layout->addLayout(log, 1);

  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(CloseButton, &QPushButton::clicked, this, &QWidget::hide);
}

void TX10Grid::Button1Click() { ListBox1->clear(); }

void TX10Grid::FormHide() { engine_.X10MonitorRequest = 0; }

void TX10Grid::hideEvent(QHideEvent* event) {
  QDialog::hideEvent(event);
  // Minimising is no hiding: monitoring goes on.
  if (!event->spontaneous()) FormHide();
}
