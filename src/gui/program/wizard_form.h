#pragma once
// The Control Wizard ("Control Wizard"): the modeless dialog in which a program line is composed. It
// shows the Function list, the condition or action kind list and one panel per kind; every choice goes
// to the editor's line codec and the codec's answer (selections, panel contents, the line's text) comes
// back into the widgets and the editor's grid. The window keeps no rule of its own.
//
// The wizard works on the line it shows, not on whatever the editor's CurrentLine has become since (a
// search or a re-render moves it): each handler makes the shown line current for the codec's call and
// gives the editor its own line back afterwards.
#include <QDialog>
#include <QPointer>
#include <string>
#include <vector>

#include "gui/program/editor_form.h"
#include "gui/editor_links.h"
#include "program/line_codec.h"

class QComboBox;
class QPushButton;
class QStackedWidget;

namespace program {
class WizardPanel;
}

class TWizard : public QDialog, public gui::WizardLink {
  Q_OBJECT

 public:
  // Works on `editor`'s store and codec and hooks itself into the editor's double click and re-render.
  explicit TWizard(TEditorForm* editor = EditorForm, QWidget* parent = nullptr);
  ~TWizard() override;

  // The editor's hook: the double click on a Program Text cell.
  void OpenLine(int line, const std::string& caption, int height) override;
  void Hide() override { hide(); }
  void Show() override { show(); }
  // After a re-render: the window shows `line` and names it, so caption and panel never disagree.
  void ShowLine(int line) override;

  // Shows line `line` in the wizard and renders it into the grid.
  void ShowProgramLine(int line);
  void HideAllKindPanels();

  // Handlers, named as the window's events.
  void FormCreate();
  void FunctionChange(int index);
  void IfTypeChange(int index);
  void ThenTypeChange(int index);
  void EnterClick();             // every panel's Enter button
  void ModuleChange();           // a panel's module list
  void SourceClick(int source);  // a panel's Constant/Variable group
  void CompareClick(int index);  // the Day of Week "Compare" group
  void BitBtn2Click();           // "Restore Line"
  void PanelOnly(void (*handler)(program::PanelState&));

  // The line the wizard shows (0 before any) and the line "Restore Line" writes back.
  int ShownLine() const { return line_; }
  int SavedLineNumber() const { return savedLine_; }
  program::WizardPanel* PanelOf(program::Panel id) const;
  // The panel on show; nullptr when every panel is hidden.
  program::WizardPanel* CurrentPanel() const;

  QComboBox* Function = nullptr;
  QComboBox* IfType = nullptr;
  QComboBox* ThenType = nullptr;
  QPushButton* BitBtn2 = nullptr;  // "Restore Line"
  QStackedWidget* Panels = nullptr;

 private:
  void BuildPanels();
  // The line the handlers work on, named in the caption.
  void SetShownLine(int line);
  program::WizardPanel* NewPanel(program::Panel id);
  void Wire(program::WizardPanel* panel);
  // Runs `call` with the line `line` as the store's current line, then gives the editor its own back.
  template <class Call>
  program::WizardView OnLine(int line, Call call);
  // Shows the codec's answer: lists, panel, the line's cells, the Reference refresh, showing the window.
  void Apply(const program::WizardView& view);
  // What the lists and the panel on show hold now, as the codec's inputs.
  program::WizardView Inputs() const;

  QPointer<TEditorForm> editor_;
  std::vector<program::WizardPanel*> panels_;  // by Panel id; entry 0 (None) unused
  int line_ = 0;
  int savedLine_ = 0;
};

extern TWizard* Wizard;
