#include "gui/alt_keys.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>

namespace gui {

namespace {

// The character a key event carries, to take it away.
struct KeyText : QKeyEvent {
  static QString& Of(QKeyEvent& event) { return event.*(&KeyText::m_text); }
};

class AltKeysTypeNothing : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
    auto& key = static_cast<QKeyEvent&>(*event);
    if (!(key.modifiers() & Qt::AltModifier) || key.text().isEmpty()) return false;
    // A menu, open or taking keys from the menu bar, finds its items by the character, Alt held or not.
    if (qobject_cast<QMenu*>(watched) || qobject_cast<QMenuBar*>(watched)) return false;
    // The key goes on, without its character: what else it does is the widget's.
    KeyText::Of(key).clear();
    return false;
  }
};

}  // namespace

void InstallAltKeysTypeNothing(QCoreApplication& application) {
  const QString name = QStringLiteral("AltKeysTypeNothing");
  if (application.findChild<QObject*>(name, Qt::FindDirectChildrenOnly)) return;
  auto* filter = new AltKeysTypeNothing(&application);
  filter->setObjectName(name);
  application.installEventFilter(filter);
}

}  // namespace gui
