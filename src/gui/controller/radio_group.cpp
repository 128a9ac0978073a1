#include "gui/controller/radio_group.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QRadioButton>

#include "platform/text.h"

namespace gui {

QButtonGroup* FillRadioGroup(QGroupBox* box, const std::vector<std::string>& items, int columns, int checked) {
  auto* group = new QButtonGroup(box);
  auto* grid = new QGridLayout(box);
  grid->setVerticalSpacing(1);
  grid->setHorizontalSpacing(8);
  const int count = static_cast<int>(items.size());
  const int rows = (count + columns - 1) / columns;
  for (int index = 0; index < count; ++index) {
    auto* button = new QRadioButton(platform::ToQString(items[static_cast<std::size_t>(index)]), box);
    button->setObjectName(QString("%1_%2").arg(box->objectName()).arg(index));
    group->addButton(button, index);
    grid->addWidget(button, index % rows, index / rows);
  }
  if (QAbstractButton* button = group->button(checked)) button->setChecked(true);
  return group;
}

}  // namespace gui
