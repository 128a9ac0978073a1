#pragma once
// The editor of a grid cell that holds one of the system's 8-bit texts. A keystroke that brings a character
// outside Latin-1 is refused with a beep, the text, caret and modified flag as they were before it. Every
// accepted keystroke goes on at once (to the cell, or to the `Edited` hook when one is given), so a save, a
// close or the engine in the middle of typing sees what is typed. While the editor is open, what is written
// into its cell meanwhile does not replace the typing.
#include <QStyledItemDelegate>
#include <functional>
#include <string>

namespace gui {

class Latin1CellDelegate : public QStyledItemDelegate {
 public:
  using Edited = std::function<void(const QModelIndex& index, const std::string& text)>;
  explicit Latin1CellDelegate(QObject* parent, Edited edited = {});

  // The open editor's events, after the delegate's own handling (a double click, a key release).
  std::function<void(QEvent* event)> EditorEvent;
  // The most characters the editor takes (what the cell's file keeps); 0: no limit.
  int MaxLength = 0;

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  void setEditorData(QWidget* editor, const QModelIndex& index) const override;

 protected:
  bool eventFilter(QObject* object, QEvent* event) override;

 private:
  Edited edited_;
};

}  // namespace gui
