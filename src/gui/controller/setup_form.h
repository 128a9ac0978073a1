#pragma once
// The "Setup" window: the editor of the settings. It shows what the last read put into the settings
// model, hands every click to the model's handlers and stores the settings on OK and whenever it closes.
#include <QDialog>
#include <functional>

#include "project/settings.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TSetupForm : public QDialog {
  Q_OBJECT

 public:
  explicit TSetupForm(project::Settings& settings, QWidget* parent = nullptr);
  ~TSetupForm() override;

  project::Settings& Settings() { return settings_; }

  // Runs the phone-book editor; empty while the program has none.
  std::function<void()> PhonebookEditor;
  // Shows the pager set-up window.
  std::function<void()> PagerSetup;

  // Puts the model into the controls, as after a read.
  void ShowSettings();

  // Handlers, named as the window's events.
  void RadioGroup1Click(int index);
  void RadioGroup2Click(int index);
  void CheckBox1Click(bool ticked);
  void Edit5Click();
  void BitBtn1Click();  // "&OK"
  void BitBtn3Click();  // "&Phone Book"
  void BitBtn2Click();  // "Pager &Setup"
  // Closing the window, however it is closed, stores the settings.
  void FormClose();

  QGroupBox* RadioGroup1;
  QButtonGroup* RadioGroup1Buttons;
  QGroupBox* GroupBox1;
  QLineEdit* Edit5;
  QGroupBox* RadioGroup2;
  QButtonGroup* RadioGroup2Buttons;
  QGroupBox* GroupBox3;
  QLineEdit* Edit3;
  QGroupBox* GroupBox2;
  QLabel* Label2;
  QGroupBox* GroupBox4;
  QLineEdit* Edit1;
  QLineEdit* Edit2;
  QLineEdit* Edit4;
  QCheckBox* CheckBox2;
  QPushButton* BitBtn4;
  QGroupBox* ProgrammingMode;
  QButtonGroup* ProgrammingModeButtons;
  QCheckBox* CheckBox1;
  QCheckBox* CheckBox3;
  QPushButton* BitBtn1;
  QPushButton* BitBtn3;
  QPushButton* BitBtn2;

  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Tells the user and gives true when the typed location is not one the sun table can use.
  bool TimeSettingsRefused();
  // A typed text that the settings can hold (Latin-1), or nothing after a beep and the old text restored.
  void TextEdited(QLineEdit* edit, std::string& field);
  static void CheckButton(QButtonGroup* group, int index);

  project::Settings& settings_;
  bool closing_ = false;
};

extern TSetupForm* SetupForm;
