#include "telephony/entry_grid.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QPainter>
#include <QStandardItemModel>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableView>
#include <algorithm>

#include "platform/text.h"

namespace telephony {

namespace {

class EntryModel : public QAbstractTableModel {
 public:
  explicit EntryModel(const std::vector<TPhonebookEntry>& entries, QObject* parent)
      : QAbstractTableModel(parent), entries_(entries) {}

  int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : rows_; }
  int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 2; }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    // Rows beyond the entries stay blank.
    if (static_cast<std::size_t>(index.row()) >= entries_.size()) return {};
    const TPhonebookEntry& e = entries_[static_cast<std::size_t>(index.row())];
    return platform::ToQString(index.column() == 0 ? e.Name.Get() : e.Number.Get());
  }
  Qt::ItemFlags flags(const QModelIndex& index) const override {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
  }

  void SetRows(int rows) {
    beginResetModel();
    rows_ = rows < 0 ? 0 : rows;
    endResetModel();
  }
  void Refresh() {
    if (rows_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, 1));
  }

 private:
  const std::vector<TPhonebookEntry>& entries_;
  int rows_ = 0;
};

// The cell's text 2 pixels right of and below its top-left corner, over the row's selection colour.
class EntryDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    background.state &= ~QStyle::State_HasFocus;
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : nullptr;
    if (style) style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    const QFontMetrics metrics(option.font);
    painter->drawText(option.rect.topLeft() + QPoint(2, 2 + metrics.ascent()), index.data().toString());
    painter->restore();
  }
};

}  // namespace

TEntryGrid::TEntryGrid(QWidget* parent, const std::vector<TPhonebookEntry>& entries) : QObject(parent) {
  auto* model = new EntryModel(entries, this);
  model_ = model;
  headerModel_ = new QStandardItemModel(0, 2, this);
  headerModel_->setHorizontalHeaderLabels({"Name", "Phone number"});

  ListHeader = new QHeaderView(Qt::Horizontal, parent);
  ListHeader->setObjectName("ListHeader");
  ListHeader->setModel(headerModel_);
  ListHeader->setSectionsClickable(false);
  ListHeader->setStretchLastSection(false);
  ListHeader->setSectionResizeMode(QHeaderView::Interactive);
  ListHeader->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  ListGrid = new QTableView(parent);
  ListGrid->setObjectName("ListGrid");
  ListGrid->setModel(model);
  ListGrid->setItemDelegate(new EntryDelegate(ListGrid));
  ListGrid->horizontalHeader()->hide();
  ListGrid->verticalHeader()->hide();
  ListGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  ListGrid->verticalHeader()->setMinimumSectionSize(RowHeight);
  ListGrid->verticalHeader()->setDefaultSectionSize(RowHeight);
  ListGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListGrid->setSelectionMode(QAbstractItemView::SingleSelection);
  ListGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListGrid->setShowGrid(false);
  ListGrid->setWordWrap(false);
  ListGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  ListGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

  connect(ListHeader, &QHeaderView::sectionResized, this, [this] { HeaderSized(); });
}

// The client width is the grid less its frame and its vertical scroll bar, which is always there. Worked out
// rather than read from the viewport, whose size is known only once the window has been shown.
int TEntryGrid::BorderAllowance() const {
  const int scrollBar = ListGrid->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, ListGrid);
  return (2 * ListGrid->frameWidth() + scrollBar) / 2;
}

void TEntryGrid::SizeColumns() {
  const int half = ListHeader->width() / 2;
  QSignalBlocker block(ListHeader);
  ListHeader->resizeSection(0, half);
  ListHeader->resizeSection(1, ListHeader->width() - half);
  HeaderSized();
}

void TEntryGrid::HeaderSized() {
  const int column0 = ListHeader->sectionSize(0) - BorderAllowance();
  ListGrid->setColumnWidth(0, column0);
  ListGrid->setColumnWidth(1, ListGrid->width() - column0);
}

int TEntryGrid::RowCount() const { return model_->rowCount(); }

void TEntryGrid::SetRowCount(int rows) {
  // A grid with rows always has a current one, kept where it was as far as the rows allow.
  const int row = Row();
  static_cast<EntryModel*>(model_)->SetRows(rows);
  if (rows > 0) SelectRow(std::clamp(row, 0, rows - 1));
}

int TEntryGrid::Row() const {
  const QModelIndex current = ListGrid->currentIndex();
  return current.isValid() ? current.row() : -1;
}

void TEntryGrid::SelectRow(int row) {
  if (row < 0 || row >= RowCount()) return;
  ListGrid->setCurrentIndex(model_->index(row, 0));
  ListGrid->selectRow(row);
}

void TEntryGrid::Repaint() {
  static_cast<EntryModel*>(model_)->Refresh();
  ListGrid->viewport()->update();
}

}  // namespace telephony
