#include "controls/entry_field_picture.h"

#include <algorithm>
#include <cstring>
#include <iomanip>
#include <locale>
#include <sstream>
#include <vector>

#include "controls/command_table.h"
#include "controls/controller.h"
#include "controls/exceptions.h"
#include "controls/intl_support.h"
#include "tk/filer.h"

namespace controls {

namespace {

std::string DefaultMask(TVxFieldSubtype subtype) {
  switch (subtype) {
    case fsubChar:
      return "X";
    case fsubBoolean:
      return "B";
    case fsubYesNo:
      return "Y";
    case fsubLongInt:
      return std::string(11, 'i');
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
      return "iiiiiiiii.99";
    case fsubComp:
      return std::string(19, 'i');
    default:
      return std::string(15, 'X');
  }
}

std::string FixedText(long double value, int decimals) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out << std::fixed << std::setprecision(decimals) << value;
  return out.str();
}

const bool kRegistered =
    (tk::RegisterClass("TVxPictureField", [](tk::Component* owner) { return new TVxPictureField(owner); }), true);

}  // namespace

TVxCustomPictureField::TVxCustomPictureField(tk::Component* owner, QWidget* parent) : TVxBaseEntryField(owner, parent) {
  SetFieldType(fcPicture, fsubString);
  SetPictureMaskText(DefaultMask(fsubString));
  SetMaxLengthRaw(static_cast<std::uint16_t>(PictureMask().size()));
}

void TVxCustomPictureField::SetDataType(TVxFieldSubtype subtype) {
  if (subtype > fsubTime || subtype == DataTypeSubtype()) return;
  SetFieldType(fcPicture, subtype);
  if (Loading()) return;
  std::string mask = DefaultMask(subtype);
  if (subtype == fsubDate) mask = IntlSupport().InternationalDate(true);
  if (subtype == fsubTime) mask = IntlSupport().InternationalTime(false);
  SetPictureMaskText(mask);
  SetMaxLengthRaw(static_cast<std::uint16_t>(mask.size()));
  SetEditText(BlankText());
  if (HandleAllocated()) {
    RecreateWnd();
    efSetInitialValue();
  }
}

void TVxCustomPictureField::SetPictureMask(const std::string& mask) {
  if (mask.empty()) return;
  if (Loading()) {
    SetPictureMaskText(mask);
    SetMaxLengthRaw(static_cast<std::uint16_t>(PictureMask().size()));
    return;
  }
  std::vector<std::uint8_t> value(512, 0);
  const bool hadText = !GetEditString().empty();
  if (hadText) efTransfer(value.data(), otGet);
  SetPictureMaskText(mask);
  SetMaxLengthRaw(static_cast<std::uint16_t>(PictureMask().size()));
  SetEditText(BlankText());
  if (hadText) efTransfer(value.data(), otSet);
  Invalidate();
}

void TVxCustomPictureField::CreateWnd() {
  TVxBaseEntryField::CreateWnd();
  if (GetEditString().size() != MaxLength()) {
    std::string text = BlankText();
    const std::string& old = GetEditString();
    for (std::size_t i = 0; i < text.size() && i < old.size(); ++i)
      if (IsEditPos(static_cast<int>(i))) text[i] = old[i];
    SetEditText(text);
  }
}

bool TVxCustomPictureField::IsEditPos(int pos) const {
  return pos >= 0 && pos < MaxLength() && IsPictureChar(efNthMaskChar(pos));
}

bool TVxCustomPictureField::efIsLiteralPos(int pos) const { return !IsEditPos(pos); }

int TVxCustomPictureField::NextEditPos(int pos) const {
  const int n = MaxLength();
  while (pos < n && !IsEditPos(pos)) ++pos;
  return std::min(pos, n);
}

int TVxCustomPictureField::PrevEditPos(int pos) const {
  --pos;
  while (pos >= 0 && !IsEditPos(pos)) --pos;
  return pos;
}

int TVxCustomPictureField::SegmentEnd(int pos) const {
  while (pos < MaxLength() && IsEditPos(pos)) ++pos;
  return pos;
}

int TVxCustomPictureField::efEditBegin() const { return NextEditPos(0); }

TVxValueFormat TVxCustomPictureField::PictureFormat() const {
  TVxValueFormat f = ValueFormat();
  f.DatePicture = PictureMask();
  f.TimePicture = PictureMask();
  return f;
}

