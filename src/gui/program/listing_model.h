#pragma once
// The grid's cells for the 4096 program lines. Column 0 is the line number; columns 1-3 (Program Text,
// Comments, Reference) hold text of their own, written by re-rendering and by comment edits: a cell keeps
// its text until it is written again, whatever happens to the store meanwhile. Model row r is line r + 1;
// the header row carries the column titles.
#include <QAbstractTableModel>
#include <functional>
#include <string>
#include <vector>

namespace program {

class ListingModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr int kLines = 4096;
  enum Column { ColumnLine = 0, ColumnText = 1, ColumnComment = 2, ColumnReference = 3 };

  explicit ListingModel(QObject* parent = nullptr);

  // Cells of line n (1..4096).
  const std::string& Text(int n) const { return texts_[n]; }
  const std::string& Comment(int n) const { return comments_[n]; }
  const std::string& Reference(int n) const { return references_[n]; }
  void SetText(int n, std::string text);
  void SetComment(int n, std::string text);
  void SetReference(int n, std::string text);
  // Indexed by line number; entry 0 unused. For the listing file and printing.
  const std::vector<std::string>& Texts() const { return texts_; }
  const std::vector<std::string>& Comments() const { return comments_; }

  // Between these, cell writes are not announced one by one. A re-render may move every line, so the views
  // hear of it as a new layout: an open cell editor ends on its own line before any is rewritten.
  void BeginUpdate();
  void EndUpdate();

  // Whether the Reference column may be selected (the log's "Errors" box).
  std::function<bool()> ReferenceSelectable;
  // A comment typed into the grid (line, new text).
  std::function<void(int, const std::string&)> CommentEdited;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 private:
  void Changed(int n, int column);

  std::vector<std::string> texts_, comments_, references_;
  int updating_ = 0;
};

}  // namespace program
