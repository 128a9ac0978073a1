#include "controls/entry_field.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <algorithm>
#include <cstring>

#include "controls/controller.h"
#include "controls/entry_field_validation.h"
#include "controls/exceptions.h"
#include "controls/intl_support.h"
#include "controls/library_data.h"
#include "controls/messages.h"
#include "controls/misc.h"
#include "controls/str_routines.h"
#include "controls/user_data.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "tk/exception_guard.h"
#include "tk/key_mapper.h"
#include "tk/pen_style.h"
#include "tk/platform_caret.h"
#include "tk/services.h"
#include "tk/virtual_keys.h"

namespace controls {

namespace {

// The widget that had the focus before the current change: Qt names the old focus only after the new one
// has heard of it, so the last completed change is remembered.
QPointer<QWidget>& FocusBeforeChange() {
  static QPointer<QWidget> focused;
  static const bool connected = [] {
    QObject::connect(qApp, &QApplication::focusChanged, qApp, [](QWidget*, QWidget* now) { focused = now; });
    return true;
  }();
  (void)connected;
  return focused;
}

// Commands that change the text: refused by a read-only field.
bool ChangesText(std::uint16_t command) {
  return command == ccBack || (command >= ccCtrlChar && command <= ccDelWord) || command == ccInc ||
         command == ccPaste || command == ccRestore || command == ccTypedChar;
}

// Packs a client position as the platform packs a mouse message's.
std::intptr_t PackPoint(int x, int y) {
  return static_cast<std::intptr_t>(static_cast<std::uint16_t>(static_cast<std::int16_t>(x)) |
                                    static_cast<std::uint32_t>(static_cast<std::uint16_t>(static_cast<std::int16_t>(y)))
                                        << 16);
}

bool CanTakeFocus(const QWidget* w) {
  if (!w->isEnabled()) return false;
  for (const QWidget* p = w; p; p = p->parentWidget())
    if (p->isHidden()) return false;
  return true;
}

std::string FieldOptionsText(TVxEntryFieldOptions options) {
  std::string text;
  for (int i = 0; i < EntryFieldOptionCount; ++i) {
    if (!(options & (1u << i))) continue;
    if (!text.empty()) text += ',';
    text += EntryFieldOptionName(i);
  }
  return text;
}

TVxEntryFieldOptions FieldOptionsFromText(const std::string& text) {
  TVxEntryFieldOptions options = 0;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    const std::string name = TrimRight(TrimLeft(text.substr(start, end - start)));
    int found = -1;
    for (int i = 0; i < EntryFieldOptionCount; ++i)
      if (name == EntryFieldOptionName(i)) found = i;
    if (found < 0) throw tk::EReadError("Invalid property value");
    options |= static_cast<TVxEntryFieldOptions>(1u << found);
    start = end + 1;
  }
  return options;
}

}  // namespace

// colours

TVxEfColors::TVxEfColors()
    : disabled_(tk::clGrayText, tk::clWindow),
      error_(tk::clBlack, tk::clRed),
      highlight_(tk::clHighlightText, tk::clHighlight) {
  for (TVxColors* pair : {&disabled_, &error_, &highlight_})
    pair->OnColorChange = [this] {
      if (OnColorChange) OnColorChange();
    };
}

void TVxEfColors::Assign(const TVxEfColors& other) {
  disabled_.Assign(other.disabled_);
  error_.Assign(other.error_);
  highlight_.Assign(other.highlight_);
}

// creation

TVxBaseEntryField::TVxBaseEntryField(tk::Component* owner, QWidget* parent)
    : TVxCustomControlEx(owner, parent),
      borders_(std::make_unique<TVxBorders>()),
      colors_(std::make_unique<TVxEfColors>()),
      caret_(std::make_unique<TVxCaretPair>(this)) {
  FocusBeforeChange();
  for (TVxBorder* border :
       {&borders_->LeftBorder(), &borders_->RightBorder(), &borders_->TopBorder(), &borders_->BottomBorder()})
    border->OnChange = [this] { efBorderChanged(); };
  colors_->OnColorChange = [this] { Invalidate(); };
  setCursor(Qt::IBeamCursor);
  setAttribute(Qt::WA_OpaquePaintEvent);
  tk::CustomControl::SetBounds(Left(), Top(), 130, 25);
  SetColor(tk::clWindow);
  efSetDefaultRange(dataType_);
  topMargin_ = efCalcTopMargin();
}

TVxBaseEntryField::~TVxBaseEntryField() {
  // The concrete class is gone: leaving the field now must not validate it.
  closing_ = true;
  if (hasFocus()) clearFocus();
  delete menu_;
  caret_.reset();
}

void TVxBaseEntryField::CreateWnd() {
  TVxCustomControlEx::CreateWnd();
  maskLength_ = static_cast<std::uint16_t>(std::max<std::size_t>(1, pictureMask_.size()));
  if (maxLength_ == 0) maxLength_ = maskLength_;
  const bool focused = hasFocus();
  state_ = sefDefOptions | (focused ? TsefOptionSet{sefHaveFocus} : TsefOptionSet{0});
  hOffset_ = 0;
  currentPos_ = 0;
  selStart_ = selEnd_ = 0;
  dataSize_ = DataSizePrim();
  const std::uint8_t subtype = SubtypeOf(dataType_);
  if (Designing() && (options_ & efoInputRequired) && subtype >= 1 && subtype <= 13) uninitialized_ = true;
  if (pictureMask_.find('K') != std::string::npos) state_ |= sefHexadecimal;
  if (pictureMask_.find('b') != std::string::npos) state_ |= sefBinary;
  if (pictureMask_.find('O') != std::string::npos) state_ |= sefOctal;
  if (fieldClass_ == fcNumeric) state_ |= sefNumeric;
  state_ |= sefNoLiterals;
  efRemoveBadOptions();
  efAdjustSize();
  topMargin_ = efCalcTopMargin();
  rightAligned_ = options_ & efoRightAlign;
  if (!everCreated_) {
    everCreated_ = true;
    if (!Loading()) efSetInitialValue();
  }
}

// properties

void TVxBaseEntryField::SetAutoSize(bool value) {
  if (value == autoSize_) return;
  autoSize_ = value;
  if (!Loading()) efAdjustSize();
}

void TVxBaseEntryField::SetBorderStyle(TBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  RecreateWnd();
  Invalidate();
}

void TVxBaseEntryField::SetCtl3D(bool value) {
  if (value == ctl3D_) return;
  ctl3D_ = value;
  if (NewStyleControls() && borderStyle_ == TBorderStyle::bsSingle) {
    RecreateWnd();
    if (!Loading()) efAdjustSize();
  }
  topMargin_ = efCalcTopMargin();
  Invalidate();
}

void TVxBaseEntryField::SetDecimalPlaces(std::uint8_t value) {
  if (value == decimalPlaces_) return;
  decimalPlaces_ = value;
  RecreateWnd();
}

std::int32_t TVxBaseEntryField::GetEpoch() const {
  std::int32_t epoch = epoch_;
  if (OnGetEpoch) OnGetEpoch(const_cast<TVxBaseEntryField*>(this), epoch);
  if (epoch == 0) epoch = Controller() ? Controller()->Epoch() : DefaultEpoch();
  return epoch;
}

void TVxBaseEntryField::SetEpoch(std::int32_t value) {
  if (value != 0 && (value < 1600 || value > 3999)) return;
  if (Controller() && value == Controller()->Epoch()) value = 0;
  epoch_ = value;
}

TVxIntlSup& TVxBaseEntryField::IntlSupport() const { return intl_ ? *intl_ : VxIntlSup(); }

void TVxBaseEntryField::SetIntlSupport(TVxIntlSup* value) { intl_ = value; }

TVxUserData& TVxBaseEntryField::UserData() const { return userData_ ? *userData_ : controls::UserData(); }

void TVxBaseEntryField::SetUserData(TVxUserData* value) { userData_ = value; }

void TVxBaseEntryField::SetMaxLength(std::uint16_t value) {
  if (Loading()) {
    maxLength_ = value;
    return;
  }
  if (value == maxLength_ || value < 1 || value > MaxEditLength || value < maskLength_) return;
  maxLength_ = value;
  if (editText_.size() > value) editText_.resize(value);
  dataSize_ = 0;
  RecreateWnd();
  Invalidate();
}

void TVxBaseEntryField::SetOptions(TVxEntryFieldOptions value) {
  if (value != options_) {
    options_ = AdjustOptions(dataType_, value);
    dataSize_ = 0;  // literal stripping changes it
    if ((options_ & efoRightAlign) && HasState(sefHaveFocus)) efPositionCaret(false);
  }
  efRemoveBadOptions();
  Invalidate();
}

void TVxBaseEntryField::SetPadChar(char value) {
  padChar_ = value;
  Invalidate();
}

void TVxBaseEntryField::SetPasswordChar(char value) {
  passwordChar_ = value;
  if (value == '\0') options_ &= static_cast<TVxEntryFieldOptions>(~efoPasswordMode);
  Invalidate();
}

