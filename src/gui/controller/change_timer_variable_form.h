#pragma once
// The "Change Timer/Variable" window: a new value for the timer or variable clicked in the debug grid,
// sent by the engine at its next idle pass.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace controller {
class CommsEngine;
}

class TForm32 : public QDialog {
  Q_OBJECT

 public:
  explicit TForm32(controller::CommsEngine& engine, QWidget* parent = nullptr);

  // Shown for the timer (or variable) `number` the debug grid's click picked: that kind is the one OK
  // writes, whatever the grid shows by then.
  void ShowFor(bool variable, int number);
  // "OK": value and kind, then the number, which arms the request. Refused and told while the last change
  // asked has not ended.
  void BitBtn1Click();
  void BitBtn2Click();  // "Cancel"

  QLabel* Label1;  // "Timer#" or "Variable#"
  QLineEdit* Edit1;
  QToolButton* UpDown1Up;  // 0..63
  QToolButton* UpDown1Down;
  QLabel* Label2;  // "Data:"
  QLineEdit* Edit2;
  QToolButton* UpDown2Up;  // 0..32000
  QToolButton* UpDown2Down;
  QPushButton* BitBtn1;  // "OK"
  QPushButton* BitBtn2;  // "Cancel"

 private:
  controller::CommsEngine& engine_;
  int kind_ = 1;  // 0 variable, 1 timer: what Label1 names
};

extern TForm32* Form32;