std::string TVxCustomPictureField::BlankText() const {
  const TVxIntlSup& intl = IntlSupport();
  const std::uint8_t subtype = SubtypeOf(DataType());
  if (subtype == fsubDate) return intl.DateToDateString(PictureMask(), BadDate, false);
  if (subtype == fsubTime) return intl.TimeToTimeString(PictureMask(), BadTime, false);
  const bool numeric = IsNumericSubtype(subtype);
  std::string text(MaxLength(), ' ');
  for (int i = 0; i < MaxLength(); ++i) {
    const char m = efNthMaskChar(i);
    if (IsPictureChar(m) || (numeric && IsSemiLiteral(m)))
      text[static_cast<std::size_t>(i)] = ' ';
    else if (m == '.' && numeric)
      text[static_cast<std::size_t>(i)] = intl.DecimalChar;
    else
      text[static_cast<std::size_t>(i)] = m;
  }
  return text;
}

std::string TVxCustomPictureField::GetStrippedEditString() const {
  std::string out;
  const std::string& text = GetEditString();
  for (int i = 0; i < static_cast<int>(text.size()); ++i)
    if (IsDataPosition(efNthMaskChar(i))) out += text[static_cast<std::size_t>(i)];
  return out;
}

bool TVxCustomPictureField::efFieldIsEmpty() const {
  const std::string& text = GetEditString();
  for (int i = 0; i < static_cast<int>(text.size()); ++i)
    if (IsEditPos(i) && text[static_cast<std::size_t>(i)] != ' ') return false;
  return true;
}

void TVxCustomPictureField::MergeWithPicture(const std::string& text) {
  std::string merged = GetEditString().size() == MaxLength() ? GetEditString() : BlankText();
  for (int i = 0; i < MaxLength() && i < static_cast<int>(text.size()); ++i)
    if (IsEditPos(i)) merged[static_cast<std::size_t>(i)] = text[static_cast<std::size_t>(i)];
  SetEditText(merged);
}

std::string TVxCustomPictureField::NumberText() const {
  const std::string& text = GetEditString();
  const char decimal = IntlSupport().DecimalChar;
  std::string out;
  for (int i = 0; i < static_cast<int>(text.size()); ++i) {
    const char m = efNthMaskChar(i);
    const char c = text[static_cast<std::size_t>(i)];
    if (IsPictureChar(m)) {
      if (c != ' ') out += c;
    } else if (m == '.') {
      out += decimal;
    }
  }
  return out;
}

std::uint16_t TVxCustomPictureField::ReadValue(TVxScalar& value) const {
  const TVxValueFormat format = PictureFormat();
  const std::uint8_t subtype = SubtypeOf(DataType());
  if (subtype == fsubDate || subtype == fsubTime) return TextToValue(format, GetEditString(), value);
  if (IsNumericSubtype(subtype)) return TextToValue(format, NumberText(), value);
  const int first = efEditBegin();
  const std::string& text = GetEditString();
  const std::string c = first < static_cast<int>(text.size()) ? text.substr(static_cast<std::size_t>(first), 1) : "";
  return TextToValue(format, c, value);
}