void TVxBaseEntryField::SetTextMargin(int value) {
  if (value < 2) return;
  textMargin_ = value;
  efPositionCaret(false);
  Invalidate();
}

void TVxBaseEntryField::SetUninitialized(bool value) {
  if (value == uninitialized_) return;
  uninitialized_ = value;
  efRemoveBadOptions();
}

void TVxBaseEntryField::SetZeroDisplay(TZeroDisplay value) {
  zeroDisplay_ = value;
  Invalidate();
}

void TVxBaseEntryField::SetZeroDisplayValue(double value) {
  zeroDisplayValue_ = value;
  Invalidate();
}

void TVxBaseEntryField::SetModified(bool value) {
  if (value)
    state_ |= sefModified | sefEverModified;
  else
    state_ &= ~sefModified;
}

void TVxBaseEntryField::SetEverModified(bool value) {
  if (value)
    state_ |= sefEverModified;
  else
    state_ &= ~(sefModified | sefEverModified);
}

bool TVxBaseEntryField::InsertMode() const { return Controller() ? Controller()->InsertMode() : HasState(sefInsert); }

void TVxBaseEntryField::SetInsertMode(bool value) {
  if (value == InsertMode() && value == HasState(sefInsert)) return;
  SetStateFlag(sefInsert, value);
  if (Controller()) Controller()->SetInsertMode(value);
  caret_->SetInsMode(value);
  if (HasState(sefHaveFocus)) efPositionCaret(false);
}

TVxCaretShape TVxBaseEntryField::InsCaretType() const { return caret_->InsCaretType()->Shape(); }
TVxCaretShape TVxBaseEntryField::OvrCaretType() const { return caret_->OvrCaretType()->Shape(); }
void TVxBaseEntryField::SetInsCaretType(TVxCaretShape shape) { caret_->InsCaretType()->SetShape(shape); }
void TVxBaseEntryField::SetOvrCaretType(TVxCaretShape shape) { caret_->OvrCaretType()->SetShape(shape); }

int TVxBaseEntryField::GetCurrentPos() const { return HasState(sefHaveFocus) ? currentPos_ : -1; }

std::uint16_t TVxBaseEntryField::DataSizePrim() const {
  return DataSizeOf(dataType_, maxLength_, maskLength_, MaskDataChars(pictureMask_), options_ & efoStripLiterals);
}

std::uint16_t TVxBaseEntryField::GetDataSize() {
  if (dataSize_ == 0) dataSize_ = DataSizePrim();
  return dataSize_;
}

std::string TVxBaseEntryField::GetStrippedEditString() const { return editText_; }

bool TVxBaseEntryField::FieldIsEmpty() {
  HandleNeeded();
  return efFieldIsEmpty();
}

bool TVxBaseEntryField::efFieldIsEmpty() const {
  return std::all_of(editText_.begin(), editText_.end(), [](char c) { return c == ' '; });
}

void TVxBaseEntryField::SetText(const std::string& text) {
  SendMessage(*this, WM_SETTEXT, 0, reinterpret_cast<std::intptr_t>(text.c_str()));
}

void TVxBaseEntryField::SetFieldType(TVxFieldClass fieldClass, TVxFieldSubtype subtype) {
  fieldClass_ = fieldClass;
  dataType_ = MakeDataType(fieldClass, subtype);
  dataSize_ = 0;
  SetStateFlag(sefNumeric, fieldClass == fcNumeric);
  efSetDefaultRange(dataType_);
  if (!Loading()) efRemoveBadOptions();
}

void TVxBaseEntryField::SetPictureMaskText(const std::string& mask) {
  pictureMask_ = mask.empty() ? "X" : mask.substr(0, MaxEditLength);
  maskLength_ = static_cast<std::uint16_t>(pictureMask_.size());
  dataSize_ = 0;
  SetStateFlag(sefHexadecimal, pictureMask_.find('K') != std::string::npos);
  SetStateFlag(sefBinary, pictureMask_.find('b') != std::string::npos);
  SetStateFlag(sefOctal, pictureMask_.find('O') != std::string::npos);
}

void TVxBaseEntryField::efSetDefaultRange(std::uint8_t dataType) { DefaultRange(dataType, rangeLo_, rangeHi_); }

void TVxBaseEntryField::efRemoveBadOptions() {
  if (Loading()) return;
  options_ = RemoveBadOptions(dataType_, options_);
}

void TVxBaseEntryField::SetStateFlag(TsefOptionSet flag, bool on) {
  if (on)
    state_ |= flag;
  else
    state_ &= ~flag;
}

TVxRadix TVxBaseEntryField::Radix() const {
  if (HasState(sefBinary)) return TVxRadix::Binary;
  if (HasState(sefOctal)) return TVxRadix::Octal;
  if (HasState(sefHexadecimal)) return TVxRadix::Hexadecimal;
  return RadixOfMask(pictureMask_);
}

bool TVxBaseEntryField::efStr2Long(const std::string& text, std::int32_t& value) const {
  return Str2Long(text, Radix(), value);
}

std::string TVxBaseEntryField::efLong2Str(std::int32_t value) const { return Long2Str(value, Radix(), DataSizePrim()); }

bool TVxBaseEntryField::efCharOK(char mask, char& c, char prev, bool fixCase) const {
  return TVxMaskRules(IntlSupport(), UserData()).CharOK(mask, c, prev, fixCase);
}

void TVxBaseEntryField::efFixCase(char mask, char& c, char prev) const {
  TVxMaskRules(IntlSupport(), UserData()).FixCase(mask, c, prev);
}

TVxValueFormat TVxBaseEntryField::ValueFormat() const {
  TVxValueFormat f;
  f.DataType = dataType_;
  f.Mask = pictureMask_;
  f.MaxLength = maxLength_;
  f.DecimalPlaces = decimalPlaces_;
  f.Radix = Radix();
  f.DataSize = DataSizePrim();
  f.Epoch = GetEpoch();
  f.Intl = &IntlSupport();
  return f;
}

void TVxBaseEntryField::SetEditText(const std::string& text) {
  editText_ = text.substr(0, std::min<std::size_t>(MaxEditLength, text.size()));
  const int n = static_cast<int>(editText_.size());
  selStart_ = std::min(selStart_, n);
  selEnd_ = std::min(selEnd_, n);
  currentPos_ = std::min(currentPos_, n);
}

void TVxBaseEntryField::SetSelectionRaw(int start, int end) {
  const int n = static_cast<int>(editText_.size());
  selStart_ = std::clamp(start, 0, n);
  selEnd_ = std::clamp(end, selStart_, n);
}

void TVxBaseEntryField::efMoveCaretTo(int pos, bool extend) {
  const int n = static_cast<int>(editText_.size());
  pos = std::clamp(pos, 0, n);
  if (extend) {
    int anchor = currentPos_;
    if (selEnd_ > selStart_) anchor = currentPos_ == selStart_ ? selEnd_ : selStart_;
    SetSelectionRaw(std::min(anchor, pos), std::max(anchor, pos));
  } else {
    SetSelectionRaw(pos, pos);
  }
  currentPos_ = pos;
}

// editing

void TVxBaseEntryField::efPerformEdit(tk::Message& message, std::uint16_t command) {
  HandleNeeded();
  if (!HandleAllocated()) return;
  if (command == ccTypedChar && (message.WParam & 0xFF) == 0) return;
  if (efIsReadOnly() && ChangesText(command)) {
    efConditionalBeep();
    return;
  }
  if (command >= ccUserFirst) {
    DoOnUserCommand(command);
    command = ccUser;
  }
  efEdit(message, command);
}

void TVxBaseEntryField::ProcessCommand(std::uint16_t command, char character) {
  tk::Message m{0, static_cast<unsigned char>(character), 0, 0};
  efPerformEdit(m, command);
}

void TVxBaseEntryField::efConditionalBeep() {
  if (Controller() && (Controller()->EntryOptions() & efoBeepOnError)) platform::Ui().Beep();
}

void TVxBaseEntryField::efFieldModified() {
  state_ |= sefModified | sefEverModified;
  DoOnChange();
}

void TVxBaseEntryField::efPerformRepaint(bool modified) {
  if (modified) efFieldModified();
  Invalidate();
}

void TVxBaseEntryField::DoOnChange() {
  if (!HasState(sefUpdating) && OnChange) OnChange(this);
}

void TVxBaseEntryField::DoOnUserCommand(std::uint16_t command) {
  if (OnUserCommand) OnUserCommand(this, command);
}

void TVxBaseEntryField::ClearContents() {
  if (!HandleAllocated()) return;
  const TVxEntryFieldOptions saved = options_;
  const bool wasUpdating = HasState(sefUpdating);
  options_ &= static_cast<TVxEntryFieldOptions>(~efoReadOnly);
  state_ |= sefUpdating;
  DoSetText("");
  options_ = saved;
  SetStateFlag(sefUpdating, wasUpdating);
}

