#include "tk/control.h"

#include "tk/exception_guard.h"

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

GraphicControl::GraphicControl(Component* owner, QWidget* parent) : ControlT<QWidget>(owner, parent) {
  setFocusPolicy(Qt::NoFocus);
}

CustomControl::CustomControl(Component* owner, QWidget* parent) : ControlT<QWidget>(owner, parent) {
  setFocusPolicy(Qt::StrongFocus);
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
  HandleNeeded();
}

Form::Form(Component* owner, QWidget* parent) : CustomControl(owner, parent) {
  setAutoFillBackground(true);
  SetColor(clBtnFace);
}

void Form::GetChildren(const std::function<void(Component*)>& proc, Component*) {
  for (int i = 0; i < ComponentCount(); ++i) proc(Components(i));
}

Form* GetParentForm(QWidget* widget) {
  for (QWidget* w = widget ? widget->parentWidget() : nullptr; w; w = w->parentWidget())
    if (auto* form = dynamic_cast<Form*>(w)) return form;
  return nullptr;
}

}  // namespace tk
