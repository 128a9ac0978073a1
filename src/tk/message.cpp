#include "tk/message.h"

#include <QCoreApplication>

#include "tk/component.h"

namespace tk {

QEvent::Type MessageEvent::EventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

bool HandleMessageEvent(QEvent* event, MessageTarget& target) {
  if (event->type() != MessageEvent::EventType()) return false;
  auto* posted = static_cast<MessageEvent*>(event);
  if (posted->CarriedAlive()) target.Dispatch(posted->Msg);
  return true;
}

std::intptr_t SendMessage(MessageTarget& target, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  Message m{msg, wParam, lParam, 0};
  target.Dispatch(m);
  return m.Result;
}

void PostMessage(QObject* target, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  if (!target) return;
  QCoreApplication::postEvent(target, new MessageEvent({msg, wParam, lParam, 0}));
}

void PostMessage(QObject* target, std::uint32_t msg, std::uintptr_t wParam, Component* carried) {
  if (!target) return;
  auto* event = new MessageEvent({msg, wParam, reinterpret_cast<std::intptr_t>(carried), 0});
  if (carried) {
    event->CarriesComponent = true;
    event->CarriedComponent = carried->Liveness();
  }
  QCoreApplication::postEvent(target, event);
}

void PostMessage(QObject* target, std::uint32_t msg, std::uintptr_t wParam, QObject* carried) {
  if (!target) return;
  auto* event = new MessageEvent({msg, wParam, reinterpret_cast<std::intptr_t>(carried), 0});
  if (carried) {
    event->CarriesObject = true;
    event->CarriedObject = carried;
  }
  QCoreApplication::postEvent(target, event);
}

}  // namespace tk
