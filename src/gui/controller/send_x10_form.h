#pragma once
// "Send X10": one X10 command (house code, unit or function, repeat count) for the engine to send. Shown
// modally; "Send" posts the command and leaves the window open for the next one.
#include <QDialog>

namespace controller {
class CommsEngine;
}

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TSendX10 : public QDialog {
  Q_OBJECT

 public:
  explicit TSendX10(controller::CommsEngine& engine, QWidget* parent = nullptr);

  // "Send": the repeat used (1 when the one typed is not 1..128) shows in Edit1, then the request is armed.
  void BitBtn1Click();

  QGroupBox* HouseGroup;
  QButtonGroup* HouseGroupButtons;
  QGroupBox* KeyGroup;
  QButtonGroup* KeyGroupButtons;
  QLabel* Label1;
  QLineEdit* Edit1;
  QPushButton* BitBtn1;  // "Send"
  QPushButton* BitBtn2;  // "Cancel"

 private:
  controller::CommsEngine& engine_;
};

extern TSendX10* SendX10;
