#include "gui/controller/remote_ir_form.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdint>

#include "controller/comms_engine.h"
#include "gui/controller/typed_number_edit.h"

TRemoteIRForm* RemoteIRForm = nullptr;

namespace {

QLineEdit* NewEdit(const char* name, QWidget* parent) {
  auto* edit = new QLineEdit("0", parent);
  edit->setObjectName(name);
  return edit;
}

}  // namespace

TRemoteIRForm::TRemoteIRForm(controller::CommsEngine& engine, QWidget* parent) : QDialog(parent), engine_(engine) {
  setWindowTitle("Transmit Remote IR");
  setObjectName("RemoteIRForm");

  Label3 = new QLabel("Module Number", this);
  Edit1 = NewEdit("Edit1", this);
  Label1 = new QLabel("Zone Number:", this);
  Edit2 = NewEdit("Edit2", this);
  Label2 = new QLabel("Ir Number:", this);
  Edit3 = NewEdit("Edit3", this);
  auto* edits = new QGridLayout;
  edits->addWidget(Label3, 0, 0);
  edits->addWidget(Edit1, 0, 1);
  edits->addWidget(Label1, 1, 0);
  edits->addWidget(Edit2, 1, 1);
  edits->addWidget(Label2, 2, 0);
  edits->addWidget(Edit3, 2, 1);

  BitBtn1 = new QPushButton("OK", this);
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
  layout->addLayout(buttons);
}

void TRemoteIRForm::BitBtn1Click() {
  if (!engine_.RequestAllowed(controller::RequestKind::RemoteIr, engine_.RemoteIrRequest != 0)) return;
  // Module 0, the window's default, would arm nothing and say nothing: it is refused as a number out of range.
  const std::optional<int> module = TypedNumber(Edit1, {"Module Number", 1, 255});
  if (!module) return;
  const std::optional<int> zone = TypedNumber(Edit2, {"Zone Number", 0, 255});
  if (!zone) return;
  const std::optional<int> number = TypedNumber(Edit3, {"Ir Number", 0, 0xFFFF});
  if (!number) return;
  engine_.RemoteIrNumber = static_cast<std::uint16_t>(*number);
  engine_.RemoteIrZone = static_cast<std::uint8_t>(*zone);
  engine_.RemoteIrRequest = static_cast<std::uint8_t>(*module);
}
