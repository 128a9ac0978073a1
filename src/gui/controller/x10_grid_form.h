#pragma once
// "X10 Monitoring": what a newer controller reports of X10: which unit of which house is on (a grid of
// houses A..P by units 1..16) and a log of the activity, newest first. Monitoring runs while the window is
// up; hiding it ends the monitoring.
#include <QDialog>

namespace controller {
class CommsEngine;
}

class QCheckBox;
class QListWidget;
class QPushButton;
class QTableWidget;

class TX10Grid : public QDialog {
  Q_OBJECT

 public:
  explicit TX10Grid(controller::CommsEngine& engine, QWidget* parent = nullptr);

  void Button1Click();  // "Clear Log"
  void FormHide();

  // 17 x 17: row 0 and column 0 are the headings, cell (column c, row r) is unit r of house c.
  QTableWidget* StringGrid1;
  QListWidget* ListBox1;
  QPushButton* Button1;
  QCheckBox* CheckBox1;  // "Use Names"
  QPushButton* CloseButton;

 protected:
  void hideEvent(QHideEvent* event) override;

 private:
  controller::CommsEngine& engine_;
};

extern TX10Grid* X10Grid;
