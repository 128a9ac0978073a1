#include "controls/popup_edit.h"

#include <QApplication>
#include <QBuffer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <cmath>
#include <cstring>

#include "controls/misc.h"
#include "platform/ui.h"
#include "tk/exception_guard.h"
#include "tk/filer.h"
#include "tk/services.h"
#include "tk/virtual_keys.h"

namespace controls {

namespace {

const char* const kAnchorNames[] = {"paLeft", "paRight"};
constexpr const char* kCalculatorGlyph = "VXBTNCLC";

const bool kRegistered =
    (tk::RegisterClass("TVxEdPopup", [](tk::Component* owner) { return new TVxEdPopup(owner); }),
     tk::RegisterClass("TVxNumberEdit", [](tk::Component* owner) { return new TVxNumberEdit(owner); }), true);

tk::Binary ImageBytes(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return tk::Binary(bytes.begin(), bytes.end());
}

int QtKeyOf(char c) {
  switch (c) {
    case '*':
      return Qt::Key_Asterisk;
    case '+':
      return Qt::Key_Plus;
    default:
      return Qt::Key_Slash;
  }
}

}  // namespace

// button

TVxEdButton::TVxEdButton(tk::Component* owner, QWidget* parent) : tk::ControlT<QWidget>(owner, parent) {
  setFocusPolicy(Qt::NoFocus);
  setCursor(Qt::ArrowCursor);
  color_ = tk::clBtnFace;
}

void TVxEdButton::SetGlyph(const tk::Bitmap& glyph) {
  glyph_ = glyph;
  update();
}

void TVxEdButton::Click() {
  tk::ControlT<QWidget>::Click();
  if (auto* edit = dynamic_cast<TVxEdPopup*>(parentWidget())) edit->PopupOpen();
}

void TVxEdButton::Paint(tk::Canvas& canvas) {
  tk::Rect r = ClientRect();
  canvas.Brush.Color = tk::clBtnFace;
  canvas.FillRect(r);
  tk::Rect face = DrawButtonFrame(canvas, r, down_, false, TButtonStyle::New);
  if (glyph_.Empty()) return;
  int x = face.Left + (face.Width() - glyph_.Width()) / 2 + (down_ ? 1 : 0);
  int y = face.Top + (face.Height() - glyph_.Height()) / 2 + (down_ ? 1 : 0);
  const QImage& image = glyph_.Image();
  if (isEnabled()) {
    DrawTransparentBitmap(canvas, x, y, glyph_.Width(), glyph_.Height(), {0, 0, glyph_.Width(), glyph_.Height()}, image,
                          tk::clDefault);
  } else {
    // The bottom-left pixel is the glyph's background, as for every bitmap button.
    tk::TColor background = tk::FromQColor(QColor(image.pixel(0, image.height() - 1)));
    canvas.Draw(x, y, CreateDisabledBitmap(image, background));
  }
}

void TVxEdButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  down_ = true;
  repaint();
}

void TVxEdButton::mouseReleaseEvent(QMouseEvent* event) {
  bool wasDown = down_;
  down_ = false;
  repaint();
  if (wasDown) tk::Guarded([&] { tk::ControlT<QWidget>::mouseReleaseEvent(event); });
}

void TVxEdButton::changeEvent(QEvent* event) {
  tk::ControlT<QWidget>::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) update();
}

// edit with a pop-up button

TVxEdPopup::TVxEdPopup(tk::Component* owner, QWidget* parent) : TVxCustomEdit(owner, parent) {
  button_ = new TVxEdButton(this, this);
  button_->show();
}

TVxEdPopup::~TVxEdPopup() = default;

int TVxEdPopup::GetButtonWidth() const {
  if (!button_ || !showButton_) return 0;
  int width = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  if (!glyph_.Empty() && glyph_.Width() + 4 > width) width = glyph_.Width() + 4;
  return width;
}