std::string TVxCustomPictureField::ValueText(const TVxScalar& value) const {
  const TVxValueFormat format = PictureFormat();
  const std::uint8_t subtype = SubtypeOf(DataType());
  if (subtype == fsubDate || subtype == fsubTime) return ValueToText(format, value);
  std::string text = BlankText();
  const int n = static_cast<int>(text.size());
  if (!IsNumericSubtype(subtype)) {
    const int first = efEditBegin();
    if (first < n) text[static_cast<std::size_t>(first)] = ValueToText(format, value)[0];
    return text;
  }
  // A number: the integer digits right-aligned before the mask's point, the decimals after it.
  const std::size_t point = PictureMask().find('.');
  std::string whole, fraction;
  if (IsIntegerSubtype(subtype)) {
    whole = Long2Str(value.AsLong(), format.Radix, GetDataSizeConst());
  } else if (point != std::string::npos) {
    int decimals = 0;
    for (int i = static_cast<int>(point) + 1; i < n && IsEditPos(i); ++i) ++decimals;
    const std::string fixed = FixedText(value.AsExtended(), decimals);
    const std::size_t dot = fixed.find('.');
    whole = fixed.substr(0, dot);
    if (dot != std::string::npos) fraction = fixed.substr(dot + 1);
  } else {
    whole = FloatToText(format, value.AsExtended());
  }
  const int end = point == std::string::npos ? n : static_cast<int>(point);
  int next = static_cast<int>(whole.size()) - 1;
  bool overflow = false;
  for (int i = end - 1; i >= 0; --i) {
    const char m = efNthMaskChar(i);
    char& c = text[static_cast<std::size_t>(i)];
    if (IsEditPos(i))
      c = next >= 0 ? whole[static_cast<std::size_t>(next--)] : ' ';
    else if (m == ',')
      c = next >= 0 && whole[static_cast<std::size_t>(next)] != '-' ? IntlSupport().CommaChar : ' ';
  }
  overflow = next >= 0;
  std::size_t f = 0;
  for (int i = end + 1; point != std::string::npos && i < n && IsEditPos(i); ++i)
    text[static_cast<std::size_t>(i)] = f < fraction.size() ? fraction[f++] : '0';
  if (overflow)  // too many digits for the picture: shown as such, and refused when read
    for (int i = 0; i < n; ++i)
      if (IsEditPos(i)) text[static_cast<std::size_t>(i)] = '*';
  return text;
}

std::uint16_t TVxCustomPictureField::efTransfer(void* data, std::uint8_t direction) {
  if (data && !Designing()) {
    const std::uint8_t subtype = SubtypeOf(DataType());
    const bool strip = Options() & efoStripLiterals;
    if (direction == otGet) {
      if (subtype == fsubString) {
        std::string text = strip ? GetStrippedEditString() : GetEditString();
        if (Options() & efoTrimBlanks) text = TrimRight(TrimLeft(text));
        const std::size_t room = std::max<std::size_t>(GetDataSizeConst(), 1) - 1;
        text.resize(std::min(text.size(), room));
        std::memcpy(data, text.c_str(), text.size() + 1);
      } else {
        TVxScalar value;
        ReadValue(value);
        ScalarToBuffer(DataType(), value, data);
      }
    } else if (direction == otSet) {
      if (subtype == fsubString) {
        const char* given = static_cast<const char*>(data);
        std::string value(given, strnlen(given, MaxEditLength));
        std::string text = BlankText();
        const int n = static_cast<int>(text.size());
        if (strip) {
          std::vector<int> places;
          for (int i = 0; i < n; ++i)
            if (IsDataPosition(efNthMaskChar(i))) places.push_back(i);
          if (Options() & efoRightJustify) value = TrimRight(TrimLeft(value));
          std::size_t skip = 0;
          if ((Options() & efoRightJustify) && value.size() < places.size()) skip = places.size() - value.size();
          for (std::size_t k = 0; k + skip < places.size() && k < value.size(); ++k)
            text[static_cast<std::size_t>(places[k + skip])] = value[k];
        } else {
          for (int i = 0; i < n && i < static_cast<int>(value.size()); ++i)
            if (IsDataPosition(efNthMaskChar(i)))
              text[static_cast<std::size_t>(i)] = value[static_cast<std::size_t>(i)];
        }
        SetEditText(text);
      } else {
        SetEditText(ValueText(BufferToScalar(DataType(), data)));
      }
    }
  }
  return TVxBaseEntryField::efTransfer(data, direction);
}

std::uint16_t TVxCustomPictureField::efValidateField() {
  std::uint16_t code = 0;
  if (SubtypeOf(DataType()) != fsubString) {
    TVxScalar value;
    code = ReadValue(value);
    if (code == 0) code = CheckRange(PictureFormat(), value, RangeLo(), RangeHi());
  }
  if (code == 0) DoOnUserValidation(code);
  return code;
}

void TVxCustomPictureField::efIncDecValue(bool wrap, double delta) {
  if (SubtypeOf(DataType()) == fsubString) return;
  TVxScalar value;
  if (ReadValue(value) != 0) value = InitialValue(DataType(), RangeLo(), RangeHi());
  value = StepValue(PictureFormat(), value, delta, wrap, RangeLo(), RangeHi());
  SetEditText(ValueText(value));
  efResetCaret();
  efPerformRepaint(true);
}

