#include "tk/control.h"

#include <QPointer>
#include <algorithm>
#include <cctype>
#include <utility>
#include <vector>

#include "tk/exception_guard.h"
#include "tk/key_mapper.h"
#include "tk/virtual_keys.h"

namespace tk {

ShiftState ShiftFromQt(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
  ShiftState s = 0;
  if (modifiers & Qt::ShiftModifier) s |= ssShift;
  if (modifiers & Qt::ControlModifier) s |= ssCtrl;
  if (modifiers & Qt::AltModifier) s |= ssAlt;
  if (buttons & Qt::LeftButton) s |= ssLeft;
  if (buttons & Qt::RightButton) s |= ssRight;
  if (buttons & Qt::MiddleButton) s |= ssMiddle;
  return s;
}

QWidget* WidgetOf(Component* component) { return dynamic_cast<QWidget*>(component); }

namespace {
int raisingDepth = 0;
std::exception_ptr pendingCreationError;
}  // namespace

void RaisingCreationErrors(const std::function<void()>& show) {
  std::exception_ptr outer = std::exchange(pendingCreationError, nullptr);
  ++raisingDepth;
  try {
    show();
  } catch (...) {
    --raisingDepth;
    pendingCreationError = outer;
    throw;
  }
  --raisingDepth;
  if (std::exception_ptr error = std::exchange(pendingCreationError, outer)) std::rethrow_exception(error);
}

void CreationFailed(std::exception_ptr error) {
  if (raisingDepth == 0) {
    HandleException(error);
  } else if (!pendingCreationError) {
    pendingCreationError = std::move(error);
  }
}

bool IsAccel(int key, const std::string& caption) {
  for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    return std::toupper(static_cast<unsigned char>(caption[i + 1])) == std::toupper(key & 0xFF);
  }
  return false;
}

namespace {

// The dialog code bit that covers a key; 0 for a key that is never the form's.
int DialogCodeFor(std::uint16_t key) {
  switch (key) {
    case VK_TAB:
      return DLGC_WANTTAB;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
      return DLGC_WANTARROWS;
    case VK_RETURN:
    case VK_ESCAPE:
      return DLGC_WANTALLKEYS;
    default:
      return 0;
  }
}

// The 8-bit character a key event types, or 0.
int TypedChar(const QKeyEvent* event) {
  const QString text = event->text();
  if (text.size() != 1 || text[0].unicode() > 0xFF || text[0].unicode() < 0x20) return 0;
  return text[0].unicode();
}

bool Wants(MessageTarget& target, std::uint16_t key, ShiftState shift, int mask) {
  if (SendMessage(target, CM_WANTSPECIALKEY, key, shift) != 0) return true;
  const auto codes = static_cast<int>(SendMessage(target, WM_GETDLGCODE));
  return (codes & (mask | DLGC_WANTALLKEYS)) != 0;
}

}  // namespace

bool OfferKeyToForm(QWidget* control, MessageTarget& target, QKeyEvent* event) {
  Form* form = GetParentForm(control);
  if (!form) return false;
  const Qt::KeyboardModifiers modifiers = event->modifiers();
  const ShiftState shift = ShiftFromQt(modifiers);
  const std::uint16_t key = VirtualKeyFromQt(event->key(), modifiers);
  bool taken = false;
  Guarded([&] {
    // Alt and a character is an accelerator before anything else.
    const bool alt = (modifiers & (Qt::AltModifier | Qt::ControlModifier)) == Qt::AltModifier;
    if (alt && key >= '0' && key <= 'Z' && std::isalnum(key)) {
      taken = form->DialogChar(key);
      return;
    }
    if (const int mask = DialogCodeFor(key)) {
      if (!Wants(target, key, shift, mask)) taken = SendMessage(*form, CM_DIALOGKEY, key, shift) != 0;
      return;
    }
    // A character the control does not take may be an accelerator too.
    const int c = TypedChar(event);
    if (c && !(modifiers & (Qt::ControlModifier | Qt::AltModifier)) && !Wants(target, key, shift, DLGC_WANTCHARS))
      taken = form->DialogChar(c);
  });
  if (taken) event->accept();
  return taken;
}

bool ControlWantsShortcut(MessageTarget& target, QKeyEvent* event) {
  const Qt::KeyboardModifiers modifiers = event->modifiers();
  const std::uint16_t key = VirtualKeyFromQt(event->key(), modifiers);
  const ShiftState shift = ShiftFromQt(modifiers);
  int mask = DialogCodeFor(key);
  if (!mask && TypedChar(event) && !(modifiers & (Qt::ControlModifier | Qt::AltModifier))) mask = DLGC_WANTCHARS;
  bool wanted = false;
  Guarded([&] {
    if (mask)
      wanted = Wants(target, key, shift, mask);
    else
      wanted = SendMessage(target, CM_WANTSPECIALKEY, key, shift) != 0 ||
               (SendMessage(target, WM_GETDLGCODE) & DLGC_WANTALLKEYS) != 0;
  });
  return wanted;
}

