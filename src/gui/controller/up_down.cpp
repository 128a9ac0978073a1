#include "gui/controller/up_down.h"

#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace gui {

QWidget* UpDown(QWidget* parent, QLineEdit* edit, int minimum, int maximum, QToolButton*& up, QToolButton*& down) {
  auto* arrows = new QWidget(parent);
  auto* column = new QVBoxLayout(arrows);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  up = new QToolButton(arrows);
  up->setArrowType(Qt::UpArrow);
  down = new QToolButton(arrows);
  down->setArrowType(Qt::DownArrow);
  for (QToolButton* button : {up, down}) {
    button->setFixedSize(16, 11);
    button->setFocusPolicy(Qt::NoFocus);
    column->addWidget(button);
  }
  auto step = [edit, minimum, maximum](int by) {
    const int typed = edit->text().trimmed().toInt();
    edit->setText(QString::number(std::clamp(std::clamp(typed, minimum, maximum) + by, minimum, maximum)));
  };
  QObject::connect(up, &QToolButton::clicked, edit, [step] { step(1); });
  QObject::connect(down, &QToolButton::clicked, edit, [step] { step(-1); });
  return arrows;
}

}  // namespace gui