void TVxBaseEntryField::DoSetText(const std::string& text) {
  if (!HandleAllocated()) return;
  SetSelectionRaw(0, static_cast<int>(editText_.size()));
  tk::Message m{WM_SETTEXT, 0, reinterpret_cast<std::intptr_t>(text.c_str()), 0};
  efPerformEdit(m, ccPaste);
}

void TVxBaseEntryField::CopyToClipboard() {
  if (HandleAllocated()) SendMessage(*this, WM_COPY);
}

void TVxBaseEntryField::CutToClipboard() {
  if (HandleAllocated()) SendMessage(*this, WM_CUT);
}

void TVxBaseEntryField::PasteFromClipboard() {
  if (HandleAllocated()) SendMessage(*this, WM_PASTE);
}

void TVxBaseEntryField::ClearSelection() {
  if (HandleAllocated()) SendMessage(*this, WM_CLEAR);
}

void TVxBaseEntryField::SelectAll() { SendMessage(*this, EM_SETSEL, 0, 65535); }

void TVxBaseEntryField::SetSelection(int start, int end) {
  if (end < start) return;
  const int n = static_cast<int>(editText_.size());
  start = std::min(start, n);
  end = std::min(end, n);
  if (fieldClass_ == fcNumeric && end > start) {
    start = 0;
    end = n;
  }
  selStart_ = std::max(0, start);
  selEnd_ = std::max(selStart_, end);
  Invalidate();
}

std::string TVxBaseEntryField::GetSelText() const {
  return editText_.substr(static_cast<std::size_t>(selStart_),
                          static_cast<std::size_t>(std::min(GetSelLength(), int{MaxEditLength})));
}

void TVxBaseEntryField::SetSelText(const std::string& text) {
  tk::Message m{0, 0, reinterpret_cast<std::intptr_t>(text.c_str()), 0};
  efPerformEdit(m, ccPaste);
}

void TVxBaseEntryField::MoveCaret(int n) {
  if (!HasState(sefHaveFocus)) return;
  for (int i = 0; i < std::abs(n); ++i) ProcessCommand(n > 0 ? ccRight : ccLeft, 0);
}

void TVxBaseEntryField::efSetCaretPos(int pos) {
  if (!HasState(sefHaveFocus)) return;
  const int n = static_cast<int>(editText_.size());
  if (pos < 0) pos = 0;
  if (pos > n) pos = n + 1;
  currentPos_ = pos;
  efPositionCaret(true);
}

void TVxBaseEntryField::efCaretToStart() {
  currentPos_ = 0;
  hOffset_ = 0;
  efPositionCaret(true);
}

void TVxBaseEntryField::efCaretToEnd() {
  currentPos_ = static_cast<int>(editText_.size());
  efPositionCaret(true);
}

void TVxBaseEntryField::efResetCaret() {
  if (options_ & efoCaretToEnd)
    efCaretToEnd();
  else
    efCaretToStart();
}

void TVxBaseEntryField::Restore() {
  if (!savedText_) return;
  SetEditText(*savedText_);
  efResetCaret();
  SetSelectionRaw(0, static_cast<int>(editText_.size()));
  state_ &= ~sefModified;
  Invalidate();
  DoOnChange();
}

void TVxBaseEntryField::efSaveEditString() { savedText_ = std::make_unique<std::string>(editText_); }

void TVxBaseEntryField::IncreaseValue(bool wrap, double delta) {
  setUpdatesEnabled(false);
  efIncDecValue(wrap, delta);
  SetSelectionRaw(0, 0);
  setUpdatesEnabled(true);
  Invalidate();
}

void TVxBaseEntryField::DecreaseValue(bool wrap, double delta) { IncreaseValue(wrap, -delta); }

void TVxBaseEntryField::efMoveFocus(QWidget* control) {
  auto* component = dynamic_cast<tk::Component*>(control);
  if (Controller() && component) tk::PostMessage(Controller()->Handle(), OM_SETFOCUS, 0, component);
}

void TVxBaseEntryField::efMoveFocusToNextField() { tk::PostMessage(this, WM_NEXTDLGCTL, 0); }

void TVxBaseEntryField::efMoveFocusToPrevField() { tk::PostMessage(this, WM_NEXTDLGCTL, 1); }

void TVxBaseEntryField::efCopyPrim() {
  if (selEnd_ <= selStart_) return;
  const std::string shown = efGetDisplayString();
  std::string copied;
  for (int i = selStart_; i < selEnd_ && i < static_cast<int>(shown.size()); ++i) {
    const auto raw = static_cast<unsigned char>(editText_[static_cast<std::size_t>(i)]);
    copied += raw >= 1 && raw <= 31 ? static_cast<char>(raw) : shown[static_cast<std::size_t>(i)];
  }
  tk::Svc().SetClipboardText(copied);
}

bool TVxBaseEntryField::efStepCommand(int command, TVxBaseEFOptions shared) {
  if (command == ccInc || command == ccDec || (Options() & efoArrowIncDec)) {
    if (command == ccUp || command == ccInc)
      IncreaseValue(false, 1);
    else
      DecreaseValue(false, 1);
    return true;
  }
  if (shared & efoAutoAdvanceUpDown) {
    if (command == ccUp)
      efMoveFocusToPrevField();
    else
      efMoveFocusToNextField();
  }
  return false;
}

void TVxBaseEntryField::ClipboardPaste() {
  const std::optional<std::string> latin1 = tk::Svc().ClipboardText();
  if (latin1 && latin1->empty()) return;
  if (!latin1) {  // outside 8 bits: refused, never altered
    platform::Ui().Beep();
    return;
  }
  tk::Message m{WM_PASTE, 0, reinterpret_cast<std::intptr_t>(latin1->c_str()), 0};
  efPerformEdit(m, ccPaste);
}

void TVxBaseEntryField::MergeWithPicture(const std::string& text) {
  SetEditText(text.substr(0, std::min<std::size_t>(maxLength_, text.size())));
}

void TVxBaseEntryField::efChangeMask(const std::string& mask) {
  if (mask.empty()) return;
  if (Loading()) {
    SetPictureMaskText(mask);
    return;
  }
  std::vector<std::uint8_t> value(std::max<std::size_t>(GetDataSize(), 16) + 256, 0);
  efTransfer(value.data(), otGet);
  SetPictureMaskText(mask);
  efTransfer(value.data(), otSet);
}

std::string TVxBaseEntryField::efGetSampleDisplayData() const {
  return SampleDisplayData(pictureMask_, maxLength_, fieldClass_ == fcSimple);
}

// caret, scrolling and the mouse

int TVxBaseEntryField::efGetTextExtent(const std::string& text) const {
  return QFontMetrics(Font().Q()).horizontalAdvance(platform::ToQString(text));
}

int TVxBaseEntryField::FrameWidth() const {
  if (borderStyle_ != TBorderStyle::bsSingle) return 0;
  return NewStyleControls() && ctl3D_ ? 2 : 1;
}

int TVxBaseEntryField::LeftBorderWidth() const {
  const TVxBorder& left = borders_->LeftBorder();
  return left.Enabled() ? left.PenWidth() : 0;
}

int TVxBaseEntryField::RightBorderWidth() const {
  const TVxBorder& right = borders_->RightBorder();
  return right.Enabled() ? right.PenWidth() : 0;
}

void TVxBaseEntryField::efPositionCaret(bool adjust) {
  if (!HasState(sefHaveFocus)) return;
  const std::string shown = efGetDisplayString();
  const int n = static_cast<int>(shown.size());
  const int cw = ClientWidth();
  const int room = cw - textMargin_ - 1;
  if (adjust) {
    if (currentPos_ == efEditBegin() || currentPos_ == efEditBegin() + 1)
      hOffset_ = 0;
    else if (currentPos_ < hOffset_)
      hOffset_ = currentPos_;
  }
  rightAligned_ = false;
  if ((options_ & efoRightAlign) && efGetTextExtent(shown) < room) {
    rightAligned_ = true;
    hOffset_ = 0;
  }
  const int pos = std::min(currentPos_, n);
  auto part = [&](int from, int to) {
    return shown.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(std::max(0, to - from)));
  };
  while (!rightAligned_ && adjust && !HasState(sefNumeric) && hOffset_ < pos &&
         efGetTextExtent(part(hOffset_, pos)) >= room)
    ++hOffset_;

  const QFontMetrics metrics(Font().Q());
  caret_->SetCellHeight(metrics.height());
  const char under = pos < n ? shown[static_cast<std::size_t>(pos)] : ' ';
  caret_->SetCellWidth(std::max(1, efGetTextExtent(std::string(1, under))));
  int width = rightAligned_ ? efGetTextExtent(part(pos, n)) : efGetTextExtent(part(hOffset_, pos));
  const TVxCaret* shape = caret_->CaretType();
  const TVxCaretShape s = shape->Shape();
  if (s == TVxCaretShape::csBlock || s == TVxCaretShape::csHalfBlock || s == TVxCaretShape::csHorzLine ||
      shape->CaretWidth() >= 5)
    width += rightAligned_ ? -1 : 1;
  int x;
  if (HasState(sefNumeric))
    x = cw - textMargin_ - RightBorderWidth() - 1;
  else if (rightAligned_)
    x = cw - width - 1 - textMargin_ - RightBorderWidth() - 1;
  else
    x = textMargin_ + LeftBorderWidth() + width + 1 - 3;
  const int frame = FrameWidth();
  caret_->SetPos({frame + x, frame + std::max(0, topMargin_)});
  Invalidate();
}

