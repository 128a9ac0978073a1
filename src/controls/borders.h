#pragma once
// Border lines drawn on any side of a control, and the bordered edits: containers that paint the enabled
// lines and hold a borderless inner edit filling the space between them (typically one line underneath, as
// on a paper form). The containers mirror the inner edit's properties so that the pair acts as one control.
#include <functional>
#include <memory>
#include <string>

#include "controls/base.h"
#include "controls/popup_edit.h"
#include "tk/color.h"
#include "tk/component.h"
#include "tk/pen_style.h"
#include "tk/property.h"

namespace controls {

enum class TVxBorderStyle { bpsSolid };

class TVxBorder {
 public:
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  TVxBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TVxBorderStyle value);
  tk::TColor PenColor() const { return penColor_; }
  void SetPenColor(tk::TColor value);
  tk::PenStyle PenStyle() const { return penStyle_; }
  void SetPenStyle(tk::PenStyle value);
  int PenWidth() const { return penWidth_; }
  // Below 1 is ignored.
  void SetPenWidth(int value);
  // Takes Enabled, PenColor, PenStyle and PenWidth through the setters.
  void Assign(const TVxBorder& other);

  // Fired by every setter that changes a value.
  std::function<void()> OnChange;

 private:
  void Changed();

  bool enabled_ = false;
  TVxBorderStyle borderStyle_ = TVxBorderStyle::bpsSolid;
  tk::TColor penColor_ = tk::clBlack;
  tk::PenStyle penStyle_ = tk::PenStyle::psSolid;
  int penWidth_ = 2;
};

class TVxBorders {
 public:
  TVxBorder& LeftBorder() { return left_; }
  TVxBorder& RightBorder() { return right_; }
  TVxBorder& TopBorder() { return top_; }
  TVxBorder& BottomBorder() { return bottom_; }
  const TVxBorder& LeftBorder() const { return left_; }
  const TVxBorder& RightBorder() const { return right_; }
  const TVxBorder& TopBorder() const { return top_; }
  const TVxBorder& BottomBorder() const { return bottom_; }
  void Assign(const TVxBorders& other);

 private:
  TVxBorder left_, right_, top_, bottom_;
};

// The published properties of a component's borders ("Borders.BottomBorder.Enabled", ...), for form
// streams; `get` finds the borders in the component.
void AppendBorderProperties(tk::PropertyList& list, const std::string& prefix,
                            std::function<TVxBorders&(tk::Component&)> get);

class TVxBorderParent;

// The inner edits: a TVxEdit and a TVxNumberEdit that know their container.
class TVxEditEx : public TVxEdit {
 public:
  using TVxEdit::TVxEdit;
  std::string ClassName() const override { return "TVxEditEx"; }
  TVxBorderParent* Container() const { return container_; }
  void SetContainer(TVxBorderParent* container) { container_ = container; }

 private:
  TVxBorderParent* container_ = nullptr;
};

class TVxNumberEditEx : public TVxNumberEdit {
 public:
  using TVxNumberEdit::TVxNumberEdit;
  std::string ClassName() const override { return "TVxNumberEditEx"; }
  TVxBorderParent* Container() const { return container_; }
  void SetContainer(TVxBorderParent* container) { container_ = container; }

 private:
  TVxBorderParent* container_ = nullptr;
};

// The container: paints the enabled border lines and keeps its inner edit between them, 21 pixels high.
class TVxBorderParent : public TVxCustomControl {
 public:
  static constexpr int ControlHeight = 21;

  explicit TVxBorderParent(tk::Component* owner, QWidget* parent = nullptr);
  ~TVxBorderParent() override;
  std::string ClassName() const override { return "TVxBorderParent"; }

