#pragma once
// "Monitor X10": the X10 events an older controller reports, newest first. Monitoring runs while the
// window is up; hiding it ends the monitoring.
#include <QDialog>

namespace controller {
class CommsEngine;
}

class QListWidget;
class QPushButton;

class TMonitorX10 : public QDialog {
  Q_OBJECT

 public:
  explicit TMonitorX10(controller::CommsEngine& engine, QWidget* parent = nullptr);

  void FormHide();

  QListWidget* ListBox1;
  QPushButton* CloseButton;

 protected:
  void hideEvent(QHideEvent* event) override;

 private:
  controller::CommsEngine& engine_;
};

extern TMonitorX10* MonitorX10;
