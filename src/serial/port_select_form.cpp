#include "serial/port_select_form.h"

#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <cstdlib>

#include "platform/text.h"
#include "serial/com_port.h"
#include "serial/port_availability.h"
#include "tk/modal.h"

namespace serial {

TComSelectForm::TComSelectForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Select Port");
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  Label1 = new QLabel("The configured serial port is not valid.", this);
  Label2 = new QLabel("Please choose another port.", this);
  PortsComboBox = new QComboBox(this);
  PortsComboBox->setEditable(false);  // pick only
  OkBtn = new QPushButton("OK", this);
  OkBtn->setDefault(true);
  AbortBtn = new QPushButton("Cancel", this);
  connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(AbortBtn, &QPushButton::clicked, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label1);
  layout->addWidget(Label2);
  layout->addSpacing(4);
  layout->addWidget(PortsComboBox);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OkBtn);
  buttons->addWidget(AbortBtn);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);  // fixed border
  FormCreate();
}

void TComSelectForm::FormCreate() {
  PortsComboBox->clear();
  for (int n = 1; n <= kHighestPort; ++n)
    if (IsPortAvailable(n)) PortsComboBox->addItem(QString("COM%1").arg(n));
  PortsComboBox->setCurrentIndex(PortsComboBox->count() > 0 ? 0 : -1);
}

std::string TComSelectForm::SelectedCom() const {
  return platform::FromQString(PortsComboBox->currentText()).value_or("");
}

int TComSelectForm::SelectedComNum() const {
  std::string text = SelectedCom();
  return text.size() > 3 ? std::atoi(text.c_str() + 3) : 0;
}

bool ShowPortSelection(int& number) {
  TComSelectForm form(QApplication::activeWindow());
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    form.adjustSize();
    form.move(screen->availableGeometry().center() - form.rect().center());
  }
  if (tk::ExecModal(form, "TComSelectForm") != QDialog::Accepted) return false;
  number = form.SelectedComNum();
  return true;
}

void RegisterSerialDialogs() { SetPortSelectionDialog(ShowPortSelection); }

}  // namespace serial
