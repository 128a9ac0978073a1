#pragma once
// The windows the editor opens or drives besides the System Map: the Control Wizard, the touch-screen
// designer (which owns the project's touch-screen object table) and the ASCII message window. Each window
// fills its part in when it is created; until then the editor uses the stand-ins below.
#include <string>

#include "project/touch_screen_table.h"

namespace gui {

class WizardLink {
 public:
  virtual ~WizardLink() = default;
  // The double click on a Program Text cell: the wizard takes `height`, saves line `line` for "Restore
  // Line", takes `caption` and shows the line.
  virtual void OpenLine(int line, const std::string& caption, int height) = 0;
  virtual void Hide() = 0;
  virtual void Show() = 0;
};

class ProjectWindowsLink {
 public:
  virtual ~ProjectWindowsLink() = default;
  // The project's touch-screen object table (the designer's).
  virtual TouchScreenTable& TouchTable() = 0;
  // After the table was cleared or loaded, so the designer shows what it holds.
  virtual void TouchTableReplaced() = 0;
  virtual void ShowTouchScreenDesigner() = 0;
  // Shows the ASCII message window for editing only: its "Send To:" button and list disabled.
  virtual void ShowAsciiMessagesForEditing() = 0;
  virtual void ClearAsciiMessages() = 0;
};

class NoWizard : public WizardLink {
 public:
  void OpenLine(int, const std::string&, int) override {}
  void Hide() override {}
  void Show() override {}
};

// Keeps a touch-screen table of its own so project files stay complete before the designer exists.
class StandAloneProjectWindows : public ProjectWindowsLink {
 public:
  TouchScreenTable& TouchTable() override { return table_; }
  void TouchTableReplaced() override {}
  void ShowTouchScreenDesigner() override {}
  void ShowAsciiMessagesForEditing() override {}
  void ClearAsciiMessages() override {}

 private:
  TouchScreenTable table_;
};

}  // namespace gui
