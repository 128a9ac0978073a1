#pragma once
// The small dialog the port component shows when it is asked to open without a port number.
#include <QDialog>
#include <string>

#include "serial/port_availability.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace serial {

class TComSelectForm : public QDialog {
 public:
  static constexpr int kHighestPort = 50;

  explicit TComSelectForm(QWidget* parent = nullptr);

  // Lists the available ports COM1 to COM50 and selects the first.
  void FormCreate();
  std::string SelectedCom() const;
  int SelectedComNum() const;

  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QComboBox* PortsComboBox = nullptr;
  QPushButton* OkBtn = nullptr;
  QPushButton* AbortBtn = nullptr;
};

// Shows the dialog modally; true with the chosen number on OK.
bool ShowPortSelection(int& number);

// Makes the library's dialogs the ones its ports use (the port selection for a port numbered 0).
void RegisterSerialDialogs();

}  // namespace serial
