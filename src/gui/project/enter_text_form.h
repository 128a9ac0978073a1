#pragma once
// "Enter Text": the touch-screen designer's dialog for a button's caption (with its font, hidden border
// and icon) or a text's text (with its font and variable). It has no cancel: however it is closed, the
// designer takes what it shows.
#include <QDialog>
#include <QString>
#include <string>

#include "project/touch_designer.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TForm26 : public QDialog {
  Q_OBJECT

 public:
  explicit TForm26(QWidget* parent = nullptr);

  // The button variant: two-item font group, "Draw with Hidden Border" and the icon list.
  void SetUpForButton(const project::TouchDesigner::CaptionEntry& entry);
  // The text variant: three-item font group and the variable list.
  void SetUpForText(const project::TouchDesigner::TextEntry& entry);
  // What the dialog shows, in the form the designer stores (-1 where a list or group has nothing chosen).
  project::TouchDesigner::CaptionEntry CaptionResult() const;
  project::TouchDesigner::TextEntry TextResult() const;
  std::string Text() const;

  // The text field changed: more than 30 characters are refused with a beep and "Too Long".
  void Edit1Change();

  QLabel* Label1 = nullptr;  // "Enter the Text:"
  QLineEdit* Edit1 = nullptr;
  QGroupBox* RadioGroup1 = nullptr;  // "Small", "Large"
  QButtonGroup* FontGroup1 = nullptr;
  QGroupBox* RadioGroup2 = nullptr;  // "Small", "Large", "Large Numbers Only"
  QButtonGroup* FontGroup2 = nullptr;
  QCheckBox* CheckBox1 = nullptr;  // "Draw with Hidden Border"
  QLabel* Label2 = nullptr;        // "Icon#"
  QComboBox* ComboBox1 = nullptr;  // icons
  QLabel* Label3 = nullptr;        // "Variable:"
  QComboBox* ComboBox2 = nullptr;  // variables
  QPushButton* Button1 = nullptr;  // "&OK"

 private:
  QString accepted_;  // the last text the field was allowed to hold
};

extern TForm26* Form26;
