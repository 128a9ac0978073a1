#include <QCheckBox>
#include <QListWidget>
#include <QProgressBar>
#include <QTableWidget>
#include <QWidget>
#include <deque>

#include "app/startup.h"
#include "controller/comms_engine.h"
#include "gui/controller/change_param_form.h"
#include "gui/controller/change_timer_variable_form.h"
#include "gui/controller/comms_form.h"
#include "gui/controller/download_project_form.h"
#include "gui/controller/dump_form.h"
#include "gui/controller/ex10_form.h"
#include "gui/controller/ir_form.h"
#include "gui/controller/manager_params_form.h"
#include "gui/controller/manager_restart_form.h"
#include "gui/controller/monitor_x10_form.h"
#include "gui/controller/murmex_form.h"
#include "gui/controller/pager_form.h"
#include "gui/controller/pager_messages_form.h"
#include "gui/controller/parameter_form.h"
#include "gui/controller/remote_ir_form.h"
#include "gui/controller/send_x10_form.h"
#include "gui/controller/set_clear_relay_form.h"
#include "gui/controller/setup_form.h"
#include "gui/controller/timer_variable_form.h"
#include "gui/controller/transmit_ascii_form.h"
#include "gui/controller/x10_grid_form.h"
#include "gui/program/editor_form.h"
#include "gui/program/wizard_form.h"
#include "gui/project/ascii_messages_form.h"
#include "gui/project/enter_text_form.h"
#include "gui/project/sys_config.h"
#include "gui/project/touch_screen_form.h"
#include "gui/project/x10_form.h"
#include "platform/clock.h"
#include "tk/modal.h"
#include "workspace/project.h"

