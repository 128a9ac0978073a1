#pragma once
// Controls: a QWidget with the component model and a window procedure. Graphic controls paint through a
// Canvas in Paint(); windowed controls also make their "window" lazily (CreateWnd on first show).
#include <QFocusEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QWheelEvent>
#include <QWidget>
#include <functional>
#include <string>

#include "tk/canvas.h"
#include "tk/color.h"
#include "tk/component.h"
#include "tk/exception.h"
#include "tk/font.h"
#include "tk/message.h"
#include "tk/types.h"

namespace tk {

using NotifyEvent = std::function<void(Component* sender)>;
using MouseMoveEvent = std::function<void(Component* sender, ShiftState shift, int x, int y)>;

ShiftState ShiftFromQt(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons = Qt::NoButton);

// The widget that stands for `owner` when it is a control: the default parent of a control it owns.
QWidget* WidgetOf(Component* component);

template <class W>
class ControlT : public W, public Component, public MessageTarget {
 public:
  explicit ControlT(Component* owner, QWidget* parent = nullptr)
      : W(parent ? parent : WidgetOf(owner)), Component(owner) {
    this->setMouseTracking(true);
    font_.SetQ(this->font());
    font_.SetColor(clWindowText);
    // Controls are visible unless hidden, also when made on a form that already shows.
    if (this->parentWidget() && this->parentWidget()->isVisible()) this->show();
  }

  std::string ClassName() const override { return "TControl"; }

  int Left() const { return this->x(); }
  int Top() const { return this->y(); }
  int Width() const { return this->width(); }
  int Height() const { return this->height(); }
  void SetLeft(int v) { SetBounds(v, Top(), Width(), Height()); }
  void SetTop(int v) { SetBounds(Left(), v, Width(), Height()); }
  void SetWidth(int v) { SetBounds(Left(), Top(), v, Height()); }
  void SetHeight(int v) { SetBounds(Left(), Top(), Width(), v); }
  // Bounds beyond what a window can take are refused, so no edge or offset computed from them overflows.
  virtual void SetBounds(int left, int top, int width, int height) {
    for (int v : {left, top, width, height})
      if (v < -QWIDGETSIZE_MAX || v > QWIDGETSIZE_MAX) throw EInvalidOperation("Control bounds out of range");
    this->setGeometry(left, top, width < 0 ? 0 : width, height < 0 ? 0 : height);
  }
  Rect BoundsRect() const { return Bounds(Left(), Top(), Width(), Height()); }
  Rect ClientRect() const { return {0, 0, Width(), Height()}; }

  // The original's Visible: the control's own flag, whether or not its parent shows.
  bool Visible() const { return !this->isHidden(); }
  void SetVisible(bool visible) {
    if (visible == Visible()) return;
    this->setVisible(visible);
    SendMessage(*this, CM_VISIBLECHANGED, visible ? 1 : 0);
  }

  TColor Color() const { return color_; }
  void SetColor(TColor color) {
    if (color == color_) return;
    color_ = color;
    SendMessage(*this, CM_COLORCHANGED);
  }
  const tk::Font& Font() const { return font_; }
  void SetFont(const tk::Font& font) {
    font_ = font;
    this->setFont(font.Q());
    SendMessage(*this, CM_FONTCHANGED);
  }
  void SetFontColor(TColor color) {
    if (color == font_.Color()) return;
    font_.SetColor(color);
    SendMessage(*this, CM_FONTCHANGED);
  }

  void Invalidate() { this->update(); }
  // Paints at once, inside a paint event, as the original's immediate repaint did.
  void Repaint() { this->repaint(); }

  NotifyEvent OnClick;
  MouseMoveEvent OnMouseMove;

  void Dispatch(Message& message) override {
    switch (message.Msg) {
      case CM_COLORCHANGED:
      case CM_FONTCHANGED:
        Invalidate();
        break;
      default:
        MessageTarget::Dispatch(message);
    }
  }

