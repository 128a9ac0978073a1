#pragma once
// Controls: a QWidget with the component model and a window procedure. Graphic controls paint through a
// Canvas in Paint(); windowed controls also make their "window" lazily (CreateWnd on first show).
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QWheelEvent>
#include <QWidget>
#include <exception>
#include <functional>
#include <string>

#include "tk/canvas.h"
#include "tk/color.h"
#include "tk/component.h"
#include "tk/exception.h"
#include "tk/font.h"
#include "tk/message.h"
#include "tk/services.h"
#include "tk/types.h"

namespace tk {

using NotifyEvent = std::function<void(Component* sender)>;
using MouseMoveEvent = std::function<void(Component* sender, ShiftState shift, int x, int y)>;

ShiftState ShiftFromQt(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons = Qt::NoButton);

// The widget that stands for `owner` when it is a control: the default parent of a control it owns.
QWidget* WidgetOf(Component* component);

// Runs `show`, during which Qt may make windows: the first exception a window's creation raised meanwhile
// is thrown from here, never through Qt's event dispatch.
void RaisingCreationErrors(const std::function<void()>& show);
// Where a window's creation failed inside a show event: kept for RaisingCreationErrors when one runs, else
// handed to the application's handler (nobody asked for the window).
void CreationFailed(std::exception_ptr error);

// Whether `caption` has `key` (a letter or digit, either case) as its accelerator: the character after the
// first "&" that is not a doubled one.
bool IsAccel(int key, const std::string& caption);

// Keyboard routing of the toolkit's windowed controls, called from a control's event(): offers a key the
// control does not want (by its answer to WM_GETDLGCODE and CM_WANTSPECIALKEY) to its form, Tab and the
// arrows as focus moves, characters as accelerators. True when the form took the key.
bool OfferKeyToForm(QWidget* control, MessageTarget& target, QKeyEvent* event);
// Whether the control keeps a key the application's shortcuts would otherwise take.
bool ControlWantsShortcut(MessageTarget& target, QKeyEvent* event);

// The widget that had the focus before the one now receiving it (null when it came from outside).
QWidget* FocusPredecessor();
void TrackFocus();

// Mouse capture: the widget holding it gets every mouse event, also outside itself. Taking it from another
// control sends that control WM_CANCELMODE; null releases it without.
void SetCaptureControl(QWidget* widget);
QWidget* CaptureControl();

// A widget's position among its parent's focusable children in tab order; -1 for one that takes no focus.
int TabOrderOf(QWidget* widget);
// Moves it there (an index past the end makes it last).
void SetTabOrderOf(QWidget* widget, int index);
// Focusable: it and its parents up to its window visible and enabled, and a focus policy.
bool CanFocusWidget(const QWidget* widget);

template <class W>
class ControlT : public W, public Component, public MessageTarget {
 public:
  explicit ControlT(Component* owner, QWidget* parent = nullptr)
      : W(parent ? parent : WidgetOf(owner)), Component(owner) {
    this->setMouseTracking(true);
    TrackFocus();
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
  // An exception raised while a window is made for the show comes from here.
  void SetVisible(bool visible) {
    if (visible == Visible()) return;
    RaisingCreationErrors([&] { this->setVisible(visible); });
    SendMessage(*this, CM_VISIBLECHANGED, visible ? 1 : 0);
  }
  void Show() { SetVisible(true); }

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

  // Tab stop: reached by Tab; a control that takes no focus at all stays so.
  bool TabStop() const { return (this->focusPolicy() & Qt::TabFocus) != 0; }
  void SetTabStop(bool value) {
    if (this->focusPolicy() == Qt::NoFocus) return;
    this->setFocusPolicy(value ? Qt::StrongFocus : Qt::ClickFocus);
  }
  int TabOrder() const { return TabOrderOf(const_cast<ControlT*>(this)); }
  void SetTabOrder(int index) { SetTabOrderOf(this, index); }
  bool CanFocus() const { return CanFocusWidget(this); }
  bool Focused() const { return this->hasFocus(); }
  void SetFocus() { this->setFocus(Qt::OtherFocusReason); }

  // The keys the control takes itself (DLGC_ flags); the answer to WM_GETDLGCODE. -1 leaves every key to
  // the widget's own handling, as Qt has it.
  int DialogCodes() const { return dialogCodes_; }
  void SetDialogCodes(int codes) { dialogCodes_ = codes; }

  bool MouseCapture() const { return CaptureControl() == this; }
  void SetMouseCapture(bool value) {
    if (value == MouseCapture()) return;
    SetCaptureControl(value ? this : nullptr);
  }

  // The cursor by the toolkit's cursor number (crDefault, crIBeam, ... or a registered one).
  int Cursor() const { return cursor_; }
  void SetCursor(int cursor) {
    cursor_ = cursor;
    if (cursor == crDefault)
      this->unsetCursor();
    else
      this->setCursor(CursorShape(cursor));
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
      case WM_GETDLGCODE:
        message.Result = dialogCodes_ < 0 ? 0 : dialogCodes_;
        break;
      case WM_CANCELMODE:
        SetMouseCapture(false);
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
    if (event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      if (dialogCodes_ >= 0) {
        if (OfferKeyToForm(this, *this, key)) return true;
        // A Tab the control wants is its own key, not Qt's focus move.
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
            ControlWantsShortcut(*this, key)) {
          this->keyPressEvent(key);
          return true;
        }
      }
    } else if (event->type() == QEvent::ShortcutOverride && dialogCodes_ >= 0) {
      if (ControlWantsShortcut(*this, static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
      }
    }
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
  // The word parameter names the other window by its handle: the one that lost the focus, or the one
  // taking it (FindControl gives it back).
  void focusInEvent(QFocusEvent* e) override {
    if (repaintOnFocus_) W::focusInEvent(e);
    SendMessage(*this, WM_SETFOCUS, HandleOf(FocusPredecessor()));
  }
  void focusOutEvent(QFocusEvent* e) override {
    if (repaintOnFocus_) W::focusOutEvent(e);
    QWidget* taking = QApplication::focusWidget();
    SendMessage(*this, WM_KILLFOCUS, HandleOf(taking == this ? nullptr : taking));
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
  int dialogCodes_ = -1;
  int cursor_ = crDefault;
  // Qt repaints a plain widget whole when its focus changes. A control that redraws what the focus changes
  // itself, and draws every paint request afresh, turns that off.
  bool repaintOnFocus_ = true;
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

  // The control that has the focus in this form (or had it last, while the form is inactive).
  QWidget* ActiveControl() const;
  void SetActiveControl(QWidget* control);
  // The next control from `current` in tab order (null `current`: from the start), wrapping; only tab stops
  // when `checkTabStop`; only `current`'s siblings when `checkParent`. Null when there is no other.
  QWidget* FindNextControl(QWidget* current, bool forward, bool checkTabStop, bool checkParent) const;
  // Focuses that next control: the next tab stop (checkTabStop, as Tab), else the next of `current`'s
  // siblings (as the arrows).
  void SelectNext(QWidget* current, bool forward, bool checkTabStop);

  // A key the focused control did not want: Tab moves through the tab stops (Shift+Tab backwards), the
  // arrows to the next (Right, Down) or previous (Left, Up) control among the focused one's siblings.
  // True when the form took the key.
  virtual bool DialogKey(std::uint16_t key, ShiftState shift);
  // An accelerator character: offered to the form's controls (CM_DIALOGCHAR) until one takes it.
  virtual bool DialogChar(int key);

  void Dispatch(Message& message) override;
};

// The first form up the parent chain of `widget` (not the widget itself), else null.
Form* GetParentForm(QWidget* widget);

}  // namespace tk
