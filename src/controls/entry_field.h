#pragma once
// The engine of the library's single-line data-entry fields. The field keeps and draws its own text, owns an
// insert/overwrite caret pair, turns keys into editing commands through its controller's entry command
// table and funnels every edit into efEdit; it holds one typed value (string, character, boolean, integer,
// floating point, date or time) that programs read and write through typed accessors, checks it against a
// range and a picture mask, and reports errors through OnError or the controller.
//
// TVxBaseEntryField is abstract: the concrete field classes supply the editing of a command (efEdit), the
// check of the text (efValidateField), the stepping of the value (efIncDecValue) and the moving of the value
// between the edit text and a buffer (efTransfer). The rules without a window live in entry_field_model.h,
// picture_mask.h, entry_field_values.h and entry_field_validation.h.
#include <QMenu>
#include <QPointer>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "controls/base.h"
#include "controls/borders.h"
#include "controls/caret.h"
#include "controls/colors.h"
#include "controls/controller.h"
#include "controls/entry_field_model.h"
#include "controls/entry_field_values.h"
#include "controls/meter.h"
#include "controls/picture_mask.h"

namespace controls {

class TVxIntlSup;
class TVxUserData;

// Platform messages the field answers, and the library's data-size query.
inline constexpr std::uint32_t WM_SETTEXT = 0x000C;
inline constexpr std::uint32_t WM_NEXTDLGCTL = 0x0028;
inline constexpr std::uint32_t EM_GETSEL = 0x00B0;
inline constexpr std::uint32_t EM_SETSEL = 0x00B1;
inline constexpr std::uint32_t EM_GETMODIFY = 0x00B8;
inline constexpr std::uint32_t EM_SETMODIFY = 0x00B9;
inline constexpr std::uint32_t WM_CUT = 0x0300;
inline constexpr std::uint32_t WM_COPY = 0x0301;
inline constexpr std::uint32_t WM_PASTE = 0x0302;
inline constexpr std::uint32_t WM_CLEAR = 0x0303;
inline constexpr std::uint32_t OM_GETDATASIZE = 0x7F03;

// The field's three colour pairs; a change of any repaints the field.
class TVxEfColors {
 public:
  TVxEfColors();
  TVxEfColors(const TVxEfColors&) = delete;
  TVxEfColors& operator=(const TVxEfColors&) = delete;

  TVxColors& Disabled() { return disabled_; }
  TVxColors& Error() { return error_; }
  TVxColors& Highlight() { return highlight_; }
  const TVxColors& Disabled() const { return disabled_; }
  const TVxColors& Error() const { return error_; }
  const TVxColors& Highlight() const { return highlight_; }
  void Assign(const TVxEfColors& other);

  std::function<void()> OnColorChange;

 private:
  TVxColors disabled_;
  TVxColors error_;
  TVxColors highlight_;
};

using TValidationErrorEvent =
    std::function<void(tk::Component* sender, std::uint16_t errorCode, const std::string& message)>;
using TUserValidationEvent = std::function<void(tk::Component* sender, std::uint16_t& errorCode)>;
using TGetEpochEvent = std::function<void(tk::Component* sender, std::int32_t& epoch)>;
using TUserCommandEvent = std::function<void(tk::Component* sender, std::uint16_t command)>;
using TEfKeyEvent = std::function<void(tk::Component* sender, std::uint16_t& key, tk::ShiftState shift)>;
using TEfKeyPressEvent = std::function<void(tk::Component* sender, char& key)>;

class TVxBaseEntryField : public TVxCustomControlEx, public IVxEntryField {
 public:
  static constexpr std::uint16_t MaxEditLength = 255;

  explicit TVxBaseEntryField(tk::Component* owner, QWidget* parent = nullptr);
  ~TVxBaseEntryField() override;
  std::string ClassName() const override { return "TVxBaseEntryField"; }

