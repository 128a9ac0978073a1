#pragma once
// A non-visual component that receives posted messages and Qt events (timers). `Base` is the component
// class it extends: tk::Component, or a library's own base component that derives from it.
#include <QObject>

#include "tk/component.h"
#include "tk/message.h"

namespace tk {

template <class Base = Component>
class QComponentOf : public QObject, public Base, public MessageTarget {
 public:
  explicit QComponentOf(Component* owner) : Base(owner) {}

 protected:
  bool event(QEvent* event) override {
    if (HandleMessageEvent(event, *this)) return true;
    return QObject::event(event);
  }
};

using QComponent = QComponentOf<>;

}  // namespace tk
