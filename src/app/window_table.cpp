#include <QWidget>

#include "app/startup.h"
#include "controller/comms_engine.h"
#include "gui/controller/comms_form.h"
#include "gui/controller/setup_form.h"
#include "gui/program/editor_form.h"
#include "gui/program/wizard_form.h"
#include "gui/project/sys_config.h"
#include "platform/clock.h"

namespace app {

namespace {

TSetupForm* SetupForm = nullptr;

// The project as the downloads see it: the editor's program, the designer's touch-screen table and the
// System Map's icons. Read when a download runs, so every window exists by then.
class WindowsProject : public controller::CommsProject {
 public:
  const ProgramStore& Program() const override { return EditorForm->Store; }
  const TouchScreenTable& TouchTable() const override { return EditorForm->ProjectWindows().TouchTable(); }
  void CompileIconImage(std::span<std::uint8_t> buffer, project::CommsLog& log) override {
    SysConfig->CompileIconImage(buffer, log);
  }
};

}  // namespace

// Creation order matters: a window's construction may use any window created before it.
const std::vector<WindowEntry>& WindowTable() {
  static WindowsProject project;
  static const std::vector<WindowEntry> table = {
      {"TEditorForm", [] { return EditorForm = new TEditorForm(); }},
      {"TCommsForm",
       [] {
         CommsForm = new TCommsForm(project, platform::SystemClock());
         CommsForm->AttachWindow(controller::CommsWindow::Editor, EditorForm);
         EditorForm->SetCommsLink(CommsForm);
         return CommsForm;
       }},
      {"TSetupForm",
       [] {
         SetupForm = new TSetupForm(CommsForm->Settings);
         CommsForm->AttachShow("CommsSetup", [] { SetupForm->exec(); });
         return SetupForm;
       }},
      {"TWizard", [] { return Wizard = new TWizard(EditorForm); }},
      {"TSysConfig",
       [] {
         SysConfig = new TSysConfig();
         SysConfig->PlaceBeside(Wizard);
         return SysConfig;
       }},
  };
  return table;
}

}  // namespace app