  TVxBorders& Borders() { return *borders_; }
  TVxCustomEdit* EditControl() const { return edit_; }
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool value);

  // The container is always ControlHeight pixels high, whatever height is asked for.
  void SetBounds(int left, int top, int width, int height) override;
  void GetProperties(tk::PropertyList& list) const override;

 protected:
  // Draws the enabled border lines.
  virtual void PaintBorders(tk::Canvas& canvas);
  // Fits the inner edit between the enabled borders (and the button's room); runs whenever the bounds,
  // the borders or the button change, never while painting.
  void PlaceEdit();
  void resizeEvent(QResizeEvent* event) override;
  virtual void SetEditControl(TVxCustomEdit* edit);
  // Sets up an inner edit made with this container as owner: parented here at (0, 0), no border, no 3-D
  // look, the container's colour and tab stop.
  void AdoptEdit(TVxCustomEdit* edit);
  void CreateWnd() override;
  void Paint(tk::Canvas& canvas) override;
  void focusInEvent(QFocusEvent* event) override;

  int buttonAllowance_ = 0;
  bool showButton_ = false;

  // The inner edit's properties and events, published by the concrete containers.
  bool AutoSelect() const { return edit_->AutoSelect(); }
  void SetAutoSelect(bool value) { edit_->SetAutoSelect(value); }
  bool AutoSize() const { return edit_->AutoSize(); }
  void SetAutoSize(bool value) { edit_->SetAutoSize(value); }
  tk::EditCharCase CharCase() const { return edit_->CharCase(); }
  void SetCharCase(tk::EditCharCase value) { edit_->SetCharCase(value); }
  TVxController* Controller() const { return edit_->Controller(); }
  void SetController(TVxController* value) { edit_->SetController(value); }
  bool Enabled() const { return edit_->Enabled(); }
  void SetEnabled(bool value) { edit_->SetEnabled(value); }
  const tk::Font& Font() const { return edit_->Font(); }
  void SetFont(const tk::Font& value) { edit_->SetFont(value); }
  bool HideSelection() const { return edit_->HideSelection(); }
  void SetHideSelection(bool value) { edit_->SetHideSelection(value); }
  int MaxLength() const { return edit_->MaxLength(); }
  void SetMaxLength(int value) { edit_->SetMaxLength(value); }
  bool OEMConvert() const { return edit_->OEMConvert(); }
  void SetOEMConvert(bool value) { edit_->SetOEMConvert(value); }
  char PasswordChar() const { return edit_->PasswordChar(); }
  void SetPasswordChar(char value) { edit_->SetPasswordChar(value); }
  bool ReadOnly() const { return edit_->ReadOnly(); }
  void SetReadOnly(bool value) { edit_->SetReadOnly(value); }
  int EditHeight() const { return edit_->Height(); }
  void SetEditHeight(int value);
  int EditWidth() const { return edit_->Width(); }
  void SetEditWidth(int value);
  tk::NotifyEvent& OnChange() { return edit_->OnChange; }
  tk::NotifyEvent& OnClick() { return edit_->OnClick; }
  tk::NotifyEvent& OnDblClick() { return edit_->OnDblClick; }
  tk::KeyEvent& OnKeyDown() { return edit_->OnKeyDown; }
  tk::KeyPressEvent& OnKeyPress() { return edit_->OnKeyPress; }
  tk::KeyEvent& OnKeyUp() { return edit_->OnKeyUp; }
  tk::MouseEvent& OnMouseDown() { return edit_->OnMouseDown; }
  tk::MouseMoveEvent& OnMouseMove() { return edit_->OnMouseMove; }
  tk::MouseEvent& OnMouseUp() { return edit_->OnMouseUp; }
  void AppendEditProperties(tk::PropertyList& list) const;

 private:
  std::unique_ptr<TVxBorders> borders_;
  TVxCustomEdit* edit_ = nullptr;
  bool tabStop_ = false;
};

#define ZELTA_VX_EDIT_MIRRORS              \
  using TVxBorderParent::AutoSelect;       \
  using TVxBorderParent::SetAutoSelect;    \
  using TVxBorderParent::AutoSize;         \
  using TVxBorderParent::SetAutoSize;      \
  using TVxBorderParent::CharCase;         \
  using TVxBorderParent::SetCharCase;      \
  using TVxBorderParent::Controller;       \
  using TVxBorderParent::SetController;    \
  using TVxBorderParent::Enabled;          \
  using TVxBorderParent::SetEnabled;       \
  using TVxBorderParent::Font;             \
  using TVxBorderParent::SetFont;          \
  using TVxBorderParent::HideSelection;    \
  using TVxBorderParent::SetHideSelection; \
  using TVxBorderParent::MaxLength;        \
  using TVxBorderParent::SetMaxLength;     \
  using TVxBorderParent::OEMConvert;       \
  using TVxBorderParent::SetOEMConvert;    \
  using TVxBorderParent::PasswordChar;     \
  using TVxBorderParent::SetPasswordChar;  \
  using TVxBorderParent::ReadOnly;         \
  using TVxBorderParent::SetReadOnly;      \
  using TVxBorderParent::EditHeight;       \
  using TVxBorderParent::SetEditHeight;    \
  using TVxBorderParent::EditWidth;        \
  using TVxBorderParent::SetEditWidth;     \
  using TVxBorderParent::OnChange;         \
  using TVxBorderParent::OnClick;          \
  using TVxBorderParent::OnDblClick;       \
  using TVxBorderParent::OnKeyDown;        \
  using TVxBorderParent::OnKeyPress;       \
  using TVxBorderParent::OnKeyUp;          \
  using TVxBorderParent::OnMouseDown;      \
  using TVxBorderParent::OnMouseMove;      \
  using TVxBorderParent::OnMouseUp;

