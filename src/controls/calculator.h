#pragma once
// The calculator control: a display line, an optional paper tape and a grid of painted buttons that work
// like a desk calculator's. Mouse, keys, clipboard and window text all arrive through PressButton; the
// arithmetic is a TVxBasicCalculatorEngine. Made in pop-up mode it is the number edits' drop-down.
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/base.h"
#include "controls/calculator_engine.h"
#include "controls/calculator_tape.h"
#include "controls/meter.h"

namespace controls {

enum class TVxCalculatorButton {
  cbNone,
  cbTape,
  cbBack,
  cbClearEntry,
  cbClear,
  cbAdd,
  cbSub,
  cbMul,
  cbDiv,
  cb0,
  cb1,
  cb2,
  cb3,
  cb4,
  cb5,
  cb6,
  cb7,
  cb8,
  cb9,
  cbDecimal,
  cbEqual,
  cbInvert,
  cbChangeSign,
  cbPercent,
  cbSqrt,
  cbMemClear,
  cbMemRecall,
  cbMemStore,
  cbMemAdd,
  cbMemSub,
  cbSubTotal
};

enum class TVxCalculatorOption {
  coShowItemCount,
  coShowMemoryButtons,
  coShowClearTapeButton,
  coShowTape,
  coShowSeparatePercent
};
using TVxCalculatorOptions = TVxSmallSet<TVxCalculatorOption>;

enum class TVxCalcColorScheme { cscalcCustom, cscalcWindows, cscalcDark, cscalcOcean, cscalcPlain };

// One painted button: where it is (client coordinates), what it says, whether it shows.
struct TVxButtonInfo {
  tk::Rect Position;
  std::string Caption;
  bool Visible = true;
};

// The calculator's eight colours, loaded from a scheme or set one by one.
class TVxCalcColors {
 public:
  static constexpr int Count = 8;
  TVxCalcColors();

  tk::TColor Color(int index) const { return colors_.at(static_cast<std::size_t>(index)); }
  // Notifies and makes the scheme custom.
  void SetColor(int index, tk::TColor color);
  tk::TColor DisabledMemoryButtons() const { return colors_[0]; }
  tk::TColor Display() const { return colors_[1]; }
  tk::TColor DisplayTextColor() const { return colors_[2]; }
  tk::TColor EditButtons() const { return colors_[3]; }
  tk::TColor FunctionButtons() const { return colors_[4]; }
  tk::TColor MemoryButtons() const { return colors_[5]; }
  tk::TColor NumberButtons() const { return colors_[6]; }
  tk::TColor OperatorButtons() const { return colors_[7]; }
  void SetDisabledMemoryButtons(tk::TColor c) { SetColor(0, c); }
  void SetDisplay(tk::TColor c) { SetColor(1, c); }
  void SetDisplayTextColor(tk::TColor c) { SetColor(2, c); }
  void SetEditButtons(tk::TColor c) { SetColor(3, c); }
  void SetFunctionButtons(tk::TColor c) { SetColor(4, c); }
  void SetMemoryButtons(tk::TColor c) { SetColor(5, c); }
  void SetNumberButtons(tk::TColor c) { SetColor(6, c); }
  void SetOperatorButtons(tk::TColor c) { SetColor(7, c); }

  TVxCalcColorScheme ColorScheme() const { return scheme_; }
  // Any scheme but cscalcCustom loads its eight colours and notifies once.
  void SetColorScheme(TVxCalcColorScheme scheme);
  static const std::array<tk::TColor, Count>& SchemeColors(TVxCalcColorScheme scheme);

  // Changes in between notify once, at the last EndUpdate.
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();
  // Copies the colours, the scheme and the change notification.
  void Assign(const TVxCalcColors& other);

  std::function<void()> OnChange;

 private:
  void Changed();
  std::array<tk::TColor, Count> colors_;
  TVxCalcColorScheme scheme_ = TVxCalcColorScheme::cscalcCustom;
  int updateCount_ = 0;
  bool pending_ = false;
};

// The display line: a panel whose click gives the calculator the focus.
class TVxCalcPanel : public QWidget {
 public:
  explicit TVxCalcPanel(QWidget* parent);
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  tk::TColor Color = tk::clWindow;
  tk::TColor TextColor = tk::clWindowText;
  tk::Font TextFont;
  bool Bevel = true;  // lowered bevel (3-D look); a single border without it
  std::function<void()> OnClick;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  std::string caption_;
};

class TVxCustomCalculator;
using TVxCalcButtonPressedEvent = std::function<void(tk::Component* sender, TVxCalculatorButton button)>;
using TVxKeyEvent = std::function<void(tk::Component* sender, std::uint16_t& key, tk::ShiftState shift)>;
using TVxKeyPressEvent = std::function<void(tk::Component* sender, char& key)>;
using TVxMouseEvent =
    std::function<void(tk::Component* sender, Qt::MouseButton button, tk::ShiftState shift, int x, int y)>;

class TVxCustomCalculator : public TVxCustomControl {
 public:
  explicit TVxCustomCalculator(tk::Component* owner, bool asPopup = false, QWidget* parent = nullptr);
  ~TVxCustomCalculator() override;
  std::string ClassName() const override { return "TVxCustomCalculator"; }

  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool value);
  TVxCalcColors& Colors() { return colors_; }
  const TVxCalcColors& Colors() const { return colors_; }
  // Takes the other set's colours and scheme; the calculator keeps hearing of later changes.
  void SetColors(const TVxCalcColors& value);
  int Decimals() const { return engine_.Decimals; }
  void SetDecimals(int value);
  const tk::Font& TapeFont() const { return tape_->Font(); }
  void SetTapeFont(const tk::Font& font) { tape_->SetFont(font); }
  int TapeHeight() const { return tapeHeight_; }
  void SetTapeHeight(int value);
  std::int32_t MaxPaperCount() const { return tape_->MaxPaperCount; }
  void SetMaxPaperCount(std::int32_t value);
  TVxCalculatorOptions Options() const { return options_; }
  void SetOptions(TVxCalculatorOptions value);
  char TapeSeparatorChar() const { return separatorChar_; }
  void SetTapeSeparatorChar(char value) { separatorChar_ = value; }
  bool IsPopup() const { return popup_; }

