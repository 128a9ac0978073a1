#include "gui/controller/ir_form.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <string>

#include "controller/comms_engine.h"
#include "gui/controller/typed_number_edit.h"
#include "platform/text.h"
#include "platform/ui.h"

TIrForm* IrForm = nullptr;

namespace {

constexpr int LowestKHz = 19;
constexpr int HighestKHz = 470;
constexpr int CarrierClock = 4608;  // the learn command carries (CarrierClock div kHz) - 1
constexpr int HighestIrNumber = 0xFFFF;

QPushButton* NewButton(const char* caption, const char* name, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  return button;
}

}  // namespace

TIrForm::TIrForm(controller::CommsEngine& engine, QWidget* parent) : QDialog(parent), engine_(engine) {
  setWindowTitle("Ir");
  setObjectName("IrForm");

  Label2 = new QLabel("Ir Number:", this);
  Edit1 = new QLineEdit("1", this);
  Edit1->setObjectName("Edit1");
  Label1 = new QLabel("Ir Frequency", this);
  Edit2 = new QLineEdit("38", this);
  Edit2->setObjectName("Edit2");
  Edit2->setToolTip("Enter the Ir frequency in KHz (i.e. 38)");
  auto* edits = new QGridLayout;
  edits->addWidget(Label2, 0, 0);
  edits->addWidget(Edit1, 0, 1);
  edits->addWidget(Label1, 1, 0);
  edits->addWidget(Edit2, 1, 1);

  BitBtn1 = NewButton("Learn Ir", "BitBtn1", this);
  BitBtn3 = NewButton("&Transmit Ir", "BitBtn3", this);
  BitBtn4 = NewButton("Clear Ir Location", "BitBtn4", this);
  BitBtn2 = NewButton("&Close", "BitBtn2", this);
  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
  connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
  connect(BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });
  connect(BitBtn4, &QPushButton::clicked, this, [this] { BitBtn4Click(); });
  auto* buttons = new QGridLayout;
  buttons->addWidget(BitBtn1, 0, 0);
  buttons->addWidget(BitBtn3, 0, 1);
  buttons->addWidget(BitBtn4, 1, 0);
  buttons->addWidget(BitBtn2, 1, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(edits);
  layout->addLayout(buttons);
  SetMode(0);
}

TIrForm::LearnCarrier TIrForm::CarrierFor(long typedKHz) {
  const int kHz = static_cast<int>(std::clamp<long>(typedKHz, LowestKHz, HighestKHz));
  return {kHz, static_cast<std::uint8_t>(CarrierClock / kHz - 1)};
}

void TIrForm::SetMode(int tag) {
  Tag = tag;
  const bool learn = tag == 0;
  BitBtn1->setText(learn ? "Learn Ir" : "Transmit Ir");
  Label1->setVisible(learn);
  Edit2->setVisible(learn);
  BitBtn3->setVisible(learn);
}

void TIrForm::ShowLearnMode() {
  SetMode(0);
  show();
  raise();
}

void TIrForm::ShowTransmitMode() {
  SetMode(1);
  show();
  raise();
}

void TIrForm::HideLearnMode() {
  if (Tag == 0) hide();
}

bool TIrForm::ReadNumber(std::int32_t& number) {
  // -1 means "no request" to the engine, and the wire carries 16 bits.
  const std::optional<int> typed = TypedNumber(Edit1, {"Ir Number", 0, HighestIrNumber});
  if (!typed) return false;
  number = *typed;
  return true;
}

void TIrForm::Transmit() {
  if (!engine_.RequestAllowed(controller::RequestKind::IrTransmit, engine_.IrTransmitNumber != -1)) return;
  std::int32_t number = 0;
  if (!ReadNumber(number)) return;
  engine_.IrTransmitNumber = number;
  engine_.AddLogLine(platform::FormatText("Transmiting IR# %03d", number));
}

void TIrForm::BitBtn1Click() {
  if (Tag != 0) {
    Transmit();
    return;
  }
  if (!engine_.RequestAllowed(controller::RequestKind::IrLearn, engine_.IrLearnNumber != -1)) return;
  std::int32_t number = 0;
  if (!ReadNumber(number)) return;
  const std::optional<int> kHz = TypedWholeNumber(Edit2, {"Ir Frequency", LowestKHz, HighestKHz});
  if (!kHz) return;
  const LearnCarrier carrier = CarrierFor(*kHz);
  Edit2->setText(QString::number(carrier.KHz));
  engine_.IrLearnFrequency = carrier.Code;
  engine_.IrLearnNumber = number;
  engine_.AddLogLine(platform::FormatText("Learning IR# %03d F/%d (%dKHz)", number, carrier.Code, carrier.KHz));
}

void TIrForm::BitBtn3Click() { Transmit(); }

void TIrForm::BitBtn4Click() {
  if (!engine_.RequestAllowed(controller::RequestKind::IrClear, engine_.IrClearNumber != -1)) return;
  std::int32_t number = 0;
  if (!ReadNumber(number)) return;
  // A learn asked before the clear goes must not change its carrier.
  engine_.IrClearFrequency = engine_.IrLearnFrequency;
  engine_.IrClearNumber = number;
  engine_.AddLogLine(platform::FormatText("Clearing IR# %03d", number));
}

void TIrForm::BitBtn2Click() {
  engine_.DropLearnNotStarted();
  if (Tag == 0 &&
      platform::Ui().MessageBox("Do you want to save learned Ir to disk?", platform::ApplicationTitle(),
                                platform::MsgButtons::YesNo, platform::MsgKind::Question) == platform::MsgResult::Yes) {
    if (SaveIrFileDialog) SaveIrFileDialog();
  }
  hide();
  engine_.CancelLearn();
}

void TIrForm::closeEvent(QCloseEvent* event) {
  BitBtn2Click();
  event->accept();
}

void TIrForm::reject() { BitBtn2Click(); }
