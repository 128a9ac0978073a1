// Editing a cell in place: starting and stopping, the editor hidden and shown around redraws, and the focus
// between table and editor.
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>

#include "controls/table.h"
#include "tk/services.h"
#include "tk/virtual_keys.h"

namespace controls {

QWidget* TVxCustomTable::EditorWidget() const { return editCell_ ? editCell_->EditHandle() : nullptr; }

bool TVxCustomTable::tbEditCellHasFocus(QWidget* window) const {
  if (!InEditingState() || !window) return false;
  for (QWidget* w = EditorWidget(); w; w = w->findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
    if (w == window) return true;
  return false;
}

void TVxCustomTable::PostStartEdit() { tk::PostMessage(this, ctimStartEdit); }

void TVxCustomTable::PostStartEditMouse(int x, int y, tk::ShiftState shift) {
  PostStartEdit();
  const auto point = static_cast<std::intptr_t>(static_cast<std::uint16_t>(x) |
                                                static_cast<std::uint32_t>(static_cast<std::uint16_t>(y)) << 16);
  tk::PostMessage(this, ctimStartEditMouse, shift, point);
}

bool TVxCustomTable::StartEditingState() {
  if (InEditingState()) return true;
  bool allow = true;
  DoBeginEdit(activeRow_, activeCol_, allow);
  if (!allow) return false;
  TableRedrawLock lock(*this);
  tbEnsureRowIsVisible(activeRow_);
  tbEnsureColumnIsVisible(activeCol_);
  TVxBaseTableCell* cell = tbFindCell(activeRow_, activeCol_);
  if (!cell) return false;
  TVxCellAttributes attr;
  scratchFont_ = Font();
  attr.Font = &scratchFont_;
  cell->ResolveAttributes(activeRow_, activeCol_, attr);
  if (attr.Access != otxNormal) return false;
  editCell_ = cell;
  tk::Rect rect = EditorRect();
  TVxTblEditorStyle style = tesNormal;
  DoSizeCellEditor(activeRow_, activeCol_, rect, style);
  DoEnteringColumn(activeCol_);
  DoEnteringRow(activeRow_);
  void* data = nullptr;
  DoGetCellData(activeRow_, activeCol_, data, cdpForEdit);
  SetState({otsHiddenEdit}, {otsNormal});
  attr.Color = colors_.Editing();
  attr.FontColor = colors_.EditingText();
  const int bw = BorderWidth();
  cell->StartEditing(activeRow_, activeCol_, rect.Offset(bw, bw), attr, style, data);
  editor_ = cell->EditHandle();
  if (!editor_) {
    SetState({otsNormal}, {otsHiddenEdit});
    editCell_ = nullptr;
    return false;
  }
  // Shown when the lock is released, where the cell then is.
  editor_->installEventFilter(this);
  editor_->hide();
  return true;
}

bool TVxCustomTable::StopEditingState(bool SaveValue) {
  if (!InEditingState()) return true;
  if (editCell_ && !editCell_->CanSaveEditedData(SaveValue)) return false;
  bool allow = true;
  DoEndEdit(editCell_, activeRow_, activeCol_, allow);
  if (!allow) return false;
  QWidget* editor = EditorWidget();
  const tk::Rect editorRect =
      editor ? tk::Rect::FromQRect(editor->geometry()).Offset(-BorderWidth(), -BorderWidth()) : EditorRect();
  bool focusWasIn = false;
  {
    TableRedrawLock lock(*this);
    focusWasIn = tbEditCellHasFocus(QApplication::focusWidget()) || hasFocus() || editorHadFocus_;
    DoEnteringColumn(activeCol_);
    DoEnteringRow(activeRow_);
    void* data = nullptr;
    DoGetCellData(activeRow_, activeCol_, data, cdpForSave);
    InvalidateCellsInRect(editorRect);
    TVxBaseTableCell* cell = editCell_;
    if (editor_) editor_->removeEventFilter(this);
    movingFocus_ = true;
    if (cell) cell->StopEditing(SaveValue, data);
    movingFocus_ = false;
    editCell_ = nullptr;
    editor_ = nullptr;
    editorHadFocus_ = false;
    DoDoneEdit(activeRow_, activeCol_);
    if (!Has(otoAlwaysEditing)) InvalidateCell(activeRow_, activeCol_);
    SetState({otsNormal}, {otsEditing, otsHiddenEdit});
    if (!focusWasIn)
      SetState({otsUnfocused}, {otsFocused});
    else
      setFocus(Qt::OtherFocusReason);
  }
  return true;
}

bool TVxCustomTable::SaveEditedData() {
  if (!InEditingState()) return true;
  if (!editCell_ || !editCell_->CanSaveEditedData(true)) return false;
  DoEnteringColumn(activeCol_);
  DoEnteringRow(activeRow_);
  void* data = nullptr;
  DoGetCellData(activeRow_, activeCol_, data, cdpForSave);
  editCell_->SaveEditedData(data);
  return true;
}

void TVxCustomTable::EndEditingNow() {
  TVxBaseTableCell* cell = editCell_;
  editCell_ = nullptr;
  editor_ = nullptr;
  editorHadFocus_ = false;
  if (cell) {
    movingFocus_ = true;
    cell->StopEditing(false, nullptr);
    movingFocus_ = false;
  }
  if (InEditingState()) SetState({otsNormal}, {otsEditing, otsHiddenEdit});
}

void TVxCustomTable::HideEditor() {
  QWidget* editor = EditorWidget();
  editorHadFocus_ = editor && tbEditCellHasFocus(QApplication::focusWidget());
  if (editor) {
    InvalidateCellsInRect(tk::Rect::FromQRect(editor->geometry()).Offset(-BorderWidth(), -BorderWidth()));
    // A hidden widget cannot keep the focus; the table holds it meanwhile.
    if (editorHadFocus_) {
      movingFocus_ = true;
      setFocus(Qt::OtherFocusReason);
      movingFocus_ = false;
    }
    editCell_->EditHide();
  }
  SetState({otsHiddenEdit}, {otsEditing});
}

void TVxCustomTable::ShowEditor() {
  QWidget* editor = EditorWidget();
  if (!editor) return;
  tk::Rect rect = EditorRect();
  TVxTblEditorStyle style = tesNormal;
  DoSizeCellEditor(activeRow_, activeCol_, rect, style);
  const int bw = BorderWidth();
  editCell_->EditMove(rect.Offset(bw, bw));
  editor->show();
  editor->raise();
  SetState({otsEditing}, {otsHiddenEdit});
  if (hasFocus() || editorHadFocus_) {
    movingFocus_ = true;
    editor->setFocus(Qt::OtherFocusReason);
    movingFocus_ = false;
  }
  editorHadFocus_ = false;
}

void TVxCustomTable::StartEditMouse(std::uintptr_t wParam, std::intptr_t lParam) {
  if (!InEditingState() || !editCell_ || !editCell_->AcceptActivationClick()) return;
  QWidget* editor = EditorWidget();
  if (!editor) return;
  editor->setFocus(Qt::MouseFocusReason);
  // The click was in the table's client area; the editor gets it where it lies on the editor.
  const int x = static_cast<std::int16_t>(lParam & 0xFFFF);
  const int y = static_cast<std::int16_t>((lParam >> 16) & 0xFFFF);
  const QPointF at = editor->mapFrom(this, ClientToWidget({x, y}));
  const QPointF global = editor->mapToGlobal(at);
  const Qt::KeyboardModifiers modifiers = (wParam & tk::ssShift ? Qt::ShiftModifier : Qt::NoModifier) |
                                          (wParam & tk::ssCtrl ? Qt::ControlModifier : Qt::NoModifier);
  QCoreApplication::postEvent(
      editor, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, modifiers));
  QCoreApplication::postEvent(
      editor, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, modifiers));
}

