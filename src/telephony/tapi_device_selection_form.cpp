#include "telephony/tapi_device_selection_form.h"

#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include "platform/text.h"
#include "telephony/tapi_device_selection.h"

namespace telephony {

TDeviceSelectionForm::TDeviceSelectionForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
  setWindowTitle("Device Selection");
  setFixedSize(226, 75);
  dsfComboBox = new QComboBox(this);
  dsfComboBox->setEditable(false);  // a drop-down list: pick only
  dsfComboBox->setGeometry(8, 8, 209, 24);
  dsfOkBitBtn = new QPushButton("OK", this);
  dsfOkBitBtn->setGeometry(34, 42, 75, 25);
  dsfOkBitBtn->setDefault(true);
  dsfCancelBitBtn = new QPushButton("Cancel", this);
  dsfCancelBitBtn->setGeometry(117, 42, 75, 25);
  connect(dsfOkBitBtn, &QPushButton::clicked, this, [this] { dsfOkBitBtnClick(); });
  connect(dsfCancelBitBtn, &QPushButton::clicked, this, [this] { dsfCancelBitBtnClick(); });
}

void TDeviceSelectionForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FillList();
  if (QScreen* screen = QGuiApplication::primaryScreen()) move(screen->availableGeometry().center() - rect().center());
  dsfOkBitBtn->setFocus();
}

void TDeviceSelectionForm::FillList() {
  if (!filled_) {
    filled_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    entries_.clear();
    if (ShowTapiDevices) entries_ = TapiDeviceSelection::LineDeviceNames();
    if (ShowPorts) {
      auto ports = TapiDeviceSelection::PortEntries([] { QCoreApplication::processEvents(); });
      entries_.insert(entries_.end(), ports.begin(), ports.end());
    }
    QApplication::restoreOverrideCursor();
    dsfComboBox->clear();
    for (const std::string& entry : entries_) dsfComboBox->addItem(platform::ToQString(entry));
  }
  dsfComboBox->setCurrentIndex(TapiDeviceSelection::PreselectIndex(entries_, TapiMode, ComNumber, DeviceName));
}

void TDeviceSelectionForm::dsfOkBitBtnClick() {
  const int index = dsfComboBox->currentIndex();
  // With nothing listed there is nothing to take: the choice is left as it was.
  if (index < 0 || index >= static_cast<int>(entries_.size())) {
    reject();
    return;
  }
  DeviceName = entries_[static_cast<std::size_t>(index)];
  const TapiDeviceSelection::Choice choice = TapiDeviceSelection::Interpret(DeviceName);
  TapiMode = choice.TapiMode;
  ComNumber = choice.ComNumber;
  accept();
}

void TDeviceSelectionForm::dsfCancelBitBtnClick() { reject(); }

}  // namespace telephony