void TVxCustomPictureField::BlankRange(int from, int to) {
  std::string text = GetEditString();
  for (int i = std::max(0, from); i < to && i < static_cast<int>(text.size()); ++i)
    if (IsEditPos(i)) text[static_cast<std::size_t>(i)] = ' ';
  SetEditText(text);
}

bool TVxCustomPictureField::BlankSelection() {
  if (GetSelEnd() <= GetSelStart()) return false;
  const int start = GetSelStart();
  BlankRange(start, GetSelEnd());
  efMoveCaretTo(NextEditPos(start), false);
  return true;
}

void TVxCustomPictureField::DeletePos(int pos) {
  std::string text = GetEditString();
  const int end = SegmentEnd(pos);
  for (int i = pos; i + 1 < end; ++i) text[static_cast<std::size_t>(i)] = text[static_cast<std::size_t>(i + 1)];
  if (end > pos) text[static_cast<std::size_t>(end - 1)] = ' ';
  SetEditText(text);
}

bool TVxCustomPictureField::TypeChar(char c) {
  const int n = MaxLength();
  const std::string& text = GetEditString();
  const int pos = NextEditPos(std::min(CurrentPos(), n));
  const char prev = pos > 0 ? text[static_cast<std::size_t>(pos - 1)] : ' ';
  char typed = c;
  if (pos >= n || !efCharOK(efNthMaskChar(pos), typed, prev, true)) {
    // A typed literal (the date's separator, the decimal point) steps over the literal that shows it.
    for (int j = std::min(CurrentPos(), n); j < n; ++j) {
      if (IsEditPos(j)) continue;
      const bool point = efNthMaskChar(j) == '.' && c == IntlSupport().DecimalChar;
      if (text[static_cast<std::size_t>(j)] == c || point) {
        BlankRange(CurrentPos(), j);  // what the part had beyond the caret goes
        efMoveCaretTo(NextEditPos(j + 1), false);
        return true;
      }
      break;
    }
    return false;
  }
  std::string t = text;
  const std::uint8_t subtype = SubtypeOf(DataType());
  const bool single = subtype == fsubChar || subtype == fsubBoolean || subtype == fsubYesNo;
  if (HasState(sefInsert) && !single) {
    const int end = SegmentEnd(pos);
    if (t[static_cast<std::size_t>(end - 1)] != ' ' && end - 1 != pos) return false;  // the run is full
    for (int i = end - 1; i > pos; --i) t[static_cast<std::size_t>(i)] = t[static_cast<std::size_t>(i - 1)];
  }
  t[static_cast<std::size_t>(pos)] = typed;
  SetEditText(t);
  efMoveCaretTo(NextEditPos(pos + 1), false);
  return true;
}