void TVxCustomTable::StartEditKey(std::uintptr_t wParam, std::intptr_t) {
  if (!InEditingState()) return;
  QWidget* editor = EditorWidget();
  if (!editor) return;
  editor->setFocus(Qt::OtherFocusReason);
  const auto key = static_cast<std::uint16_t>(wParam);
  int qtKey = 0;
  Qt::KeyboardModifiers modifiers = Qt::NoModifier;
  QString text;
  if (startKey_.VirtualKey == key) {
    qtKey = startKey_.QtKey;
    modifiers = startKey_.Modifiers;
    text = startKey_.Text;
  } else {
    // A key that did not come from the keyboard: its plain character, as far as it has one.
    const bool shifted = tk::Svc().KeyboardShiftState() & tk::ssShift;
    qtKey = key;
    if (key >= 'A' && key <= 'Z')
      text = QChar(shifted ? key : key + ('a' - 'A'));
    else if ((key >= '0' && key <= '9') || key == tk::VK_SPACE)
      text = QChar(key);
  }
  startKey_ = {};
  QCoreApplication::postEvent(editor, new QKeyEvent(QEvent::KeyPress, qtKey, modifiers, text));
  QCoreApplication::postEvent(editor, new QKeyEvent(QEvent::KeyRelease, qtKey, modifiers, text));
}

// focus

bool TVxCustomTable::eventFilter(QObject* watched, QEvent* event) {
  NoteChildArea(watched, event);
  // Shift+Tab out of the editor lands on the table first, the editor's parent in the focus chain.
  if (watched == editor_.data() && event->type() == QEvent::FocusOut && !movingFocus_)
    editorPassedFocus_ =
        QApplication::focusWidget() == this && static_cast<QFocusEvent*>(event)->reason() == Qt::BacktabFocusReason;
  return TVxTableAncestor::eventFilter(watched, event);
}

void TVxCustomTable::WMSetFocus() {
  if (movingFocus_) return;
  const bool fromEditor = editorPassedFocus_;
  editorPassedFocus_ = false;
  if (!fromEditor && !Quiet() && OnEnter) OnEnter(this);
  if (InEditingState()) {
    if (state_.Contains(otsHiddenEdit)) return;
    if (fromEditor) {
      // Shift+Tab out of the editor: on to the control before the table.
      focusNextPrevChild(false);
    } else if (QWidget* editor = EditorWidget()) {
      editor->setFocus(Qt::OtherFocusReason);
    }
    return;
  }
  if (!state_.Contains(otsFocused)) {
    TableRedrawLock lock(*this);
    InvalidateCell(activeRow_, activeCol_);
    SetState({otsFocused}, {otsUnfocused});
  }
}

void TVxCustomTable::WMKillFocus() {
  if (movingFocus_) return;
  CancelMode();
  QWidget* now = QApplication::focusWidget();
  if (!(now && isAncestorOf(now)) && !Quiet() && OnExit) OnExit(this);
  if (InEditingState() || Designing()) return;
  if (state_.Contains(otsFocused)) {
    TableRedrawLock lock(*this);
    InvalidateCell(activeRow_, activeCol_);
    SetState({otsUnfocused}, {otsFocused});
  }
}

}  // namespace controls
