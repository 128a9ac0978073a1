#pragma once
// The "VORMO Memory Dump" window: 256 bytes of controller memory in a 16 x 16 grid, read block by block
// from a typed address, and six edits for sending any command by hand, read when Send is clicked. The
// engine fills the grid.
#include <QDialog>
#include <array>
#include <cstdint>
#include <string>

class QLineEdit;
class QPushButton;
class QTableWidget;

namespace controller {
class CommsEngine;
}

class TDumpForm : public QDialog {
  Q_OBJECT

 public:
  explicit TDumpForm(controller::CommsEngine& engine, QWidget* parent = nullptr);

  // The address `step` blocks of 256 bytes away from `address`; wraps as the 32-bit field does.
  static std::int32_t BlockAddress(std::int32_t address, int step);

  void BitBtn1Click();  // "Get Dump"
  void Button1Click();  // "Next Block"
  void Button2Click();  // "Previous Block"
  void BitBtn3Click();  // "Send"
  // The text of command edit `index` (0 the code, 1..5 its arguments).
  std::string CommandText(int index) const;

  QTableWidget* StringGrid1;
  QLineEdit* Edit1;  // address
  QPushButton* BitBtn1;
  QPushButton* Button1;
  QPushButton* Button2;
  std::array<QLineEdit*, 6> CommandEdits;  // Edit2..Edit7
  QPushButton* BitBtn3;
  QPushButton* CloseButton;

 private:
  void StepBlock(int step);
  void Ask(std::int32_t address);

  controller::CommsEngine& engine_;
};

extern TDumpForm* DumpForm;
