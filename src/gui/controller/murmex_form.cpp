#include "gui/controller/murmex_form.h"

#include <QPushButton>

#include "controller/transmit_request.h"

TMurmexForm* MurmexForm = nullptr;

TMurmexForm::TMurmexForm(controller::CommsEngine& engine, QWidget* parent)
    : ModuleMessageForm(engine, "Murmex", controller::VoiceMessageLimit, parent) {
  setObjectName("MurmexForm");
  BitBtn1 = AddButton("BitBtn1", "Record");
  BitBtn2 = AddButton("BitBtn2", "Play");
  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
  connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
}

void TMurmexForm::BitBtn1Click() { Post(controller::TransmitRecord); }
void TMurmexForm::BitBtn2Click() { Post(controller::TransmitPlay); }
