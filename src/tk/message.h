#pragma once
// Window messages: a number and two parameters, dispatched to the target's window procedure. Sending is a
// direct call; posting queues a QEvent that runs after the current handler. Qt drops the event of a
// deleted target, and a posted message that carries an object is dropped when that object is gone too.
#include <QEvent>
#include <QPointer>
#include <cstdint>
#include <memory>

namespace tk {

class Component;

struct Message {
  std::uint32_t Msg = 0;
  std::uintptr_t WParam = 0;
  std::intptr_t LParam = 0;
  std::intptr_t Result = 0;
};

// Platform message numbers the toolkit uses.
inline constexpr std::uint32_t WM_SETFOCUS = 0x0007;
inline constexpr std::uint32_t WM_WININICHANGE = 0x001A;
inline constexpr std::uint32_t WM_KILLFOCUS = 0x0008;
inline constexpr std::uint32_t WM_CANCELMODE = 0x001F;
inline constexpr std::uint32_t WM_GETDLGCODE = 0x0087;
inline constexpr std::uint32_t WM_TIMER = 0x0113;
inline constexpr std::uint32_t WM_MOUSEWHEEL = 0x020A;
inline constexpr std::uint32_t WM_USER = 0x0400;
inline constexpr std::uint32_t CM_BASE = 0xB000;
inline constexpr std::uint32_t CM_DIALOGKEY = CM_BASE + 5;
inline constexpr std::uint32_t CM_DIALOGCHAR = CM_BASE + 6;
inline constexpr std::uint32_t CM_VISIBLECHANGED = CM_BASE + 9;
inline constexpr std::uint32_t CM_COLORCHANGED = CM_BASE + 11;
inline constexpr std::uint32_t CM_FONTCHANGED = CM_BASE + 12;
inline constexpr std::uint32_t CM_WANTSPECIALKEY = CM_BASE + 14;
inline constexpr std::uint32_t CM_TEXTCHANGED = CM_BASE + 18;

// What a control answers to WM_GETDLGCODE: the keys it takes itself instead of leaving them to its form.
inline constexpr int DLGC_WANTARROWS = 0x0001;
inline constexpr int DLGC_WANTTAB = 0x0002;
inline constexpr int DLGC_WANTALLKEYS = 0x0004;
inline constexpr int DLGC_WANTCHARS = 0x0080;
inline constexpr int DLGC_STATIC = 0x0100;

// The window procedure of anything messages can reach.
class MessageTarget {
 public:
  virtual ~MessageTarget() = default;
  virtual void Dispatch(Message& message) { DefaultHandler(message); }
  virtual void DefaultHandler(Message& message) { message.Result = 0; }
};

class MessageEvent : public QEvent {
 public:
  static QEvent::Type EventType();
  explicit MessageEvent(const Message& message) : QEvent(EventType()), Msg(message) {}

  Message Msg;
  // Objects the parameters point at; the message is dropped when one of them has gone.
  std::weak_ptr<const void> CarriedComponent;
  bool CarriesComponent = false;
  QPointer<QObject> CarriedObject;
  bool CarriesObject = false;

  bool CarriedAlive() const {
    return (!CarriesComponent || !CarriedComponent.expired()) && (!CarriesObject || !CarriedObject.isNull());
  }
};

// Runs a posted message on `target` when `event` is one; the QObject's event() override calls this.
bool HandleMessageEvent(QEvent* event, MessageTarget& target);

std::intptr_t SendMessage(MessageTarget& target, std::uint32_t msg, std::uintptr_t wParam = 0,
                          std::intptr_t lParam = 0);
// `target` must be a QObject whose event() hands MessageEvents to HandleMessageEvent.
void PostMessage(QObject* target, std::uint32_t msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
// The long parameter is `carried`; the message is dropped if it is destroyed before delivery.
void PostMessage(QObject* target, std::uint32_t msg, std::uintptr_t wParam, Component* carried);
void PostMessage(QObject* target, std::uint32_t msg, std::uintptr_t wParam, QObject* carried);

}  // namespace tk
