#include <QWidget>

#include "app/startup.h"
#include "gui/program/editor_form.h"
#include "gui/program/wizard_form.h"
#include "gui/project/sys_config.h"

namespace app {

// Creation order matters: a window's construction may use any window created before it.
const std::vector<WindowEntry>& WindowTable() {
  static const std::vector<WindowEntry> table = {
      {"TEditorForm", [] { return EditorForm = new TEditorForm(); }},
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