  tk::Extended Memory() const { return engine_.Memory; }
  void SetMemory(tk::Extended value);
  tk::Extended Operand() const { return engine_.TopOperand(); }
  void SetOperand(tk::Extended value);
  tk::Extended Display() const { return displayValue_; }
  void SetDisplay(tk::Extended value);
  // Reads the display line; writing stores the entry text.
  std::string DisplayStr() const { return panel_->Caption(); }
  void SetDisplayStr(const std::string& value);
  std::vector<std::string> Tape() { return tape_->Tape(); }
  void SetTape(const std::vector<std::string>& lines) { tape_->SetTape(lines); }
  // The window text: the display line. Setting it clears and types each character.
  std::string Text() const { return panel_->Caption(); }
  void SetText(const std::string& text);
  char DecimalSeparator() const { return decimalSeparator_; }

  // Every input ends here: the calculation step, then the button's editing action.
  void PressButton(TVxCalculatorButton button);
  void PushOperand(tk::Extended value);
  void CopyToClipboard();
  void PasteFromClipboard();

  const TVxButtonInfo& ButtonInfo(TVxCalculatorButton button) const;
  TVxCalculatorButton PressedButton() const { return pressed_; }
  TVxCalculatorButton LastButton() const { return lastButton_; }
  const std::string& EntryText() const { return entryText_; }
  tk::Extended EntryValue() const { return entryValue_; }
  const TVxBasicCalculatorEngine& Engine() const { return engine_; }
  TVxCalcTape& TapeObject() { return *tape_; }
  TVxCalcPanel* DisplayPanel() const { return panel_; }
  // Client area: inside the border the control draws itself.
  tk::Rect ClientArea() const;

  TVxCalcButtonPressedEvent OnButtonPressed;
  TVxKeyEvent OnKeyDown;
  TVxKeyEvent OnKeyUp;
  TVxKeyPressEvent OnKeyPress;
  TVxMouseEvent OnMouseDown;
  TVxMouseEvent OnMouseUp;

  void SetBounds(int left, int top, int width, int height) override;
  void Dispatch(tk::Message& message) override;
  void GetProperties(tk::PropertyList& list) const override;

 protected:
  void CreateWnd() override;
  void Paint(tk::Canvas& canvas) override;
  // The key handlers first fire the events, which may take the key (set it to 0) before the calculator.
  virtual void KeyDown(std::uint16_t& key, tk::ShiftState shift);
  virtual void KeyUp(std::uint16_t& key, tk::ShiftState shift);
  virtual void KeyPress(char& key);
  virtual void MouseDown(Qt::MouseButton button, tk::ShiftState shift, int x, int y);
  virtual void MouseUp(Qt::MouseButton button, tk::ShiftState shift, int x, int y);
  // Ends a design-time tape sizing.
  void CancelMode();

  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void CalcLayout();
  void ClearCalculator();
  void Calculate(TVxCalculatorButton& button);
  void Evaluate(TVxCalculatorButton button);
  void EditButton(TVxCalculatorButton button);
  void TypeDigit(char digit);
  void TypeDecimal();
  void BackSpace();
  void ChangeSign();
  void SetDisplayLine(const std::string& text);
  std::string Formatted(tk::Extended value) const;
  tk::Extended ToValue(const std::string& text) const;
  void RepaintButton(TVxCalculatorButton button);
  void ColorsChanged();
  void TapeFontChanged();
  void ApplyOptions();
  int BorderWidth() const;
  bool MemoryButtonDead(TVxCalculatorButton button) const;
  tk::TColor CaptionColor(TVxCalculatorButton button) const;
  TVxCalculatorButton ButtonAt(int x, int y) const;
  bool InTapeSizingBand(int y) const;
  void RecallFromTape(tk::Extended value, const std::string& text);

  TVxBasicCalculatorEngine engine_;
  std::unique_ptr<TVxCalcTape> tape_;
  TVxCalcPanel* panel_;
  TVxCalcColors colors_;
  std::array<TVxButtonInfo, 29> buttons_;
  TBorderStyle borderStyle_ = TBorderStyle::bsNone;
  bool ctl3D_ = true;
  TVxCalculatorOptions options_{TVxCalculatorOption::coShowItemCount, TVxCalculatorOption::coShowMemoryButtons};
  int tapeHeight_ = 0;
  char separatorChar_ = '_';
  char decimalSeparator_ = '.';
  std::string entryText_ = "0";
  tk::Extended entryValue_ = 0;
  tk::Extended displayValue_ = 0;
  TVxCalculatorButton pressed_ = TVxCalculatorButton::cbNone;
  TVxCalculatorButton lastButton_ = TVxCalculatorButton::cbNone;
  bool pendingMinus_ = false;
  bool decimalTyped_ = false;
  bool popup_ = false;
  bool leftDown_ = false;
  bool sizingTape_ = false;
  int sizingLine_ = 0;
};

class TVxCalculator : public TVxCustomCalculator {
 public:
  using TVxCustomCalculator::TVxCustomCalculator;
  std::string ClassName() const override { return "TVxCalculator"; }
};

}  // namespace controls
