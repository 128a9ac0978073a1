#pragma once
// The "Murmex" window: records or plays one message of a voice module.
#include "gui/controller/module_message_form.h"

class TMurmexForm : public ModuleMessageForm {
  Q_OBJECT

 public:
  explicit TMurmexForm(controller::CommsEngine& engine, QWidget* parent = nullptr);

  void BitBtn1Click();  // "Record"
  void BitBtn2Click();  // "Play"

  QPushButton* BitBtn1;
  QPushButton* BitBtn2;
};

extern TMurmexForm* MurmexForm;
