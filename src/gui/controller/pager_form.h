#pragma once
// The "Pager Setup" window: prepares the modem the controller pages through, with the modem on one of the
// PC's serial ports. The steps run on the window's 3-second timer; the exchange shows in the list.
#include <QDialog>
#include <string>

#include "controller/pager_modem_setup.h"

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;

namespace controller {
class CommsEngine;
}

class TPagerForm : public QDialog {
  Q_OBJECT

 public:
  // The set-up is the engine's port work while the window exists.
  explicit TPagerForm(controller::CommsEngine& engine, QWidget* parent = nullptr);
  ~TPagerForm() override;

  // Setup's "Pager &Setup". A window the user opens again stays when the running set-up ends, though Setup's
  // close had it wait to close then.
  void ShowFromSetup();
  void BitBtn1Click();  // "Configure &Modem"
  void Timer1Timer();
  // Closing ("&Close", Setup's close, the window's own) while the set-up runs closes the window once the
  // set-up has ended by its last step; a set-up cut short, or ended by a failing port, leaves it in view,
  // saying so.
  void done(int result) override;

  controller::PagerModemSetup Setup;

  QLabel* Label1;
  QLineEdit* Edit1;  // the pager service's number
  QGroupBox* ComNum;
  QButtonGroup* ComNumButtons;  // COM1..COM8, ids 0..7
  QPushButton* BitBtn1;
  QListWidget* ListBox1;
  QPushButton* CloseButton;
  QTimer* Timer1;

 protected:
  void hideEvent(QHideEvent* event) override;

 private:
  void TextEdited();
  void SetUpEnded(bool cut);

  controller::CommsEngine& engine_;
  QString accepted_;  // Edit1's last text the port can carry
  bool closeWhenDone_ = false;
};

extern TPagerForm* PagerForm;
