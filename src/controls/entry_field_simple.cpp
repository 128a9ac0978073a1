#include "controls/entry_field_simple.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "controls/command_table.h"
#include "controls/controller.h"
#include "controls/exceptions.h"
#include "tk/filer.h"

namespace controls {

namespace {

char DefaultMaskChar(TVxFieldSubtype subtype) {
  switch (subtype) {
    case fsubBoolean:
      return 'B';
    case fsubYesNo:
      return 'Y';
    case fsubLongInt:
    case fsubInteger:
    case fsubShortInt:
    case fsubComp:
      return 'i';
    case fsubWord:
    case fsubByte:
      return '9';
    case fsubReal:
    case fsubExtended:
    case fsubDouble:
    case fsubSingle:
      return '#';
    default:
      return 'X';
  }
}

bool IsWordChar(char c) { return c != ' ' && c != '\t'; }

const bool kRegistered =
    (tk::RegisterClass("TVxSimpleField", [](tk::Component* owner) { return new TVxSimpleField(owner); }), true);

}  // namespace

TVxCustomSimpleField::TVxCustomSimpleField(tk::Component* owner, QWidget* parent) : TVxBaseEntryField(owner, parent) {
  SetFieldType(fcSimple, fsubString);
}

void TVxCustomSimpleField::SetDataType(TVxFieldSubtype subtype) {
  if (subtype > fsubTime || subtype == DataTypeSubtype()) return;
  SetFieldType(fcSimple, subtype);
  if (!Loading()) SetPictureMaskText(std::string(1, DefaultMaskChar(subtype)));
  if (OneCharType()) SetMaxLength(1);
  if (HandleAllocated() && !Loading()) {
    RecreateWnd();
    efSetInitialValue();
  }
}

void TVxCustomSimpleField::SetPictureMaskChar(char mask) {
  if (!SimplePictureChars().test(static_cast<unsigned char>(mask))) throw EInvalidPictureMask(std::string(1, mask));
  efChangeMask(std::string(1, mask));
}

bool TVxCustomSimpleField::OneCharType() const {
  const std::uint8_t subtype = SubtypeOf(DataType());
  return subtype == fsubChar || subtype == fsubBoolean || subtype == fsubYesNo;
}

bool TVxCustomSimpleField::DeleteSelection() {
  if (GetSelEnd() <= GetSelStart()) return false;
  std::string text = GetEditString();
  const int start = GetSelStart();
  text.erase(static_cast<std::size_t>(start), static_cast<std::size_t>(GetSelLength()));
  SetEditText(text);
  SetCaretPosRaw(start);
  SetSelectionRaw(start, start);
  return true;
}

bool TVxCustomSimpleField::TypeChar(char c, bool insert) {
  const char mask = efNthMaskChar(0);
  const std::string& text = GetEditString();
  const int pos = std::min(CurrentPos(), static_cast<int>(text.size()));
  const char prev = pos > 0 ? text[static_cast<std::size_t>(pos - 1)] : ' ';
  if (!efCharOK(mask, c, prev, true)) return false;
  if (OneCharType()) {
    SetEditText(std::string(1, c));
    SetSelectionRaw(0, 0);
    SetCaretPosRaw(0);
    return true;
  }
  const bool hadSelection = DeleteSelection();
  std::string t = GetEditString();
  const int at = std::min(CurrentPos(), static_cast<int>(t.size()));
  if (insert || hadSelection || at >= static_cast<int>(t.size())) {
    if (static_cast<int>(t.size()) >= MaxLength()) return hadSelection;
    t.insert(static_cast<std::size_t>(at), 1, c);
  } else {
    t[static_cast<std::size_t>(at)] = c;
  }
  SetEditText(t);
  SetCaretPosRaw(at + 1);
  SetSelectionRaw(at + 1, at + 1);
  return true;
}

int TVxCustomSimpleField::WordLeft(int pos) const {
  const std::string& t = GetEditString();
  while (pos > 0 && !IsWordChar(t[static_cast<std::size_t>(pos - 1)])) --pos;
  while (pos > 0 && IsWordChar(t[static_cast<std::size_t>(pos - 1)])) --pos;
  return pos;
}

int TVxCustomSimpleField::WordRight(int pos) const {
  const std::string& t = GetEditString();
  const int n = static_cast<int>(t.size());
  while (pos < n && IsWordChar(t[static_cast<std::size_t>(pos)])) ++pos;
  while (pos < n && !IsWordChar(t[static_cast<std::size_t>(pos)])) ++pos;
  return pos;
}

void TVxCustomSimpleField::efEdit(tk::Message& message, std::uint16_t command) {
  bool modified = false;
  const int n = static_cast<int>(GetEditString().size());
  const int pos = std::min(CurrentPos(), n);
  const TVxBaseEFOptions shared = Controller() ? Controller()->EntryOptions() : 0;
  const auto x = static_cast<std::int16_t>(message.LParam & 0xFFFF);
  switch (command) {
    case ccTypedChar: {
      const char c = static_cast<char>(message.WParam & 0xFF);
      SetStateFlag(sefLiteral, false);
      modified = TypeChar(c, HasState(sefInsert));
      if (!modified) efConditionalBeep();
      if (modified && (shared & efoAutoAdvanceChar) && CurrentPos() >= MaxLength()) efMoveFocusToNextField();
      break;
    }
    case ccCtrlChar:
      SetStateFlag(sefLiteral, true);
      break;
    case ccBack:
      if (DeleteSelection()) {
        modified = true;
      } else if (pos > 0) {
        std::string t = GetEditString();
        t.erase(static_cast<std::size_t>(pos - 1), 1);
        SetEditText(t);
        efMoveCaretTo(pos - 1, false);
        modified = true;
      }
      break;
    case ccDel:
      if (DeleteSelection()) {
        modified = true;
      } else if (pos < n) {
        std::string t = GetEditString();
        t.erase(static_cast<std::size_t>(pos), 1);
        SetEditText(t);
        efMoveCaretTo(pos, false);
        modified = true;
      }
      break;
    case ccCut:
      modified = DeleteSelection();
      break;
    case ccCopy:
      efCopyPrim();
      break;
    case ccDelBol:
      modified = pos > 0;
      SetEditText(GetEditString().substr(static_cast<std::size_t>(pos)));
      efMoveCaretTo(0, false);
      break;
    case ccDelEol:
      modified = pos < n;
      SetEditText(GetEditString().substr(0, static_cast<std::size_t>(pos)));
      efMoveCaretTo(pos, false);
      break;
    case ccDelLine:
      modified = n > 0;
      SetEditText("");
      efMoveCaretTo(0, false);
      break;
    case ccDelWord: {
      const int end = WordRight(pos);
      modified = end > pos;
      std::string t = GetEditString();
      t.erase(static_cast<std::size_t>(pos), static_cast<std::size_t>(end - pos));
      SetEditText(t);
      efMoveCaretTo(pos, false);
      break;
    }
    case ccLeft:
      if (pos == 0 && (shared & efoAutoAdvanceLeftRight))
        efMoveFocusToPrevField();
      else
        efMoveCaretTo(pos - 1, false);
      break;
    case ccRight:
      if (pos >= n && (shared & efoAutoAdvanceLeftRight))
        efMoveFocusToNextField();
      else
        efMoveCaretTo(pos + 1, false);
      break;
    case ccHome:
      efMoveCaretTo(0, false);
      break;
    case ccEnd:
      efMoveCaretTo(n, false);
      break;
    case ccWordLeft:
      efMoveCaretTo(WordLeft(pos), false);
      break;
    case ccWordRight:
      efMoveCaretTo(WordRight(pos), false);
      break;
    case ccExtendLeft:
      efMoveCaretTo(pos - 1, true);
      break;
    case ccExtendRight:
      efMoveCaretTo(pos + 1, true);
      break;
    case ccExtendHome:
      efMoveCaretTo(0, true);
      break;
    case ccExtendEnd:
      efMoveCaretTo(n, true);
      break;
    case ccExtWordLeft:
      efMoveCaretTo(WordLeft(pos), true);
      break;
    case ccExtWordRight:
      efMoveCaretTo(WordRight(pos), true);
      break;
    case ccUp:
    case ccDown:
    case ccInc:
    case ccDec:
      if (efStepCommand(command, shared)) return;
      break;
    case ccIns:
      SetInsertMode(!InsertMode());
      break;
    case ccPaste: {
      const char* pasted = reinterpret_cast<const char*>(message.LParam);
      if (!pasted) break;
      modified = DeleteSelection();
      bool refused = false;
      for (const char* p = pasted; *p; ++p) {
        // A pasted line break ends the text: the field holds one line.
        if (*p == '\r' || *p == '\n') break;
        if (TypeChar(*p, true))
          modified = true;
        else
          refused = true;
      }
      if (refused) efConditionalBeep();
      break;
    }
    case ccRestore:
      Restore();
      return;
    case ccTab:
      efMoveFocusToNextField();
      break;
    case ccMouse:
      efMoveCaretTo(efGetMousePos(x), message.WParam & tk::ssShift);
      break;
    case ccMouseMove:
      efMoveCaretTo(efGetMousePos(x), true);
      break;
    case ccDblClk: {
      const std::string& t = GetEditString();
      const int start = WordLeft(std::min(pos + 1, n));
      int end = start;
      while (end < n && IsWordChar(t[static_cast<std::size_t>(end)])) ++end;
      SetSelectionRaw(start, end);
      SetCaretPosRaw(end);
      break;
    }
    default:
      break;
  }
  efPositionCaret(true);
  efPerformRepaint(modified);
}

std::uint16_t TVxCustomSimpleField::efValidateField() {
  std::uint16_t code = 0;
  if (SubtypeOf(DataType()) != fsubString) {
    const TVxValueFormat format = ValueFormat();
    TVxScalar value;
    code = TextToValue(format, GetEditString(), value);
    if (code == 0) code = CheckRange(format, value, RangeLo(), RangeHi());
  }
  if (code == 0) DoOnUserValidation(code);
  return code;
}

std::uint16_t TVxCustomSimpleField::efTransfer(void* data, std::uint8_t direction) {
  if (data && !Designing()) {
    const TVxValueFormat format = ValueFormat();
    const bool string = SubtypeOf(DataType()) == fsubString;
    if (direction == otGet) {
      if (string) {
        std::string text = GetEditString();
        if (Options() & efoTrimBlanks) text = TrimRight(TrimLeft(text));
        text.resize(std::min<std::size_t>(text.size(), MaxLength()));
        std::memcpy(data, text.c_str(), text.size() + 1);
      } else {
        TVxScalar value;
        TextToValue(format, GetEditString(), value);
        ScalarToBuffer(DataType(), value, data);
      }
    } else if (direction == otSet) {
      if (string) {
        const char* text = static_cast<const char*>(data);
        SetEditText(std::string(text, strnlen(text, MaxLength())));
      } else {
        SetEditText(ValueToText(format, BufferToScalar(DataType(), data)));
      }
    }
  }
  return TVxBaseEntryField::efTransfer(data, direction);
}

void TVxCustomSimpleField::efIncDecValue(bool wrap, double delta) {
  if (SubtypeOf(DataType()) == fsubString) return;
  const TVxValueFormat format = ValueFormat();
  TVxScalar value;
  if (TextToValue(format, GetEditString(), value) != 0) value = InitialValue(DataType(), RangeLo(), RangeHi());
  value = StepValue(format, value, delta, wrap, RangeLo(), RangeHi());
  SetEditText(ValueToText(format, value));
  efResetCaret();
  efPerformRepaint(true);
}

void TVxCustomSimpleField::GetProperties(tk::PropertyList& list) const {
  TVxBaseEntryField::GetProperties(list);
  using F = TVxCustomSimpleField;
  static const char* const kTypes[] = {"sftString",  "sftChar", "sftBoolean",  "sftYesNo", "sftLongInt",  "sftWord",
                                       "sftInteger", "sftByte", "sftShortInt", "sftReal",  "sftExtended", "sftDouble",
                                       "sftSingle",  "sftComp", "sftDate",     "sftTime"};
  // The type first: reading it back resets the mask and range the later properties set.
  auto at = std::find_if(list.begin(), list.end(), [](const tk::PropertyInfo& p) { return p.Name == "AutoSize"; });
  list.insert(at, tk::MakeEnumProperty<F>("DataType", &F::DataTypeSubtype, &F::SetDataType, kTypes, 0));
  list.push_back(
      tk::MakeProperty<F>("PictureMask", &F::PictureMaskChar, &F::SetPictureMaskChar, tk::Value(std::int64_t{'X'})));
}

}  // namespace controls
