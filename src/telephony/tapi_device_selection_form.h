#pragma once
// "Device Selection": the small modal window in which the user picks a telephony line device or a serial
// port to use directly. The caller sets the fields before showing it and reads them after OK.
#include <QDialog>
#include <cstdint>
#include <string>
#include <vector>

#include "serial/com_port.h"

class QComboBox;
class QPushButton;
class QShowEvent;

namespace telephony {

class TDeviceSelectionForm : public QDialog {
 public:
  explicit TDeviceSelectionForm(QWidget* parent = nullptr);

  bool ShowTapiDevices = false;
  bool ShowPorts = false;
  serial::TTapiMode TapiMode = serial::tmAuto;
  std::uint16_t ComNumber = 0;
  std::string DeviceName;

  // Fills the list on the first call and preselects; a window being shown does this itself.
  void FillList();
  void dsfOkBitBtnClick();
  void dsfCancelBitBtnClick();

  const std::vector<std::string>& Entries() const { return entries_; }

  QComboBox* dsfComboBox = nullptr;
  QPushButton* dsfOkBitBtn = nullptr;
  QPushButton* dsfCancelBitBtn = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  std::vector<std::string> entries_;
  bool filled_ = false;
};

}  // namespace telephony
