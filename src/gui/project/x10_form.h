#pragma once
// "Select X10" / "Select I/O Point": the touch-screen designer's dialog that links a status light to an X10
// unit (one list) or to a module's I/O point (a module list and that module's point list).
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "project/touch_designer.h"

class QComboBox;
class QLabel;
class QPushButton;

class TX10Form : public QDialog {
  Q_OBJECT

 public:
  explicit TX10Form(QWidget* parent = nullptr);

  void SetUpForX10(const project::TouchDesigner::X10Entry& entry);
  // `pointList` gives the point names of a module list entry when the user picks another module.
  void SetUpForIo(const project::TouchDesigner::IoEntry& entry,
                  std::function<std::vector<std::string>(int module)> pointList);

  // The user picked another module: its points, the first selected.
  void ComboBox1Change();

  QLabel* Label1 = nullptr;  // "X10 Address:" / "Module:"
  QComboBox* ComboBox1 = nullptr;
  QLabel* Label2 = nullptr;  // "I/O Point:"
  QComboBox* ComboBox2 = nullptr;
  QPushButton* Button1 = nullptr;  // "&OK"

 private:
  std::function<std::vector<std::string>(int)> pointList_;
};

extern TX10Form* X10Form;
