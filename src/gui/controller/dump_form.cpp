#include "gui/controller/dump_form.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "controller/comms_engine.h"
#include "controller/raw_command_request.h"
#include "gui/controller/typed_number_edit.h"
#include "platform/text.h"

TDumpForm* DumpForm = nullptr;

namespace {

constexpr int GridSize = 16;
constexpr int CellWidth = 28;
// The controller's addresses. One stepped below 0 reaches the wire as its low 16 bits (the top of memory);
// one above the highest would read another address.
const controller::TypedField AddressField{"Address", 0, 0xFFFF};

QLineEdit* NewNumberEdit(QWidget* parent, const QString& name, int width) {
  auto* edit = new QLineEdit("0", parent);
  edit->setObjectName(name);
  edit->setFixedWidth(width);
  return edit;
}

}  // namespace

TDumpForm::TDumpForm(controller::CommsEngine& engine, QWidget* parent) : QDialog(parent), engine_(engine) {
  setWindowTitle("VORMO Memory Dump");
  setObjectName("DumpForm");

  StringGrid1 = new QTableWidget(GridSize, GridSize, this);
  StringGrid1->setObjectName("StringGrid1");
  StringGrid1->horizontalHeader()->hide();
  StringGrid1->verticalHeader()->hide();
  StringGrid1->horizontalHeader()->setDefaultSectionSize(CellWidth);
  StringGrid1->verticalHeader()->setDefaultSectionSize(20);
  StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGrid1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  StringGrid1->setFixedSize(GridSize * CellWidth + 2 * StringGrid1->frameWidth(),
                            GridSize * 20 + 2 * StringGrid1->frameWidth());

  Edit1 = NewNumberEdit(this, "Edit1", 80);
  BitBtn1 = new QPushButton("Get Dump", this);
  Button1 = new QPushButton("Next Block", this);
  Button2 = new QPushButton("Previous Block", this);
  BitBtn1->setObjectName("BitBtn1");
  Button1->setObjectName("Button1");
  Button2->setObjectName("Button2");
  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
  auto* dumpRow = new QHBoxLayout;
  dumpRow->addWidget(Edit1);
  dumpRow->addWidget(BitBtn1);
  dumpRow->addWidget(Button1);
  dumpRow->addWidget(Button2);
  dumpRow->addStretch();

  auto* commandRow = new QHBoxLayout;
  for (int i = 0; i < 6; ++i) {
    CommandEdits[static_cast<std::size_t>(i)] = NewNumberEdit(this, QString("Edit%1").arg(i + 2), 40);
    commandRow->addWidget(CommandEdits[static_cast<std::size_t>(i)]);
  }
  BitBtn3 = new QPushButton("Send", this);
  BitBtn3->setObjectName("BitBtn3");
  connect(BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });
  commandRow->addWidget(BitBtn3);
  commandRow->addStretch();

  CloseButton = new QPushButton("&Close", this);
  CloseButton->setObjectName("CloseButton");
  connect(CloseButton, &QPushButton::clicked, this, &QWidget::hide);
  auto* closeRow = new QHBoxLayout;
  closeRow->addStretch();
  closeRow->addWidget(CloseButton);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(StringGrid1);
  layout->addLayout(dumpRow);
  layout->addLayout(commandRow);
  layout->addLayout(closeRow);
}

std::int32_t TDumpForm::BlockAddress(std::int32_t address, int step) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(address) + static_cast<std::uint32_t>(step * 256));
}

// A dump asked keeps its address until its bytes come: "Get Dump" again is refused meanwhile.
void TDumpForm::BitBtn1Click() {
  if (!engine_.RequestAllowed(controller::RequestKind::Dump, engine_.DumpRequest != 0)) return;
  if (const std::optional<int> address = TypedNumberUpTo(Edit1, AddressField)) Ask(*address);
}

// While a dump asked waits to be read, the edit may show an older block that has landed since: the step is
// from the newest address asked. An address the user has typed since is the one to step from.
void TDumpForm::StepBlock(int step) {
  if (!engine_.RequestAllowed(controller::RequestKind::Dump)) return;
  std::int32_t from = engine_.DumpAddress;
  if (Edit1->isModified() || !engine_.DumpRequest) {
    const std::optional<int> typed = TypedNumberUpTo(Edit1, AddressField);
    if (!typed) return;
    from = *typed;
  }
  const std::int32_t address = BlockAddress(from, step);
  Edit1->setText(QString::number(address));
  Ask(address);
}

// The bytes shown are another address's: they go until the engine brings this one's.
void TDumpForm::Ask(std::int32_t address) {
  for (int row = 0; row < StringGrid1->rowCount(); ++row)
    for (int column = 0; column < StringGrid1->columnCount(); ++column)
      if (QTableWidgetItem* item = StringGrid1->item(row, column)) item->setText(QString());
  engine_.DumpAddress = address;
  engine_.DumpRequest = 1;
}

void TDumpForm::Button1Click() { StepBlock(1); }
void TDumpForm::Button2Click() { StepBlock(-1); }

void TDumpForm::BitBtn3Click() {
  controller::PostRawCommand(engine_, [this](int i) { return CommandText(i); });
}

std::string TDumpForm::CommandText(int index) const {
  if (index < 0 || index >= static_cast<int>(CommandEdits.size())) return {};
  return platform::FromQString(CommandEdits[static_cast<std::size_t>(index)]->text()).value_or(std::string());
}
