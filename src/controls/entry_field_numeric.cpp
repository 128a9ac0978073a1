#include "controls/entry_field_numeric.h"

#include <algorithm>
#include <cstring>
#include <iomanip>
#include <locale>
#include <sstream>

#include "controls/command_table.h"
#include "controls/controller.h"
#include "controls/intl_support.h"
#include "tk/filer.h"

namespace controls {

namespace {

std::string DefaultMask(TVxFieldSubtype subtype) {
  switch (subtype) {
    case fsubWord:
      return "99999";
    case fsubInteger:
      return "iiiiii";
    case fsubByte:
      return "999";
    case fsubShortInt:
      return "iiii";
    case fsubReal:
    case fsubExtended:
    case fsubDouble:
    case fsubSingle:
      return "#########.##";
    case fsubComp:
      return std::string(19, 'i');
    default:
      return std::string(11, 'i');
  }
}

const bool kRegistered =
    (tk::RegisterClass("TVxNumericField", [](tk::Component* owner) { return new TVxNumericField(owner); }), true);

}  // namespace

TVxCustomNumericField::TVxCustomNumericField(tk::Component* owner, QWidget* parent) : TVxBaseEntryField(owner, parent) {
  SetFieldType(fcNumeric, fsubLongInt);
  SetPictureMaskText(DefaultMask(fsubLongInt));
  SetMaxLengthRaw(static_cast<std::uint16_t>(PictureMask().size()));
}

void TVxCustomNumericField::SetDataType(TVxFieldSubtype subtype) {
  if (!IsNumericSubtype(subtype) || subtype == DataTypeSubtype()) return;
  SetFieldType(fcNumeric, subtype);
  if (Loading()) return;
  SetPictureMaskText(DefaultMask(subtype));
  SetMaxLengthRaw(static_cast<std::uint16_t>(PictureMask().size()));
  if (HandleAllocated()) {
    RecreateWnd();
    efSetInitialValue();
  }
}

void TVxCustomNumericField::SetPictureMask(const std::string& mask) {
  if (mask.empty()) return;
  if (Loading()) {
    SetPictureMaskText(mask);
    SetMaxLengthRaw(static_cast<std::uint16_t>(PictureMask().size()));
    return;
  }
  efChangeMask(mask);
  SetMaxLengthRaw(static_cast<std::uint16_t>(PictureMask().size()));
  Invalidate();
}

int TVxCustomNumericField::AllowedDecimals() const {
  if (!IsFloatSubtype(SubtypeOf(DataType())) || SubtypeOf(DataType()) == fsubComp) return 0;
  return FloatDecimals(ValueFormat());
}

std::string TVxCustomNumericField::NumberText(const TVxScalar& value) const {
  const TVxValueFormat format = ValueFormat();
  if (!IsFloatSubtype(format.Subtype())) return ValueToText(format, value);
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out << std::fixed << std::setprecision(AllowedDecimals()) << value.AsExtended();
  std::string text = out.str();
  std::replace(text.begin(), text.end(), '.', IntlSupport().DecimalChar);
  return text;
}

bool TVxCustomNumericField::TypeChar(char c) {
  std::string text = GetEditString();
  const bool replace = GetSelEnd() > GetSelStart();
  if (replace) text.clear();
  const char decimal = IntlSupport().DecimalChar;
  const std::size_t point = text.find(decimal);
  const std::uint8_t subtype = SubtypeOf(DataType());
  if (c == '-') {
    if (subtype == fsubWord || subtype == fsubByte) return false;
    text = !text.empty() && text[0] == '-' ? text.substr(1) : "-" + text;
  } else if (c == decimal || c == '.') {
    if (point != std::string::npos || AllowedDecimals() == 0) return false;
    if (text.empty() || text == "-") text += '0';
    text += decimal;
  } else {
    char typed = c;
    const std::string& mask = PictureMask();
    const auto digitMask = std::find_if(mask.begin(), mask.end(), [](char m) { return IsPictureChar(m); });
    if (!efCharOK(digitMask == mask.end() ? '9' : *digitMask, typed, ' ', true) || typed == ' ' || typed == '-' ||
        typed == '.')
      return false;
    if (point != std::string::npos && static_cast<int>(text.size() - point - 1) >= AllowedDecimals()) return false;
    if (text == "0") text.clear();
    if (text == "-0") text = "-";
    text += typed;
  }
  if (static_cast<int>(text.size()) > MaxLength()) return false;
  SetEditText(text);
  SetSelectionRaw(0, 0);
  SetCaretPosRaw(static_cast<int>(text.size()));
  return true;
}

void TVxCustomNumericField::efEdit(tk::Message& message, std::uint16_t command) {
  bool modified = false;
  const TVxBaseEFOptions shared = Controller() ? Controller()->EntryOptions() : 0;
  auto clear = [&] {
    modified = !GetEditString().empty();
    SetEditText("");
    SetSelectionRaw(0, 0);
    SetCaretPosRaw(0);
  };
  switch (command) {
    case ccTypedChar:
      modified = TypeChar(static_cast<char>(message.WParam & 0xFF));
      if (!modified) efConditionalBeep();
      break;
    case ccBack:
      if (GetSelEnd() > GetSelStart()) {
        clear();
      } else if (!GetEditString().empty()) {
        std::string text = GetEditString();
        text.pop_back();
        if (text == "-") text.clear();
        SetEditText(text);
        SetCaretPosRaw(static_cast<int>(text.size()));
        modified = true;
      }
      break;
    case ccDel:
    case ccDelLine:
    case ccDelBol:
    case ccDelEol:
    case ccDelWord:
    case ccCut:
      clear();
      break;
    case ccCopy:
      efCopyPrim();
      break;
    case ccLeft:
    case ccRight:
      if (shared & efoAutoAdvanceLeftRight) {
        if (command == ccLeft)
          efMoveFocusToPrevField();
        else
          efMoveFocusToNextField();
      }
      SetSelectionRaw(0, 0);
      break;
    case ccHome:
    case ccEnd:
    case ccWordLeft:
    case ccWordRight:
    case ccMouse:
      SetSelectionRaw(0, 0);
      break;
    case ccExtendLeft:
    case ccExtendRight:
    case ccExtendHome:
    case ccExtendEnd:
    case ccExtWordLeft:
    case ccExtWordRight:
    case ccMouseMove:
    case ccDblClk:
      SetSelection(0, 1);  // any selection is the whole number
      break;
    case ccUp:
    case ccDown:
    case ccInc:
    case ccDec:
      if (efStepCommand(command, shared)) return;
      break;
    case ccPaste: {
      const char* pasted = reinterpret_cast<const char*>(message.LParam);
      if (!pasted) break;
      if (GetSelEnd() > GetSelStart()) clear();  // a pasted number replaces the selected one
      bool refused = false;
      for (const char* p = pasted; *p && *p != '\r' && *p != '\n'; ++p) {
        if (*p == ' ' || *p == IntlSupport().CommaChar) continue;  // grouping typed with the number
        if (TypeChar(*p))
          modified = true;
        else
          refused = true;
      }
      if (refused) efConditionalBeep();
      break;
    }
    case ccIns:
      SetInsertMode(!InsertMode());
      break;
    case ccRestore:
      Restore();
      return;
    case ccTab:
      efMoveFocusToNextField();
      break;
    default:
      break;
  }
  efPositionCaret(true);
  efPerformRepaint(modified);
}

std::uint16_t TVxCustomNumericField::efValidateField() {
  const TVxValueFormat format = ValueFormat();
  TVxScalar value;
  std::uint16_t code = TextToValue(format, GetEditString(), value);
  if (code == 0) code = CheckRange(format, value, RangeLo(), RangeHi());
  if (code == 0) DoOnUserValidation(code);
  return code;
}

std::uint16_t TVxCustomNumericField::efTransfer(void* data, std::uint8_t direction) {
  if (data && !Designing()) {
    if (direction == otGet) {
      TVxScalar value;
      TextToValue(ValueFormat(), GetEditString(), value);
      ScalarToBuffer(DataType(), value, data);
    } else if (direction == otSet) {
      SetEditText(NumberText(BufferToScalar(DataType(), data)));
    }
  }
  return TVxBaseEntryField::efTransfer(data, direction);
}

void TVxCustomNumericField::efIncDecValue(bool wrap, double delta) {
  const TVxValueFormat format = ValueFormat();
  TVxScalar value;
  if (TextToValue(format, GetEditString(), value) != 0) value = InitialValue(DataType(), RangeLo(), RangeHi());
  SetEditText(NumberText(StepValue(format, value, delta, wrap, RangeLo(), RangeHi())));
  efCaretToEnd();
  efPerformRepaint(true);
}

void TVxCustomNumericField::GetProperties(tk::PropertyList& list) const {
  TVxBaseEntryField::GetProperties(list);
  using F = TVxCustomNumericField;
  static const char* const kTypes[] = {"",
                                       "",
                                       "",
                                       "",
                                       "nftLongInt",
                                       "nftWord",
                                       "nftInteger",
                                       "nftByte",
                                       "nftShortInt",
                                       "nftReal",
                                       "nftExtended",
                                       "nftDouble",
                                       "nftSingle",
                                       "nftComp"};
  auto at = std::find_if(list.begin(), list.end(), [](const tk::PropertyInfo& p) { return p.Name == "AutoSize"; });
  at = list.insert(at, tk::MakeEnumProperty<F>("DataType", &F::DataTypeSubtype, &F::SetDataType, kTypes, 4));
  list.insert(at + 1, tk::MakeProperty<F>("PictureMask", &F::PictureMask, &F::SetPictureMask));
}

}  // namespace controls