  // properties
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  TVxBorders& Borders() { return *borders_; }
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool value);
  TVxEfColors& EFColors() { return *colors_; }
  std::uint8_t DecimalPlaces() const { return decimalPlaces_; }
  void SetDecimalPlaces(std::uint8_t value);
  // The century window: the field's own, then OnGetEpoch, and 0 becomes the controller's.
  std::int32_t GetEpoch() const;
  std::int32_t StoredEpoch() const { return epoch_; }
  void SetEpoch(std::int32_t value);
  TVxIntlSup& IntlSupport() const;
  // Null: the global settings.
  void SetIntlSupport(TVxIntlSup* value);
  std::uint16_t LastError() const override { return lastError_; }
  std::uint16_t MaxLength() const { return maxLength_; }
  void SetMaxLength(std::uint16_t value);
  TVxEntryFieldOptions Options() const { return options_; }
  void SetOptions(TVxEntryFieldOptions value);
  char PadChar() const { return padChar_; }
  void SetPadChar(char value);
  char PasswordChar() const { return passwordChar_; }
  void SetPasswordChar(char value);
  int TextMargin() const { return textMargin_; }
  void SetTextMargin(int value);
  bool Uninitialized() const { return uninitialized_; }
  void SetUninitialized(bool value) override;
  TVxUserData& UserData() const;
  void SetUserData(TVxUserData* value);
  TZeroDisplay ZeroDisplay() const { return zeroDisplay_; }
  void SetZeroDisplay(TZeroDisplay value);
  double ZeroDisplayValue() const { return zeroDisplayValue_; }
  void SetZeroDisplayValue(double value);
  TsefOptionSet State() const { return state_; }
  std::uint8_t DataType() const { return dataType_; }
  std::uint8_t FieldClass() const { return fieldClass_; }
  const std::string& PictureMask() const { return pictureMask_; }
  std::uint16_t MaskLength() const { return maskLength_; }
  int HorizontalOffset() const { return hOffset_; }
  bool RightAlignedNow() const { return rightAligned_; }
  int TopMargin() const { return topMargin_; }
  TVxCaretPair& Caret() { return *caret_; }

  TValidationErrorEvent OnError;
  TGetEpochEvent OnGetEpoch;
  TUserCommandEvent OnUserCommand;
  TUserValidationEvent OnUserValidation;
  tk::NotifyEvent OnChange;
  // The toolkit's key events: they see a key before the field and may take it (set it to 0).
  TEfKeyEvent OnKeyDown;
  TEfKeyPressEvent OnKeyPress;

  // state
  bool Modified() const { return state_ & sefModified; }
  void SetModified(bool value);
  bool EverModified() const { return state_ & (sefModified | sefEverModified); }
  void SetEverModified(bool value);
  bool InsertMode() const;
  void SetInsertMode(bool value);
  TVxCaretShape InsCaretType() const;
  TVxCaretShape OvrCaretType() const;
  void SetInsCaretType(TVxCaretShape shape);
  void SetOvrCaretType(TVxCaretShape shape);
  // The caret position; -1 without the focus.
  int GetCurrentPos() const;
  std::uint16_t GetDataSize();
  const std::string& GetEditString() const { return editText_; }
  virtual std::string GetStrippedEditString() const;
  std::string GetDisplayString() const { return efGetDisplayString(); }
  bool FieldIsEmpty();
  // The window text: the edit text; setting it selects everything and pastes the new text.
  std::string Text() const { return editText_; }
  void SetText(const std::string& text);

  // editing (the single road to efEdit)
  void ProcessCommand(std::uint16_t command, char character);
  void ClearContents();
  void CopyToClipboard();
  virtual void CutToClipboard();
  virtual void PasteFromClipboard();
  void ClearSelection();
  void SelectAll();
  void Deselect() { SetSelection(0, 0); }
  void SetSelection(int start, int end);
  int GetSelStart() const { return selStart_; }
  int GetSelEnd() const { return selEnd_; }
  int GetSelLength() const { return selEnd_ - selStart_; }
  void SetSelStart(int n) { SetSelection(n, n); }
  void SetSelLength(int n) { SetSelection(selStart_, selStart_ + n); }
  std::string GetSelText() const;
  void SetSelText(const std::string& text);
  void MoveCaret(int n);
  void MoveCaretToStart() { efCaretToStart(); }
  void MoveCaretToEnd() { efCaretToEnd(); }
  void ResetCaret() { efResetCaret(); }
  virtual void Restore();
  void IncreaseValue(bool wrap, double delta);
  void DecreaseValue(bool wrap, double delta);
  void efMoveFocus(QWidget* control);
  virtual void efMoveFocusToNextField();
  virtual void efMoveFocusToPrevField();
  // The up, down, increase and decrease commands, which every field type treats alike; true when the
  // command needs nothing more.
  bool efStepCommand(int command, TVxBaseEFOptions shared);

  // validation
  virtual std::uint16_t ValidateContents(bool reportError) override;
  bool ValidateSelf();
  bool IsValid() const { return !(state_ & sefInvalid); }