int TVxBaseEntryField::efGetMousePos(int x) {
  const std::string shown = efGetDisplayString();
  const int n = static_cast<int>(shown.size());
  if (x < 0 && hOffset_ > 0) {
    const int average = std::max(1, QFontMetrics(Font().Q()).averageCharWidth());
    hOffset_ = std::max(0, hOffset_ - (std::abs(x) + average) / average);
  }
  int from = hOffset_;
  int origin = textMargin_ + LeftBorderWidth();
  if (rightAligned_) {
    from = 0;
    origin = ClientWidth() - textMargin_ - RightBorderWidth() - 1 - efGetTextExtent(shown);
  }
  // A character is passed when x lies beyond its middle; widths are of whole prefixes, as drawn.
  auto edge = [&](int pos) {
    return origin + efGetTextExtent(shown.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(pos - from)));
  };
  int pos = from;
  while (pos < n && x > (edge(pos) + edge(pos + 1)) / 2) ++pos;
  return pos;
}

// focus

QWidget* TVxBaseEntryField::FocusTarget() const {
  QWidget* target = QApplication::focusWidget();
  return efIsSibling(target) ? target : nullptr;
}

bool TVxBaseEntryField::efIsSibling(QWidget* target) const {
  if (!target || target == this) return false;
  tk::Form* form = GetImmediateParentForm(const_cast<TVxBaseEntryField*>(this));
  return form && GetImmediateParentForm(target) == form;
}

void TVxBaseEntryField::FocusGained() {
  if (Loading() || Designing()) return;
  TVxController* controller = Controller();
  state_ |= sefHaveFocus;
  if (controller) controller->EntryCommands().ResetCommandProcessor();
  if (HasState(sefValPending)) {
    if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
    SetVisible(true);
  }
  if (!(options_ & (efoForceInsert | efoForceOvertype)) && controller)
    SetStateFlag(sefInsert, controller->InsertMode());
  const bool errorReturn = controller && controller->ErrorPending() && !HasState(sefErrorPending);
  bool selectAll = false;
  if (!HasState(sefRetainPos)) {
    if (!errorReturn) {
      if (!HasState(sefValPending)) state_ &= ~sefModified;
      if (controller) controller->DoOnPreEdit(this, FocusBeforeChange().data());
      efSaveEditString();
    }
    if (!HasState(sefNoHighlight)) {
      efResetCaret();
      selectAll = !errorReturn;
    }
  }
  SetStateFlag(sefIgnoreFocus, errorReturn && !(options_ & efoSoftValidation));
  state_ &= ~(sefErrorPending | sefRetainPos | sefNoHighlight | sefValPending);
  if (!errorReturn && controller) controller->SetErrorPending(false);
  if (options_ & efoForceInsert) state_ |= sefInsert;
  if (options_ & efoForceOvertype) state_ &= ~sefInsert;
  caret_->SetInsMode(HasState(sefInsert));
  caret_->SetLinked(true);
  caret_->SetVisible(true);
  efPositionCaret(true);
  if (selectAll && controller && (controller->EntryOptions() & efoAutoSelect))
    SetSelectionRaw(0, static_cast<int>(editText_.size()));
  Invalidate();
}

void TVxBaseEntryField::FocusLost() {
  if (Loading() || Designing()) return;
  TVxController* controller = Controller();
  QWidget* target = FocusTarget();
  SetStateFlag(sefRetainPos, target == nullptr);
  caret_->SetVisible(false);
  caret_->SetLinked(false);
  if (QWidget::mouseGrabber() == this) releaseMouse();
  if (!(options_ & (efoForceInsert | efoForceOvertype)) && controller) controller->SetInsertMode(HasState(sefInsert));
  if (!HasState(sefErrorPending) && !HasState(sefIgnoreFocus)) {
    state_ |= sefValPending;
    if (target && Modified()) SetUninitialized(false);
    if (target && controller && controller->IsSpecialButton(target)) {
      const TsefOptionSet kept = state_ & (sefModified | sefEverModified);
      state_ |= sefValidating;
      lastError_ = efValidateField();
      state_ = (state_ & ~(sefValidating | sefModified | sefEverModified)) | kept;
    } else {
      efCanClose(true);
      SetStateFlag(sefValPending, HasState(sefErrorPending));
    }
  } else {
    SetStateFlag(sefValPending, HasState(sefErrorPending));
  }
  state_ &= ~sefHaveFocus;
  if (target && !HasState(sefRetainPos) && !HasState(sefIgnoreFocus) && controller)
    controller->DoOnPostEdit(this, target);
  state_ &= ~sefIgnoreFocus;
  if (!HasState(sefRetainPos)) efCaretToStart();
  Invalidate();
}

// validation

std::uint16_t TVxBaseEntryField::efRequiredError() {
  return RequiredInputError(options_, efIsReadOnly(), efFieldIsEmpty(), uninitialized_, Modified());
}

std::uint16_t TVxBaseEntryField::ValidateContents(bool reportError) {
  if (!CanTakeFocus(this)) return 0;
  lastError_ = 0;
  const bool wasValid = IsValid();
  std::uint16_t code = efRequiredError();
  if (code == 0) {
    state_ |= sefValidating;
    code = efValidateField();
    state_ &= ~sefValidating;
  }
  lastError_ = code;
  if (reportError && code != 0) tk::PostMessage(this, OM_REPORTERROR, code);
  if (code == 0)
    state_ &= ~sefInvalid;
  else if (options_ & efoSoftValidation)
    state_ |= sefInvalid;
  if (wasValid != IsValid()) Invalidate();
  return code;
}

bool TVxBaseEntryField::ValidateSelf() { return ValidateContents(!(options_ & efoSoftValidation)) == 0; }

bool TVxBaseEntryField::efCanClose(bool validateSoftly) {
  if (isHidden() || !CanTakeFocus(this)) return true;
  HandleNeeded();
  std::uint16_t code = efRequiredError();
  if (code == 0) {
    state_ |= sefValidating;
    code = efValidateField();
    state_ &= ~sefValidating;
  }
  lastError_ = code;
  if (currentPos_ > static_cast<int>(editText_.size())) currentPos_ = static_cast<int>(editText_.size());
  const bool wasValid = IsValid();
  switch (CloseOutcome(code, validateSoftly, options_)) {
    case TVxCloseOutcome::Close:
      state_ &= ~sefInvalid;
      if (!wasValid) Invalidate();
      return true;
    case TVxCloseOutcome::CloseMarked:
      state_ |= sefInvalid;
      Invalidate();
      return true;
    case TVxCloseOutcome::HoldAndReport:
      break;
  }
  if (options_ & efoSoftValidation) state_ |= sefInvalid;
  state_ |= sefErrorPending;
  if (HasState(sefHaveFocus)) state_ |= sefRetainPos;
  const TVxEntryFieldOptions saved = options_;
  options_ |= efoSoftValidation;
  efMoveFocus(this);
  TVxController* controller = Controller();
  if (!controller || !controller->ErrorPending()) tk::PostMessage(this, OM_REPORTERROR, code);
  if (controller) controller->SetErrorPending(true);
  options_ = saved;
  Invalidate();
  return false;
}

void TVxBaseEntryField::ReportError(std::uint16_t code) {
  if (code == 0) return;
  TVxController* controller = Controller();
  const std::string message = ErrorMessage(code, controller ? controller->ErrorText() : std::string());
  if (controller && message != controller->ErrorText()) controller->SetErrorText(message);
  DoOnError(code, message);
}

void TVxBaseEntryField::DoOnError(std::uint16_t errorCode, const std::string& message) {
  if (OnError)
    OnError(this, errorCode, message);
  else if (Controller())
    Controller()->DoOnError(this, errorCode, message);
  else
    platform::Ui().MessageBox(message, "Error", platform::MsgButtons::Ok, platform::MsgKind::Error);
}

void TVxBaseEntryField::DoOnUserValidation(std::uint16_t& errorCode) {
  if (HasState(sefNoUserValidate) || !OnUserValidation) return;
  const bool was = HasState(sefUserValidating);
  state_ |= sefUserValidating;
  try {
    OnUserValidation(this, errorCode);
  } catch (...) {
    SetStateFlag(sefUserValidating, was);
    throw;
  }
  SetStateFlag(sefUserValidating, was);
}

// values

std::uint16_t TVxBaseEntryField::efTransfer(void*, std::uint8_t direction) {
  if (Designing() || direction == otNone) return GetDataSize();
  if (direction == otSet && !HasState(sefValidating)) {
    state_ &= ~sefRetainPos;
    if (HasState(sefHaveFocus)) {
      efResetCaret();
      efPositionCaret(true);
      if (!HasState(sefGettingValue)) SetSelectionRaw(0, static_cast<int>(editText_.size()));
    } else {
      state_ &= ~sefInvalid;
    }
    state_ &= ~(sefModified | sefEverModified);
    Invalidate();
  }
  return GetDataSize();
}

