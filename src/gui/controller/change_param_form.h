#pragma once
// "Change Parameter Data": the new value for the module parameter picked in the module parameter window.
// OK asks the engine for the write of that cell and value, which the request keeps until it is sent.
#include <QDialog>
#include <string>

#include "controller/param_requests.h"

class QLabel;
class QLineEdit;
class QPushButton;

class TChangeParam : public QDialog {
  Q_OBJECT

 public:
  explicit TChangeParam(controller::CommsEngine& engine, QWidget* parent = nullptr);

  // What the window shows for the cell a click picked; OK writes that cell.
  void Prompt(const controller::ParamChangePrompt& prompt);
  void BitBtn1Click();  // OK

  // The value as typed.
  std::string Value() const;

  QLabel* Label1;
  QLineEdit* Edit1;
  QPushButton* BitBtn1;  // "OK"
  QPushButton* BitBtn2;  // "Cancel"

 private:
  controller::CommsEngine& engine_;
  int module_ = 0, number_ = 0;  // the cell picked
  QString accepted_;  // the edit's last text that the system can hold
};

extern TChangeParam* ChangeParam;
