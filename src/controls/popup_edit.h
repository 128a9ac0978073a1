#pragma once
// Edits with a small button inside their right edge: TVxEdPopup manages the button and the open and closed
// state of a pop-up it does not have itself; the number edit's button drops down the calculator, whose result
// is written back into the edit.
#include <QPointer>
#include <cstdint>
#include <string>

#include "controls/calculator.h"
#include "controls/custom_edit.h"
#include "tk/bitmap.h"

namespace controls {

enum class TVxPopupAnchor { paLeft, paRight };

// The edit's button: a bitmap button without a caption or the focus; a click opens its parent's pop-up.
class TVxEdButton : public tk::ControlT<QWidget> {
 public:
  TVxEdButton(tk::Component* owner, QWidget* parent);
  std::string ClassName() const override { return "TVxEdButton"; }

  const tk::Bitmap& Glyph() const { return glyph_; }
  void SetGlyph(const tk::Bitmap& glyph);
  bool Down() const { return down_; }

 protected:
  void Click() override;
  void Paint(tk::Canvas& canvas) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  tk::Bitmap glyph_;
  bool down_ = false;
};

class TVxEdPopup : public TVxCustomEdit {
 public:
  // Posted to itself once a pop-up has closed or opened.
  static constexpr std::uint32_t OM_POPUPCLOSED = 1124;
  static constexpr std::uint32_t OM_POPUPOPENED = 1125;

  explicit TVxEdPopup(tk::Component* owner, QWidget* parent = nullptr);
  ~TVxEdPopup() override;
  std::string ClassName() const override { return "TVxEdPopup"; }

  TVxEdButton* Button() const { return button_; }
  const tk::Bitmap& ButtonGlyph() const { return glyph_; }
  // Copies the bitmap; null empties the glyph.
  void SetButtonGlyph(const tk::Bitmap* glyph);
  bool ShowButton() const { return showButton_; }
  void SetShowButton(bool value);
  TVxPopupAnchor PopupAnchor() const { return popupAnchor_; }
  void SetPopupAnchor(TVxPopupAnchor value) { popupAnchor_ = value; }
  bool PopupActive() const { return popupActive_; }
  // 0 without the button; else a vertical scroll bar's width, or the glyph's width + 4 when that is wider.
  int GetButtonWidth() const;
  virtual bool GetButtonEnabled() const { return !ReadOnly(); }

  virtual void PopupOpen();
  virtual void PopupClose(tk::Component* sender);

  tk::NotifyEvent OnPopupOpen;
  tk::NotifyEvent OnPopupClose;

  void SetBounds(int left, int top, int width, int height) override;
  void Loaded() override;
  void Dispatch(tk::Message& message) override;
  void GetProperties(tk::PropertyList& list) const override;
  void DefineProperties(tk::Filer& filer) override;

 protected:
  void CreateWnd() override;
  virtual void GlyphChanged() {}
  // The glyph a form stream need not carry.
  virtual bool GlyphIsDefault() const { return glyph_.Empty(); }
  // While the pop-up is open, Return and Escape close it.
  bool DialogKey(std::uint16_t key, tk::ShiftState shift) override;
  // Replaces the glyph without the notifications of SetButtonGlyph.
  void LoadGlyph(const QImage& image);

 private:
  void PlaceButton();

  TVxEdButton* button_;
  tk::Bitmap glyph_;
  bool showButton_ = true;
  bool popupActive_ = false;
  TVxPopupAnchor popupAnchor_ = TVxPopupAnchor::paLeft;
};

class TVxCustomNumberEdit : public TVxEdPopup {
 public:
  explicit TVxCustomNumberEdit(tk::Component* owner, QWidget* parent = nullptr);
  ~TVxCustomNumberEdit() override;
  std::string ClassName() const override { return "TVxCustomNumberEdit"; }

  TVxCalculator* Calculator() const { return calculator_; }
  // "+" and "-" step the value by 1 instead of being typed.
  bool AllowIncDec() const { return allowIncDec_; }
  void SetAllowIncDec(bool value) { allowIncDec_ = value; }
  TVxCalcColors& PopupColors() { return calculator_->Colors(); }
  void SetPopupColors(const TVxCalcColors& colors) { calculator_->SetColors(colors); }
  int PopupDecimals() const { return calculator_->Decimals(); }
  void SetPopupDecimals(int value) { calculator_->SetDecimals(value); }
  const tk::Font& PopupFont() const { return calculator_->Font(); }
  void SetPopupFont(const tk::Font& font) { calculator_->SetFont(font); }
  int PopupHeight() const { return calculator_->Height(); }
  void SetPopupHeight(int value) { calculator_->SetHeight(value); }
  int PopupWidth() const { return calculator_->Width(); }
  void SetPopupWidth(int value) { calculator_->SetWidth(value); }

  // The text without anything but signs, digits and the decimal separator; tk::EConvertError when no number
  // is left.
  tk::Extended AsFloat() const;
  void SetAsFloat(tk::Extended value);
  // AsFloat to the nearest integer, halves to the even one.
  std::int32_t AsInteger() const;
  void SetAsInteger(std::int32_t value);
  std::string AsString() const { return Text(); }
  void SetAsString(const std::string& value) { SetText(value); }

  void SetReadOnly(bool value) override;
  void PopupOpen() override;
  void PopupClose(tk::Component* sender) override;

  void GetProperties(tk::PropertyList& list) const override;

 protected:
  void GlyphChanged() override;
  bool GlyphIsDefault() const override;
  void KeyDown(std::uint16_t& key, tk::ShiftState shift) override;
  void KeyPress(char& key) override;
  void DoExit() override;
  // While the calculator is open: presses anywhere else close it, and Alt+Up in it does too.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  char DecimalSeparator() const;
  std::string Formatted(tk::Extended value) const;
  tk::Extended ValueOrZero() const;
  void StepValue(int delta);
  void CalculatorButtonPressed(tk::Component* sender, TVxCalculatorButton button);
  void CalculatorKeyDown(tk::Component* sender, std::uint16_t& key, tk::ShiftState shift);
  void CalculatorMouseDown(tk::Component* sender, Qt::MouseButton button, tk::ShiftState shift, int x, int y);
  // Closes on a press at `global` (screen coordinates) outside the calculator.
  void PressedOutside(QPoint global);
  // Closes and puts the caret back where it stood when the calculator opened, nothing selected.
  void CloseKeepingCaret();
  bool InCalculator(QObject* object) const;

  TVxCalculator* calculator_;
  bool allowIncDec_ = false;
  bool closing_ = false;
  QCursor savedCursor_;
  int savedCaret_ = 0;
};

class TVxNumberEdit : public TVxCustomNumberEdit {
 public:
  using TVxCustomNumberEdit::TVxCustomNumberEdit;
  std::string ClassName() const override { return "TVxNumberEdit"; }
};

}  // namespace controls
