#pragma once
// The windows the editor opens or drives: the Control Wizard, the System Map, the touch-screen designer and
// the ASCII message window. What they show is the project's (workspace::Project); each window fills its
// part in when it is created, and until then the editor uses the stand-ins below.
#include <string>

namespace gui {

class WizardLink {
 public:
  virtual ~WizardLink() = default;
  // The double click on a Program Text cell: the wizard takes `height`, saves line `line` for "Restore
  // Line", takes `caption` and shows the line.
  virtual void OpenLine(int line, const std::string& caption, int height) = 0;
  virtual void Hide() = 0;
  virtual void Show() = 0;
  // After the listing was re-rendered: the wizard shows line `line` as it now is, names it in its
  // caption and is shown.
  virtual void ShowLine(int line) = 0;
};

class ProjectWindowsLink {
 public:
  virtual ~ProjectWindowsLink() = default;
  // After the project's System Map tree was replaced (new or opened project), so the map window shows it
  // from the top.
  virtual void SystemMapReplaced() = 0;
  // After the project's touch-screen table was cleared or loaded, so the designer shows what it holds.
  virtual void TouchTableReplaced() = 0;
  virtual void ShowTouchScreenDesigner() = 0;
  // Shows the ASCII message window for editing only: its "Send To:" button and list disabled.
  virtual void ShowAsciiMessagesForEditing() = 0;
  virtual void ClearAsciiMessages() = 0;
  // Before the program ends: each window holding unsaved work asks its own close question, hidden ones
  // too (their work is lost at exit all the same). False at the first Cancel.
  virtual bool CloseQuery() = 0;
};

class NoWizard : public WizardLink {
 public:
  void OpenLine(int, const std::string&, int) override {}
  void Hide() override {}
  void Show() override {}
  void ShowLine(int) override {}
};

class StandAloneProjectWindows : public ProjectWindowsLink {
 public:
  void SystemMapReplaced() override {}
  void TouchTableReplaced() override {}
  void ShowTouchScreenDesigner() override {}
  void ShowAsciiMessagesForEditing() override {}
  void ClearAsciiMessages() override {}
  bool CloseQuery() override { return true; }
};

}  // namespace gui
