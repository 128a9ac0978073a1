#pragma once
// The platform's single-line edit box: a QLineEdit with the component model, a window procedure and a window
// made lazily (on first show or HandleNeeded), as the toolkit's windowed controls. Its text is 8-bit; a
// character outside Latin-1 is refused with a beep, never altered.
//
// Keys reach the handlers as the platform delivers them: KeyDown with the virtual-key code first (setting
// the key to 0 takes it), then, for Return and Escape, DialogKey (the form's turn: true takes the key), then
// KeyPress with the character (0 takes it, another character replaces it), then the edit itself.
#include <QLineEdit>
#include <cstdint>
#include <functional>
#include <string>

#include "tk/control.h"

namespace tk {

enum class EditCharCase { ecNormal, ecUpperCase, ecLowerCase };

using KeyEvent = std::function<void(Component* sender, std::uint16_t& key, ShiftState shift)>;
using KeyPressEvent = std::function<void(Component* sender, char& key)>;
using MouseEvent = std::function<void(Component* sender, Qt::MouseButton button, ShiftState shift, int x, int y)>;

class CustomEdit : public ControlT<QLineEdit> {
 public:
  explicit CustomEdit(Component* owner, QWidget* parent = nullptr);
  ~CustomEdit() override;
  std::string ClassName() const override { return "TCustomEdit"; }

  bool HandleAllocated() const { return handleAllocated_; }
  void HandleNeeded();
  // Destroys and makes the window again; the widget and its text survive.
  void RecreateWnd();

  std::string Text() const;
  void SetText(const std::string& text);
  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool value) { autoSelect_ = value; }
  // The height follows the font.
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  // The border: single (true) or none.
  bool HasBorder() const { return hasFrame(); }
  void SetHasBorder(bool value);
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool value);
  EditCharCase CharCase() const { return charCase_; }
  void SetCharCase(EditCharCase value);
  bool HideSelection() const { return hideSelection_; }
  void SetHideSelection(bool value) { hideSelection_ = value; }
  // 0: no limit.
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int value);
  // No OEM code page exists here: the flag is only kept.
  bool OEMConvert() const { return oemConvert_; }
  void SetOEMConvert(bool value) { oemConvert_ = value; }
  // '\0': the text shows as it is.
  char PasswordChar() const { return passwordChar_; }
  void SetPasswordChar(char value);
  bool ReadOnly() const { return isReadOnly(); }
  virtual void SetReadOnly(bool value) { setReadOnly(value); }
  bool Modified() const { return isModified(); }
  void SetModified(bool value) { setModified(value); }
  bool Enabled() const { return isEnabled(); }
  void SetEnabled(bool value) { setEnabled(value); }
  bool TabStop() const { return focusPolicy() == Qt::StrongFocus; }
  void SetTabStop(bool value) { setFocusPolicy(value ? Qt::StrongFocus : Qt::ClickFocus); }

  // The selection; while an edit without the focus hides its selection, what it will have again.
  int SelStart() const;
  int SelLength() const;
  void SetSelStart(int value);
  void SetSelLength(int value);
  std::string SelText() const;
  void SelectAll() { selectAll(); }
  void ClearSelection() { del(); }

  // Width of the border on each side: 2 for a single 3-D border, 1 for a flat one, 0 without.
  int BorderWidth() const;
  int ClientWidth() const { return Width() - 2 * BorderWidth(); }
  int ClientHeight() const { return Height() - 2 * BorderWidth(); }

  NotifyEvent OnChange;
  NotifyEvent OnDblClick;
  NotifyEvent OnEnter;
  NotifyEvent OnExit;
  KeyEvent OnKeyDown;
  KeyEvent OnKeyUp;
  KeyPressEvent OnKeyPress;
  MouseEvent OnMouseDown;
  MouseEvent OnMouseUp;

  void Dispatch(Message& message) override;
  void GetProperties(PropertyList& list) const override;

 protected:
  virtual void CreateWnd();
  virtual void DestroyWnd() {}
  virtual void Change();
  virtual void KeyDown(std::uint16_t& key, ShiftState shift);
  virtual void KeyUp(std::uint16_t& key, ShiftState shift);
  virtual void KeyPress(char& key);
  virtual bool DialogKey(std::uint16_t key, ShiftState shift);
  virtual void DoEnter();
  virtual void DoExit();
  virtual void MouseDown(Qt::MouseButton button, ShiftState shift, int x, int y);
  virtual void MouseUp(Qt::MouseButton button, ShiftState shift, int x, int y);
  virtual void DblClick();
  // Height = font height + the border's share.
  void AdjustHeight();

  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void ApplyColors();
  void ApplyPasswordChar();
  void HandleKeyPress(QKeyEvent* event);

  bool handleAllocated_ = false;
  bool autoSelect_ = true;
  bool autoSize_ = true;
  bool ctl3D_ = true;
  EditCharCase charCase_ = EditCharCase::ecNormal;
  bool hideSelection_ = true;
  int maxLength_ = 0;
  bool oemConvert_ = false;
  char passwordChar_ = '\0';
  // The selection an edit that hides it had when it lost the focus: start, length.
  int hiddenStart_ = -1;
  int hiddenLength_ = 0;
  class MaskStyle;
  MaskStyle* maskStyle_ = nullptr;
};

}  // namespace tk
