#include "gui/project/system_map_model.h"

#include "platform/text.h"
#include "platform/ui.h"

namespace project {

using Node = SystemMapTree::Node;

SystemMapModel::SystemMapModel(SystemMapTree& tree, QObject* parent) : QAbstractItemModel(parent), tree_(tree) {
  tree_.SetObserver(this);
}

SystemMapModel::~SystemMapModel() { tree_.SetObserver(nullptr); }

QModelIndex SystemMapModel::IndexOf(const Node* node) const {
  if (!node) return {};
  return createIndex(node->Parent() ? tree_.RowOf(node) : 0, 0, const_cast<Node*>(node));
}

int SystemMapModel::PositionOf(const QModelIndex& index) const {
  Node* node = NodeOf(index);
  return node ? tree_.PositionOf(node) : -1;
}

Node* SystemMapModel::NodeOf(const QModelIndex& index) const {
  return index.isValid() ? static_cast<Node*>(index.internalPointer()) : nullptr;
}

QModelIndex SystemMapModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0) return {};
  if (!parent.isValid()) return row == 0 && tree_.Root() ? createIndex(0, 0, tree_.Root()) : QModelIndex();
  Node* child = NodeOf(parent)->Child(row);
  return child ? createIndex(row, 0, child) : QModelIndex();
}

QModelIndex SystemMapModel::parent(const QModelIndex& child) const {
  Node* node = NodeOf(child);
  return node ? IndexOf(node->Parent()) : QModelIndex();
}

int SystemMapModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return tree_.Root() ? 1 : 0;
  if (parent.column() != 0) return 0;
  return NodeOf(parent)->ChildCount();
}

int SystemMapModel::columnCount(const QModelIndex&) const { return 1; }

QVariant SystemMapModel::data(const QModelIndex& index, int role) const {
  Node* node = NodeOf(index);
  if (!node || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
  return platform::ToQString(node->Text());
}

Qt::ItemFlags SystemMapModel::flags(const QModelIndex& index) const {
  Node* node = NodeOf(index);
  if (!node) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (tree_.CanEdit(tree_.PositionOf(node))) flags |= Qt::ItemIsEditable;
  return flags;
}

bool SystemMapModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  Node* node = NodeOf(index);
  if (!node || role != Qt::EditRole) return false;
  std::optional<std::string> text = platform::FromQString(value.toString());
  if (!text) {
    platform::Ui().Beep();
    return false;
  }
  int position = tree_.PositionOf(node);
  if (!tree_.Rename(position, *text)) return false;
  emit NameEdited(position);
  return true;
}

void SystemMapModel::BeginRemoveChildren(const Node* parent, int first, int last) {
  beginRemoveRows(IndexOf(parent), first, last);
}

void SystemMapModel::BeginInsertChildren(const Node* parent, int first, int last) {
  beginInsertRows(IndexOf(parent), first, last);
}

void SystemMapModel::TextChanged(const Node* node) {
  QModelIndex index = IndexOf(node);
  emit dataChanged(index, index);
}

}  // namespace project
