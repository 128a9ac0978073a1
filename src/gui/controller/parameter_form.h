#pragma once
// "Module Parameter Access": the module parameters the engine reads, modules down and parameters across.
// With the password the controller holds typed in, a click on a cell opens "Change Parameter Data" for
// it. Any click, and hiding the window, ends a running read after the parameter in hand.
//
// Its creation is also where the program makes sure that it runs only once.
#include <QDialog>
#include <string>

#include "controller/comms_engine.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

class TParameterForm : public QDialog {
  Q_OBJECT

 public:
  explicit TParameterForm(controller::CommsEngine& engine, QWidget* parent = nullptr);

  // The single-instance check of the window's creation: when another copy of the program runs, tells the
  // user and ends this copy at once (nothing is open that needs saving yet). Called by the window table.
  static void CheckSingleInstance();
  // The check itself: false, after "Zelta Already Loaded", when another copy holds the lock in
  // `lockDirectory`. A lock that cannot be taken at all does not stop the program.
  static bool OnlyInstance(const std::string& lockDirectory);

  // Handlers, named as the window's events; grid coordinates (row 0 and column 0 are fixed).
  void FormShow();
  void FormHide();
  void BitBtn1Click();  // "&Close"
  void StringGrid1Click(int column, int row);

  // The grid's fixed row is the table's header; table row r is grid row r + 1.
  QTableWidget* StringGrid1;
  QLabel* Label1;  // status
  QLabel* Label2;  // "Password:"
  QLineEdit* Edit1;
  QPushButton* BitBtn1;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  controller::CommsEngine& engine_;
  QString password_;  // the password edit's last text that the system can hold
};

extern TParameterForm* ParameterForm;
