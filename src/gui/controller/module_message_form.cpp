#include "gui/controller/module_message_form.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "controller/comms_engine.h"
#include "controller/transmit_request.h"
#include "gui/controller/up_down.h"
#include "platform/text.h"

namespace {

std::string EditText(const QLineEdit* edit) { return platform::FromQString(edit->text()).value_or(std::string()); }

}  // namespace

ModuleMessageForm::ModuleMessageForm(controller::CommsEngine& engine, const char* caption, int messageLimit,
                                     QWidget* parent)
    : QDialog(parent), engine_(engine), messageLimit_(messageLimit) {
  setWindowTitle(caption);

  Label1 = new QLabel("Module#", this);
  Edit1 = new QLineEdit("1", this);
  Edit1->setObjectName("Edit1");
  Label2 = new QLabel("Message#", this);
  Edit2 = new QLineEdit("0", this);
  Edit2->setObjectName("Edit2");
  for (QLineEdit* edit : {Edit1, Edit2}) edit->setFixedWidth(60);
  Label1->setBuddy(Edit1);
  Label2->setBuddy(Edit2);
  auto* fields = new QGridLayout;
  fields->addWidget(Label1, 0, 0);
  fields->addWidget(Edit1, 0, 1);
  fields->addWidget(gui::UpDown(this, Edit1, 1, controller::HighestModule, UpDown1Up, UpDown1Down), 0, 2);
  fields->addWidget(Label2, 1, 0);
  fields->addWidget(Edit2, 1, 1);
  fields->addWidget(gui::UpDown(this, Edit2, 0, messageLimit, UpDown2Up, UpDown2Down), 1, 2);
  fields->setColumnStretch(3, 1);

  buttons_ = new QHBoxLayout;
  CloseButton = new QPushButton("&Close", this);
  CloseButton->setObjectName("CloseButton");
  connect(CloseButton, &QPushButton::clicked, this, &QWidget::hide);
  auto* closeRow = new QHBoxLayout;
  closeRow->addStretch();
  closeRow->addWidget(CloseButton);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addLayout(buttons_);
  layout->addLayout(closeRow);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

QPushButton* ModuleMessageForm::AddButton(const char* name, const char* caption) {
  auto* button = new QPushButton(caption, this);
  button->setObjectName(name);
  buttons_->addWidget(button);
  return button;
}

void ModuleMessageForm::Post(std::uint8_t code) {
  if (!engine_.RequestAllowed(controller::RequestKind::Transmit, engine_.TransmitRequest != 0)) return;
  controller::PostTransmitRequest(engine_, EditText(Edit1), EditText(Edit2), messageLimit_, code);
}
