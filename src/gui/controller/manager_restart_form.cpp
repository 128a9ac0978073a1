#include "gui/controller/manager_restart_form.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

TManagerRestart* ManagerRestart = nullptr;

TManagerRestart::TManagerRestart(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Controller Restart");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  Label1 = new QLabel("Please wait.........restarting Controller", this);
  Label1->setObjectName("Label1");
  Label1->setAlignment(Qt::AlignCenter);
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 16);
  layout->setSpacing(12);
  layout->addWidget(Label1);
  layout->addWidget(ProgressBar1);
  resize(320, 100);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}
