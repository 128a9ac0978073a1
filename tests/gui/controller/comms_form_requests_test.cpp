// What the request windows ask through Controller Access, attached over the simulated controller: each
// request carries what the user confirmed, requests on the same data run in the order asked, and the same
// asked again while one waits or runs is refused and told.
#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <filesystem>

#include "controller/param_requests.h"
#include "gui/controller/download_project_form.h"
#include "gui/controller/ex10_form.h"
#include "gui/controller/ir_form.h"
#include "gui/controller/pager_messages_form.h"
#include "gui/controller/send_x10_form.h"
#include "maintenance_forms_fixture.h"
#include "platform/registry.h"
#include "project/settings.h"

namespace maintenance_test {
namespace {

// Each request carries what the user confirmed, the engine in the X10 monitor meanwhile: the kind the change
// window opened on, whatever cell of the debug grid is current at OK; the bytes as Send read them; each IR
// file transfer its own file. The same asked again while the first waits is refused and told.
TEST_F(AttachedFormsTest, WhatTheUserConfirmedIsSentAndASecondAskedWhileItWaitsIsRefused) {
  testing_support::TempDir dir;
  const std::string house = dir.File("house.lir"), fresh = dir.File("new.lir"), codes(256, 'h');
  testing_support::WriteFile(house, codes);
  QTableWidget* grid = timerVars->TVGrid;
  const auto open = [&](int column, int row, const char* data) {
    ClickCell(grid, column, row);
    testing_support::Replace(change->Edit2, data);
  };
  const std::string waits = " not sent: the last one asked has not ended yet";
  const struct {
    const char* Name;
    std::function<void()> Do;
    std::function<bool()> Sent;
    std::vector<std::string> Told;
  } cases[] = {
      {"Variable# 5, then a Timers cell clicked, then a second change",
       [&] {
         open(2, 6, "321");
         ClickCell(grid, 1, 74);
         Click(change->BitBtn1);
         open(2, 7, "9");
         Click(change->BitBtn1);
       },
       [&] { return sim.Variable(5) == 321 && sim.Timer(5) == 1 && sim.Variable(6) == 1; },
       {"Change Timer/Variable" + waits}},
      {"Timer# 2, then the Right arrow",
       [&] {
         open(1, 3, "77");
         testing_support::Key(grid, Qt::Key_Right);
         Click(change->BitBtn1);
       },
       [&] { return sim.Timer(2) == 77 && sim.Variable(2) == 1; },
       {}},
      {"a raw command, its edits changed and sent again",
       [&] {
         RawCommand({"53", "0", "0", "0", "0", "0"});
         RawCommand({"54", "0", "0", "0", "0", "0"});
       },
       [&] { return sim.Commands(controller::CmdStopInterpreter).size() == 1 && !sim.InterpreterRunning(); },
       {"Raw Command" + waits}},
      {"a download, then an upload, each asked again",
       [&] {
         testing_support::TestUi().QueueOpenFile(house);
         Menu("DownloadInfraRedFiletoVORMO1");
         testing_support::TestUi().QueueSaveFile(fresh);
         Menu("UploadInfraRedFilefromVORMO1");
         Menu("DownloadInfraRedFiletoVORMO1");
         Menu("UploadInfraRedFilefromVORMO1");
       },
       [&] { return testing_support::ReadFile(house) == codes && testing_support::ReadFile(fresh) == codes; },
       {"Infra-Red File Download" + waits, "Infra-Red File Upload" + waits}},
  };
  timerVars->show();
  dump->show();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    for (int k : {2, 5, 6}) sim.SetVariable(k, 1);
    for (int k : {2, 5}) sim.SetTimer(k, 1);
    testing_support::TestUi().Clear();
    AskWhileBusy(c.Do);
    EXPECT_TRUE(c.Sent());
    EXPECT_EQ(testing_support::TestUi().Messages(), c.Told);
  }
}

// Requests that touch the same controller data, asked while the X10 monitor keeps the engine busy, run in
// the order asked: one the dispatch would take before an earlier one is refused and told, and one that
// would wait behind the timers refresh until its window closes too. A change and the read that shows it keep
// the dispatch's order. What the engine and the dialogs post for themselves (a read-back, the identification's
// parameter read, the IR dialogs' read, the reload's clock set, the project download's parts, the designer's
// Load) comes after what was asked before it on the same data, so the windows end on the controller's values.
TEST_F(AttachedFormsTest, RequestsOnTheSameDataRunInTheOrderAsked) {
  testing_support::TempDir dir;
  const std::string house = dir.File("base.lir"), backup = dir.File("backup.lir");
  const testing_support::SimBytes held(256, 'c'), based(256, 'b');
  testing_support::WriteFile(house, std::string(based.begin(), based.end()));
  testing_support::WriteFile(dir.File("FLASH512.BIN"), std::string(300, 'x'));
  {
    platform::Registry paths(platform::RootKey::LocalMachine);
    ASSERT_TRUE(paths.OpenKey(project::Settings::AppPathsKey, true));
    paths.WriteString("Path", dir.Path().string());
  }
  ASSERT_TRUE(comms->Settings.ReadConfigFile());
  TIrForm ir{Engine()};
  TSendX10 x10{Engine()};
  TEx10Form extended{Engine()};
  TForm3 projectForm{Engine(), *comms};
  TPagerMessages pager{Engine()};
  project.Store.Lines[4095] = ProgramLine::End();
  using Step = std::function<void()>;
  const auto menu = [&](const char* item) -> Step { return [this, item] { Menu(item); }; };
  const auto edit = [&](int p) -> Step {
    return [&, p] { controller::QueueControllerParamChange(Engine(), p + 1, "77"); };
  };
  const auto dumpAt = [&](int address) -> Step {
    return [&, address] {
      testing_support::Replace(dump->Edit1, QString::number(address));
      Click(dump->BitBtn1);
    };
  };
  const Step upload = [&] {
    testing_support::TestUi().QueueSaveFile(backup);
    Menu("UploadInfraRedFilefromVORMO1");
  };
  const Step download = [&] {
    testing_support::TestUi().QueueOpenFile(house);
    Menu("DownloadInfraRedFiletoVORMO1");
  };
  const Step program = menu("DownloadProgramtoVORMO1"), params = menu("RetrieveVORMOParameters1");
  const Step getClock = menu("GetCPUClock1");
  const Step learn = [&] { ir.BitBtn1->click(); };
  const Step clear = [&] { ir.BitBtn4->click(); };
  const Step raw = [&] { RawCommand({"40", "9", "0", "5", "0", "0"}); };  // parameter 9 to 5
  const Step debug = [&] { comms->DebugTimersandVariables1Click(); };
  const Step designerLoad = [&] { comms->RequestTouchLoad(); };
  const Step relayOn = [&] {
    relay->Edit1->setText("5");
    relay->Edit2->setText("3");
    relay->RadioGroup1Buttons->button(1)->setChecked(true);
    Click(relay->BitBtn1);
  };
  const auto projectWith = [&](bool program) -> Step {
    return [&, program] {
      for (QCheckBox* box : {projectForm.CheckBox1, projectForm.CheckBox4}) box->setChecked(false);
      projectForm.CheckBox2->setChecked(program);
      Click(projectForm.BitBtn1);
    };
  };
  const Step variable5 = [&] {
    ClickCell(timerVars->TVGrid, 2, 6);
    testing_support::Replace(change->Edit2, "321");
    Click(change->BitBtn1);
  };
  const auto logged = [&](const char* text) { return !comms->ListBox1->findItems(text, Qt::MatchStartsWith).empty(); };
  const auto before = [](const char* what, const char* earlier) {
    return std::string(what) + " not sent: " + earlier + ", asked before it, has not been sent yet";
  };
  // The newest clock the log shows is the controller's.
  const auto clockShown = [&] {
    const auto lines = comms->ListBox1->findItems("Controller Clock: ", Qt::MatchStartsWith);
    const controller::ClockFields held = sim.Clock();
    return !lines.empty() &&
           lines.front()->text().endsWith(QString::asprintf("%02d/%02d/%02d  %02d:%02d", held.Month, held.Day,
                                                            held.Year % 100, held.Hour, held.Minute));
  };
  const auto dstShown = [&] { return sim.Parameter(5) == 1 && Engine().ControllerParams[5] == 1; };
  using Frame = testing_support::SimFrame;
  std::size_t from = 0;  // the first frame of the case in hand
  // Where the first frame of the case that `is` finds stands; past every frame when none does.
  const auto firstFrame = [&](const std::function<bool(const Frame&)>& is) {
    const auto frames = sim.Frames();
    return static_cast<std::size_t>(std::find_if(frames.begin() + static_cast<long>(from), frames.end(), is) -
                                    frames.begin());
  };
  const auto goesFirst = [&](const std::function<bool(const Frame&)>& earlier,
                             const std::function<bool(const Frame&)>& later) {
    return firstFrame(earlier) < firstFrame(later) && firstFrame(later) < sim.Frames().size();
  };
  const auto touchStop = [](const Frame& f) { return testing_support::IsControlBlock(f) && f.Args[1] == 0; };
  const auto staged = [](const Frame& f) {
    return f.Kind == testing_support::SimFrameKind::Block && f.Address == controller::AddrStaging;
  };
  const auto dumped = [](const Frame& f) {
    return f.Kind == testing_support::SimFrameKind::Request && f.Address == 0x1000;
  };
  const auto rawSent = [](const Frame& f) { return f.Code == controller::CmdSetControllerParam && f.Args[0] == 9; };
  const Step restartedClockAsked = [&] {
    if (Engine().CommState == 136 && !Engine().ClockRequest) getClock();
  };
  const std::string reload = "Be sure to re-load your Program File";
  const struct {
    const char* Name;
    std::vector<Step> Asked;
    std::vector<std::string> Told;
    std::function<bool()> Ends;
    Step Meanwhile = {};
  } cases[] = {
      {"an IR upload, then a download, a learn and a clear",
       {upload, download, learn, clear},
       {before("Infra-Red File Download", "Infra-Red File Upload"), before("IR Learn", "Infra-Red File Upload"),
        before("IR Clear Command", "Infra-Red File Upload")},
       [&] {
         return testing_support::ReadFile(backup) == std::string(held.begin(), held.end()) && sim.IrCode(0) == held;
       }},
      {"an IR download, then a learn and a clear",
       {download, learn, clear},
       {before("IR Learn", "Infra-Red File Download"), before("IR Clear Command", "Infra-Red File Download")},
       [&] { return sim.IrCode(0) == based; }},
      {"a program download, then a parameter read and edits of parameters 4 and 10",
       {program, params, edit(4), edit(10)},
       {before("Retrieve Controller Parameters", "Program Download"), before("Parameter Change", "Program Download")},
       [&] { return sim.Parameter(4) != 77 && sim.Parameter(10) == 77 && sim.FlashLoads() == 102; }},
      {"Get Controller Clock while a program download waits for its flash key",
       {program, getClock},
       {},
       [&] { return logged("Controller Clock: "); }},
      {"a raw command, then a parameter read, an edit, a dump and a Change Timer/Variable",
       {raw, params, edit(9), dumpAt(0x7F00), variable5},
       {before("Retrieve Controller Parameters", "Raw Command"), before("Parameter Change", "Raw Command"),
        before("Memory Dump", "Raw Command"), before("Change Timer/Variable", "Raw Command")},
       [&] { return sim.Parameter(9) == 5 && sim.Variable(5) == 1; }},
      {"a raw command while the timers refresh, and the refresh asked behind one",
       {debug, raw, [&] { Click(timerVars->BitBtn1); }, raw, debug},
       {"Raw Command not sent: it would wait behind Debug Timers and Variables until that window closes",
        before("Debug Timers and Variables", "Raw Command")},
       [&] { return sim.Parameter(9) == 5 && !timerVars->isVisible(); }},
      {"Set Controller Clock, then Get Controller Clock",
       {menu("Set1"), getClock},
       {before("Get Controller Clock", "Clock Set")},
       [&] { return sim.Clock().Year == 2007 && !logged("Controller Clock: "); }},
      {"a Change Timer/Variable, then a dump of the variables",
       {variable5, dumpAt(sim.VariableTableAddress())},
       {before("Memory Dump", "Change Timer/Variable")},
       [&] { return sim.Variable(5) == 321; }},
      {"an X10 command, then an extended one",
       {[&] { x10.BitBtn1->click(); }, [&] { extended.Button5->click(); }},
       {before("Extended X10 Command", "X10 Command")},
       [&] { return sim.X10Unit(0, 0) && sim.Commands(controller::CmdExtendedX10).empty(); }},
      {"a parameter read, then an edit: the edit goes first and the read shows it",
       {params, edit(10)},
       {},
       [&] { return sim.Parameter(10) == 77 && Engine().ControllerParams[10] == 77; }},
      {"an IR upload, then an edit of parameter 122, which it reads",
       {upload, edit(122)},
       {before("Parameter Change", "Infra-Red File Upload")},
       [&] { return sim.Parameter(122) != 77 && testing_support::ReadFile(backup).size() == 256; }},
      {"a program download, then an edit of parameter 7: its read-back follows the download",
       {program, edit(7)},
       {},
       [&] { return dstShown() && Engine().ControllerParams[7] == 77; }},
      {"a program download, then the designer's Load: the restart's parameter read follows the download",
       {program, designerLoad},
       {},
       [&] { return dstShown() && firstFrame(touchStop) < sim.Frames().size(); }},
      {"a program download, then an IR upload: its parameter read follows the download",
       {program, upload},
       {},
       [&] { return dstShown() && testing_support::ReadFile(backup).size() == 256; }},
      {"an executive reload, and Get Controller Clock while the controller restarts",
       {menu("ReloadVORMOExecutive1")},
       {reload},
       clockShown,
       restartedClockAsked},
      {"Set Controller Clock, then Download Project",
       {menu("Set1"), projectWith(true)},
       {},
       [&] { return sim.Clock().Year == 2007 && clockShown() && sim.Faults().empty(); }},
      {"a dump, then Download Project",
       {dumpAt(0x1000), projectWith(true)},
       {},
       [&] { return goesFirst(dumped, staged); }},
      {"a raw command, then the designer's Load",
       {raw, designerLoad},
       {},
       [&] { return goesFirst(rawSent, touchStop); }},
      {"a relay, then a memory dump",
       {relayOn, dumpAt(0)},
       {before("Memory Dump", "Relay Command")},
       [&] { return sim.Relay(5, 3); }},
      {"the ASCII table, then a memory dump",
       {[&] { comms->RequestAsciiTable(0); }, dumpAt(0)},
       {before("Memory Dump", "ASCII Messages")},
       [&] { return sim.AsciiBlock(0).has_value(); }},
      {"the pager messages, then a memory dump",
       {[&] { Click(pager.BitBtn1); }, dumpAt(0)},
       {before("Memory Dump", "Pager Messages")},
       [&] { return logged("Sending 256 bytes to 7E00"); }},
      {"Auto Address, then a memory dump and Get Controller Clock, which is asked again while the modules are "
       "addressed",
       {menu("AutoAddressModules1"), dumpAt(0), getClock},
       {before("Memory Dump", "Auto Address Command"), before("Get Controller Clock", "Auto Address Command"), reload},
       clockShown,
       [&] {
         if (Engine().CommState == 592 && !Engine().ClockRequest) {
           getClock();
           comms->BitBtn4->click();
         }
       }},
      {"Auto Address, then an IR upload of two codes: it waits for the parameter read asked with it",
       {[&] { sim.SetParameter(122, 1); }, menu("AutoAddressModules1"), upload},
       {reload},
       [&] { return testing_support::ReadFile(backup).size() == 512; },
       [&] {
         if (Engine().CommState == 592) comms->BitBtn4->click();
       }},
      {"an IR download, then a memory dump",
       {download, dumpAt(0)},
       {before("Memory Dump", "Infra-Red File Download")},
       [&] { return sim.IrCode(0) == based; }},
      {"a learn, then a memory dump",
       {learn, dumpAt(0)},
       {before("Memory Dump", "IR Learn")},
       [&] { return sim.IrCode(0) != held; },
       [&] {
         if (Engine().CommState == 564 && sim.CompleteIrLearn()) serial::test::PumpIn(*comms->LkComPort1, 1);
       }},
      {"an IR clear, then a memory dump",
       {clear, dumpAt(0)},
       {before("Memory Dump", "IR Clear Command")},
       [&] { return sim.IrCode(0) != held; }},
  };
  ir.ShowLearnMode();
  testing_support::Replace(ir.Edit1, "0");
  x10.KeyGroupButtons->button(17)->setChecked(true);  // all lights on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    sim.SetIrCode(0, held);
    for (int p : {5, 10, 122}) sim.SetParameter(p, 0);
    sim.SetVariable(5, 1);
    sim.SetClock({2010, 1, 1, 0, 0, 0, 5});
    std::filesystem::remove(backup);
    comms->ListBox1->clear();
    testing_support::TestUi().Clear();
    from = sim.Frames().size();
    AskWhileBusy([&] { std::ranges::for_each(c.Asked, [](const Step& ask) { ask(); }); }, 2000, c.Meanwhile);
    EXPECT_EQ(testing_support::TestUi().Messages(), c.Told);
    EXPECT_TRUE(c.Ends());
  }
}

