#pragma once
// "Change Parameter Data": the new value for the module parameter picked in the module parameter window.
// OK only asks the engine for the write; the engine reads the value from the edit when it takes the
// request.
#include <QDialog>
#include <string>

#include "controller/comms_engine.h"

class QLabel;
class QLineEdit;
class QPushButton;

class TChangeParam : public QDialog {
  Q_OBJECT

 public:
  explicit TChangeParam(controller::CommsEngine& engine, QWidget* parent = nullptr);

  void BitBtn1Click();  // OK

  // The value as typed (the engine's ChangeParamValue input).
  std::string Value() const;

  QLabel* Label1;
  QLineEdit* Edit1;
  QPushButton* BitBtn1;  // "OK"
  QPushButton* BitBtn2;  // "Cancel"

 private:
  controller::CommsEngine& engine_;
  QString accepted_;  // the edit's last text that the system can hold
};

extern TChangeParam* ChangeParam;