void TVxBaseEntryField::efSetInitialValue() {
  if (Designing()) return;
  std::vector<std::uint8_t> buffer(std::max<std::size_t>(GetDataSize(), 16) + 1, 0);
  if (SubtypeOf(dataType_) != fsubString)
    ScalarToBuffer(dataType_, InitialValue(dataType_, rangeLo_, rangeHi_), buffer.data());
  efTransfer(buffer.data(), otSet);
}

void TVxBaseEntryField::CheckType(bool ok) const {
  if (!ok) throw EInvalidDataType();
}

std::uint16_t TVxBaseEntryField::GetValue(void* data) {
  if (SubtypeOf(dataType_) > 15 || fieldClass_ > fcNumeric) throw EVxException(GetVxStr(30188));
  state_ |= sefGettingValue;
  std::uint16_t code = 0;
  try {
    code = efValidateField();
    if (code == 0) efTransfer(data, otGet);
  } catch (...) {
    state_ &= ~sefGettingValue;
    throw;
  }
  state_ &= ~sefGettingValue;
  return code;
}

void TVxBaseEntryField::SetValue(const void* data) {
  if (HasState(sefUserValidating)) return;
  if (SubtypeOf(dataType_) > 15 || fieldClass_ > fcNumeric) throw EVxException(GetVxStr(30188));
  HandleNeeded();
  const bool was = HasState(sefUpdating);
  state_ |= sefUpdating;
  efTransfer(const_cast<void*>(data), otSet);
  SetStateFlag(sefUpdating, was);
}

std::string TVxBaseEntryField::GetAsString() {
  if (SubtypeOf(dataType_) == fsubString) {
    std::vector<char> buffer(static_cast<std::size_t>(GetDataSize()) + 1, '\0');
    lastError_ = GetValue(buffer.data());
    return lastError_ ? std::string() : std::string(buffer.data());
  }
  lastError_ = 0;
  if (options_ & efoTrimBlanks) return platform::Trim(editText_);
  return editText_;
}

void TVxBaseEntryField::SetAsString(const std::string& text) {
  if (HasState(sefUserValidating)) return;
  const std::uint8_t subtype = SubtypeOf(dataType_);
  std::vector<std::uint8_t> buffer(std::max<std::size_t>(GetDataSize(), 16) + 257, 0);
  if (subtype == fsubString) {
    const std::string cut = text.substr(0, std::min<std::size_t>(text.size(), MaxEditLength));
    std::memcpy(buffer.data(), cut.c_str(), cut.size() + 1);
  } else if (subtype == fsubBoolean || subtype == fsubYesNo) {
    // Either word for true serves both types.
    const char c = text.empty() ? ' ' : UpCaseChar(text[0]);
    buffer[0] = c == IntlSupport().TrueChar || c == IntlSupport().YesChar ? 1 : 0;
  } else {
    TRangeType value;
    if (!StRangeToRange(ValueFormat(), text, value)) throw EEntryFieldError(GetVxStr(30180));
    ScalarToBuffer(dataType_, value, buffer.data());
  }
  SetValue(buffer.data());
}

bool TVxBaseEntryField::GetAsBoolean() {
  const std::uint8_t subtype = SubtypeOf(dataType_);
  CheckType(subtype == fsubBoolean || subtype == fsubYesNo);
  std::uint8_t b[16] = {};
  lastError_ = GetValue(b);
  return lastError_ == 0 && b[0] != 0;
}

void TVxBaseEntryField::SetAsBoolean(bool value) {
  const std::uint8_t subtype = SubtypeOf(dataType_);
  CheckType(subtype == fsubBoolean || subtype == fsubYesNo);
  std::uint8_t b[16] = {static_cast<std::uint8_t>(value ? 1 : 0)};
  SetValue(b);
}

std::int32_t TVxBaseEntryField::GetAsInteger() {
  CheckType(IsIntegerSubtype(SubtypeOf(dataType_)));
  std::uint8_t b[16] = {};
  lastError_ = GetValue(b);
  return lastError_ ? 0 : BufferToScalar(dataType_, b).AsLong();
}

void TVxBaseEntryField::SetAsInteger(std::int32_t value) {
  CheckType(IsIntegerSubtype(SubtypeOf(dataType_)));
  std::uint8_t b[16] = {};
  ScalarToBuffer(dataType_, TVxScalar::FromLong(value), b);
  SetValue(b);
}

double TVxBaseEntryField::GetAsFloat() { return static_cast<double>(GetAsExtended()); }

void TVxBaseEntryField::SetAsFloat(double value) {
  CheckType(IsFloatSubtype(SubtypeOf(dataType_)));
  std::uint8_t b[16] = {};
  ScalarToBuffer(dataType_, TVxScalar::FromExtended(value), b);
  SetValue(b);
}

long double TVxBaseEntryField::GetAsExtended() {
  const std::uint8_t subtype = SubtypeOf(dataType_);
  CheckType(IsNumericSubtype(subtype));
  std::uint8_t b[16] = {};
  lastError_ = GetValue(b);
  if (lastError_) return 0;
  const TVxScalar v = BufferToScalar(dataType_, b);
  return IsIntegerSubtype(subtype) ? static_cast<long double>(v.AsLong()) : v.AsExtended();
}

void TVxBaseEntryField::SetAsExtended(long double value) {
  const std::uint8_t subtype = SubtypeOf(dataType_);
  CheckType(subtype == fsubExtended || subtype == fsubComp);
  std::uint8_t b[16] = {};
  ScalarToBuffer(dataType_, TVxScalar::FromExtended(subtype == fsubComp ? std::nearbyint(value) : value), b);
  SetValue(b);
}

std::int32_t TVxBaseEntryField::GetAsCents() {
  const std::uint8_t subtype = SubtypeOf(dataType_);
  CheckType(subtype >= fsubReal && subtype <= fsubSingle);
  std::uint8_t b[16] = {};
  lastError_ = GetValue(b);
  return lastError_ ? 0 : ToCents(BufferToScalar(dataType_, b).AsExtended());
}

void TVxBaseEntryField::SetAsCents(std::int32_t value) {
  const std::uint8_t subtype = SubtypeOf(dataType_);
  CheckType(subtype >= fsubReal && subtype <= fsubSingle);
  std::uint8_t b[16] = {};
  ScalarToBuffer(dataType_, TVxScalar::FromExtended(static_cast<long double>(value) / 100), b);
  SetValue(b);
}

tk::DateTime TVxBaseEntryField::GetAsDateTime() {
  const std::uint8_t subtype = SubtypeOf(dataType_);
  CheckType(subtype == fsubDate || subtype == fsubTime);
  std::uint8_t b[16] = {};
  lastError_ = GetValue(b);
  if (lastError_) return 0;
  const std::int32_t v = BufferToScalar(dataType_, b).AsLong();
  return subtype == fsubDate ? StDateToDateTime(v) : StTimeToDateTime(v);
}

void TVxBaseEntryField::SetAsDateTime(tk::DateTime value) {
  const std::uint8_t subtype = SubtypeOf(dataType_);
  CheckType(subtype == fsubDate || subtype == fsubTime);
  std::int32_t v;
  if (subtype == fsubDate) {
    v = DateTimeToStDate(value);
    // The toolkit's "no date" (-1.0, 29 December 1899) is the blank date.
    if (v == DateTimeToStDate(-1.0)) v = BadDate;
  } else {
    v = DateTimeToStTime(value);
  }
  std::uint8_t b[16] = {};
  ScalarToBuffer(dataType_, TVxScalar::FromLong(v), b);
  SetValue(b);
}

TStDate TVxBaseEntryField::GetAsStDate() {
  CheckType(SubtypeOf(dataType_) == fsubDate);
  std::uint8_t b[16] = {};
  lastError_ = GetValue(b);
  return lastError_ ? BadDate : BufferToScalar(dataType_, b).AsLong();
}

void TVxBaseEntryField::SetAsStDate(TStDate value) {
  CheckType(SubtypeOf(dataType_) == fsubDate);
  std::uint8_t b[16] = {};
  ScalarToBuffer(dataType_, TVxScalar::FromLong(value), b);
  SetValue(b);
}

TStTime TVxBaseEntryField::GetAsStTime() {
  CheckType(SubtypeOf(dataType_) == fsubTime);
  std::uint8_t b[16] = {};
  lastError_ = GetValue(b);
  return lastError_ ? BadTime : BufferToScalar(dataType_, b).AsLong();
}

void TVxBaseEntryField::SetAsStTime(TStTime value) {
  CheckType(SubtypeOf(dataType_) == fsubTime);
  std::uint8_t b[16] = {};
  ScalarToBuffer(dataType_, TVxScalar::FromLong(value), b);
  SetValue(b);
}

