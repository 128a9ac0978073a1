#pragma once
// The "Debug Timers and Variables" window: the controller's 64 timers and 256 variables, refreshed by the
// engine while the window is shown. Clicking a timer or variable opens "Change Timer/Variable".
#include <QDialog>

class QPushButton;
class QTableWidget;

namespace controller {
class CommsEngine;
}

class TTimerVariableForm : public QDialog {
  Q_OBJECT

 public:
  explicit TTimerVariableForm(controller::CommsEngine& engine, QWidget* parent = nullptr);

  // Whether a click on grid cell (column, row) opens the change window: rows 65 and later hold no timer,
  // so only the variables' column opens there.
  static bool OpensChange(int column, int row);
  // The grid's current cell, as grid column and row (row 0 is the header row).
  int CurrentColumn() const;
  int CurrentRow() const;

  void TVGridClick();
  void FormHide();

  // Column 0 numbers the rows, column 1 holds the timers, column 2 the variables; the header is row 0.
  QTableWidget* TVGrid;
  QPushButton* BitBtn1;  // "Close"

 protected:
  void hideEvent(QHideEvent* event) override;

 private:
  controller::CommsEngine& engine_;
};

extern TTimerVariableForm* TimerVariableForm;
