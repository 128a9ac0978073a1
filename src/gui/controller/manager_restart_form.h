#pragma once
// The "Controller Restart" window: shown by the engine while the controller restarts after a raw image
// transfer; the engine moves its bar from 0 to 100 over the wait.
#include <QDialog>

class QLabel;
class QProgressBar;

class TManagerRestart : public QDialog {
  Q_OBJECT

 public:
  explicit TManagerRestart(QWidget* parent = nullptr);

  QLabel* Label1;
  QProgressBar* ProgressBar1;
};

extern TManagerRestart* ManagerRestart;