QVariant TVxBaseEntryField::GetAsVariant() {
  const std::uint8_t subtype = SubtypeOf(dataType_);
  if (subtype == fsubBoolean || subtype == fsubYesNo) return GetAsBoolean();
  if (IsIntegerSubtype(subtype)) return GetAsInteger();
  if (subtype == fsubReal || subtype == fsubDouble || subtype == fsubSingle) return GetAsFloat();
  if (subtype == fsubExtended || subtype == fsubComp) return static_cast<double>(GetAsExtended());
  return platform::ToQString(GetAsString());
}

void TVxBaseEntryField::SetAsVariant(const QVariant& value) {
  const std::uint8_t subtype = SubtypeOf(dataType_);
  const bool boolField = subtype == fsubBoolean || subtype == fsubYesNo;
  switch (value.typeId()) {
    case QMetaType::Bool:
      if (boolField) return SetAsBoolean(value.toBool());
      return SetAsString(value.toBool() ? "True" : "False");
    case QMetaType::Short:
    case QMetaType::Int:
      if (IsIntegerSubtype(subtype)) return SetAsInteger(value.toInt());
      return SetAsString(std::to_string(value.toInt()));
    case QMetaType::Float:
    case QMetaType::Double:
      if (IsFloatSubtype(subtype)) return SetAsFloat(value.toDouble());
      return SetAsString(platform::FromQString(value.toString()).value_or(std::string()));
    case QMetaType::QDate:
    case QMetaType::QDateTime: {
      const QDate d = value.toDate();
      const TStDate day = DMYtoStDate(d.day(), d.month(), d.year(), 0);
      if (subtype == fsubDate) return SetAsStDate(day);
      return SetAsString(IntlSupport().DateToDateString(IntlSupport().InternationalDate(true), day, false));
    }
    case QMetaType::QString:
      return SetAsString(platform::FromQString(value.toString()).value_or(std::string()));
    default:
      return;  // empty, null and the rest change nothing
  }
}

std::string TVxBaseEntryField::GetRangeHiStr() const { return RangeToStRange(ValueFormat(), rangeHi_); }
std::string TVxBaseEntryField::GetRangeLoStr() const { return RangeToStRange(ValueFormat(), rangeLo_); }

void TVxBaseEntryField::SetRangeHiStr(const std::string& text) {
  TRangeType r;
  if (!StRangeToRange(ValueFormat(), text, r) && !Loading()) {
    const std::uint8_t subtype = SubtypeOf(dataType_);
    throw EInvalidRangeValue(subtype, subtype == fsubDate   ? IntlSupport().InternationalDate(true)
                                      : subtype == fsubTime ? IntlSupport().InternationalTime(false)
                                                            : std::string());
  }
  rangeHi_ = r;
}

void TVxBaseEntryField::SetRangeLoStr(const std::string& text) {
  TRangeType r;
  if (!StRangeToRange(ValueFormat(), text, r) && !Loading()) {
    const std::uint8_t subtype = SubtypeOf(dataType_);
    throw EInvalidRangeValue(subtype, subtype == fsubDate   ? IntlSupport().InternationalDate(true)
                                      : subtype == fsubTime ? IntlSupport().InternationalTime(false)
                                                            : std::string());
  }
  rangeLo_ = r;
}

void TVxBaseEntryField::ReadRange(TRangeType& range, const tk::Binary& bytes) {
  if (bytes.size() != range.Bytes.size()) throw tk::EReadError("Invalid property value");
  std::copy(bytes.begin(), bytes.end(), range.Bytes.begin());
}

void TVxBaseEntryField::DefineProperties(tk::Filer& filer) {
  TVxCustomControlEx::DefineProperties(filer);
  if (HasNoRange(SubtypeOf(dataType_))) return;
  filer.DefineBinaryProperty(
      "RangeHigh", [this](const tk::Binary& b) { ReadRange(rangeHi_, b); },
      [this] { return tk::Binary(rangeHi_.Bytes.begin(), rangeHi_.Bytes.end()); }, true);
  filer.DefineBinaryProperty(
      "RangeLow", [this](const tk::Binary& b) { ReadRange(rangeLo_, b); },
      [this] { return tk::Binary(rangeLo_.Bytes.begin(), rangeLo_.Bytes.end()); }, true);
}

void TVxBaseEntryField::GetProperties(tk::PropertyList& list) const {
  TVxCustomControlEx::GetProperties(list);
  using F = TVxBaseEntryField;
  static const char* const kBorderStyles[] = {"bsNone", "bsSingle"};
  static const char* const kZeroDisplay[] = {"zdShow", "zdHide", "zdHideUntilModified"};
  list.push_back(tk::MakeProperty<F>("AutoSize", &F::AutoSize, &F::SetAutoSize, tk::Value(true)));
  AppendBorderProperties(list, "Borders",
                         [](tk::Component& c) -> TVxBorders& { return dynamic_cast<TVxBaseEntryField&>(c).Borders(); });
  list.push_back(tk::MakeEnumProperty<F>("BorderStyle", &F::BorderStyle, &F::SetBorderStyle, kBorderStyles, 1));
  list.push_back(tk::MakeProperty<F>("Ctl3D", &F::Ctl3D, &F::SetCtl3D, tk::Value(true)));
  list.push_back(
      tk::MakeProperty<F>("DecimalPlaces", &F::DecimalPlaces, &F::SetDecimalPlaces, tk::Value(std::int64_t{0})));
  list.push_back(tk::MakeProperty<F>("Epoch", &F::StoredEpoch, &F::SetEpoch, tk::Value(std::int64_t{0})));
  list.push_back(tk::MakeProperty<F>("MaxLength", &F::MaxLength, &F::SetMaxLength, tk::Value(std::int64_t{15})));
  list.push_back(tk::MakeProperty<F>("Options", &F::OptionsText, &F::SetOptionsText,
                                     tk::Value(FieldOptionsText(DefaultFieldOptions))));
  list.push_back(tk::MakeProperty<F>("PadChar", &F::PadChar, &F::SetPadChar, tk::Value(std::int64_t{' '})));
  list.push_back(
      tk::MakeProperty<F>("PasswordChar", &F::PasswordChar, &F::SetPasswordChar, tk::Value(std::int64_t{'*'})));
  list.push_back(tk::MakeProperty<F>("TextMargin", &F::TextMargin, &F::SetTextMargin, tk::Value(std::int64_t{2})));
  list.push_back(tk::MakeProperty<F>("Uninitialized", &F::Uninitialized, &F::SetUninitialized, tk::Value(false)));
  list.push_back(tk::MakeEnumProperty<F>("ZeroDisplay", &F::ZeroDisplay, &F::SetZeroDisplay, kZeroDisplay, 0));
  list.push_back(
      tk::MakeProperty<F>("ZeroDisplayValue", &F::ZeroDisplayValue, &F::SetZeroDisplayValue, tk::Value(0.0)));
}

std::string TVxBaseEntryField::OptionsText() const { return FieldOptionsText(options_); }

void TVxBaseEntryField::SetOptionsText(const std::string& text) {
  if (Loading())
    options_ = FieldOptionsFromText(text);
  else
    SetOptions(FieldOptionsFromText(text));
}

void TVxBaseEntryField::Loaded() {
  TVxCustomControlEx::Loaded();
  efRemoveBadOptions();
}

// messages

void TVxBaseEntryField::Dispatch(tk::Message& message) {
  switch (message.Msg) {
    case tk::WM_SETFOCUS:
      if (closing_) return;
      tk::Guarded([&] { HandleNeeded(); });
      FocusGained();
      TVxCustomControlEx::Dispatch(message);
      return;
    case tk::WM_KILLFOCUS:
      if (closing_) return;
      FocusLost();
      TVxCustomControlEx::Dispatch(message);
      return;
    case tk::WM_GETDLGCODE:
      TVxCustomControlEx::Dispatch(message);
      message.Result = Designing() ? tk::DLGC_STATIC : message.Result | tk::DLGC_WANTARROWS | tk::DLGC_WANTCHARS;
      return;
    case OM_REPORTERROR:
      ReportError(static_cast<std::uint16_t>(message.WParam));
      return;
    case OM_GETDATASIZE:
      message.Result = GetDataSize();
      return;
    case WM_NEXTDLGCTL:
      focusNextPrevChild(message.WParam == 0);
      return;
    case WM_CUT:
      efCopyPrim();
      efPerformEdit(message, ccCut);
      return;
    case WM_COPY:
      efPerformEdit(message, ccCopy);
      return;
    case WM_PASTE:
      ClipboardPaste();
      return;
    case WM_CLEAR:
      efPerformEdit(message, ccCut);
      return;
    case WM_SETTEXT:
      DoSetText(message.LParam ? reinterpret_cast<const char*>(message.LParam) : "");
      return;
    case EM_GETSEL:
      if (message.WParam) *reinterpret_cast<std::uint32_t*>(message.WParam) = static_cast<std::uint32_t>(selStart_);
      if (message.LParam) *reinterpret_cast<std::uint32_t*>(message.LParam) = static_cast<std::uint32_t>(selEnd_);
      message.Result = static_cast<std::intptr_t>(static_cast<std::uint32_t>(selStart_ & 0xFFFF) |
                                                  static_cast<std::uint32_t>(selEnd_ & 0xFFFF) << 16);
      return;
    case EM_SETSEL: {
      const auto start = static_cast<std::uint32_t>(message.WParam);
      const auto end = static_cast<std::uint32_t>(message.LParam);
      if (start == 65535)
        SetSelectionRaw(0, 0);
      else if (start == 0 && end == 65535)
        SetSelectionRaw(0, static_cast<int>(editText_.size()));
      else if (start <= end)
        SetSelection(static_cast<int>(start), static_cast<int>(end));
      Invalidate();
      return;
    }
    case EM_GETMODIFY:
      message.Result = Modified() ? 1 : 0;
      return;
    case EM_SETMODIFY:
      SetModified(message.WParam >= 1);
      return;
    case tk::CM_FONTCHANGED:
      TVxCustomControlEx::Dispatch(message);
      FontChanged();
      return;
    default:
      TVxCustomControlEx::Dispatch(message);
  }
}

