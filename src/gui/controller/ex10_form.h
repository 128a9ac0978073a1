#pragma once
// "Send Leviton X10 Commands": the extended X10 commands of Leviton modules, a light level for one unit
// and the group commands of the 16xxx series, posted to the engine one button at a time.
#include <QDialog>

#include "controller/x10_requests.h"

namespace controller {
class CommsEngine;
}

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QToolButton;

class TEx10Form : public QDialog {
  Q_OBJECT

 public:
  explicit TEx10Form(controller::CommsEngine& engine, QWidget* parent = nullptr);

  // The end of a scroll movement: Label1 shows the level reached.
  void ScrollBar1EndScroll();
  void Button1Click();  // "Include in Group at Current Level"
  void Button2Click();  // "Remove from Group"
  void Button3Click();  // "Entire Group to Learned Level"
  void Button4Click();  // "Entire Group OFF"
  void Button5Click();  // "Set Light Level"
  // The up-down beside Edit1: steps the number typed there by `by`, kept within 0..63.
  void UpDown1Click(int by);

  QGroupBox* RadioGroup1;  // "House Code "
  QButtonGroup* RadioGroup1Buttons;
  QGroupBox* RadioGroup2;  // "Key Code "
  QButtonGroup* RadioGroup2Buttons;
  QScrollBar* ScrollBar1;
  QLabel* Label1;  // the level
  QLabel* Label2;  // "Group Number"
  QLineEdit* Edit1;
  QWidget* UpDown1;
  QToolButton* UpDown1Up;
  QToolButton* UpDown1Down;
  QLabel* Label3;  // the heading
  QLabel* Label4;
  QLabel* Label5;
  QLabel* Label6;
  QLabel* Label7;
  QLabel* Label8;
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Button3;
  QPushButton* Button4;
  QPushButton* Button5;
  QPushButton* CloseButton;

 private:
  void Post(controller::LevitonButton button);

  controller::CommsEngine& engine_;
};

extern TEx10Form* Ex10Form;