// A transfer asked again while one waits, the engine in the X10 monitor meanwhile, is refused and told,
// naming the one that waits, whether the second ask could have gone or not: the first goes, once, with what
// was there when it was asked.
TEST_F(AttachedFormsTest, ATransferAskedAgainWhileOneWaitsIsRefusedAndTheFirstGoesAsAsked) {
  testing_support::TempDir dir;
  const std::string image = dir.File("FLASH512.BIN");
  comms->Settings.CurrentDirectory = dir.Path().string();
  TForm3 projectForm{Engine(), *comms};
  TPagerMessages pager{Engine()};
  comms->AttachInput(controller::CommsInput::PagerRow, [&](int row) { return pager.RowText(row); });
  using Step = std::function<void()>;
  using testing_support::SimFrame;
  using testing_support::SimFrameKind;
  // Source A, asked first; B, asked second, could go; none, asked second, could not.
  enum class Source { A, B, None };
  const auto program = [&](Source s) {
    project.Store.Lines[1] = ProgramLine{static_cast<std::uint16_t>(s == Source::A ? 0x0C01 : 0x0C02), 5, 6};
    project.Store.Lines[4095] = s == Source::None ? ProgramLine{} : ProgramLine::End();
  };
  const auto executive = [&](Source s) {
    std::filesystem::remove(image);
    if (s != Source::None) testing_support::WriteFile(image, std::string(300, s == Source::A ? 'a' : 'b'));
  };
  const auto pagerRows = [&](Source s) { pager.StringGrid1->item(0, 1)->setText(s == Source::A ? "PIN-A" : "PIN-B"); };
  const auto ascii = [&](Source s) { project.Ascii.SetText(0, s == Source::A ? "Message A" : "Message B"); };
  const auto touch = [&](Source s) { project.Touch.SetBacklightOffDelay(s == Source::A ? 10 : 20); };
  const auto icons = [&](Source s) {
    project.Icons = [s](std::span<std::uint8_t> buffer, project::CommsLog&) {
      std::fill_n(buffer.begin(), 256, s == Source::A ? 'A' : 'B');
    };
  };
  const auto wholeProject = [&](Source s) {
    program(s);
    touch(s);
    icons(s);
  };
  const auto dumpAt = [&](Source s) {
    testing_support::Replace(dump->Edit1, s == Source::A ? "4096" : s == Source::B ? "8192" : "70000");
  };
  const Step askProgram = [&] { Menu("DownloadProgramtoVORMO1"); };
  const Step askExecutive = [&] { Menu("ReloadVORMOExecutive1"); };
  const Step askPager = [&] {
    pager.show();
    Click(pager.BitBtn1);
  };
  const Step askAscii = [&] { comms->RequestAsciiTable(0); };
  const Step askTouch = [&] { comms->RequestTouchLoad(); };
  const Step askProject = [&] {
    projectForm.show();
    Click(projectForm.BitBtn1);
  };
  const Step askDump = [&] { Click(dump->BitBtn1); };

  std::size_t from = 0;  // the first frame of the case in hand
  const auto count = [&](const std::function<bool(const SimFrame&)>& is) {
    const auto frames = sim.Frames();
    return std::count_if(frames.begin() + static_cast<long>(from), frames.end(), is);
  };
  const auto flashed = [&](int firstBank, int lastBank) {
    return count([=](const SimFrame& f) {
      return f.Kind == SimFrameKind::Command && f.Code == controller::CmdFlashLoad && f.Args[0] >= firstBank &&
             f.Args[0] <= lastBank;
    });
  };
  const auto commands = [&](std::uint8_t code) {
    return count([=](const SimFrame& f) { return f.Kind == SimFrameKind::Command && f.Code == code; });
  };
  std::vector<std::uint8_t> programA, touchA;
  const auto programSent = [&] { return flashed(0x50, 0x57) == 96 && sim.ProgramImage() == programA; };
  const auto touchSent = [&] {
    const auto objects = sim.TouchObjects();
    return commands(controller::CmdStoreTouch) == 64 && std::equal(touchA.begin(), touchA.end(), objects.begin());
  };
  const auto iconsSent = [&] {
    const auto flash = sim.IconImage();
    return flashed(0x5A, 0x65) == 192 &&
           std::all_of(flash.begin(), flash.begin() + 256, [](auto b) { return b == 'A'; });
  };
  const auto startsWith = [](const testing_support::SimBytes& bytes, const std::string& text) {
    return bytes.size() >= text.size() && std::equal(text.begin(), text.end(), bytes.begin());
  };
  const std::string waits = " not sent: the last one asked has not ended yet";
  const std::string reload = "Be sure to re-load your Program File";
  const struct {
    const char* Name;
    std::function<void(Source)> Put;
    Step Ask;
    Source Second;
    std::function<bool()> Sent;
    std::vector<std::string> Told;
  } cases[] = {
      {"Download Program, another program", program, askProgram, Source::B, programSent, {"Program Download" + waits}},
      {"Download Program, a program without an END line",
       program,
       askProgram,
       Source::None,
       programSent,
       {"Program Download" + waits}},
      {"Reload Controller Executive, the file rewritten",
       executive,
       askExecutive,
       Source::B,
       [&] {
         const auto flash = sim.ExecutiveImage();
         return commands(controller::CmdStopInterpreter) == 1 &&
                std::all_of(flash.begin() + 0x1200, flash.begin() + 0x1200 + 300, [](auto b) { return b == 'a'; });
       },
       {"Executive Reload" + waits, reload}},
      {"Reload Controller Executive, the file removed",
       executive,
       askExecutive,
       Source::None,
       [&] { return commands(controller::CmdStopInterpreter) == 1 && sim.ExecutiveImage()[0x1200] == 'a'; },
       {"Executive Reload" + waits, reload}},
      {"Load Messages, the PIN retyped",
       pagerRows,
       askPager,
       Source::B,
       [&] {
         return count([](const SimFrame& f) { return f.Kind == SimFrameKind::Block && f.Address == 0x7B00; }) == 1 &&
                startsWith(sim.Read(0x7B00, 64), "PIN-A");
       },
       {"Pager Messages" + waits}},
      {"Send To: the controller, a message retyped",
       ascii,
       askAscii,
       Source::B,
       [&] {
         const auto block = sim.AsciiBlock(0);
         return commands(controller::CmdStoreAscii) == 16 && block && startsWith(*block, "Message A");
       },
       {"ASCII Messages" + waits}},
      {"the designer's Load, the backlight delay changed",
       touch,
       askTouch,
       Source::B,
       touchSent,
       {"Touch Screen Download" + waits}},
      {"Download Project, the project changed",
       wholeProject,
       askProject,
       Source::B,
       [&] { return programSent() && touchSent() && iconsSent(); },
       {"Icon Download" + waits + "\nTouch Screen Download" + waits + "\nProgram Download" + waits}},
      {"Download Project, a program without an END line",
       wholeProject,
       askProject,
       Source::None,
       [&] { return programSent() && touchSent() && iconsSent(); },
       {"Icon Download" + waits + "\nTouch Screen Download" + waits + "\nProgram Download" + waits}},
      {"Get Dump, another address",
       dumpAt,
       askDump,
       Source::B,
       [&] {
         return count([](const SimFrame& f) { return f.Kind == SimFrameKind::Request && f.Address == 4096; }) == 1 &&
                count([](const SimFrame& f) { return f.Kind == SimFrameKind::Request && f.Address == 8192; }) == 0;
       },
       {"Memory Dump" + waits}},
      {"Get Dump, an address above 65535",
       dumpAt,
       askDump,
       Source::None,
       [&] {
         return count([](const SimFrame& f) { return f.Kind == SimFrameKind::Request && f.Address == 4096; }) == 1;
       },
       {"Memory Dump" + waits}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    testing_support::TestUi().Clear();
    from = sim.Frames().size();
    AskWhileBusy(
        [&] {
          c.Put(Source::A);
          programA = std::vector<std::uint8_t>(sim.ProgramImage().size());
          for (int n = 0; n < 4096; ++n)
            project.Store.Lines[static_cast<std::size_t>(n)].Store(programA.data() + n * ProgramLine::kBytes);
          const auto touchImage = project.Touch.DownloadImage();
          touchA.assign(touchImage.begin(), touchImage.end());
          c.Ask();
          c.Put(c.Second);
          c.Ask();
        },
        3000);
    EXPECT_TRUE(c.Sent());
    EXPECT_EQ(testing_support::TestUi().Messages(), c.Told);
  }
  EXPECT_TRUE(projectForm.isVisible()) << "refused, the dialog stays open";
  EXPECT_TRUE(Shoot(&projectForm, "zelta_download_project_refused.png"));
}

// "Auto Address Modules" clicked again while the addressing runs does not start it over: it is refused and
// told, and Abort tells the controller the last number it gave.
TEST_F(AttachedFormsTest, AutoAddressAskedAgainWhileItRunsIsRefusedAndAbortTellsTheLastNumber) {
  comms->show();
  comms->MenuItems["AutoAddressModules1"]->trigger();
  ASSERT_TRUE(RunUntil([&] { return Engine().CommState == 592; }));
  for (int module : {1, 2}) {
    ASSERT_EQ(sim.PressModuleButton(), module);
    ASSERT_TRUE(serial::test::WaitFor([&] { return comms->LkComPort1->InBuffUsed() == 1; }));
    ASSERT_TRUE(RunUntil([&] { return comms->LkComPort1->InBuffUsed() == 0; }));
  }
  comms->MenuItems["AutoAddressModules1"]->trigger();
  Click(comms->BitBtn4);
  ASSERT_TRUE(RunUntil([&] { return Engine().CommState == 135; }));
  EXPECT_EQ(sim.Parameter(3), 2);
  EXPECT_EQ(testing_support::TestUi().Messages(),
            std::vector<std::string>{"Auto Address Command not sent: the last one asked has not ended yet"});
  ASSERT_TRUE(RunUntil([&] { return Engine().CommState == 114; }, 800));
}

// "Send To:" a module while the ASCII messages go to another: the load keeps its module to its end; the
// second is refused and told.
TEST_F(AttachedFormsTest, ASendToDuringARemoteAsciiLoadIsRefusedAndTheLoadKeepsItsModule) {
  comms->RequestAsciiTable(5);
  ASSERT_TRUE(RunUntil([&] { return sim.ForwardedAscii().size() == 2; }));
  comms->RequestAsciiTable(7);
  ASSERT_TRUE(RunUntil([&] { return Engine().CommState == 114; }, 128 * 40));
  const auto forwarded = sim.ForwardedAscii();
  EXPECT_EQ(forwarded.size(), 128u);
  EXPECT_TRUE(std::all_of(forwarded.begin(), forwarded.end(), [](const auto& f) { return f.Module == 5; }));
  EXPECT_EQ(testing_support::TestUi().Messages(),
            std::vector<std::string>{"ASCII Messages not sent: the last one asked has not ended yet"});
}

}  // namespace
}  // namespace maintenance_test
