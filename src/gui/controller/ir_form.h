#pragma once
// The "Ir" window: learns an IR code into a numbered slot of the controller, or transmits one, and clears
// one; the mode (its Tag) decides what its first button does. Closing it cancels a learn in progress.
#include <QDialog>
#include <cstdint>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace controller {
class CommsEngine;
}

class TIrForm : public QDialog {
  Q_OBJECT

 public:
  explicit TIrForm(controller::CommsEngine& engine, QWidget* parent = nullptr);

  // The carrier typed in kHz, held to what the controller can learn, and the code the learn command
  // carries for it.
  struct LearnCarrier {
    int KHz = 0;
    std::uint8_t Code = 0;
  };
  static LearnCarrier CarrierFor(long typedKHz);

  // The communications window's IR save dialog, run when the user wants the learned codes on disk;
  // true when a file was chosen (the upload is then requested).
  std::function<bool()> SaveIrFileDialog;

  // "&Learn Infra-Red Command" and "&Transmit Infra-Red Command": the mode set, the window shown.
  void ShowLearnMode();
  void ShowTransmitMode();
  // The connection ended: a learn window closes without its save question, which would upload the next
  // controller's codes under the learn's name. A transmit window stays.
  void HideLearnMode();

  void BitBtn1Click();  // "Learn Ir" or "Transmit Ir"
  void BitBtn2Click();  // "&Close"
  void BitBtn3Click();  // "&Transmit Ir"
  void BitBtn4Click();  // "Clear Ir Location"

  int Tag = 0;  // 0 learn, 1 transmit
  QLabel* Label2;
  QLineEdit* Edit1;  // IR number
  QLabel* Label1;
  QLineEdit* Edit2;  // frequency in kHz
  QPushButton* BitBtn1;
  QPushButton* BitBtn3;
  QPushButton* BitBtn4;
  QPushButton* BitBtn2;

 protected:
  // However the window is closed, it closes as "&Close" does: a learn must not go on waiting unseen.
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void SetMode(int tag);
  // The IR number typed, or nothing (after a beep) when it is no code number.
  bool ReadNumber(std::int32_t& number);
  void Transmit();

  controller::CommsEngine& engine_;
};

extern TIrForm* IrForm;