void TVxEdPopup::PlaceButton() {
  if (!showButton_) {
    button_->setGeometry(0, 0, 0, 0);
    setTextMargins(0, 0, 0, 0);
    return;
  }
  // Placed in the client area, which starts inside the border.
  const int bw = GetButtonWidth(), f = BorderWidth(), ch = ClientHeight();
  QRect r;
  if (!HasBorder())
    r = QRect(Width() - bw, 0, bw, ch);
  else if (Ctl3D())
    r = QRect(f + Width() - bw - 4, f, bw, ch);
  else
    r = QRect(f + Width() - bw - 1, f + 1, bw, ch - 2);
  button_->setGeometry(r);
  // The text stops where the button starts.
  setTextMargins(0, 0, std::max(0, Width() - f - r.left()), 0);
}

void TVxEdPopup::SetBounds(int left, int top, int width, int height) {
  TVxCustomEdit::SetBounds(left, top, width, height);
  if (HandleAllocated()) PlaceButton();
}

void TVxEdPopup::CreateWnd() {
  TVxCustomEdit::CreateWnd();
  SetBounds(Left(), Top(), Width(), Height());
  button_->setEnabled(GetButtonEnabled());
}

void TVxEdPopup::Loaded() {
  TVxCustomEdit::Loaded();
  button_->SetGlyph(glyph_);
}

void TVxEdPopup::LoadGlyph(const QImage& image) { glyph_.Assign(image); }

void TVxEdPopup::SetButtonGlyph(const tk::Bitmap* glyph) {
  if (glyph)
    glyph_.Assign(glyph);
  else
    glyph_ = tk::Bitmap();
  GlyphChanged();
  button_->SetGlyph(glyph_);
  SetBounds(Left(), Top(), Width(), Height());
}

void TVxEdPopup::SetShowButton(bool value) {
  showButton_ = value;
  SetBounds(Left(), Top(), Width(), Height());
}

void TVxEdPopup::PopupOpen() {
  popupActive_ = true;
  tk::PostMessage(this, OM_POPUPOPENED);
}

void TVxEdPopup::PopupClose(tk::Component*) {
  popupActive_ = false;
  tk::PostMessage(this, OM_POPUPCLOSED);
}

bool TVxEdPopup::DialogKey(std::uint16_t key, tk::ShiftState shift) {
  if (!popupActive_) return TVxCustomEdit::DialogKey(key, shift);
  if (key == tk::VK_RETURN || key == tk::VK_ESCAPE) {
    PopupClose(this);
    return true;
  }
  return false;
}

void TVxEdPopup::Dispatch(tk::Message& message) {
  switch (message.Msg) {
    case OM_POPUPOPENED:
      if (OnPopupOpen) OnPopupOpen(this);
      return;
    case OM_POPUPCLOSED:
      if (OnPopupClose) OnPopupClose(this);
      return;
    default:
      TVxCustomEdit::Dispatch(message);
  }
}

void TVxEdPopup::GetProperties(tk::PropertyList& list) const {
  TVxCustomEdit::GetProperties(list);
  using C = TVxEdPopup;
  list.push_back(tk::MakeProperty<C>("ShowButton", &C::ShowButton, &C::SetShowButton, tk::Value(true)));
  list.push_back(tk::MakeEnumProperty<C>("PopupAnchor", &C::PopupAnchor, &C::SetPopupAnchor, kAnchorNames, 0));
}

void TVxEdPopup::DefineProperties(tk::Filer& filer) {
  TVxCustomEdit::DefineProperties(filer);
  filer.DefineBinaryProperty(
      "ButtonGlyph",
      [this](const tk::Binary& bytes) {
        QImage image;
        image.loadFromData(bytes.data(), static_cast<int>(bytes.size()), "PNG");
        tk::Bitmap glyph;
        glyph.Assign(image);
        SetButtonGlyph(&glyph);
      },
      [this] { return ImageBytes(glyph_.Image()); }, !GlyphIsDefault());
}

