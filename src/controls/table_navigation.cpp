// The table's keys and the moves of its active cell.
#include <QKeyEvent>

#include "controls/command_table.h"
#include "controls/controller.h"
#include "controls/table.h"
#include "tk/exception_guard.h"
#include "tk/key_mapper.h"
#include "tk/services.h"
#include "tk/virtual_keys.h"

namespace controls {

namespace {

// Translation answers from ccChar up: the key matched no command.
bool IsNoCommand(std::uint16_t command) { return command > ccLastCommand && command <= ccPartial; }

// Keys that start editing when they mean no command: space, digits, letters, the numeric pad, punctuation.
bool IsEditingKey(std::uint16_t key) { return key == tk::VK_SPACE || (key >= 0x30 && key <= 0x6F) || key >= 0xBA; }

bool IsMovement(std::uint16_t command) {
  switch (command) {
    case ccBotOfPage:
    case ccBotRightCell:
    case ccDown:
    case ccEnd:
    case ccFirstPage:
    case ccHome:
    case ccLastPage:
    case ccLeft:
    case ccNextPage:
    case ccPageLeft:
    case ccPageRight:
    case ccPrevPage:
    case ccRight:
    case ccTopLeftCell:
    case ccTopOfPage:
    case ccUp:
      return true;
    default:
      return false;
  }
}

// The movement an extend command stands for; 0 for any other command.
std::uint16_t ExtendedMovement(std::uint16_t command) {
  switch (command) {
    case ccExtendDown:
      return ccDown;
    case ccExtendEnd:
      return ccEnd;
    case ccExtendHome:
      return ccHome;
    case ccExtendLeft:
      return ccLeft;
    case ccExtendPgDn:
      return ccNextPage;
    case ccExtendPgUp:
      return ccPrevPage;
    case ccExtendRight:
      return ccRight;
    case ccExtendUp:
      return ccUp;
    case ccExtBotOfPage:
      return ccBotOfPage;
    case ccExtFirstPage:
      return ccFirstPage;
    case ccExtLastPage:
      return ccLastPage;
    case ccExtTopOfPage:
      return ccTopOfPage;
    case ccExtWordLeft:
      return ccWordLeft;
    case ccExtWordRight:
      return ccWordRight;
    default:
      return 0;
  }
}

}  // namespace

std::uint16_t TVxCustomTable::TranslateKey(std::uint16_t key, tk::ShiftState shift) {
  TVxController* controller = Controller();
  if (!controller) return ccChar;
  return controller->EntryCommands().TranslateKeyUsing({cmdTableName_}, key, shift);
}

// keys

void TVxCustomTable::KeyDown(std::uint16_t& key, tk::ShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TVxCustomTable::KeyPress(char& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

void TVxCustomTable::WMKeyDown(std::uint16_t key, tk::ShiftState shift) {
  KeyDown(key, shift);
  if (key == 0) return;
  const tk::ShiftState mods = shift & (tk::ssShift | tk::ssCtrl | tk::ssAlt);
  std::uint16_t command;
  if (key == tk::VK_TAB && Has(otoTabToArrow))
    command = mods == 0 ? ccRight : mods == tk::ssShift ? ccLeft : ccNone;
  else if (key == tk::VK_RETURN && Has(otoEnterToArrow))
    command = mods == 0 ? ccRight : ccNone;
  else
    command = TranslateKey(key, shift);

  if (!InEditingState()) {
    if (command == ccTableEdit || (IsNoCommand(command) && IsEditingKey(key))) {
      PostStartEdit();
      if (command != ccTableEdit) tk::PostMessage(this, ctimStartEditKey, key, 1);
    }
  } else if (!Has(otoAlwaysEditing) && (command == ccTableEdit || key == tk::VK_ESCAPE)) {
    if (!StopEditingState(key != tk::VK_ESCAPE)) {
      KeyDown(key, shift);
      return;
    }
  }

  extendSelection_ = false;
  if (IsMovement(command)) {
    MoveActiveCell(command);
  } else if (const std::uint16_t base = ExtendedMovement(command)) {
    extendSelection_ = true;
    MoveActiveCell(base);
    // Only for this command: a move made afterwards by code does not extend.
    extendSelection_ = false;
  } else if (command == ccCopy) {
    DoClipboardCopy();
  } else if (command == ccCut) {
    DoClipboardCut();
  } else if (command == ccPaste) {
    DoClipboardPaste();
  } else if (command >= 256) {
    DoUserCommand(command);
  }
}

void TVxCustomTable::keyPressEvent(QKeyEvent* event) {
  int qtKey = event->key();
  Qt::KeyboardModifiers modifiers = event->modifiers();
  // Shift+Tab arrives as its own key.
  if (qtKey == Qt::Key_Backtab) {
    qtKey = Qt::Key_Tab;
    modifiers |= Qt::ShiftModifier;
  }
  const std::uint16_t key = tk::VirtualKeyFromQt(qtKey, modifiers);
  const tk::ShiftState shift = tk::ShiftFromQt(modifiers);
  const QString text = event->text();
  startKey_ = {key, event->key(), event->modifiers(), text};
  tk::Guarded([&] {
    if (key) WMKeyDown(key, shift);
    if (text.size() == 1 && text[0].unicode() >= 0x20 && text[0].unicode() <= 0xFF) {
      char c = static_cast<char>(text[0].unicode());
      KeyPress(c);
    }
  });
  event->accept();
}

void TVxCustomTable::keyReleaseEvent(QKeyEvent* event) {
  std::uint16_t key = tk::VirtualKeyFromQt(event->key(), event->modifiers());
  const tk::ShiftState shift = tk::ShiftFromQt(event->modifiers());
  tk::Guarded([&] {
    if (key && OnKeyUp) OnKeyUp(this, key, shift);
  });
  event->accept();
}

TVxTblKeyNeeds TVxCustomTable::FilterKey(tk::Message& msg) {
  const auto key = static_cast<std::uint16_t>(msg.WParam);
  const tk::ShiftState shift = tk::Svc().KeyboardShiftState();
  const std::uint16_t command = TranslateKey(key, shift);
  TVxTblKeyNeeds needs = otkDontCare;
  if ((key == tk::VK_TAB && Has(otoTabToArrow)) || (key == tk::VK_RETURN && Has(otoEnterToArrow)) ||
      key == tk::VK_ESCAPE)
    needs = otkMustHave;
  if (command == ccTableEdit) needs = otkMustHave;
  if (IsMovement(command) || command == ccWordLeft || command == ccWordRight) needs = otkWouldLike;
  return needs;
}

void TVxCustomTable::DoOnMouseWheel(tk::ShiftState shift, int delta, int x, int y) {
  TVxTableAncestor::DoOnMouseWheel(shift, delta, x, y);
  if (shift & tk::ssCtrl)
    MoveActiveCell(delta < 1 ? ccNextPage : ccPrevPage);
  else
    MoveActiveCell(delta >= 0 ? ccUp : ccDown);
}

// moving the active cell

void TVxCustomTable::SetActiveCell(int RowNum, int ColNum) {
  if (Loading()) {
    activeRow_ = RowNum;
    activeCol_ = ColNum;
    return;
  }
  DoActiveCellMoving(ccSetActiveCell, RowNum, ColNum);
  tbSetActiveCellWithSel(RowNum, ColNum);
}

void TVxCustomTable::tbMoveTo(std::uint16_t command, int RowNum, int ColNum) {
  DoActiveCellMoving(command, RowNum, ColNum);
  if (RowNum == activeRow_ && ColNum == activeCol_) return;
  tbSetActiveCellWithSel(RowNum, ColNum);
}

void TVxCustomTable::MoveActiveCell(std::uint16_t Command) {
  if (Has(otoNoSelection)) extendSelection_ = false;
  switch (Command) {
    case ccUp:
      tbMoveTo(Command, IncRow(activeRow_, -1), activeCol_);
      break;
    case ccLeft:
      tbMoveTo(Command, activeRow_, IncCol(activeCol_, -1));
      break;
    case ccDown:
      tbMoveDown(Command);
      break;
    case ccRight:
      tbMoveRight(Command);
      break;
    case ccHome:
      tbMoveTo(Command, activeRow_, IncCol(LockedCols(), 0));
      break;
    case ccEnd:
      tbMoveTo(Command, activeRow_, IncCol(ColCount() - 1, 0));
      break;
    case ccTopLeftCell:
      tbMoveTo(Command, IncRow(LockedRows(), 0), IncCol(LockedCols(), 0));
      break;
    case ccBotRightCell:
      tbMoveTo(Command, IncRow(RowLimit() - 1, 0), IncCol(ColCount() - 1, 0));
      break;
    case ccLastPage:
      tbMoveTo(Command, IncRow(RowLimit() - 1, 0), activeCol_);
      break;
    case ccFirstPage: {
      int row = IncRow(LockedRows(), 0);
      int col = activeCol_;
      DoActiveCellMoving(Command, row, col);
      if (row != activeRow_) tbSetActiveCellWithSel(row, col);
      break;
    }
    case ccTopOfPage:
      tbMoveTo(Command, IncRow(TopRow(), 0), activeCol_);
      break;
    case ccBotOfPage: {
      const TVxTableAxis& rows = layout_.RowAxis();
      const int count = rows.DisplayCount();
      if (count == 0) break;
      int row = rows.LastDisplayed();
      if (rows.EndAt(count - 1) > rows.ClientExtent) {
        row = count >= 2 ? rows.NumberAt(count - 2) : row;
        if (row < LockedRows()) row = TopRow();
      }
      tbMoveTo(Command, IncRow(row, 0), activeCol_);
      break;
    }
    case ccNextPage:
      tbPageDown(Command, false);
      break;
    case ccPageRight:
      tbPageDown(Command, true);
      break;
    case ccPrevPage:
      tbPageUp(Command, false);
      break;
    case ccPageLeft:
      tbPageUp(Command, true);
      break;
    default:
      break;
  }
}

void TVxCustomTable::tbMoveDown(std::uint16_t command) {
  const TVxTableAxis& rows = layout_.RowAxis();
  const int target = IncRow(activeRow_, +1);
  if (rows.DisplayCount() > 0 && rows.Extent() == rows.ClientExtent && activeRow_ == rows.LastDisplayed() &&
      target > activeRow_) {
    // Rows end exactly at the edge: one row up makes room for the next.
    const int newTop = IncRow(TopRow(), +1);
    if (newTop < target) {
      TableRedrawLock lock(*this);
      int row = target, col = activeCol_;
      DoActiveCellMoving(command, row, col);
      if (row == activeRow_ && col == activeCol_) return;
      SetTopRow(newTop);
      tbSetActiveCellWithSel(row, col);
      return;
    }
  }
  tbMoveTo(command, target, activeCol_);
}

void TVxCustomTable::tbMoveRight(std::uint16_t command) {
  const TVxTableAxis& cols = layout_.ColAxis();
  const int target = IncCol(activeCol_, +1);
  if (cols.DisplayCount() > 0 && cols.Extent() == cols.ClientExtent && activeCol_ == cols.LastDisplayed() &&
      target > activeCol_) {
    const int newLeft = IncCol(LeftCol(), +1);
    if (newLeft < target) {
      TableRedrawLock lock(*this);
      int row = activeRow_, col = target;
      DoActiveCellMoving(command, row, col);
      if (row == activeRow_ && col == activeCol_) return;
      SetLeftCol(newLeft);
      tbSetActiveCellWithSel(row, col);
      return;
    }
  }
  tbMoveTo(command, activeRow_, target);
}

void TVxCustomTable::tbPageDown(std::uint16_t command, bool columns) {
  const TVxTableAxis& axis = columns ? layout_.ColAxis() : layout_.RowAxis();
  const int active = columns ? activeCol_ : activeRow_;
  const int noted = axis.FindInx(active);
  const int last = axis.LastDisplayed();
  const int newFirst = last == active ? axis.Inc(last, +1) : last;
  TableRedrawLock lock(*this);
  if (columns)
    SetLeftCol(newFirst);
  else
    SetTopRow(newFirst);
  int target;
  if (noted < 0)
    target = axis.First;
  else if (noted >= axis.DisplayCount())
    target = axis.LastDisplayed();
  else
    target = axis.NumberAt(noted);
  target = axis.Inc(target, 0);
  int row = columns ? activeRow_ : target;
  int col = columns ? target : activeCol_;
  tbMoveTo(command, row, col);
}

void TVxCustomTable::tbPageUp(std::uint16_t command, bool columns) {
  const TVxTableAxis& axis = columns ? layout_.ColAxis() : layout_.RowAxis();
  const int active = columns ? activeCol_ : activeRow_;
  if (axis.First == active && axis.Inc(axis.First, -1) == axis.First) return;
  const int noted = axis.FindInx(active);
  const int oldFirst = axis.First;
  TableRedrawLock lock(*this);
  if (columns)
    SetLeftCol(axis.PageBackFirst());
  else
    SetTopRow(axis.PageBackFirst());
  int target;
  if (axis.First == oldFirst || noted < 0)
    target = axis.Inc(axis.First, 0);
  else if (noted >= axis.DisplayCount())
    target = axis.LastDisplayed();
  else
    target = axis.NumberAt(noted);
  int row = columns ? activeRow_ : target;
  int col = columns ? target : activeCol_;
  tbMoveTo(command, row, col);
}

void TVxCustomTable::tbSetActiveCellWithSel(int RowNum, int ColNum) {
  if (extendSelection_)
    tbUpdateSelection(RowNum, ColNum, tstDeselectAll);
  else
    tbSetAnchorCell(RowNum, ColNum, tstDeselectAll);
  tbSetActiveCellPrim(RowNum, ColNum);
}

void TVxCustomTable::tbSetActiveCellPrim(int RowNum, int ColNum) {
  RowNum = IncRow(RowNum, 0);
  ColNum = IncCol(ColNum, 0);
  if (RowNum == activeRow_ && ColNum == activeCol_) return;
  if (!HandleAllocated() || layout_.RowAxis().DisplayCount() == 0 || layout_.ColAxis().DisplayCount() == 0) {
    activeRow_ = RowNum;
    activeCol_ = ColNum;
    return;
  }
  {
    TableRedrawLock lock(*this);
    TVxCellArray scratch;
    const int oldRow = activeRow_;
    const int oldCol = activeCol_;
    // The headings of the old row and column are drawn now, before any scrolling moves their pixels.
    const auto headings = [&](bool rowHeadings, int number, TVxCellArray& into) {
      TVxCellArray saved = invalid_;
      invalid_.Clear();
      if (rowHeadings)
        InvalidateRowHeading(number);
      else
        InvalidateColumnHeading(number);
      into.Merge(invalid_);
      invalid_ = saved;
    };
    if (RowNum != oldRow) {
      headings(true, oldRow, scratch);
      InvalidateRowHeading(RowNum);
      DoLeavingRow(oldRow);
    }
    if (ColNum != oldCol) {
      headings(false, oldCol, scratch);
      InvalidateColumnHeading(ColNum);
      DoLeavingColumn(oldCol);
    }
    invalid_.DeleteCell(oldRow, oldCol);
    if (tbFindRowInx(oldRow) >= 0 && tbFindColInx(oldCol) >= 0) scratch.AddCell(oldRow, oldCol);
    activeRow_ = RowNum;
    activeCol_ = ColNum;
    RequestDrawing(scratch);
    tbEnsureRowIsVisible(RowNum);
    tbEnsureColumnIsVisible(ColNum);
    if (!Designing() && Has(otoAlwaysEditing))
      PostStartEdit();
    else
      InvalidateCell(RowNum, ColNum);
  }
  tbSetScrollPos(otsbHorizontal);
  tbSetScrollPos(otsbVertical);
  DoActiveCellChanged(RowNum, ColNum);
}

}  // namespace controls
