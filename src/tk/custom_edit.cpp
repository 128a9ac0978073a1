#include "tk/custom_edit.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPalette>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QValidator>
#include <algorithm>

#include "platform/text.h"
#include "platform/ui.h"
#include "tk/exception_guard.h"
#include "tk/key_mapper.h"
#include "tk/virtual_keys.h"

namespace tk {

namespace {

const char* const kCharCaseNames[] = {"ecNormal", "ecUpperCase", "ecLowerCase"};

// Keeps every text the edit takes in Latin-1 and in the edit's case; typed and pasted text alike.
class EditValidator : public QValidator {
 public:
  EditValidator(QObject* parent, const EditCharCase& charCase) : QValidator(parent), charCase_(charCase) {}

  State validate(QString& input, int&) const override {
    if (!platform::IsLatin1(input)) {
      platform::Ui().Beep();
      return Invalid;
    }
    if (charCase_ == EditCharCase::ecNormal) return Acceptable;
    for (QChar& c : input) {
      // A case partner outside Latin-1 (the upper-case y with diaeresis) leaves the character as it is.
      QChar changed = charCase_ == EditCharCase::ecUpperCase ? c.toUpper() : c.toLower();
      if (changed.unicode() <= 0xFF) c = changed;
    }
    return Acceptable;
  }