namespace app {

namespace {

using controller::CommsGrid;
using controller::CommsInput;
using controller::CommsList;
using controller::CommsText;
using controller::CommsWindow;

// The project of the current start-up. Each start-up makes its own; an earlier one stays, as windows of
// an earlier start-up that were never deleted may still hold it.
workspace::Project& CurrentProject(bool fresh = false) {
  static std::deque<workspace::Project> projects(1);
  if (fresh) projects.emplace_back();
  return projects.back();
}

// The project as the downloads see it.
class WindowsProject : public controller::CommsProject {
 public:
  const ProgramStore& Program() const override { return CurrentProject().Program; }
  const TouchScreenTable& TouchTable() const override { return CurrentProject().TouchTable; }
  const project::AsciiMessageTable& AsciiMessages() const override { return CurrentProject().AsciiMessages; }
  void CompileIconImage(std::span<std::uint8_t> buffer, project::CommsLog& log) override {
    CurrentProject().CompileIconImage(buffer, log);
  }
};

template <class W>
W* Shown(W* window) {
  window->show();
  window->raise();
  return window;
}

controller::CommsEngine& Engine() { return *CommsForm->Engine; }

}  // namespace

// Creation order matters: a window's construction may use any window created before it.
const std::vector<WindowEntry>& WindowTable() {
  static WindowsProject project;
  static std::unique_ptr<TouchScreenProjectWindows> projectWindows;
  static const std::vector<WindowEntry> table = {
      {"TEditorForm", [] { return EditorForm = new TEditorForm(CurrentProject(true)); }},
      {"TCommsForm",
       [] {
         CommsForm = new TCommsForm(project, platform::CurrentClock());
         CommsForm->AttachWindow(CommsWindow::Editor, EditorForm);
         EditorForm->SetCommsLink(CommsForm);
         return CommsForm;
       }},
      {"TSetupForm",
       [] {
         SetupForm = new TSetupForm(CommsForm->Settings);
         CommsForm->AttachShow("CommsSetup", [] { tk::ExecModal(*SetupForm, "TSetupForm"); });
         SetupForm->PhonebookEditor = [] { CommsForm->EditPhonebook(); };
         return SetupForm;
       }},
      {"TParameterForm",
       [] {
         TParameterForm::CheckSingleInstance();
         ParameterForm = new TParameterForm(Engine());
         CommsForm->AttachWindow(CommsWindow::ModuleParams, ParameterForm);
         CommsForm->AttachGrid(CommsGrid::ModuleParams, ParameterForm->StringGrid1, true);
         CommsForm->AttachLabel(CommsText::ModuleParamStatus, ParameterForm->Label1);
         return ParameterForm;
       }},
      {"TChangeParam",
       [] {
         ChangeParam = new TChangeParam(Engine());
         return ChangeParam;
       }},
      {"TManagerParamsForm",
       [] {
         ManagerParamsForm = new TManagerParamsForm(Engine());
         CommsForm->AttachWindow(CommsWindow::ControllerParams, ManagerParamsForm);
         CommsForm->AttachGrid(CommsGrid::ControllerParams, ManagerParamsForm->StringGrid1, true);
         return ManagerParamsForm;
       }},
      {"TManagerRestart",
       [] {
         ManagerRestart = new TManagerRestart();
         CommsForm->AttachWindow(CommsWindow::Restart, ManagerRestart);
         CommsForm->AttachRestartBar(ManagerRestart->ProgressBar1);
         return ManagerRestart;
       }},
      {"TSendX10",
       [] {
         SendX10 = new TSendX10(Engine());
         CommsForm->AttachShow("SendX101", [] { tk::ExecModal(*SendX10, "TSendX10"); });
         return SendX10;
       }},
      {"TMonitorX10",
       [] {
         MonitorX10 = new TMonitorX10(Engine());
         CommsForm->AttachWindow(CommsWindow::X10Monitor, MonitorX10);
         CommsForm->AttachList(CommsList::X10Events, MonitorX10->ListBox1);
         return MonitorX10;
       }},
      {"TDumpForm",
       [] {
         DumpForm = new TDumpForm(Engine());
         CommsForm->AttachGrid(CommsGrid::Dump, DumpForm->StringGrid1, false);
         CommsForm->AttachEdit(CommsText::DumpAddress, DumpForm->Edit1);
         CommsForm->AttachShow("VORMOMemoryDump1", [] { Shown(DumpForm); });
         return DumpForm;
       }},
      {"TIrForm",
       [] {
         IrForm = new TIrForm(Engine());
         IrForm->SaveIrFileDialog = [] { return CommsForm->SaveIrFileDialog(); };
         CommsForm->AttachShow("LearnInfraRedCommand1", [] { IrForm->ShowLearnMode(); });
         CommsForm->AttachShow("TransmitInfraRedCommand1", [] { IrForm->ShowTransmitMode(); });
         CommsForm->AttachHide(CommsWindow::IrLearnWindow, [] { IrForm->HideLearnMode(); });
         return IrForm;
       }},
      {"TSetClearRelay",
       [] {
         SetClearRelay = new TSetClearRelay(Engine());
         CommsForm->AttachShow("SetClearRelay1", [] { Shown(SetClearRelay); });
         return SetClearRelay;
       }},
      {"TRemoteIRForm",
       [] {
         RemoteIRForm = new TRemoteIRForm(Engine());
         CommsForm->AttachShow("TransmitRemoteInfraRedCommand1", [] { Shown(RemoteIRForm); });
         return RemoteIRForm;
       }},
      {"TPagerForm",
       [] {
         // A window of Setup's: in front of it and not blocked by it while it is modal. It closes with Setup
         // rather than stay behind, holding a port, once the editor is back.
         PagerForm = new TPagerForm(Engine(), SetupForm);
         QObject::connect(SetupForm, &QDialog::finished, PagerForm, &QWidget::close);
         SetupForm->PagerSetup = [] { PagerForm->ShowFromSetup(); };
         return PagerForm;
       }},
      {"TPagerMessages",
       [] {
         PagerMessages = new TPagerMessages(Engine());
         CommsForm->AttachInput(CommsInput::PagerRow, [](int r) { return PagerMessages->RowText(r); });
         CommsForm->AttachShow("PagerMessages2", [] { Shown(PagerMessages); });
         return PagerMessages;
       }},
      {"TTouchScreenForm",
       [] {
         TouchScreenForm = new TTouchScreenForm(CurrentProject());
         TouchScreenForm->SetCommsLink(CommsForm);
         projectWindows = std::make_unique<TouchScreenProjectWindows>(
             *TouchScreenForm, [] { AsciiMessages->ShowForEditing(); }, [] { AsciiMessages->ClearAsciiMessages(); },
             [] {
               if (SysConfig) SysConfig->MapReplaced();
             },
             [] { return AsciiMessages->FormCloseQuery(); });
         EditorForm->SetProjectWindows(projectWindows.get());
         return TouchScreenForm;
       }},
      {"TX10Grid",
       [] {
         X10Grid = new TX10Grid(Engine());
         CommsForm->AttachWindow(CommsWindow::X10Grid, X10Grid);
         CommsForm->AttachGrid(CommsGrid::X10Status, X10Grid->StringGrid1, false);
         CommsForm->AttachList(CommsList::X10Activity, X10Grid->ListBox1);
         CommsForm->AttachCheck(controller::CommsCheck::X10UseNames, [] { return X10Grid->CheckBox1->isChecked(); });
         return X10Grid;
       }},
      {"TEx10Form",
       [] {
         Ex10Form = new TEx10Form(Engine());
         CommsForm->AttachShow("Send1", [] { Shown(Ex10Form); });
         return Ex10Form;
       }},
      {"TMurmexForm",
       [] {
         MurmexForm = new TMurmexForm(Engine());
         CommsForm->AttachShow("Murmex2", [] { Shown(MurmexForm); });
         return MurmexForm;
       }},
      {"TAsciiMessages",
       [] {
         workspace::Project& project = CurrentProject();
         AsciiMessages = new TAsciiMessages(project.AsciiMessages, [&project] { return project.Files.ProjectPath; });
         AsciiMessages->SetCommsLink(CommsForm);
         CommsForm->AttachShow("AsciiMessages1", [] { AsciiMessages->ShowForSending(); });
         return AsciiMessages;
       }},
      {"TForm26", [] { return Form26 = new TForm26(); }},
      {"TX10Form", [] { return X10Form = new TX10Form(); }},
      {"TTimerVariableForm",
       [] {
         TimerVariableForm = new TTimerVariableForm(Engine());
         CommsForm->AttachGrid(CommsGrid::TimerVars, TimerVariableForm->TVGrid, true);
         CommsForm->AttachWindow(CommsWindow::TimerVars, TimerVariableForm);
         return TimerVariableForm;
       }},
      {"TForm32", [] { return Form32 = new TForm32(Engine()); }},
      {"TWizard", [] { return Wizard = new TWizard(EditorForm); }},
      {"TTransmitASCIIForm",
       [] {
         TransmitASCIIForm = new TTransmitASCIIForm(Engine());
         CommsForm->AttachShow("ASCIILurcan1", [] { Shown(TransmitASCIIForm); });
         return TransmitASCIIForm;
       }},
      {"TSysConfig",
       [] {
         SysConfig = new TSysConfig(CurrentProject());
         SysConfig->PlaceBeside(Wizard);
         return SysConfig;
       }},
      {"TForm3",
       [] {
         Form3 = new TForm3(Engine(), *CommsForm);
         CommsForm->AttachShow("DownloadProject", [] { Shown(Form3); });
         return Form3;
       }},
  };
  return table;
}

}  // namespace app