namespace {

QPointer<QWidget> lastFocusOut;
QPointer<QWidget> focusPredecessor;

// Sees every focus change before the widgets do: Qt sends the losing widget its focus-out before the
// gaining one its focus-in, so the loser is known when the focus arrives.
class FocusTracker : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::FocusOut && watched->isWidgetType()) {
      lastFocusOut = static_cast<QWidget*>(watched);
    } else if (event->type() == QEvent::FocusIn && watched->isWidgetType()) {
      focusPredecessor = lastFocusOut;
      lastFocusOut = nullptr;
    }
    return false;
  }
};

}  // namespace

void TrackFocus() {
  static FocusTracker* tracker = nullptr;
  if (tracker || !QCoreApplication::instance()) return;
  tracker = new FocusTracker;
  tracker->setParent(QCoreApplication::instance());
  QCoreApplication::instance()->installEventFilter(tracker);
}

QWidget* FocusPredecessor() { return focusPredecessor.data(); }

QWidget* CaptureControl() { return QWidget::mouseGrabber(); }

void SetCaptureControl(QWidget* widget) {
  QWidget* old = QWidget::mouseGrabber();
  if (old == widget) return;
  if (old) {
    old->releaseMouse();
    // Only a capture taken away cancels the holder's mode; letting go is its own doing.
    if (auto* target = dynamic_cast<MessageTarget*>(old); target && widget)
      Guarded([&] { SendMessage(*target, WM_CANCELMODE); });
  }
  if (widget) widget->grabMouse();
}

bool CanFocusWidget(const QWidget* widget) {
  if (!widget || widget->focusPolicy() == Qt::NoFocus || !widget->isEnabled()) return false;
  for (const QWidget* w = widget; w; w = w->parentWidget()) {
    if (w->isHidden()) return false;
    if (w->isWindow()) break;
  }
  return true;
}

namespace {

// The focusable widgets under `root` in tab order (Qt's focus chain).
std::vector<QWidget*> TabChain(QWidget* root) {
  std::vector<QWidget*> chain;
  for (QWidget* w = root->nextInFocusChain(); w && w != root; w = w->nextInFocusChain())
    if (root->isAncestorOf(w) && w->focusPolicy() != Qt::NoFocus) chain.push_back(w);
  return chain;
}

std::vector<QWidget*> TabSiblings(QWidget* widget) {
  std::vector<QWidget*> siblings;
  QWidget* parent = widget->parentWidget();
  if (!parent) return siblings;
  for (QWidget* w : TabChain(parent))
    if (w->parentWidget() == parent) siblings.push_back(w);
  return siblings;
}

}  // namespace

int TabOrderOf(QWidget* widget) {
  const std::vector<QWidget*> siblings = TabSiblings(widget);
  auto it = std::find(siblings.begin(), siblings.end(), widget);
  return it == siblings.end() ? -1 : static_cast<int>(it - siblings.begin());
}

void SetTabOrderOf(QWidget* widget, int index) {
  std::vector<QWidget*> siblings = TabSiblings(widget);
  auto it = std::find(siblings.begin(), siblings.end(), widget);
  if (it == siblings.end()) return;
  siblings.erase(it);
  const auto at = static_cast<std::size_t>(std::clamp(index, 0, static_cast<int>(siblings.size())));
  siblings.insert(siblings.begin() + static_cast<std::ptrdiff_t>(at), widget);
  for (std::size_t i = 0; i + 1 < siblings.size(); ++i) QWidget::setTabOrder(siblings[i], siblings[i + 1]);
}

GraphicControl::GraphicControl(Component* owner, QWidget* parent) : ControlT<QWidget>(owner, parent) {
  setFocusPolicy(Qt::NoFocus);
}

CustomControl::CustomControl(Component* owner, QWidget* parent) : ControlT<QWidget>(owner, parent) {
  setFocusPolicy(Qt::StrongFocus);
  // Tab, the arrows and characters are the form's unless the control asks for them.
  dialogCodes_ = 0;
  // Made on a form that already shows, the control was shown by the base constructor, before it was what
  // it is: that show made no window. The window is made once the whole control exists.
  if (isVisible())
    QMetaObject::invokeMethod(
        this, [this] { Guarded([this] { HandleNeeded(); }); }, Qt::QueuedConnection);
}

