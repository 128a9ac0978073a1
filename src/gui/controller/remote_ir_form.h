#pragma once
// The "Transmit Remote IR" window: has a remote module send one of the controller's IR codes in a zone.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace controller {
class CommsEngine;
}

class TRemoteIRForm : public QDialog {
  Q_OBJECT

 public:
  explicit TRemoteIRForm(controller::CommsEngine& engine, QWidget* parent = nullptr);

  // "OK": the code and the zone, then the module (1 to 255), which arms the request.
  void BitBtn1Click();

  QLabel* Label3;
  QLineEdit* Edit1;  // module number
  QLabel* Label1;
  QLineEdit* Edit2;  // zone number
  QLabel* Label2;
  QLineEdit* Edit3;  // IR number
  QPushButton* BitBtn1;
  QPushButton* CloseButton;

 private:
  controller::CommsEngine& engine_;
};

extern TRemoteIRForm* RemoteIRForm;
