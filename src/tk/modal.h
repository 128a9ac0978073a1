#pragma once
// Dialogs of the program run modally through the UI seam, so that tests can script them by name like a
// message box instead of driving a nested event loop.
#include <QDialog>
#include <string>

#include "platform/ui.h"

namespace tk {

class ModalDialog : public platform::ModalWindow {
 public:
  ModalDialog(QDialog& dialog, std::string name) : dialog_(dialog), name_(std::move(name)) {}
  std::string ModalName() const override { return name_; }
  int ExecuteModal() override { return dialog_.exec(); }
  int CancelResult() const override { return QDialog::Rejected; }
  QDialog& Dialog() const { return dialog_; }

 private:
  QDialog& dialog_;
  std::string name_;
};

// Runs `dialog` modally through the seam; its result as exec() gives it.
inline int ExecModal(QDialog& dialog, const std::string& name) {
  ModalDialog window(dialog, name);
  return platform::Ui().RunModal(window);
}

// The dialog behind a window the seam hands to a scripted action.
template <class D>
D& DialogOf(platform::ModalWindow& window) {
  return dynamic_cast<D&>(dynamic_cast<ModalDialog&>(window).Dialog());
}

}  // namespace tk