CustomControl::~CustomControl() = default;

void CustomControl::HandleNeeded() {
  if (handleAllocated_) return;
  handleAllocated_ = true;
  try {
    CreateWnd();
  } catch (...) {
    handleAllocated_ = false;
    throw;
  }
}

void CustomControl::RecreateWnd() {
  if (!handleAllocated_) return;
  DestroyWnd();
  handleAllocated_ = false;
  HandleNeeded();
}

void CustomControl::CreateWnd() {}

void CustomControl::DestroyWnd() {}

void CustomControl::showEvent(QShowEvent* e) {
  ControlT<QWidget>::showEvent(e);
  try {
    HandleNeeded();
  } catch (...) {
    CreationFailed(std::current_exception());
  }
}

Form::Form(Component* owner, QWidget* parent) : CustomControl(owner, parent) {
  // The form claims no keys: what its controls leave goes to its dialog keys, the rest to Qt.
  dialogCodes_ = -1;
  setAutoFillBackground(true);
  SetColor(clBtnFace);
}

void Form::GetChildren(const std::function<void(Component*)>& proc, Component*) {
  for (int i = 0; i < ComponentCount(); ++i) proc(Components(i));
}

QWidget* Form::ActiveControl() const {
  QWidget* focused = QApplication::focusWidget();
  if (focused && isAncestorOf(focused)) return focused;
  focused = window()->focusWidget();
  return focused && isAncestorOf(focused) ? focused : nullptr;
}

void Form::SetActiveControl(QWidget* control) {
  if (!control || !isAncestorOf(control)) return;
  if (!CanFocusWidget(control)) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  control->setFocus(Qt::OtherFocusReason);
}

QWidget* Form::FindNextControl(QWidget* current, bool forward, bool checkTabStop, bool checkParent) const {
  const std::vector<QWidget*> chain = TabChain(const_cast<Form*>(this));
  if (chain.empty()) return nullptr;
  auto it = std::find(chain.begin(), chain.end(), current);
  const std::size_t n = chain.size();
  std::size_t start;
  if (it != chain.end())
    start = static_cast<std::size_t>(it - chain.begin());
  else
    start = forward ? n - 1 : 0;  // from before the first (or after the last)
  for (std::size_t step = 1; step <= n; ++step) {
    const std::size_t i = forward ? (start + step) % n : (start + n - step % n) % n;
    QWidget* w = chain[i];
    if (w == current) break;
    if (!CanFocusWidget(w)) continue;
    if (checkTabStop && !(w->focusPolicy() & Qt::TabFocus)) continue;
    if (checkParent && current && w->parentWidget() != current->parentWidget()) continue;
    return w;
  }
  return nullptr;
}

void Form::SelectNext(QWidget* current, bool forward, bool checkTabStop) {
  if (QWidget* next = FindNextControl(current, forward, checkTabStop, !checkTabStop))
    next->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

bool Form::DialogKey(std::uint16_t key, ShiftState shift) {
  if (shift & ssAlt) return false;
  switch (key) {
    case VK_TAB:
      if (shift & ssCtrl) return false;
      SelectNext(ActiveControl(), !(shift & ssShift), true);
      return true;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
      if (QWidget* active = ActiveControl()) SelectNext(active, key == VK_RIGHT || key == VK_DOWN, false);
      return true;
    default:
      return false;
  }
}

bool Form::DialogChar(int key) {
  // Offered in creation order, as the form holds its controls; the first to answer takes it.
  const QList<QWidget*> widgets = findChildren<QWidget*>();
  for (QWidget* w : widgets) {
    auto* target = dynamic_cast<MessageTarget*>(w);
    if (!target || !w->isVisible() || !w->isEnabled()) continue;
    if (SendMessage(*target, CM_DIALOGCHAR, static_cast<std::uintptr_t>(key)) != 0) return true;
  }
  return false;
}

void Form::Dispatch(Message& message) {
  switch (message.Msg) {
    case CM_DIALOGKEY:
      message.Result = DialogKey(static_cast<std::uint16_t>(message.WParam), static_cast<ShiftState>(message.LParam))
                           ? 1
                           : 0;
      return;
    default:
      CustomControl::Dispatch(message);
  }
}

Form* GetParentForm(QWidget* widget) {
  for (QWidget* w = widget ? widget->parentWidget() : nullptr; w; w = w->parentWidget())
    if (auto* form = dynamic_cast<Form*>(w)) return form;
  return nullptr;
}

}  // namespace tk
