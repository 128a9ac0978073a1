#pragma once
// A non-visual component that receives posted messages and Qt events (timers).
#include <QObject>

#include "tk/component.h"
#include "tk/message.h"

namespace tk {

class QComponent : public QObject, public Component, public MessageTarget {
 public:
  explicit QComponent(Component* owner) : Component(owner) {}
  std::string ClassName() const override { return "TComponent"; }

 protected:
  bool event(QEvent* event) override {
    if (HandleMessageEvent(event, *this)) return true;
    return QObject::event(event);
  }
};

}  // namespace tk