// number edit

TVxCustomNumberEdit::TVxCustomNumberEdit(tk::Component* owner, QWidget* parent) : TVxEdPopup(owner, parent) {
  LoadGlyph(LoadBaseBitmap(kCalculatorGlyph));
  Button()->SetGlyph(ButtonGlyph());
  calculator_ = new TVxCalculator(this, true);
  calculator_->hide();
  calculator_->SetOptions({TVxCalculatorOption::coShowItemCount});
  calculator_->SetBorderStyle(TBorderStyle::bsSingle);
  calculator_->OnButtonPressed = [this](tk::Component* sender, TVxCalculatorButton button) {
    CalculatorButtonPressed(sender, button);
  };
  // Its exit closes the pop-up: watched as it happens, as a deferred notice could arrive after a reopening.
  calculator_->installEventFilter(this);
  calculator_->OnKeyDown = [this](tk::Component* sender, std::uint16_t& key, tk::ShiftState shift) {
    CalculatorKeyDown(sender, key, shift);
  };
  calculator_->OnMouseDown = [this](tk::Component* sender, Qt::MouseButton button, tk::ShiftState shift, int x, int y) {
    CalculatorMouseDown(sender, button, shift, x, y);
  };
}

TVxCustomNumberEdit::~TVxCustomNumberEdit() {
  if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
  if (QWidget::mouseGrabber() == calculator_) calculator_->releaseMouse();
  calculator_->removeEventFilter(this);
  calculator_->OnButtonPressed = nullptr;
  calculator_->OnKeyDown = nullptr;
  calculator_->OnMouseDown = nullptr;
}

char TVxCustomNumberEdit::DecimalSeparator() const {
  std::string sep = tk::Svc().IntlProfileString("sDecimal");
  return sep.size() == 1 ? sep[0] : '.';
}

std::string TVxCustomNumberEdit::Formatted(tk::Extended value) const {
  return FormatCalcValue(value, 0, DecimalSeparator());
}

tk::Extended TVxCustomNumberEdit::AsFloat() const {
  const char sep = DecimalSeparator();
  std::string kept;
  for (char c : Text())
    if (c == '+' || c == '-' || (c >= '0' && c <= '9') || c == sep) kept += c;
  try {
    // The number routine knows no plus sign.
    return CalcTextToValue(!kept.empty() && kept[0] == '+' ? kept.substr(1) : kept, sep);
  } catch (const tk::EConvertError&) {
    throw tk::EConvertError("'" + kept + "' is not a valid floating point value");
  }
}

void TVxCustomNumberEdit::SetAsFloat(tk::Extended value) { SetText(Formatted(value)); }

std::int32_t TVxCustomNumberEdit::AsInteger() const {
  tk::Extended rounded = std::nearbyint(AsFloat());  // the default rounding takes halves to the even neighbour
  if (!(rounded >= INT32_MIN && rounded <= INT32_MAX))
    throw tk::EConvertError("'" + Text() + "' is not a valid integer value");
  return static_cast<std::int32_t>(rounded);
}

void TVxCustomNumberEdit::SetAsInteger(std::int32_t value) { SetText(std::to_string(value)); }

tk::Extended TVxCustomNumberEdit::ValueOrZero() const {
  // A text with no number in it ("-" on its own) opens the calculator at 0 too, rather than half open.
  try {
    return Text().empty() ? 0 : AsFloat();
  } catch (const tk::EConvertError&) {
    return 0;
  }
}

void TVxCustomNumberEdit::GlyphChanged() {
  if (ButtonGlyph().Empty()) LoadGlyph(LoadBaseBitmap(kCalculatorGlyph));
}

bool TVxCustomNumberEdit::GlyphIsDefault() const { return ButtonGlyph().Image() == LoadBaseBitmap(kCalculatorGlyph); }

void TVxCustomNumberEdit::SetReadOnly(bool value) {
  TVxEdPopup::SetReadOnly(value);
  Button()->setEnabled(GetButtonEnabled());
}