void TVxCustomPictureField::efEdit(tk::Message& message, std::uint16_t command) {
  bool modified = false;
  const int n = static_cast<int>(GetEditString().size());
  const int pos = std::min(CurrentPos(), n);
  const TVxBaseEFOptions shared = Controller() ? Controller()->EntryOptions() : 0;
  const auto x = static_cast<std::int16_t>(message.LParam & 0xFFFF);
  auto lastFilled = [&] {
    int last = -1;
    for (int i = 0; i < n; ++i)
      if (IsEditPos(i) && GetEditString()[static_cast<std::size_t>(i)] != ' ') last = i;
    return last < 0 ? efEditBegin() : NextEditPos(last + 1);
  };
  auto segmentStart = [&](int p) {
    while (p > 0 && IsEditPos(p - 1)) --p;
    return p;
  };
  auto wordLeft = [&](int p) {
    const int prev = PrevEditPos(p);
    return prev < 0 ? efEditBegin() : segmentStart(prev);
  };
  auto wordRight = [&](int p) { return NextEditPos(SegmentEnd(NextEditPos(p))); };
  switch (command) {
    case ccTypedChar: {
      const std::string before = GetEditString();
      SetStateFlag(sefLiteral, false);
      if (BlankSelection()) modified = true;
      if (TypeChar(static_cast<char>(message.WParam & 0xFF)))
        modified = modified || GetEditString() != before;
      else
        efConditionalBeep();
      if ((shared & efoAutoAdvanceChar) && CurrentPos() >= n && GetEditString() != before) efMoveFocusToNextField();
      break;
    }
    case ccCtrlChar:
      SetStateFlag(sefLiteral, true);
      break;
    case ccBack:
      if (BlankSelection()) {
        modified = true;
      } else if (const int p = PrevEditPos(pos); p >= 0) {
        DeletePos(p);
        efMoveCaretTo(p, false);
        modified = true;
      }
      break;
    case ccDel:
      if (BlankSelection()) {
        modified = true;
      } else if (const int p = NextEditPos(pos); p < n) {
        DeletePos(p);
        efMoveCaretTo(p, false);
        modified = true;
      }
      break;
    case ccCut:
      modified = BlankSelection();
      break;
    case ccCopy:
      efCopyPrim();
      break;
    case ccDelBol:
      BlankRange(0, pos);
      efMoveCaretTo(efEditBegin(), false);
      modified = true;
      break;
    case ccDelEol:
      BlankRange(pos, n);
      modified = true;
      break;
    case ccDelLine:
      BlankRange(0, n);
      efMoveCaretTo(efEditBegin(), false);
      modified = true;
      break;
    case ccDelWord:
      BlankRange(pos, SegmentEnd(NextEditPos(pos)));
      modified = true;
      break;
    case ccLeft:
      if (PrevEditPos(pos) < 0 && (shared & efoAutoAdvanceLeftRight))
        efMoveFocusToPrevField();
      else
        efMoveCaretTo(std::max(PrevEditPos(pos), efEditBegin()), false);
      break;
    case ccRight:
      if (pos >= n && (shared & efoAutoAdvanceLeftRight))
        efMoveFocusToNextField();
      else
        efMoveCaretTo(NextEditPos(pos + 1), false);
      break;
    case ccHome:
      efMoveCaretTo(efEditBegin(), false);
      break;
    case ccEnd:
      efMoveCaretTo(lastFilled(), false);
      break;
    case ccWordLeft:
      efMoveCaretTo(wordLeft(pos), false);
      break;
    case ccWordRight:
      efMoveCaretTo(wordRight(pos), false);
      break;
    case ccExtendLeft:
      efMoveCaretTo(std::max(PrevEditPos(pos), 0), true);
      break;
    case ccExtendRight:
      efMoveCaretTo(std::min(pos + 1, n), true);
      break;
    case ccExtendHome:
      efMoveCaretTo(0, true);
      break;
    case ccExtendEnd:
      efMoveCaretTo(n, true);
      break;
    case ccExtWordLeft:
      efMoveCaretTo(wordLeft(pos), true);
      break;
    case ccExtWordRight:
      efMoveCaretTo(wordRight(pos), true);
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
      const std::string before = GetEditString();
      BlankSelection();
      bool refused = false;
      for (const char* p = pasted; *p && CurrentPos() < n; ++p) {
        if (*p == '\r' || *p == '\n') break;
        if (!TypeChar(*p)) refused = true;
      }
      if (refused) efConditionalBeep();
      modified = GetEditString() != before;
      break;
    }
    case ccRestore:
      Restore();
      return;
    case ccTab:
      efMoveFocusToNextField();
      break;
    case ccMouse:
      efMoveCaretTo(NextEditPos(efGetMousePos(x)), message.WParam & tk::ssShift);
      break;
    case ccMouseMove:
      efMoveCaretTo(efGetMousePos(x), true);
      break;
    case ccDblClk: {
      const int start = segmentStart(NextEditPos(pos));
      const int end = SegmentEnd(start);
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

void TVxCustomPictureField::GetProperties(tk::PropertyList& list) const {
  TVxBaseEntryField::GetProperties(list);
  using F = TVxCustomPictureField;
  static const char* const kTypes[] = {"pftString",  "pftChar", "pftBoolean",  "pftYesNo", "pftLongInt",  "pftWord",
                                       "pftInteger", "pftByte", "pftShortInt", "pftReal",  "pftExtended", "pftDouble",
                                       "pftSingle",  "pftComp", "pftDate",     "pftTime"};
  // The type and mask first: reading them back resets what the later properties set.
  auto at = std::find_if(list.begin(), list.end(), [](const tk::PropertyInfo& p) { return p.Name == "AutoSize"; });
  at = list.insert(at, tk::MakeEnumProperty<F>("DataType", &F::DataTypeSubtype, &F::SetDataType, kTypes, 0));
  list.insert(at + 1, tk::MakeProperty<F>("PictureMask", &F::PictureMask, &F::SetPictureMask));
}

}  // namespace controls