  void GetProperties(PropertyList& list) const override {
    Component::GetProperties(list);
    using Self = ControlT<W>;
    list.push_back(MakeProperty<Self>("Left", &Self::Left, &Self::SetLeft));
    list.push_back(MakeProperty<Self>("Top", &Self::Top, &Self::SetTop));
    list.push_back(MakeProperty<Self>("Width", &Self::Width, &Self::SetWidth));
    list.push_back(MakeProperty<Self>("Height", &Self::Height, &Self::SetHeight));
    list.push_back(MakeProperty<Self>("Visible", &Self::Visible, &Self::SetVisible, Value(true)));
  }

  void SetParentComponent(Component* parent) override {
    if (QWidget* w = WidgetOf(parent)) this->setParent(w);
  }

 protected:
  virtual void Paint(Canvas&) {}
  virtual void MouseMove(ShiftState shift, int x, int y) {
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
  }
  virtual void Click() {
    if (OnClick) OnClick(this);
  }

  bool event(QEvent* event) override {
    if (HandleMessageEvent(event, *this)) return true;
    return W::event(event);
  }
  void paintEvent(QPaintEvent*) override {
    Canvas canvas(this);
    canvas.Font = font_;
    Paint(canvas);
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    QPoint p = e->position().toPoint();
    MouseMove(ShiftFromQt(e->modifiers(), e->buttons()), p.x(), p.y());
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    W::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton && this->rect().contains(e->position().toPoint())) Click();
  }
  void focusInEvent(QFocusEvent* e) override {
    W::focusInEvent(e);
    SendMessage(*this, WM_SETFOCUS);
  }
  void focusOutEvent(QFocusEvent* e) override {
    W::focusOutEvent(e);
    SendMessage(*this, WM_KILLFOCUS);
  }
  void wheelEvent(QWheelEvent* e) override {
    // Packed as the platform packs it: keys and buttons in the low word, the signed delta in the high word.
    auto keys = static_cast<std::uintptr_t>(ShiftFromQt(e->modifiers(), e->buttons()));
    auto delta = static_cast<std::uint16_t>(static_cast<std::int16_t>(e->angleDelta().y()));
    QPoint global = e->globalPosition().toPoint();
    auto pos = static_cast<std::intptr_t>(static_cast<std::uint16_t>(global.x()) |
                                          static_cast<std::uint32_t>(static_cast<std::uint16_t>(global.y())) << 16);
    Message m{WM_MOUSEWHEEL, keys | static_cast<std::uintptr_t>(delta) << 16, pos, 0};
    Dispatch(m);
    e->setAccepted(m.Result != 0);
  }

  tk::Font font_;
  TColor color_ = clBtnFace;
};

// A control without a window of its own: it paints on its parent's surface and takes no focus.
class GraphicControl : public ControlT<QWidget> {
 public:
  explicit GraphicControl(Component* owner, QWidget* parent = nullptr);
  std::string ClassName() const override { return "TGraphicControl"; }
};

// A windowed control. Its window is made lazily: on first show or by HandleNeeded().
class CustomControl : public ControlT<QWidget> {
 public:
  explicit CustomControl(Component* owner, QWidget* parent = nullptr);
  ~CustomControl() override;
  std::string ClassName() const override { return "TCustomControl"; }

  bool HandleAllocated() const { return handleAllocated_; }
  void HandleNeeded();
  // Destroys and makes the window again; the widget itself survives.
  void RecreateWnd();

 protected:
  virtual void CreateWnd();
  virtual void DestroyWnd();
  void showEvent(QShowEvent* e) override;

 private:
  bool handleAllocated_ = false;
};

// A top-level window that owns the components placed on it.
class Form : public CustomControl {
 public:
  explicit Form(Component* owner = nullptr, QWidget* parent = nullptr);
  std::string ClassName() const override { return "TForm"; }
  // A form streams the components it owns as its children, and owns what it reads.
  void GetChildren(const std::function<void(Component*)>& proc, Component* root) override;
  Component* GetChildOwner() override { return this; }
};

// The first form up the parent chain of `widget` (not the widget itself), else null.
Form* GetParentForm(QWidget* widget);

}  // namespace tk