void TVxCustomNumberEdit::KeyDown(std::uint16_t& key, tk::ShiftState shift) {
  TVxEdPopup::KeyDown(key, shift);
  if (key == tk::VK_DOWN && (shift & tk::ssAlt) && !ReadOnly()) {
    PopupOpen();
    key = 0;
  }
}

void TVxCustomNumberEdit::KeyPress(char& key) {
  TVxEdPopup::KeyPress(key);
  if (key == '\0') return;
  // Ctrl+C, Ctrl+V and Ctrl+X.
  if (key == 3 || key == 22 || key == 24) return;
  const bool allowed =
      key == '\b' || key == 27 || std::strchr("*+-./", key) || (key >= '0' && key <= '9') || key == DecimalSeparator();
  if (!allowed) {
    platform::Ui().Beep();
    key = '\0';
    return;
  }
  // A read-only edit's text changes neither by steps nor through the calculator.
  if (ReadOnly()) return;
  if (allowIncDec_ && (key == '+' || key == '-')) {
    StepValue(key == '+' ? 1 : -1);
    key = '\0';
    return;
  }
  if (key == '*' || key == '+' || key == '/') {
    const char op = key;
    key = '\0';
    PopupOpen();
    if (!calculator_->isVisible()) return;
    // The calculator starts from the edit's value with this operator pending.
    QKeyEvent press(QEvent::KeyPress, QtKeyOf(op), Qt::NoModifier, QString(QChar(op)));
    QApplication::sendEvent(calculator_, &press);
  }
}

void TVxCustomNumberEdit::StepValue(int delta) {
  const int start = SelStart(), length = SelLength();
  tk::Extended value = Text().empty() ? 0 : AsFloat();
  SetText(Formatted(value + delta));
  SetSelStart(start);
  SetSelLength(length);
}

void TVxCustomNumberEdit::DoExit() {
  if (!PopupActive()) TVxEdPopup::DoExit();
}

void TVxCustomNumberEdit::PopupOpen() {
  if (calculator_->isVisible()) return;
  const tk::Extended value = ValueOrZero();
  TVxEdPopup::PopupOpen();
  tk::Form* form = GetImmediateParentForm(this);
  // Still a window of its own: the form owns it while it shows.
  calculator_->setParent(form ? static_cast<QWidget*>(form) : this, calculator_->windowFlags());
  calculator_->SetCtl3D(false);

  const tk::Rect work = tk::Svc().WorkArea(this);
  const int w = calculator_->Width(), h = calculator_->Height();
  QPoint p =
      PopupAnchor() == TVxPopupAnchor::paRight ? QPoint(Width() - w - 1, Height() - 2) : QPoint(-3, Height() - 4);
  p = mapToGlobal(p);
  if (!Ctl3D()) p += QPoint(3, 3);
  if (p.y() + h >= work.Bottom) p.setY(p.y() - h - Height());
  if (p.x() + w >= work.Right) p.setX(work.Right - w - 1);
  if (p.x() <= work.Left) p.setX(work.Left + 1);
  calculator_->move(p);

  savedCursor_ = cursor();
  setCursor(Qt::ArrowCursor);
  savedCaret_ = cursorPosition();
  calculator_->show();
  // A calculator that is not cleared first keeps the last session's entry and the last key's meaning.
  calculator_->SetText("");
  calculator_->PressButton(TVxCalculatorButton::cbClear);
  calculator_->PushOperand(value);
  calculator_->activateWindow();
  calculator_->setFocus();
  calculator_->grabMouse();
  QApplication::instance()->installEventFilter(this);
}

