#include "gui/controller/pager_messages_form.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "controller/comms_engine.h"
#include "gui/latin1_cell_delegate.h"
#include "gui/typing_view.h"
#include "platform/text.h"
#include "platform/ui.h"

TPagerMessages* PagerMessages = nullptr;

namespace {

constexpr int LabelWidth = 100;
constexpr int TextWidth = 440;
constexpr int RowHeight = 22;

}  // namespace

TPagerMessages::TPagerMessages(controller::CommsEngine& engine, QWidget* parent) : QDialog(parent), engine_(engine) {
  setWindowTitle("Pager Messages");
  setObjectName("PagerMessages");

  StringGrid1 = new gui::TypingView<QTableWidget>(Rows, 2, this);
  StringGrid1->setObjectName("StringGrid1");
  StringGrid1->horizontalHeader()->hide();
  StringGrid1->verticalHeader()->hide();
  StringGrid1->verticalHeader()->setDefaultSectionSize(RowHeight);
  StringGrid1->setColumnWidth(0, LabelWidth);
  StringGrid1->setColumnWidth(1, TextWidth);
  auto* delegate = new gui::Latin1CellDelegate(StringGrid1);
  // No more than the controller keeps, so what a row shows is what "Load Messages" sends.
  delegate->MaxLength = controller::TransferTables::PagerRowBytes;
  StringGrid1->setItemDelegateForColumn(1, delegate);
  StringGrid1->setEditTriggers(QAbstractItemView::AllEditTriggers);
  StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  StringGrid1->setFixedSize(LabelWidth + TextWidth + 2 * StringGrid1->frameWidth(),
                            Rows * RowHeight + 2 * StringGrid1->frameWidth());

  BitBtn1 = new QPushButton("Load Messages", this);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setDefault(true);
  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
  CloseButton = new QPushButton("&Close", this);
  CloseButton->setObjectName("CloseButton");
  CloseButton->setAutoDefault(false);
  connect(CloseButton, &QPushButton::clicked, this, &QWidget::hide);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(BitBtn1);
  buttons->addWidget(CloseButton);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(StringGrid1);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  FormCreate();
}

void TPagerMessages::FormCreate() {
  for (int r = 0; r < Rows; ++r) {
    // The first column is the grid's fixed one: a caption, neither editable nor selectable.
    auto* caption = new QTableWidgetItem(r == 0 ? QString("User PIN") : QString("Message #%1").arg(r));
    caption->setFlags(Qt::NoItemFlags);
    caption->setBackground(palette().button());
    caption->setForeground(palette().buttonText());
    StringGrid1->setItem(r, 0, caption);
    StringGrid1->setItem(r, 1, new QTableWidgetItem);
  }
  StringGrid1->setCurrentCell(0, 1);
}

std::string TPagerMessages::RowText(int row) const {
  const QTableWidgetItem* item = StringGrid1->item(row, 1);
  return item ? platform::FromQString(item->text()).value_or(std::string()) : std::string();
}

void TPagerMessages::BitBtn1Click() {
  if (!engine_.RequestAllowed(controller::RequestKind::PagerLoad, engine_.PagerLoadRequest != 0)) return;
  // A cell still being edited counts with what it shows.
  StringGrid1->EndEdit();
  engine_.RequestPagerLoad();
  hide();
}