 private:
  const EditCharCase& charCase_;
};

// Entering and leaving are moves of the focus inside a window, not the window's own activation.
bool MovesFocus(Qt::FocusReason reason) {
  return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

}  // namespace

// The character a password edit shows: a style hint, so a style of its own for this one edit.
class CustomEdit::MaskStyle : public QProxyStyle {
 public:
  explicit MaskStyle(QWidget* owner) : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {
    setParent(owner);
  }
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return Mask;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
  int Mask = '*';
};

CustomEdit::CustomEdit(Component* owner, QWidget* parent) : ControlT<QLineEdit>(owner, parent) {
  setFocusPolicy(Qt::StrongFocus);
  // As the platform's edit box answers: arrows and characters are its own.
  dialogCodes_ = DLGC_WANTARROWS | DLGC_WANTCHARS;
  setMaxLength(32767);
  setValidator(new EditValidator(this, charCase_));
  color_ = clWindow;
  ApplyColors();
  SetBounds(Left(), Top(), 121, 25);
  connect(this, &QLineEdit::textChanged, this, [this] { Guarded([this] { Change(); }); });
}

CustomEdit::~CustomEdit() = default;

void CustomEdit::HandleNeeded() {
  if (handleAllocated_) return;
  handleAllocated_ = true;
  try {
    CreateWnd();
  } catch (...) {
    handleAllocated_ = false;
    throw;
  }
}

void CustomEdit::RecreateWnd() {
  if (!handleAllocated_) return;
  DestroyWnd();
  handleAllocated_ = false;
  HandleNeeded();
}

void CustomEdit::CreateWnd() {
  if (autoSize_ && HasBorder()) AdjustHeight();
}

void CustomEdit::showEvent(QShowEvent* event) {
  ControlT<QLineEdit>::showEvent(event);
  HandleNeeded();
}

std::string CustomEdit::Text() const { return platform::FromQString(text()).value_or(std::string()); }

void CustomEdit::SetText(const std::string& value) { setText(platform::ToQString(value)); }

void CustomEdit::SetAutoSize(bool value) {
  if (value == autoSize_) return;
  autoSize_ = value;
  if (autoSize_ && HasBorder() && HandleAllocated()) AdjustHeight();
}

void CustomEdit::SetHasBorder(bool value) {
  if (value == HasBorder()) return;
  setFrame(value);
  if (autoSize_ && value && HandleAllocated()) AdjustHeight();
}

void CustomEdit::SetCtl3D(bool value) {
  if (value == ctl3D_) return;
  ctl3D_ = value;
  if (autoSize_ && HasBorder() && HandleAllocated()) AdjustHeight();
  update();
}

void CustomEdit::SetCharCase(EditCharCase value) {
  if (value == charCase_) return;
  charCase_ = value;
  // As the platform does when the style changes: the text already there is converted too.
  if (value != EditCharCase::ecNormal) setText(text());
}

void CustomEdit::SetMaxLength(int value) {
  maxLength_ = std::max(0, value);
  setMaxLength(maxLength_ == 0 ? 32767 : maxLength_);
}

void CustomEdit::SetPasswordChar(char value) {
  if (value == passwordChar_) return;
  passwordChar_ = value;
  ApplyPasswordChar();
}

void CustomEdit::ApplyPasswordChar() {
  if (passwordChar_ == '\0') {
    setEchoMode(QLineEdit::Normal);
    return;
  }
  const bool made = !maskStyle_;
  if (made) maskStyle_ = new MaskStyle(this);
  maskStyle_->Mask = static_cast<unsigned char>(passwordChar_);
  // The edit reads the character when its style changes.
  if (made) {
    setStyle(maskStyle_);
  } else {
    QEvent changed(QEvent::StyleChange);
    QApplication::sendEvent(this, &changed);
  }
  setEchoMode(QLineEdit::Password);
}

int CustomEdit::SelStart() const {
  if (hiddenStart_ >= 0) return hiddenStart_;
  return hasSelectedText() ? selectionStart() : cursorPosition();
}

int CustomEdit::SelLength() const {
  if (hiddenStart_ >= 0) return hiddenLength_;
  return static_cast<int>(selectedText().size());
}

void CustomEdit::SetSelStart(int value) {
  hiddenStart_ = -1;
  deselect();
  setCursorPosition(std::clamp(value, 0, static_cast<int>(text().size())));
}

void CustomEdit::SetSelLength(int value) {
  int start = SelStart();
  hiddenStart_ = -1;
  int length = std::clamp(value, 0, static_cast<int>(text().size()) - start);
  if (length == 0) {
    deselect();
    setCursorPosition(start);
  } else {
    setSelection(start, length);
  }
}

std::string CustomEdit::SelText() const { return platform::FromQString(selectedText()).value_or(std::string()); }

int CustomEdit::BorderWidth() const {
  if (!HasBorder()) return 0;
  return ctl3D_ ? 2 : 1;
}

void CustomEdit::AdjustHeight() {
  int extra = ctl3D_ ? 8 : 6;
  SetBounds(Left(), Top(), Width(), QFontMetrics(font()).height() + extra);
}

void CustomEdit::ApplyColors() {
  QPalette pal = palette();
  pal.setColor(QPalette::Base, ToQColor(color_));
  // Disabled text keeps the style's grey.
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
    pal.setColor(group, QPalette::Text, ToQColor(font_.Color()));
  setPalette(pal);
}

void CustomEdit::Dispatch(Message& message) {
  switch (message.Msg) {
    case CM_COLORCHANGED:
      ApplyColors();
      update();
      break;
    case CM_FONTCHANGED:
      ApplyColors();
      if (autoSize_ && HasBorder() && HandleAllocated()) AdjustHeight();
      update();
      break;
    default:
      ControlT<QLineEdit>::Dispatch(message);
  }
}

void CustomEdit::Change() {
  if (OnChange) OnChange(this);
}

void CustomEdit::KeyDown(std::uint16_t& key, ShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}

void CustomEdit::KeyUp(std::uint16_t& key, ShiftState shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
}

void CustomEdit::KeyPress(char& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

bool CustomEdit::DialogKey(std::uint16_t, ShiftState) { return false; }

void CustomEdit::DoEnter() {
  if (OnEnter) OnEnter(this);
}

void CustomEdit::DoExit() {
  if (OnExit) OnExit(this);
}

void CustomEdit::MouseDown(Qt::MouseButton button, ShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void CustomEdit::MouseUp(Qt::MouseButton button, ShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void CustomEdit::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

void CustomEdit::paintEvent(QPaintEvent* event) { QLineEdit::paintEvent(event); }

void CustomEdit::keyPressEvent(QKeyEvent* event) {
  Guarded([&] { HandleKeyPress(event); });
}

void CustomEdit::HandleKeyPress(QKeyEvent* event) {
  QPointer<CustomEdit> alive(this);
  const ShiftState shift = ShiftFromQt(event->modifiers());
  std::uint16_t key = VirtualKeyFromQt(event->key(), event->modifiers());
  if (key != 0) {
    KeyDown(key, shift);
    if (!alive) return;
    if (key == 0) {
      event->accept();
      return;
    }
  }
  if (key == VK_RETURN || key == VK_ESCAPE) {
    if (DialogKey(key, shift)) {
      event->accept();
      return;
    }
    if (alive) QLineEdit::keyPressEvent(event);  // leaves them to the form
    return;
  }
  const QString text = event->text();
  // Alt chords make no characters on the platform.
  if (text.size() != 1 || (event->modifiers() & Qt::AltModifier)) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  if (text[0].unicode() > 0xFF) {
    platform::Ui().Beep();
    event->accept();
    return;
  }
  const char typed = static_cast<char>(text[0].unicode());
  char c = typed;
  KeyPress(c);
  if (!alive) return;
  if (c == '\0') {
    event->accept();
    return;
  }
  if (c == typed) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  QKeyEvent replaced(event->type(), event->key(), event->modifiers(), QString(QChar(static_cast<unsigned char>(c))));
  QLineEdit::keyPressEvent(&replaced);
  event->setAccepted(replaced.isAccepted());
}

void CustomEdit::keyReleaseEvent(QKeyEvent* event) {
  Guarded([&] {
    const std::uint16_t original = VirtualKeyFromQt(event->key(), event->modifiers());
    std::uint16_t key = original;
    if (key != 0) KeyUp(key, ShiftFromQt(event->modifiers()));
    if (original != 0 && key == 0)
      event->accept();
    else
      QLineEdit::keyReleaseEvent(event);
  });
}

void CustomEdit::focusInEvent(QFocusEvent* event) {
  const int start = hiddenStart_, length = hiddenLength_;
  hiddenStart_ = -1;
  ControlT<QLineEdit>::focusInEvent(event);
  if (!MovesFocus(event->reason())) return;
  if (event->reason() != Qt::MouseFocusReason) {
    if (autoSelect_)
      selectAll();
    else if (start >= 0 && length > 0)
      setSelection(start, length);
    else if (hasSelectedText())
      deselect();  // the line edit's own select-all on Tab
  }
  Guarded([this] { DoEnter(); });
}

void CustomEdit::focusOutEvent(QFocusEvent* event) {
  const int start = selectionStart(), length = static_cast<int>(selectedText().size());
  ControlT<QLineEdit>::focusOutEvent(event);
  if (length > 0 && !hasSelectedText()) {
    if (hideSelection_) {
      hiddenStart_ = start;
      hiddenLength_ = length;
    } else {
      setSelection(start, length);
    }
  }
  if (MovesFocus(event->reason())) Guarded([this] { DoExit(); });
}

void CustomEdit::mousePressEvent(QMouseEvent* event) {
  QLineEdit::mousePressEvent(event);
  QPoint p = event->position().toPoint();
  Guarded([&] { MouseDown(event->button(), ShiftFromQt(event->modifiers(), event->buttons()), p.x(), p.y()); });
}

void CustomEdit::mouseReleaseEvent(QMouseEvent* event) {
  ControlT<QLineEdit>::mouseReleaseEvent(event);
  QPoint p = event->position().toPoint();
  Guarded([&] { MouseUp(event->button(), ShiftFromQt(event->modifiers(), event->buttons()), p.x(), p.y()); });
}

void CustomEdit::mouseMoveEvent(QMouseEvent* event) {
  QLineEdit::mouseMoveEvent(event);
  ControlT<QLineEdit>::mouseMoveEvent(event);
}

void CustomEdit::mouseDoubleClickEvent(QMouseEvent* event) {
  QLineEdit::mouseDoubleClickEvent(event);
  Guarded([this] { DblClick(); });
}

void CustomEdit::GetProperties(PropertyList& list) const {
  ControlT<QLineEdit>::GetProperties(list);
  using C = CustomEdit;
  list.push_back(MakeProperty<C>("AutoSelect", &C::AutoSelect, &C::SetAutoSelect, Value(true)));
  list.push_back(MakeProperty<C>("AutoSize", &C::AutoSize, &C::SetAutoSize, Value(true)));
  list.push_back(MakeEnumProperty<C>("CharCase", &C::CharCase, &C::SetCharCase, kCharCaseNames, 0));
  list.push_back(MakeProperty<C>("Ctl3D", &C::Ctl3D, &C::SetCtl3D, Value(true)));
  list.push_back(MakeProperty<C>("Enabled", &C::Enabled, &C::SetEnabled, Value(true)));
  list.push_back(MakeProperty<C>("HideSelection", &C::HideSelection, &C::SetHideSelection, Value(true)));
  list.push_back(MakeProperty<C>("MaxLength", &C::MaxLength, &C::SetMaxLength, Value(std::int64_t{0})));
  list.push_back(MakeProperty<C>("OEMConvert", &C::OEMConvert, &C::SetOEMConvert, Value(false)));
  list.push_back(MakeProperty<C>("PasswordChar", &C::PasswordChar, &C::SetPasswordChar, Value(std::int64_t{0})));
  list.push_back(MakeProperty<C>("ReadOnly", &C::ReadOnly, &C::SetReadOnly, Value(false)));
  list.push_back(MakeProperty<C>("TabStop", &C::TabStop, &C::SetTabStop, Value(true)));
  list.push_back(MakeProperty<C>("Text", &C::Text, &C::SetText));
}

}  // namespace tk