  // typed values
  std::uint16_t GetValue(void* data);
  void SetValue(const void* data);
  std::string GetAsString();
  void SetAsStringValue(const std::string& text) { SetAsString(text); }
  bool GetAsBoolean();
  void SetAsBoolean(bool value);
  std::int32_t GetAsInteger();
  void SetAsInteger(std::int32_t value);
  double GetAsFloat();
  void SetAsFloat(double value);
  long double GetAsExtended();
  void SetAsExtended(long double value);
  std::int32_t GetAsCents();
  void SetAsCents(std::int32_t value);
  tk::DateTime GetAsDateTime();
  void SetAsDateTime(tk::DateTime value);
  TStDate GetAsStDate();
  void SetAsStDate(TStDate value);
  TStTime GetAsStTime();
  void SetAsStTime(TStTime value);
  // Booleans, integers (int), floating types (double), dates (QDate), anything else as text.
  QVariant GetAsVariant();
  void SetAsVariant(const QVariant& value);
  const TRangeType& RangeHi() const { return rangeHi_; }
  const TRangeType& RangeLo() const { return rangeLo_; }
  std::string GetRangeHiStr() const;
  std::string GetRangeLoStr() const;
  void SetRangeHiStr(const std::string& text);
  void SetRangeLoStr(const std::string& text);
  // The limit from a value of the field's type (integers widened, floating types to 10 bytes).
  void SetRangeHi(const TRangeType& value) { rangeHi_ = value; }
  void SetRangeLo(const TRangeType& value) { rangeLo_ = value; }
  void SetRangeHiLong(std::int32_t value) { rangeHi_ = TRangeType::FromLong(value); }
  void SetRangeLoLong(std::int32_t value) { rangeLo_ = TRangeType::FromLong(value); }
  void SetRangeHiFloat(long double value) { rangeHi_ = TRangeType::FromExtended(value); }
  void SetRangeLoFloat(long double value) { rangeLo_ = TRangeType::FromExtended(value); }
  void SetInitialValue() { efSetInitialValue(); }
  // What the value conversions need to know of this field.
  TVxValueFormat ValueFormat() const;

  void Dispatch(tk::Message& message) override;
  void SetBounds(int left, int top, int width, int height) override;
  void SetName(const std::string& name) override;
  void GetProperties(tk::PropertyList& list) const override;
  void DefineProperties(tk::Filer& filer) override;
  void Loaded() override;

 protected:
  // the virtual operations, in their declared order
  virtual bool efCanClose(bool validateSoftly);
  virtual void efCaretToEnd();
  virtual void efCaretToStart();
  virtual void efEdit(tk::Message& message, std::uint16_t command) = 0;
  virtual int efEditBegin() const { return 0; }
  virtual bool efFieldIsEmpty() const;
  virtual std::string efGetDisplayString() const;
  virtual bool efIsReadOnly() const { return options_ & efoReadOnly; }
  virtual void efRemoveBadOptions();
  virtual void efResetCaret();
  // The base's part of a transfer: what setting the value does to caret, selection and flags.
  virtual std::uint16_t efTransfer(void* data, std::uint8_t direction);
  virtual std::uint16_t efValidateField() = 0;
  virtual void efSetCaretPos(int pos);
  virtual void SetAsString(const std::string& text);
  virtual void DoOnChange();
  virtual void DoOnError(std::uint16_t errorCode, const std::string& message);
  virtual void DoOnUserCommand(std::uint16_t command);
  virtual void DoOnUserValidation(std::uint16_t& errorCode);
  virtual void DoRestoreClick();
  virtual void DoCutClick();
  virtual void DoCopyClick();
  virtual void DoPasteClick();
  virtual void DoDeleteClick();
  virtual void DoSelectAllClick();
  virtual void efAdjustSize();
  virtual void efChangeMask(const std::string& mask);
  virtual std::string efGetSampleDisplayData() const;
  virtual void efIncDecValue(bool wrap, double delta) = 0;
  virtual void MergeWithPicture(const std::string& text);

