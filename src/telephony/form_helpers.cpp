#include "telephony/form_helpers.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSignalBlocker>
#include <memory>

#include "platform/text.h"
#include "platform/ui.h"

namespace telephony {

void GuardLatin1(QLineEdit* edit) {
  // The last accepted text lives with the connection.
  auto accepted = std::make_shared<QString>(edit->text());
  QObject::connect(edit, &QLineEdit::textChanged, edit, [edit, accepted](const QString& text) {
    if (platform::IsLatin1(text)) {
      *accepted = text;
      return;
    }
    platform::Ui().Beep();
    QSignalBlocker block(edit);
    edit->setText(*accepted);
  });
}

void FixAndCentre(QWidget* window, int width, int height) {
  window->setFixedSize(width, height);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    window->move(area.center() - QPoint(width / 2, height / 2));
  }
}

}  // namespace telephony
