#include "gui/controller/transmit_ascii_form.h"

#include <QPushButton>

#include "controller/transmit_request.h"

TTransmitASCIIForm* TransmitASCIIForm = nullptr;

TTransmitASCIIForm::TTransmitASCIIForm(controller::CommsEngine& engine, QWidget* parent)
    : ModuleMessageForm(engine, "Transmit ASCII Message", controller::AsciiMessageLimit, parent) {
  setObjectName("TransmitASCIIForm");
  BitBtn2 = AddButton("BitBtn2", "Transmit");
  connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
}

void TTransmitASCIIForm::BitBtn2Click() { Post(controller::TransmitPlay); }
