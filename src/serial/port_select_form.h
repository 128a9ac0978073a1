#pragma once
// Whether a serial port number can be opened, and the small dialog the port component shows when it is
// asked to open without a port number.
#include <QDialog>
#include <string>

class QComboBox;
class QLabel;
class QPushButton;

namespace serial {

// Test a port by opening it through a temporary dispatcher (else by opening the device directly).
extern bool UseDispatcherForAvail;
// A port that exists but is held by another program counts as available.
extern bool ShowPortsInUse;

bool IsPortAvailable(int n);

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

}  // namespace serial