void TVxBaseEntryField::FontChanged() {
  if (!HandleAllocated() || Loading()) return;
  efAdjustSize();
  topMargin_ = efCalcTopMargin();
  if (HasState(sefHaveFocus)) efPositionCaret(false);
}

void TVxBaseEntryField::changeEvent(QEvent* event) {
  TVxCustomControlEx::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) Invalidate();
}

void TVxBaseEntryField::resizeEvent(QResizeEvent* event) {
  TVxCustomControlEx::resizeEvent(event);
  Invalidate();
}

void TVxBaseEntryField::SetBounds(int left, int top, int width, int height) {
  if (height != Height() && autoSize_ && !Loading() && !adjusting_) autoSize_ = false;
  TVxCustomControlEx::SetBounds(left, top, width, height);
  topMargin_ = efCalcTopMargin();
  if (HasState(sefHaveFocus)) efPositionCaret(false);
  Invalidate();
}

void TVxBaseEntryField::SetName(const std::string& name) {
  TVxCustomControlEx::SetName(name);
  Invalidate();
}

void TVxBaseEntryField::efBorderChanged() {
  const bool any = borders_->LeftBorder().Enabled() || borders_->RightBorder().Enabled() ||
                   borders_->TopBorder().Enabled() || borders_->BottomBorder().Enabled();
  borderStyle_ = any ? TBorderStyle::bsNone : TBorderStyle::bsSingle;
  ctl3D_ = !any;
  RecreateWnd();
  topMargin_ = efCalcTopMargin();
  Invalidate();
}

// size and painting

void TVxBaseEntryField::efAdjustSize() {
  if (!autoSize_) return;
  const int fontHeight = QFontMetrics(Font().Q()).height();
  const int border = 1;  // the system's border height
  int height;
  if (NewStyleControls()) {
    height = fontHeight + border * (ctl3D_ ? 8 : 6);
  } else {
    const int system = QFontMetrics(QApplication::font()).height();
    height = fontHeight + border * 4 + std::min(system, fontHeight) / 4;
  }
  adjusting_ = true;
  TVxCustomControlEx::SetBounds(Left(), Top(), Width(), height);
  adjusting_ = false;
  topMargin_ = efCalcTopMargin();
}

std::uint16_t TVxBaseEntryField::efCalcTopMargin() {
  if (!HandleAllocated()) return 0;
  int margin = GetTopTextMargin(Font().Q(), borderStyle_ == TBorderStyle::bsSingle ? 1 : 0, Height(), ctl3D_);
  const TVxBorder& top = borders_->TopBorder();
  if (top.Enabled()) margin += top.PenWidth();
  return static_cast<std::uint16_t>(std::max(0, margin));
}

std::string TVxBaseEntryField::efGetDisplayString() const {
  std::string shown = MapControlChars(editText_);
  for (std::size_t i = 0; i < shown.size(); ++i) {
    if (efIsLiteralPos(static_cast<int>(i))) continue;
    if ((options_ & efoPasswordMode) && passwordChar_ != '\0' && editText_[i] != ' ')
      shown[i] = passwordChar_;
    else if (editText_[i] == ' ' && fieldClass_ != fcSimple)
      shown[i] = padChar_;
  }
  if (IsNumericSubtype(SubtypeOf(dataType_)) && !HasState(sefHaveFocus)) {
    const bool hide =
        zeroDisplay_ == TZeroDisplay::zdHide || (zeroDisplay_ == TZeroDisplay::zdHideUntilModified && !EverModified());
    long double value = 0;
    if (hide && TextToFloat(ValueFormat(), platform::Trim(GetStrippedEditString()), value) &&
        value == static_cast<long double>(zeroDisplayValue_))
      std::fill(shown.begin(), shown.end(), ' ');
  }
  return shown;
}

void TVxBaseEntryField::DrawRun(tk::Canvas& canvas, int& x, int y, const std::string& shown, const std::string& raw,
                                int from, int to, tk::TColor text, tk::TColor back) {
  // Control characters show in their visible form, in a run of their own with the colours swapped.
  int i = from;
  while (i < to) {
    const bool control = static_cast<unsigned char>(raw[static_cast<std::size_t>(i)]) < 32;
    int j = i;
    while (j < to && (static_cast<unsigned char>(raw[static_cast<std::size_t>(j)]) < 32) == control) ++j;
    const std::string run = shown.substr(static_cast<std::size_t>(i), static_cast<std::size_t>(j - i));
    canvas.Brush.Color = control ? text : back;
    canvas.Brush.Style = tk::BrushStyle::Solid;
    canvas.Font.SetColor(control ? back : text);
    canvas.TextOut(x, y, run);
    x += canvas.TextWidth(run);
    i = j;
  }
}

void TVxBaseEntryField::efPaintPrim(tk::Canvas& canvas, const tk::Rect& rect, int) {
  const bool sample = Designing();
  const std::string shown = sample ? efGetSampleDisplayData() : efGetDisplayString();
  const std::string raw =
      sample ? shown
             : editText_ + std::string(shown.size() > editText_.size() ? shown.size() - editText_.size() : 0, ' ');
  tk::TColor text = Font().Color(), back = Color();
  if (!isEnabled()) {
    text = colors_->Disabled().TextColor();
    back = colors_->Disabled().BackColor();
  } else if (HasState(sefInvalid)) {
    text = colors_->Error().TextColor();
    back = colors_->Error().BackColor();
  }
  text = tk::ColorToRGB(text);
  back = tk::ColorToRGB(back);
  const tk::TColor hiText = tk::ColorToRGB(colors_->Highlight().TextColor());
  const tk::TColor hiBack = tk::ColorToRGB(colors_->Highlight().BackColor());
  canvas.Brush.Color = back;
  canvas.Brush.Style = tk::BrushStyle::Solid;
  canvas.FillRect(rect);
  canvas.Font = Font();
  const int cw = rect.Width();
  const int y = std::max(0, topMargin_);
  const bool selected = HasState(sefHaveFocus) && selEnd_ > selStart_;
  if (fieldClass_ == fcNumeric) {
    std::string packed;
    for (char c : shown)
      if (c != ' ') packed += c;
    int x = cw - textMargin_ - RightBorderWidth() - 1 - canvas.TextWidth(packed);
    DrawRun(canvas, x, y, packed, packed, 0, static_cast<int>(packed.size()), selected ? hiText : text,
            selected ? hiBack : back);
    return;
  }
  const int n = static_cast<int>(shown.size());
  int x = textMargin_ + LeftBorderWidth();
  int from = std::min(hOffset_, n);
  rightAligned_ = false;
  if ((options_ & efoRightAlign) && canvas.TextWidth(shown) < cw - textMargin_ - 1) {
    rightAligned_ = true;
    from = 0;
    x = cw - textMargin_ - RightBorderWidth() - 1 - canvas.TextWidth(shown);
  }
  const int s0 = selected ? std::clamp(selStart_, from, n) : n;
  const int s1 = selected ? std::clamp(selEnd_, from, n) : n;
  DrawRun(canvas, x, y, shown, raw, from, s0, text, back);
  DrawRun(canvas, x, y, shown, raw, s0, s1, hiText, hiBack);
  DrawRun(canvas, x, y, shown, raw, s1, n, text, back);
}

void TVxBaseEntryField::efPaintBorders(QPainter& painter, const tk::Rect& client) {
  // Each line is centred half its width inside its edge.
  auto line = [&](const TVxBorder& border, QPointF from, QPointF to) {
    if (!border.Enabled()) return;
    QPen pen(tk::ToQColor(tk::ColorToRGB(border.PenColor())), border.PenWidth(), tk::ToQtPenStyle(border.PenStyle()),
             Qt::FlatCap);
    painter.setPen(pen);
    painter.drawLine(from, to);
  };
  const double l = client.Left, t = client.Top, r = client.Right, b = client.Bottom;
  const TVxBorder &left = borders_->LeftBorder(), &right = borders_->RightBorder();
  const TVxBorder &top = borders_->TopBorder(), &bottom = borders_->BottomBorder();
  line(left, {l + left.PenWidth() / 2.0, t}, {l + left.PenWidth() / 2.0, b});
  line(right, {r - right.PenWidth() / 2.0, t}, {r - right.PenWidth() / 2.0, b});
  line(top, {l, t + top.PenWidth() / 2.0}, {r, t + top.PenWidth() / 2.0});
  line(bottom, {l, b - bottom.PenWidth() / 2.0}, {r, b - bottom.PenWidth() / 2.0});
}