  // for the concrete classes
  // Chooses the class and data type, with the default range.
  void SetFieldType(TVxFieldClass fieldClass, TVxFieldSubtype subtype);
  void SetPictureMaskText(const std::string& mask);
  // MaxLength without the checks SetMaxLength makes: a picture field's length is its mask's.
  void SetMaxLengthRaw(std::uint16_t value) {
    maxLength_ = value;
    dataSize_ = 0;
  }
  std::uint16_t GetDataSizeConst() const { return DataSizePrim(); }
  // Whether the text position shows a literal of the mask (never typed over, not masked as a password).
  virtual bool efIsLiteralPos(int) const { return false; }
  void efSetDefaultRange(std::uint8_t dataType);
  virtual void efSetInitialValue();
  void efPerformEdit(tk::Message& message, std::uint16_t command);
  // After an edit: a modification marks the field and fires OnChange; then it is repainted.
  void efPerformRepaint(bool modified);
  void efFieldModified();
  void efConditionalBeep();
  void efPositionCaret(bool adjust);
  // The window text position nearest to the window x coordinate.
  int efGetMousePos(int x);
  void efCopyPrim();
  void efSaveEditString();
  bool efIsSibling(QWidget* target) const;
  std::uint16_t efRequiredError();
  std::uint16_t efCalcTopMargin();
  int efGetTextExtent(const std::string& text) const;
  bool efCharOK(char mask, char& c, char prev, bool fixCase) const;
  void efFixCase(char mask, char& c, char prev) const;
  char efNthMaskChar(int pos) const { return NthMaskChar(pictureMask_, static_cast<std::size_t>(pos)); }
  bool efStr2Long(const std::string& text, std::int32_t& value) const;
  std::string efLong2Str(std::int32_t value) const;
  TVxRadix Radix() const;
  void SetEditText(const std::string& text);
  void SetSelectionRaw(int start, int end);
  void SetCaretPosRaw(int pos) { currentPos_ = pos; }
  // Moves the caret within the text; with `extend` the selection follows it from its anchor, the end of the
  // selection away from the caret.
  void efMoveCaretTo(int pos, bool extend);
  int CurrentPos() const { return currentPos_; }
  void SetStateFlag(TsefOptionSet flag, bool on);
  bool HasState(TsefOptionSet flag) const { return state_ & flag; }
  // The width of the frame the border style draws round the client area.
  int FrameWidth() const;
  int ClientWidth() const { return Width() - 2 * FrameWidth(); }
  int ClientHeight() const { return Height() - 2 * FrameWidth(); }
  int LeftBorderWidth() const;
  int RightBorderWidth() const;

  void CreateWnd() override;
  void paintEvent(QPaintEvent* event) override;
  virtual void efPaintPrim(tk::Canvas& canvas, const tk::Rect& rect, int offset);
  // The active border lines, inside the client rectangle `client` of `canvas`.
  void efPaintBorders(QPainter& painter, const tk::Rect& client);
  void efBorderChanged();
  // Builds the right-button menu; the caller pops it up.
  virtual QMenu* BuildContextMenu();

 public:
  // The right-button menu while it shows.
  QMenu* ContextMenu() const { return menu_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // The key's command, if any, carried out; false when its character must not be edited.
  bool KeyDown(std::uint16_t key, tk::ShiftState shift, bool keypad, bool& handled);
  void CharMessage(char c);
  void FocusGained();
  void FocusLost();
  void ReportError(std::uint16_t code);
  void ClipboardPaste();
  void DoSetText(const std::string& text);
  void OptionsChanged();
  void FontChanged();
  void CheckType(bool ok) const;
  void ReadRange(TRangeType& range, const tk::Binary& bytes);
  std::uint16_t DataSizePrim() const;
  std::string OptionsText() const;
  void SetOptionsText(const std::string& text);
  void DrawRun(tk::Canvas& canvas, int& x, int y, const std::string& shown, const std::string& raw, int from, int to,
               tk::TColor text, tk::TColor back);
  QWidget* FocusTarget() const;

  std::unique_ptr<TVxBorders> borders_;
  std::unique_ptr<TVxEfColors> colors_;
  std::unique_ptr<TVxCaretPair> caret_;
  bool autoSize_ = true;
  TBorderStyle borderStyle_ = TBorderStyle::bsSingle;
  bool ctl3D_ = true;
  std::uint8_t decimalPlaces_ = 0;
  std::int32_t epoch_ = 0;
  TVxIntlSup* intl_ = nullptr;
  std::uint16_t lastError_ = 0;
  std::uint16_t maxLength_ = 15;
  TVxEntryFieldOptions options_ = DefaultFieldOptions;
  char padChar_ = ' ';
  char passwordChar_ = '*';
  int textMargin_ = 2;
  bool uninitialized_ = false;
  TVxUserData* userData_ = nullptr;
  TZeroDisplay zeroDisplay_ = TZeroDisplay::zdShow;
  double zeroDisplayValue_ = 0;
  std::uint16_t dataSize_ = 0;
  std::uint8_t dataType_ = 0;
  std::string editText_;
  std::uint8_t fieldClass_ = fcSimple;
  int hOffset_ = 0;
  int currentPos_ = 0;
  std::uint16_t maskLength_ = 1;
  std::string pictureMask_ = "X";
  TRangeType rangeHi_{};
  TRangeType rangeLo_{};
  bool rightAligned_ = false;
  std::unique_ptr<std::string> savedText_;
  int selStart_ = 0;
  int selEnd_ = 0;
  int topMargin_ = 0;
  TsefOptionSet state_ = 0;
  bool everCreated_ = false;
  bool adjusting_ = false;
  bool closing_ = false;
  QPointer<QMenu> menu_;
};

}  // namespace controls
