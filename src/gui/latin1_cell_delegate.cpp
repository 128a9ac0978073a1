#include "gui/latin1_cell_delegate.h"

#include <QLineEdit>
#include <algorithm>

#include "platform/text.h"
#include "platform/ui.h"

namespace gui {

namespace {
constexpr const char* kAccepted = "acceptedText";
constexpr const char* kFilled = "filled";
constexpr const char* kTyped = "typed";
}  // namespace

Latin1CellDelegate::Latin1CellDelegate(QObject* parent, Edited edited)
    : QStyledItemDelegate(parent), edited_(std::move(edited)) {}

QWidget* Latin1CellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                          const QModelIndex& index) const {
  QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
  auto* line = qobject_cast<QLineEdit*>(editor);
  if (!line) return editor;
  if (MaxLength > 0) line->setMaxLength(MaxLength);
  auto* self = const_cast<Latin1CellDelegate*>(this);
  const QPersistentModelIndex cell(index);
  connect(line, &QLineEdit::textEdited, self, [self, line, cell](const QString& text) {
    const std::optional<std::string> latin1 = platform::FromQString(text);
    if (!latin1) {
      const QString kept = line->property(kAccepted).toString();
      const int caret = line->cursorPosition() - static_cast<int>(text.size() - kept.size());
      line->setText(kept);
      // setText forgets that the user typed; what was typed before the refused key still counts.
      line->setModified(line->property(kTyped).toBool());
      line->setCursorPosition(std::max(0, caret));
      platform::Ui().Beep();
      return;
    }
    line->setProperty(kAccepted, text);
    line->setProperty(kTyped, true);
    if (self->edited_)
      self->edited_(cell, *latin1);
    else
      emit self->commitData(line);
  });
  return editor;
}

void Latin1CellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
  if (editor->property(kFilled).toBool()) return;
  editor->setProperty(kFilled, true);
  QStyledItemDelegate::setEditorData(editor, index);
  if (auto* line = qobject_cast<QLineEdit*>(editor)) line->setProperty(kAccepted, line->text());
}

bool Latin1CellDelegate::eventFilter(QObject* object, QEvent* event) {
  const bool handled = QStyledItemDelegate::eventFilter(object, event);
  if (EditorEvent) EditorEvent(event);
  return handled;
}

}  // namespace gui
