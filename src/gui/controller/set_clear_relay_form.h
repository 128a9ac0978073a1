#pragma once
// The "Set/Clear Relay" window: switches one relay output of a module on or off through the engine.
#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace controller {
class CommsEngine;
}

class TSetClearRelay : public QDialog {
  Q_OBJECT

 public:
  explicit TSetClearRelay(controller::CommsEngine& engine, QWidget* parent = nullptr);

  // "&Send": the point and the state, then the module number (1 to 255), which arms the request.
  void BitBtn1Click();

  QLabel* Label1;
  QLineEdit* Edit1;  // module number
  QLabel* Label2;
  QLineEdit* Edit2;  // I/O point
  QGroupBox* RadioGroup1;
  QButtonGroup* RadioGroup1Buttons;  // 0 "Turn Relay OFF", 1 "Turn Relay ON"
  QPushButton* BitBtn1;              // "&Send"
  QPushButton* CloseButton;

 private:
  controller::CommsEngine& engine_;
};

extern TSetClearRelay* SetClearRelay;
