#pragma once
// The shape the voice-module dialog and the ASCII transmit dialog share: a module number and a message
// number, each with up and down arrows, and buttons that post one transmit command to the engine.
#include <QDialog>
#include <cstdint>

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace controller {
class CommsEngine;
}

class ModuleMessageForm : public QDialog {
  Q_OBJECT

 public:
  QLabel* Label1;  // "Module#"
  QLineEdit* Edit1;
  QToolButton* UpDown1Up;  // 1..127
  QToolButton* UpDown1Down;
  QLabel* Label2;  // "Message#"
  QLineEdit* Edit2;
  QToolButton* UpDown2Up;  // 0..the dialog's highest message
  QToolButton* UpDown2Down;
  QPushButton* CloseButton;

 protected:
  ModuleMessageForm(controller::CommsEngine& engine, const char* caption, int messageLimit, QWidget* parent);

  // Adds a button to the row above "Close".
  QPushButton* AddButton(const char* name, const char* caption);
  // Posts the command for the typed module and message; an out-of-range message number is replaced by the
  // nearest allowed one, which Edit2 then shows.
  void Post(std::uint8_t code);

 private:
  controller::CommsEngine& engine_;
  int messageLimit_;
  QHBoxLayout* buttons_;
};
