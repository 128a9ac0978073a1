#include "gui/controller/monitor_x10_form.h"

#include <QHBoxLayout>
#include <QHideEvent>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "controller/comms_engine.h"

TMonitorX10* MonitorX10 = nullptr;

TMonitorX10::TMonitorX10(controller::CommsEngine& engine, QWidget* parent) : QDialog(parent), engine_(engine) {
  setWindowTitle("Monitor X10");
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  resize(260, 320);

  ListBox1 = new QListWidget(this);
  ListBox1->setObjectName("ListBox1");
  CloseButton = new QPushButton("&Close", this);
  CloseButton->setObjectName("CloseButton");

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(CloseButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(ListBox1, 1);
  layout->addLayout(buttons);

  connect(CloseButton, &QPushButton::clicked, this, &QWidget::hide);
}

void TMonitorX10::FormHide() { engine_.X10MonitorRequest = 0; }

void TMonitorX10::hideEvent(QHideEvent* event) {
  QDialog::hideEvent(event);
  // Minimising is no hiding: monitoring goes on.
  if (!event->spontaneous()) FormHide();
}