class TVxBorderedEdit : public TVxBorderParent {
 public:
  explicit TVxBorderedEdit(tk::Component* owner, QWidget* parent = nullptr);
  std::string ClassName() const override { return "TVxBorderedEdit"; }
  ZELTA_VX_EDIT_MIRRORS
  TVxEditEx* Edit() const { return inner_; }
  std::string Text() const { return inner_->Text(); }
  void SetText(const std::string& value) { inner_->SetText(value); }

  void GetProperties(tk::PropertyList& list) const override;

 private:
  TVxEditEx* inner_;
};

// The bordered counterpart of TVxEdPopup: the button glyph, the show-button flag and the pop-up's state.
class TVxBorderEdPopup : public TVxBorderParent {
 public:
  // Posted to itself once a pop-up has closed or opened.
  static constexpr std::uint32_t OM_POPUPCLOSED = 1034;
  static constexpr std::uint32_t OM_POPUPOPENED = 1035;

  explicit TVxBorderEdPopup(tk::Component* owner, QWidget* parent = nullptr);
  std::string ClassName() const override { return "TVxBorderEdPopup"; }

  TVxEdButton* Button() const { return button_; }
  const tk::Bitmap& ButtonGlyph() const { return glyph_; }
  // Copies the bitmap; null empties the glyph.
  void SetButtonGlyph(const tk::Bitmap* glyph);
  bool ShowButton() const { return showButton_; }
  virtual void SetShowButton(bool value);
  bool PopupActive() const { return popupActive_; }
  int GetButtonWidth() const;
  virtual bool GetButtonEnabled() const;
  virtual void PopupOpen();
  virtual void PopupClose(tk::Component* sender);

  tk::NotifyEvent OnPopupOpen;
  tk::NotifyEvent OnPopupClose;

  void Loaded() override;
  void Dispatch(tk::Message& message) override;

 protected:
  void SetEditControl(TVxCustomEdit* edit) override;
  void CreateWnd() override;
  virtual void GlyphChanged() {}
  // Return and Escape that the inner edit leaves go no further.
  void keyPressEvent(QKeyEvent* event) override;

  TVxEdButton* button_ = nullptr;
  tk::Bitmap glyph_;

 private:
  TVxEdPopup* popupEdit_ = nullptr;
  bool popupActive_ = false;
};

// A bitmap button whose click opens the pop-up of its bordered container.
class TVxBorderEdButton : public TVxEdButton {
 public:
  using TVxEdButton::TVxEdButton;
  std::string ClassName() const override { return "TVxBorderEdButton"; }

 protected:
  void Click() override;
};

class TVxBorderedNumberEdit : public TVxBorderEdPopup {
 public:
  explicit TVxBorderedNumberEdit(tk::Component* owner, QWidget* parent = nullptr);
  std::string ClassName() const override { return "TVxBorderedNumberEdit"; }
  ZELTA_VX_EDIT_MIRRORS
  TVxNumberEditEx* Edit() const { return inner_; }

  void SetShowButton(bool value) override;
  TVxPopupAnchor PopupAnchor() const { return inner_->PopupAnchor(); }
  void SetPopupAnchor(TVxPopupAnchor value) { inner_->SetPopupAnchor(value); }
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
  tk::NotifyEvent& OnPopupOpen() { return inner_->OnPopupOpen; }
  tk::NotifyEvent& OnPopupClose() { return inner_->OnPopupClose; }
  // Passed on to the inner edit: a flag kept here alone would change nothing.
  bool AllowIncDec() const { return inner_->AllowIncDec(); }
  void SetAllowIncDec(bool value) { inner_->SetAllowIncDec(value); }

  tk::Extended AsFloat() const { return inner_->AsFloat(); }
  void SetAsFloat(tk::Extended value) { inner_->SetAsFloat(value); }
  std::int32_t AsInteger() const { return inner_->AsInteger(); }
  void SetAsInteger(std::int32_t value) { inner_->SetAsInteger(value); }
  std::string AsString() const { return inner_->AsString(); }
  void SetAsString(const std::string& value) { inner_->SetAsString(value); }

  void GetProperties(tk::PropertyList& list) const override;

 protected:
  void GlyphChanged() override;

 private:
  TVxNumberEditEx* inner_;
  TVxCalculator* calculator_;
};

#undef ZELTA_VX_EDIT_MIRRORS

}  // namespace controls
