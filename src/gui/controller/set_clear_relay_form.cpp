#include "gui/controller/set_clear_relay_form.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdint>

#include "controller/comms_engine.h"
#include "gui/controller/typed_number_edit.h"

TSetClearRelay* SetClearRelay = nullptr;

TSetClearRelay::TSetClearRelay(controller::CommsEngine& engine, QWidget* parent) : QDialog(parent), engine_(engine) {
  setWindowTitle("Set/Clear Relay");
  setObjectName("SetClearRelay");

  Label1 = new QLabel("Module Number:", this);
  Edit1 = new QLineEdit("0", this);
  Edit1->setObjectName("Edit1");
  Label2 = new QLabel("I/O Point:", this);
  Edit2 = new QLineEdit("0", this);
  Edit2->setObjectName("Edit2");
  auto* edits = new QGridLayout;
  edits->addWidget(Label1, 0, 0);
  edits->addWidget(Edit1, 0, 1);
  edits->addWidget(Label2, 1, 0);
  edits->addWidget(Edit2, 1, 1);

  RadioGroup1 = new QGroupBox(this);
  RadioGroup1->setObjectName("RadioGroup1");
  RadioGroup1Buttons = new QButtonGroup(RadioGroup1);
  auto* radios = new QVBoxLayout(RadioGroup1);
  int index = 0;
  for (const char* item : {"Turn Relay OFF", "Turn Relay ON"}) {
    auto* button = new QRadioButton(item, RadioGroup1);
    RadioGroup1Buttons->addButton(button, index++);
    radios->addWidget(button);
  }
  RadioGroup1Buttons->button(0)->setChecked(true);

  BitBtn1 = new QPushButton("&Send", this);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setDefault(true);
  CloseButton = new QPushButton("&Close", this);
  CloseButton->setObjectName("CloseButton");
  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
  connect(CloseButton, &QPushButton::clicked, this, &QWidget::hide);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(BitBtn1);
  buttons->addWidget(CloseButton);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(edits);
  layout->addWidget(RadioGroup1);
  layout->addLayout(buttons);
}

void TSetClearRelay::BitBtn1Click() {
  if (!engine_.RequestAllowed(controller::RequestKind::Relay, engine_.RelayRequest != 0)) return;
  // Module 0 is no request: it would go nowhere, so it is refused as a number out of range is.
  const std::optional<int> module = TypedNumber(Edit1, {"Module Number", 1, 255});
  if (!module) return;
  const std::optional<int> point = TypedNumber(Edit2, {"I/O Point", 0, 255});
  if (!point) return;
  engine_.RelayOn = static_cast<std::uint8_t>(std::max(0, RadioGroup1Buttons->checkedId()));
  engine_.RelayPoint = static_cast<std::uint8_t>(*point);
  engine_.RelayRequest = static_cast<std::uint8_t>(*module);
}