void TVxBaseEntryField::paintEvent(QPaintEvent*) {
  const int frame = FrameWidth();
  const tk::Rect client{frame, frame, Width() - frame, Height() - frame};
  QImage whole(std::max(1, Width()), std::max(1, Height()), QImage::Format_RGB32);
  {
    tk::Canvas canvas(&whole);
    if (frame == 2) {
      tk::Rect r = ClientRect();
      canvas.Frame3D(r, tk::ColorToRGB(tk::clBtnShadow), tk::ColorToRGB(tk::clBtnHighlight), 1);
      canvas.Frame3D(r, tk::ColorToRGB(tk::cl3DDkShadow), tk::ColorToRGB(tk::cl3DLight), 1);
    } else if (frame == 1) {
      canvas.Brush.Color = tk::ColorToRGB(tk::clWindowFrame);
      canvas.FrameRect(ClientRect());
    }
    if (!client.Empty()) {
      QImage inner(client.Width(), client.Height(), QImage::Format_RGB32);
      {
        tk::Canvas off(&inner);
        efPaintPrim(off, {0, 0, client.Width(), client.Height()}, 0);
      }
      canvas.Draw(client.Left, client.Top, inner);
    }
  }
  if (!client.Empty()) {
    QPainter onImage(&whole);
    onImage.setClipRect(client.ToQRect());
    efPaintBorders(onImage, client);
  }
  QPainter painter(this);
  painter.drawImage(0, 0, whole);
  tk::PlatformCaret::Instance().Paint(this, painter);
}

QMenu* TVxBaseEntryField::BuildContextMenu() {
  auto* menu = new QMenu(this);
  auto add = [&](int id, bool enabled, void (TVxBaseEntryField::*action)()) {
    QAction* a = menu->addAction(platform::ToQString(GetVxStr(static_cast<std::uint16_t>(id))));
    a->setEnabled(enabled);
    QObject::connect(a, &QAction::triggered, this, [this, action] { tk::Guarded([&] { (this->*action)(); }); });
  };
  const bool selected = selEnd_ > selStart_;
  const bool readOnly = efIsReadOnly();
  const bool clipboardText = tk::Svc().ClipboardHasText();
  add(30287, Modified(), &TVxBaseEntryField::DoRestoreClick);
  menu->addSeparator();
  add(30288, selected && !readOnly, &TVxBaseEntryField::DoCutClick);
  add(30289, selected, &TVxBaseEntryField::DoCopyClick);
  add(30290, !readOnly && clipboardText, &TVxBaseEntryField::DoPasteClick);
  add(30291, selected && !readOnly, &TVxBaseEntryField::DoDeleteClick);
  menu->addSeparator();
  add(30292, static_cast<int>(editText_.size()) > GetSelLength(), &TVxBaseEntryField::DoSelectAllClick);
  return menu;
}

void TVxBaseEntryField::DoRestoreClick() {
  Restore();
  efPositionCaret(true);
}
void TVxBaseEntryField::DoCutClick() { CutToClipboard(); }
void TVxBaseEntryField::DoCopyClick() { CopyToClipboard(); }
void TVxBaseEntryField::DoPasteClick() { PasteFromClipboard(); }
void TVxBaseEntryField::DoDeleteClick() { ClearSelection(); }
void TVxBaseEntryField::DoSelectAllClick() { SelectAll(); }

// input

void TVxBaseEntryField::keyPressEvent(QKeyEvent* event) {
  bool handled = false;
  tk::Guarded([&] {
    HandleNeeded();
    std::uint16_t key = tk::VirtualKeyFromQt(event->key(), event->modifiers());
    const tk::ShiftState shift = tk::ShiftFromQt(event->modifiers());
    bool charAllowed = true;
    if (key != 0) {
      if (OnKeyDown) OnKeyDown(this, key, shift);
      if (key == 0) {  // taken by the handler: no character follows
        handled = true;
        return;
      }
      if (key != tk::VK_SHIFT) charAllowed = KeyDown(key, shift, event->modifiers() & Qt::KeypadModifier, handled);
    }
    const QString text = event->text();
    if (!charAllowed || text.size() != 1) return;
    const char16_t u = text[0].unicode();
    if (u > 0xFF) {  // outside 8 bits: refused, never altered
      platform::Ui().Beep();
      handled = true;
      return;
    }
    // Control characters of keys without a command (Return, Escape) belong to the form, unless the field
    // was told to take the next key literally.
    if (u < 32 && !HasState(sefLiteral)) return;
    char c = static_cast<char>(u);
    if (OnKeyPress) OnKeyPress(this, c);
    if (c != '\0' && HasState(sefCharOK)) CharMessage(c);
    handled = true;
  });
  event->setAccepted(handled);
}

bool TVxBaseEntryField::KeyDown(std::uint16_t key, tk::ShiftState shift, bool keypad, bool& handled) {
  TVxController* controller = Controller();
  if (!controller) return true;
  const bool alt = shift & tk::ssAlt;
  if (alt && (key == tk::VK_TAB || key == tk::VK_MENU)) return false;
  if (alt && keypad && key >= tk::VK_NUMPAD0 && key <= tk::VK_NUMPAD0 + 9) state_ |= sefCharOK | sefAcceptChar;
  std::uint16_t command = controller->EntryCommands().TranslateKey(key, shift);
  if (command == ccChar) return !alt || keypad;  // an ordinary key: its character follows
  handled = true;
  if (command == ccUnmatched || command == ccPartial || command == ccNone) return false;
  if (command == ccUndo) command = ccRestore;
  if (command == ccIns && (options_ & (efoForceInsert | efoForceOvertype))) return false;
  tk::Message m{0x0100, key, 0, 0};
  switch (command) {
    case ccCopy:
      SendMessage(*this, WM_COPY);
      break;
    case ccCut:
      SendMessage(*this, WM_CUT);
      break;
    case ccPaste:
      SendMessage(*this, WM_PASTE);
      break;
    default:
      efPerformEdit(m, command);
  }
  return false;
}

void TVxBaseEntryField::CharMessage(char c) {
  tk::Message m{0x0102, static_cast<unsigned char>(c), 0, 0};
  efPerformEdit(m, ccTypedChar);
}

void TVxBaseEntryField::mousePressEvent(QMouseEvent* event) {
  tk::Guarded([&] {
    if (event->button() != Qt::LeftButton) return;
    const QPoint p = event->position().toPoint();
    if (!hasFocus()) {
      state_ |= sefNoHighlight;
      SetSelectionRaw(0, 0);
      setFocus(Qt::MouseFocusReason);
    }
    if (!hasFocus()) return;
    tk::Message m{0x0201, tk::ShiftFromQt(event->modifiers(), event->buttons()),
                  PackPoint(p.x() - FrameWidth(), p.y() - FrameWidth()), 0};
    efPerformEdit(m, ccMouse);
  });
}

void TVxBaseEntryField::mouseMoveEvent(QMouseEvent* event) {
  TVxCustomControlEx::mouseMoveEvent(event);
  tk::Guarded([&] {
    if (!(event->buttons() & Qt::LeftButton) || !hasFocus()) return;
    const QPoint p = event->position().toPoint();
    tk::Message m{0x0200, tk::ShiftFromQt(event->modifiers(), event->buttons()),
                  PackPoint(p.x() - FrameWidth(), p.y() - FrameWidth()), 0};
    efPerformEdit(m, ccMouseMove);
  });
}

void TVxBaseEntryField::mouseDoubleClickEvent(QMouseEvent* event) {
  tk::Guarded([&] {
    if (event->button() != Qt::LeftButton || !hasFocus()) return;
    const QPoint p = event->position().toPoint();
    tk::Message m{0x0203, tk::ShiftFromQt(event->modifiers(), event->buttons()),
                  PackPoint(p.x() - FrameWidth(), p.y() - FrameWidth()), 0};
    efPerformEdit(m, ccDblClk);
  });
}

void TVxBaseEntryField::mouseReleaseEvent(QMouseEvent* event) {
  TVxCustomControlEx::mouseReleaseEvent(event);
  if (event->button() != Qt::RightButton) return;
  tk::Guarded([&] {
    if (!hasFocus()) setFocus(Qt::MouseFocusReason);
    delete menu_;
    menu_ = BuildContextMenu();
    QObject::connect(menu_, &QMenu::aboutToHide, menu_, &QObject::deleteLater);
    menu_->popup(event->globalPosition().toPoint());
  });
}

}  // namespace controls
