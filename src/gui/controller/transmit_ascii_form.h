#pragma once
// The "Transmit ASCII Message" window: has a module send one of its ASCII messages.
#include "gui/controller/module_message_form.h"

class TTransmitASCIIForm : public ModuleMessageForm {
  Q_OBJECT

 public:
  explicit TTransmitASCIIForm(controller::CommsEngine& engine, QWidget* parent = nullptr);

  void BitBtn2Click();  // "Transmit"

  QPushButton* BitBtn2;
};

extern TTransmitASCIIForm* TransmitASCIIForm;
