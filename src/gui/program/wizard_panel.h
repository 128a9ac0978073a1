#pragma once
// One kind panel of the Control Wizard: a group box holding the controls that the line codec's PanelState
// describes for that kind. The panel only copies a PanelState into its widgets and reads the user's
// selections back; every rule stays in the codec. Controls a kind has no use for are never built.
#include <QComboBox>
#include <QGroupBox>
#include <string>
#include <vector>

#include "program/line_codec.h"

class QAbstractButton;
class QBoxLayout;
class QButtonGroup;
class QDateEdit;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QStackedWidget;
class QTabBar;
class QToolButton;

namespace program {

// A drop-down list; its items are replaced only when they differ from what it holds, so a re-display of
// a 1024-entry list costs nothing. An attached label hides with it.
class WizardList : public QComboBox {
  Q_OBJECT

 public:
  explicit WizardList(QWidget* parent = nullptr);
  void Load(const ListState& state);
  void SetVisibleWithLabel(bool visible);
  QLabel* Label = nullptr;

 private:
  std::vector<std::string> items_;
};

// A radio group: a captioned box of radio buttons in columns; -1 checks none.
class WizardRadioGroup : public QGroupBox {
  Q_OBJECT

 public:
  WizardRadioGroup(const QString& caption, int columns, QWidget* parent = nullptr);
  void Load(const ListState& state);
  int Index() const;
  void SetIndex(int index);
  int Count() const { return static_cast<int>(items_.size()); }
  QAbstractButton* Button(int index) const;

 signals:
  // A button was clicked (by the user or by a test clicking it), never by Load or SetIndex.
  void Clicked(int index);

 private:
  QButtonGroup* group_;
  QGridLayout* grid_;
  int columns_;
  std::vector<std::string> items_;
};

class WizardPanel : public QGroupBox {
  Q_OBJECT

 public:
  WizardPanel(Panel id, QWidget* parent = nullptr);

  Panel Id() const { return id_; }

  // Builders, in the order the controls stand in the panel.
  WizardList* AddModule(const char* label, const char* name);
  WizardList* AddItem(const char* label, const char* name = nullptr, const char* placeholder = nullptr);
  WizardRadioGroup* AddCompare(const char* caption, int columns, const char* name = nullptr);
  WizardRadioGroup* AddOption(const char* caption, int columns, const char* name = nullptr);
  WizardRadioGroup* AddHouse(const char* name = nullptr);
  WizardRadioGroup* AddSource(const char* caption, const char* name, int columns = 2);
  // The edit with its label and an optional trailing label; with `choice` an icon or IR list, with
  // `variable` the variable list, all on one row.
  void AddValueRow(const char* editLabel, const char* editSuffix, bool edit, bool choice, bool variable,
                   const char* variableName = nullptr);
  // Up and down arrows beside the edit that step its number within minimum..maximum (the RCS setpoint).
  void AddUpDown(int minimum, int maximum);
  QSlider* AddSlider(int maximum, const char* name, const char* minLabel = nullptr, const char* maxLabel = nullptr);
  QLabel* AddSliderCaption();
  QDateEdit* AddDate();
  QPushButton* AddEnter(const char* name);
  // Time of day: a tab control whose two tabs show sub-panels; the builders after BeginPage(n) fill page n.
  QTabBar* AddTabs(const char* name);
  void BeginPage(int page);
  // After the last builder: the controls stay packed at the top of the panel.
  void Finish();

  // Copies the codec's view of the panel into the widgets.
  void Load(const PanelState& state);
  // The last loaded state with the user's current selections, edits, slider and date read back.
  PanelState Read() const;

  WizardList* Module = nullptr;
  WizardList* Item = nullptr;
  WizardList* Choice = nullptr;
  WizardList* Variable = nullptr;
  WizardRadioGroup* Compare = nullptr;
  WizardRadioGroup* Option = nullptr;
  WizardRadioGroup* House = nullptr;
  WizardRadioGroup* Source = nullptr;
  QWidget* EditRow = nullptr;  // the edit with its labels
  QLineEdit* Edit = nullptr;
  QToolButton* Up = nullptr;
  QToolButton* Down = nullptr;
  QSlider* Slider = nullptr;
  QLabel* SliderCaption = nullptr;
  QTabBar* Tab = nullptr;
  QStackedWidget* Pages = nullptr;
  QDateEdit* Date = nullptr;
  QPushButton* Enter = nullptr;   // the (first) Enter button
  QPushButton* Enter2 = nullptr;  // time of day: the Enter button of the "Sunrise / Sunset" tab

 private:
  QBoxLayout* Target() const;
  WizardList* AddList(const char* label, const char* name);

  Panel id_;
  PanelState state_;
  QBoxLayout* main_ = nullptr;
  QBoxLayout* page_[2] = {nullptr, nullptr};
  QBoxLayout* target_ = nullptr;
};

}  // namespace program
