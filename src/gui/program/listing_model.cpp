#include "gui/program/listing_model.h"

#include "platform/text.h"

namespace program {

namespace {
const char* const kHeaders[] = {"Line#", "Program Text", "Comments", "Reference"};
}

ListingModel::ListingModel(QObject* parent)
    : QAbstractTableModel(parent), texts_(kLines + 1), comments_(kLines + 1), references_(kLines + 1) {}

void ListingModel::SetText(int n, std::string text) {
  texts_.at(n) = std::move(text);
  Changed(n, ColumnText);
}

void ListingModel::SetComment(int n, std::string text) {
  comments_.at(n) = std::move(text);
  Changed(n, ColumnComment);
}

void ListingModel::SetReference(int n, std::string text) {
  references_.at(n) = std::move(text);
  Changed(n, ColumnReference);
}

void ListingModel::Changed(int n, int column) {
  if (updating_ > 0) return;
  QModelIndex cell = index(n - 1, column);
  emit dataChanged(cell, cell, {Qt::DisplayRole, Qt::EditRole});
}

void ListingModel::BeginUpdate() {
  if (updating_++ == 0) emit layoutAboutToBeChanged();
}

void ListingModel::EndUpdate() {
  if (updating_ > 0 && --updating_ == 0) emit layoutChanged();
}

int ListingModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kLines; }

int ListingModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 4; }

QVariant ListingModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
  int n = index.row() + 1;
  switch (index.column()) {
    case ColumnLine:
      return QString::number(n);
    case ColumnText:
      return platform::ToQString(texts_[n]);
    case ColumnComment:
      return platform::ToQString(comments_[n]);
    case ColumnReference:
      return platform::ToQString(references_[n]);
  }
  return {};
}

bool ListingModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole || index.column() != ColumnComment) return false;
  int n = index.row() + 1;
  // Text outside Latin-1 cannot be stored in the program file: refused, the cell keeps its text.
  std::optional<std::string> text = platform::FromQString(value.toString());
  if (!text) return false;
  // An editor closed without a change writes its text back: that is no edit.
  if (*text == comments_[n]) return true;
  SetComment(n, *text);
  if (CommentEdited) CommentEdited(n, *text);
  return true;
}

Qt::ItemFlags ListingModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() == ColumnComment) result |= Qt::ItemIsEditable;
  if (index.column() == ColumnReference && !(ReferenceSelectable && ReferenceSelectable()))
    result &= ~Qt::ItemIsSelectable;
  return result;
}

QVariant ListingModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal && section >= 0 && section < 4) return QString(kHeaders[section]);
  if (orientation == Qt::Vertical) return QString::number(section + 1);
  return {};
}

}  // namespace program
