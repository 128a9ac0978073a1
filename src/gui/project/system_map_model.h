#pragma once
// The System Map tree as a Qt item model for the window's tree view. Every edit goes through the tree's
// rules; the tree tells this model of each change so the view follows it.
#include <QAbstractItemModel>

#include "project/system_map_tree.h"

namespace project {

class SystemMapModel : public QAbstractItemModel, private SystemMapTree::Observer {
  Q_OBJECT

 public:
  explicit SystemMapModel(SystemMapTree& tree, QObject* parent = nullptr);
  ~SystemMapModel() override;

  QModelIndex IndexOf(const SystemMapTree::Node* node) const;
  QModelIndex IndexAt(int position) const { return IndexOf(tree_.NodeAt(position)); }
  // -1 for an invalid index.
  int PositionOf(const QModelIndex& index) const;
  SystemMapTree::Node* NodeOf(const QModelIndex& index) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  // Editable exactly where the tree allows a rename.
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // A rename: text outside Latin-1 is refused with a beep.
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

 signals:
  // A node was renamed by the user.
  void NameEdited(int position);

 private:
  void BeginReset() override { beginResetModel(); }
  void EndReset() override { endResetModel(); }
  void BeginRemoveChildren(const SystemMapTree::Node* parent, int first, int last) override;
  void EndRemoveChildren() override { endRemoveRows(); }
  void BeginInsertChildren(const SystemMapTree::Node* parent, int first, int last) override;
  void EndInsertChildren() override { endInsertRows(); }
  void TextChanged(const SystemMapTree::Node* node) override;

  SystemMapTree& tree_;
};

}  // namespace project