void TVxCustomNumberEdit::PopupClose(tk::Component* sender) {
  if (!calculator_->isVisible() || closing_) return;
  closing_ = true;
  TVxEdPopup::PopupClose(sender);
  QApplication::instance()->removeEventFilter(this);
  if (QWidget::mouseGrabber() == calculator_) calculator_->releaseMouse();
  QWidget* active = QApplication::activeWindow();
  if (!active || active == calculator_) window()->activateWindow();
  setFocus();
  calculator_->hide();
  setCursor(savedCursor_);
  calculator_->setParent(this, calculator_->windowFlags());
  closing_ = false;
}

void TVxCustomNumberEdit::CloseKeepingCaret() {
  PopupClose(this);
  deselect();
  setCursorPosition(savedCaret_);
}

void TVxCustomNumberEdit::CalculatorButtonPressed(tk::Component*, TVxCalculatorButton button) {
  if (button != TVxCalculatorButton::cbEqual || !calculator_->isVisible()) return;
  SetText(Formatted(calculator_->Display()));
  SetModified(true);
  PopupClose(this);
  setFocus();
  deselect();
  setCursorPosition(static_cast<int>(text().size()));
}

void TVxCustomNumberEdit::CalculatorKeyDown(tk::Component*, std::uint16_t& key, tk::ShiftState shift) {
  if (key == tk::VK_ESCAPE || (key == tk::VK_UP && (shift & tk::ssAlt))) {
    key = 0;
    CloseKeepingCaret();
  }
}

void TVxCustomNumberEdit::CalculatorMouseDown(tk::Component*, Qt::MouseButton, tk::ShiftState, int x, int y) {
  // The calculator holds the mouse: a press anywhere comes here, in its client area's coordinates.
  const tk::Rect client = calculator_->ClientArea();
  QPoint local(x + client.Left, y + client.Top);
  if (!calculator_->rect().contains(local)) PressedOutside(calculator_->mapToGlobal(local));
}

void TVxCustomNumberEdit::PressedOutside(QPoint global) {
  const bool inEdit = rect().contains(mapFromGlobal(global));
  PopupClose(this);
  if (!inEdit) return;
  setFocus();
  deselect();
  setCursorPosition(savedCaret_);
}

bool TVxCustomNumberEdit::InCalculator(QObject* object) const {
  for (QObject* o = object; o; o = o->parent())
    if (o == calculator_) return true;
  return false;
}

bool TVxCustomNumberEdit::eventFilter(QObject* watched, QEvent* event) {
  if (calculator_->isVisible() && watched->isWidgetType()) {
    const QEvent::Type type = event->type();
    if (type == QEvent::FocusOut && watched == calculator_ && !InCalculator(QApplication::focusWidget())) {
      tk::Guarded([&] { PopupClose(calculator_); });
      return false;
    }
    if ((type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) && !InCalculator(watched)) {
      QPoint global = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
      tk::Guarded([&] { PressedOutside(global); });
      return true;
    }
    // The calculator's own keys know no arrows.
    if (type == QEvent::KeyPress && InCalculator(watched)) {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_Up && (key->modifiers() & Qt::AltModifier)) {
        tk::Guarded([&] { CloseKeepingCaret(); });
        return true;
      }
    }
  }
  return TVxEdPopup::eventFilter(watched, event);
}

void TVxCustomNumberEdit::GetProperties(tk::PropertyList& list) const {
  TVxEdPopup::GetProperties(list);
  using C = TVxCustomNumberEdit;
  list.push_back(tk::MakeProperty<C>("AllowIncDec", &C::AllowIncDec, &C::SetAllowIncDec, tk::Value(false)));
  list.push_back(
      tk::MakeProperty<C>("PopupDecimals", &C::PopupDecimals, &C::SetPopupDecimals, tk::Value(std::int64_t{2})));
  list.push_back(tk::MakeProperty<C>("PopupHeight", &C::PopupHeight, &C::SetPopupHeight, tk::Value(std::int64_t{140})));
  list.push_back(tk::MakeProperty<C>("PopupWidth", &C::PopupWidth, &C::SetPopupWidth, tk::Value(std::int64_t{200})));
}

}  // namespace controls
