// The relay, memory-dump and timer/variable windows as a user drives them: what their buttons and the
// debug grid's clicks ask of the engine, and, attached to the communications window over the simulated
// controller, what the engine shows in them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "controller/engine_fixture.h"
#include "controller/param_requests.h"
#include "gui/controller/change_timer_variable_form.h"
#include "gui/controller/comms_form.h"
#include "gui/controller/download_project_form.h"
#include "gui/controller/dump_form.h"
#include "gui/controller/ex10_form.h"
#include "gui/controller/form_ticker.h"
#include "gui/controller/ir_form.h"
#include "gui/controller/pager_messages_form.h"
#include "gui/controller/send_x10_form.h"
#include "gui/controller/set_clear_relay_form.h"
#include "gui/controller/timer_variable_form.h"
#include "platform/registry.h"
#include "project/settings.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "support/user_input.h"

namespace {

using controller::CommsGrid;
using controller::test::FakeProject;
using controller::test::FixedClock;
using testing_support::Click;
using testing_support::Shoot;

// Clicks grid cell (column, row) of the debug grid, whose row 0 is its header.
void ClickCell(QTableWidget* grid, int column, int row) {
  testing_support::ClickCell(grid, grid->model()->index(row - 1, column));
}

std::string Text(const QTableWidget* grid, int column, int row) {
  const QTableWidgetItem* item = grid->item(row - 1, column);
  return item ? item->text().toStdString() : std::string();
}

class MaintenanceFormsTest : public ::testing::Test {
 protected:
  MaintenanceFormsTest() {
    comms->Engine->CommState = 110;  // the windows post to a running connection
    DumpForm = dump.get();
    SetClearRelay = relay.get();
    TimerVariableForm = timerVars.get();
    Form32 = change.get();
  }
  ~MaintenanceFormsTest() override {
    DumpForm = nullptr;
    SetClearRelay = nullptr;
    TimerVariableForm = nullptr;
    Form32 = nullptr;
  }
  controller::CommsEngine& Engine() { return *comms->Engine; }

  testing_support::ScopedConfigDir config;
  FakeProject project;
  FixedClock clock;
  std::unique_ptr<TCommsForm> comms = std::make_unique<TCommsForm>(project, clock);
  std::unique_ptr<TDumpForm> dump = std::make_unique<TDumpForm>(*comms->Engine);
  std::unique_ptr<TSetClearRelay> relay = std::make_unique<TSetClearRelay>(*comms->Engine);
  std::unique_ptr<TTimerVariableForm> timerVars = std::make_unique<TTimerVariableForm>(*comms->Engine);
  std::unique_ptr<TForm32> change = std::make_unique<TForm32>(*comms->Engine);
};

// Module 0 is never sent: it is refused and told, as a number that does not fit is.
TEST_F(MaintenanceFormsTest, TheRelayWindowSendsTheTypedPointAndRefusesModule0) {
  const struct {
    const char *Module, *Point;
    int Radio;
    std::uint8_t Request, AtPoint, On;
    const char* Told = "";
  } cases[] = {
      {"5", "3", 1, 5, 3, 1},
      {"0", "2", 1, 0, 0, 0, "Module Number must be a whole number from 1 to 255"},
      {" 6a", "4b", 0, 0, 0, 0, "Module Number must be a whole number from 1 to 255"},
  };
  relay->show();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Module);
    testing_support::TestUi().Clear();
    Engine().RelayRequest = Engine().RelayPoint = Engine().RelayOn = 0;
    relay->Edit1->setText(c.Module);
    relay->Edit2->setText(c.Point);
    relay->RadioGroup1Buttons->button(c.Radio)->setChecked(true);
    Click(relay->BitBtn1);
    EXPECT_EQ(Engine().RelayRequest, c.Request);
    EXPECT_EQ(Engine().RelayPoint, c.AtPoint);
    EXPECT_EQ(Engine().RelayOn, c.On);
    EXPECT_EQ(testing_support::TestUi().Messages(),
              *c.Told ? std::vector<std::string>{c.Told} : std::vector<std::string>{});
  }
  EXPECT_TRUE(relay->isVisible()) << "sending leaves the window open";
  EXPECT_TRUE(Shoot(relay.get(), "zelta_set_clear_relay.png"));
  Click(relay->CloseButton);
  EXPECT_FALSE(relay->isVisible());
}

// An address typed is the one the buttons step from, also while a dump asked before waits to be read.
TEST_F(MaintenanceFormsTest, TheDumpButtonsStepTheAddressByWholeBlocks) {
  constexpr std::int32_t Before = 7;  // asked before; a text that is no address asks nothing
  const struct {
    const char* Typed;
    QPushButton* TDumpForm::*Button;
    const char* Shown;
    std::int32_t Asked;
    bool Waiting = false;  // the dump asked before is still to be read
  } cases[] = {
      {"0", &TDumpForm::BitBtn1, "0", 0},
      {"8192", &TDumpForm::Button1, "8448", 8448, true},
      {"4660", &TDumpForm::BitBtn1, "4660", 4660},
      {"0", &TDumpForm::Button2, "-256", -256},
      {"65280", &TDumpForm::Button1, "65536", 65536},
      {"junk", &TDumpForm::Button1, "junk", Before},
      {"2147483647", &TDumpForm::Button1, "2147483647", Before},
      {"4660h", &TDumpForm::BitBtn1, "4660h", Before},
      {"512 up", &TDumpForm::Button1, "512 up", Before},
      {"99999999999", &TDumpForm::Button2, "99999999999", Before},
  };
  dump->show();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Typed);
    testing_support::TestUi().Clear();
    Engine().DumpAddress = Before;
    Engine().DumpRequest = c.Waiting;
    testing_support::Replace(dump->Edit1, c.Typed);
    Click(dump.get()->*c.Button);
    EXPECT_EQ(dump->Edit1->text().toStdString(), c.Shown);
    EXPECT_EQ(Engine().DumpAddress, c.Asked);
    EXPECT_EQ(Engine().DumpRequest, c.Waiting || c.Asked != Before);
    const std::vector<std::string> told{"Address must be a whole number from 0 to 65535"};
    EXPECT_EQ(testing_support::TestUi().Messages(), c.Asked == Before ? told : std::vector<std::string>{});
  }
}

TEST_F(MaintenanceFormsTest, SendArmsTheRawCommandFromTheSixEdits) {
  const char* typed[] = {"53", "1", "2", "3", "4", "5"};
  for (int i = 0; i < 6; ++i) dump->CommandEdits[static_cast<std::size_t>(i)]->setText(typed[i]);
  Click(dump->BitBtn3);
  EXPECT_EQ(Engine().RawCommandRequest, 1);
  EXPECT_EQ(Engine().RawCommand, (std::array<std::uint8_t, 6>{53, 1, 2, 3, 4, 5}));
}

TEST_F(MaintenanceFormsTest, TheDebugGridNumbersItsRowsAndMarksMissingTimers) {
  const QTableWidget* grid = timerVars->TVGrid;
  ASSERT_EQ(grid->rowCount() + 1, 257);
  ASSERT_EQ(grid->columnCount(), 3);
  EXPECT_EQ(grid->horizontalHeaderItem(1)->text(), "Timers");
  EXPECT_EQ(grid->horizontalHeaderItem(2)->text(), "Variables");
  const struct {
    int Column, Row;
    const char* Text;
  } cells[] = {{0, 1, "0"},      {0, 128, "127"},   {0, 129, ""}, {1, 64, ""},
               {1, 65, " N/A "}, {1, 128, " N/A "}, {1, 129, ""}, {2, 65, ""}};
  for (const auto& c : cells) EXPECT_EQ(Text(grid, c.Column, c.Row), c.Text) << c.Column << "," << c.Row;
}

TEST_F(MaintenanceFormsTest, ClickingTheDebugGridOpensTheChangeWindowWhereAValueCanBeChanged) {
  const struct {
    int Column, Row;
    bool Opens;
    const char* Label;
    const char* Number;
  } cases[] = {
      {1, 70, false, "", ""},
      {0, 5, false, "", ""},
      {2, 200, true, "Variable#", "199"},
      {1, 64, true, "Timer#", "63"},
      {2, 65, true, "Variable#", "64"},
      {1, 1, true, "Timer#", "0"},
  };
  timerVars->show();
  for (const auto& c : cases) {
    change->hide();
    change->Label1->setText("?");
    change->Edit2->setText("9");
    ClickCell(timerVars->TVGrid, c.Column, c.Row);
    EXPECT_EQ(change->isVisible(), c.Opens) << c.Column << "," << c.Row;
    if (!c.Opens) continue;
    EXPECT_EQ(change->Label1->text().toStdString(), c.Label);
    EXPECT_EQ(change->Edit1->text().toStdString(), c.Number);
    EXPECT_EQ(change->Edit2->text(), "0");
  }

  ClickCell(timerVars->TVGrid, 2, 200);
  ClickCell(timerVars->TVGrid, 0, 5);
  EXPECT_EQ(timerVars->CurrentColumn(), 2) << "the numbering column never becomes current";
  EXPECT_EQ(timerVars->CurrentRow(), 200);
  change->Edit2->setText("1234");
  EXPECT_TRUE(Shoot(change.get(), "zelta_change_timer_variable.png"));
  Click(change->BitBtn1);
  EXPECT_FALSE(change->isVisible());
  EXPECT_EQ(Engine().ChangeDataRequest, 199);
  EXPECT_EQ(Engine().ChangeDataValue, 1234);
  EXPECT_EQ(Engine().ChangeDataKind, 0);

  ClickCell(timerVars->TVGrid, 1, 11);
  Engine().ChangeDataRequest = controller::NoChangeData;
  Click(change->BitBtn2);
  EXPECT_FALSE(change->isVisible());
  EXPECT_EQ(Engine().ChangeDataRequest, controller::NoChangeData) << "Cancel arms nothing";
  ClickCell(timerVars->TVGrid, 1, 11);
  Click(change->BitBtn1);
  EXPECT_EQ(Engine().ChangeDataRequest, 10);
  EXPECT_EQ(Engine().ChangeDataKind, 1);
}

TEST_F(MaintenanceFormsTest, TheArrowsStepWithinTheirLimitsButTypedTextIsFree) {
  const struct {
    QLineEdit* TForm32::*Edit;
    QToolButton* TForm32::*Arrow;
    const char* Typed;
    const char* After;
  } cases[] = {
      {&TForm32::Edit1, &TForm32::UpDown1Up, "62", "63"},       {&TForm32::Edit1, &TForm32::UpDown1Up, "63", "63"},
      {&TForm32::Edit1, &TForm32::UpDown1Up, "199", "63"},      {&TForm32::Edit1, &TForm32::UpDown1Down, "0", "0"},
      {&TForm32::Edit2, &TForm32::UpDown2Up, "31999", "32000"}, {&TForm32::Edit2, &TForm32::UpDown2Down, "x", "0"},
  };
  change->show();
  for (const auto& c : cases) {
    (change.get()->*c.Edit)->setText(c.Typed);
    Click(change.get()->*c.Arrow);
    EXPECT_EQ((change.get()->*c.Edit)->text().toStdString(), c.After) << c.Typed;
  }
  change->Edit2->setText("40000");
  change->Edit1->setText("3");
  Click(change->BitBtn1);
  EXPECT_EQ(Engine().ChangeDataValue, 40000);
}

// Typed numbers are read by their leading digits; one the controller's tables cannot hold would overwrite
// some other timer or variable, so it is refused with a message and the window stays open.
TEST_F(MaintenanceFormsTest, ANumberOrValueTheTablesCannotHoldIsRefused) {
  const struct {
    int Column;
    const char* Number;
    const char* Value;
    const char* Message;  // "": posted
  } cases[] = {
      {2, "300", "1", "Variable# must be a whole number from 0 to 255"},
      {2, "-5", "1", "Variable# must be a whole number from 0 to 255"},
      {2, "-1", "1", "Variable# must be a whole number from 0 to 255"},
      {1, "64", "1", "Timer# must be a whole number from 0 to 63"},
      {1, "abc", "1", "Timer# must be a whole number from 0 to 63"},
      {2, "44", "65536", "Data must be a whole number from 0 to 65535"},
      {1, "3", "-1", "Data must be a whole number from 0 to 65535"},
      {2, "255", "65535", ""},
      {1, "63 ", "12abc", "Data must be a whole number from 0 to 65535"},
  };
  timerVars->show();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Number) + " / " + c.Value);
    ClickCell(timerVars->TVGrid, c.Column, 1);
    change->Edit1->setText(c.Number);
    change->Edit2->setText(c.Value);
    Engine().ChangeDataRequest = controller::NoChangeData;
    testing_support::TestUi().Clear();
    Click(change->BitBtn1);
    const bool posted = *c.Message == '\0';
    EXPECT_EQ(change->isVisible(), !posted);
    EXPECT_EQ(testing_support::TestUi().Messages(),
              posted ? std::vector<std::string>{} : std::vector<std::string>{c.Message});
    EXPECT_EQ(Engine().ChangeDataRequest, posted ? std::atoi(c.Number) : controller::NoChangeData);
    if (posted) {
      EXPECT_EQ(Engine().ChangeDataValue, std::atoi(c.Value));
    }
  }
}

TEST_F(MaintenanceFormsTest, HidingTheDebugWindowStopsTheRefresh) {
  comms->DebugTimersandVariables1Click();
  timerVars->show();
  EXPECT_EQ(Engine().TimerVarMonitorRequest, 1);
  Click(timerVars->BitBtn1);
  EXPECT_FALSE(timerVars->isVisible());
  EXPECT_EQ(Engine().TimerVarMonitorRequest, 0);
}

// Wired to the communications window as the program wires them, over the simulated controller.
class AttachedFormsTest : public MaintenanceFormsTest {
 protected:
  AttachedFormsTest() {
    sim.SetAppVersion(400);
    sim.SetFirmwareVersion(820);
    comms->AttachGrid(CommsGrid::Dump, dump->StringGrid1, false);
    comms->AttachEdit(controller::CommsText::DumpAddress, dump->Edit1);
    comms->AttachGrid(CommsGrid::TimerVars, timerVars->TVGrid, true);
    comms->AttachWindow(controller::CommsWindow::TimerVars, timerVars.get());
    comms->Settings.ComNum = 1;
    Engine().CommState = 0;
    comms->AttachEngine();
    EXPECT_TRUE(RunUntil([&] { return Engine().CommState == 114; }));
    Engine().ParamsRequest = 0;
  }
  ~AttachedFormsTest() override {
    Engine().CloseRequest = 1;
    RunUntil([&] { return Engine().CommState == 0; });
  }
  bool RunUntil(const std::function<bool()>& done, int limit = 400) { return ticker.RunUntil(done, limit); }
  void Menu(const char* item) { comms->MenuItems[item]->trigger(); }
  void RawCommand(std::array<const char*, 6> bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) dump->CommandEdits[i]->setText(bytes[i]);
    Click(dump->BitBtn3);
  }
  // Asks while the X10 monitor keeps the engine busy, closes the monitor, and runs until all that was asked
  // has gone, with `meanwhile` before each tick.
  void AskWhileBusy(const std::function<void()>& ask, int limit = 400, const std::function<void()>& meanwhile = {}) {
    ASSERT_TRUE(ticker.OpenX10Monitor());
    ask();
    ASSERT_TRUE(ticker.CloseX10Monitor());
    ASSERT_TRUE(RunUntil(
        [&] {
          if (meanwhile) meanwhile();
          controller::Requests asked = Engine();
          // A slot sent keeps its bytes: only its code marks it used.
          const bool queued = std::any_of(asked.CommandQueue.begin(), asked.CommandQueue.end(),
                                          [](const auto& slot) { return slot[0] != 0; });
          asked.CommandQueue = {};
          return Engine().CommState == 110 && !queued && asked == controller::Requests{} && !Engine().UploadFile;
        },
        limit))
        << "state " << Engine().CommState;
  }

  testing_support::SimController sim;
  serial::test::ScopedComEnv com{1, sim.SlavePath()};
  gui_test::FormTicker ticker{*comms, sim};
};

TEST_F(AttachedFormsTest, TheDebugWindowShowsTheControllersValuesAndChangesOne) {
  sim.SetTimer(0, 0xFFFF);
  sim.SetTimer(2, 250);
  sim.SetVariable(0, 17);
  sim.SetVariable(200, 4321);
  comms->DebugTimersandVariables1Click();
  EXPECT_TRUE(timerVars->isVisible());
  QTableWidget* grid = timerVars->TVGrid;
  ASSERT_TRUE(RunUntil([&] { return Text(grid, 2, 201) == "4321"; }));
  EXPECT_EQ(Text(grid, 1, 1), "65535");
  EXPECT_EQ(Text(grid, 1, 3), "250");
  EXPECT_EQ(Text(grid, 2, 1), "17");
  EXPECT_EQ(Text(grid, 1, 65), " N/A ");
  EXPECT_EQ(Text(grid, 0, 129), "");
  grid->scrollToTop();
  EXPECT_TRUE(Shoot(timerVars.get(), "zelta_timer_variables.png"));
  grid->scrollToItem(grid->item(120, 0), QAbstractItemView::PositionAtCenter);
  EXPECT_TRUE(Shoot(timerVars.get(), "zelta_timer_variables_128.png"));

  ClickCell(grid, 2, 200);
  change->Edit2->setText("1234");
  Click(change->BitBtn1);
  ASSERT_TRUE(RunUntil([&] { return Text(grid, 2, 200) == "1234"; }));
  const auto changes = sim.Commands(controller::CmdChangeTimerVar);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].Bytes, (std::vector<std::uint8_t>{0xC8, 0x29, 199, 0xD2, 0x04, 0, 0, 0x8E}));

  Click(timerVars->BitBtn1);
  EXPECT_EQ(Engine().TimerVarMonitorRequest, 0);
}

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

// The window shows an address only with that address's bytes, as the controller numbers it: "Previous
// Block" from 0 shows the block at 0xFF00 under 65280; a download's block in the grid shows under no
// address, the staging area keeps none; an address asked for shows none of the last one's bytes, also
// when its dump keeps failing.
TEST_F(AttachedFormsTest, TheDumpShowsAnAddressOnlyWithItsBytes) {
  std::vector<std::uint8_t> block(256);
  for (int i = 0; i < 256; ++i) block[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(255 - i);
  sim.Write(0xFF00, block);
  dump->show();
  EXPECT_EQ(dump->Edit1->text(), "") << "a new connection shows no address";
  testing_support::Replace(dump->Edit1, "0");
  Click(dump->Button2);
  ASSERT_TRUE(RunUntil([&] { return !Engine().DumpRequest && Engine().CommState == 110; }));
  const auto cell = [&](int column, int row) {
    const QTableWidgetItem* item = dump->StringGrid1->item(row, column);
    return item ? item->text().toStdString() : std::string();
  };
  EXPECT_EQ(dump->Edit1->text(), "65280");
  EXPECT_EQ(cell(0, 0), "ff");
  EXPECT_EQ(cell(15, 0), "f0");
  EXPECT_EQ(cell(5, 10), "5a");
  EXPECT_EQ(cell(15, 15), "00");
  EXPECT_TRUE(Shoot(dump.get(), "zelta_memory_dump.png"));

  Engine().RequestTouchLoad();
  ASSERT_TRUE(RunUntil([&] { return Engine().CommState == 905; }));
  EXPECT_TRUE(dump->Edit1->text().isEmpty());
  EXPECT_EQ(cell(0, 0), "ff") << "the touch screen's settings";
  ASSERT_TRUE(RunUntil([&] { return Engine().CommState == 114; }, 800));

  sim.CorruptNextBlockReplies(100);
  testing_support::Replace(dump->Edit1, "4096");
  Click(dump->Button1);  // "Next Block"
  ASSERT_TRUE(RunUntil([&] { return Engine().CommState == 0; }));
  EXPECT_EQ(testing_support::TestUi().Messages().back(), "Lost Connection");
  EXPECT_EQ(dump->Edit1->text(), "4352");
  for (int i = 0; i < 256; ++i) EXPECT_EQ(cell(i % 16, i / 16), "") << i;
}

// A download writes its blocks into the grid under no address, but an address the user types meanwhile is
// theirs: it stays through the blocks that follow, and Get Dump reads it.
TEST_F(AttachedFormsTest, AnAddressTypedWhileADownloadWritesTheGridStays) {
  sim.Write(0x1000, std::vector<std::uint8_t>(256, 0x42));
  project.Store.Lines[4095] = ProgramLine::End();
  dump->show();
  Menu("DownloadProgramtoVORMO1");
  ASSERT_TRUE(RunUntil([&] { return Engine().CommState == 514; }));
  testing_support::Replace(dump->Edit1, "4096");
  ASSERT_TRUE(RunUntil([&] { return sim.FlashLoads() == 96 + 6 && Engine().CommState == 110; }, 2000));
  EXPECT_EQ(dump->Edit1->text(), "4096");
  Click(dump->BitBtn1);
  ASSERT_TRUE(RunUntil([&] { return !Engine().DumpRequest && Engine().CommState == 110; }));
  EXPECT_EQ(testing_support::TestUi().Messages(), std::vector<std::string>{});
  ASSERT_TRUE(dump->StringGrid1->item(0, 0));
  EXPECT_EQ(dump->StringGrid1->item(0, 0)->text(), "42");
}

// "Next Block" steps from the newest address asked, also once an older block has landed and shows under
// its own address: clicked again after that, it reads two blocks on.
TEST_F(AttachedFormsTest, NextBlockStepsFromTheNewestAddressAsked) {
  for (int block : {0x1000, 0x1100, 0x1200}) sim.Write(block, std::vector<std::uint8_t>(256, block >> 8));
  dump->show();
  testing_support::Replace(dump->Edit1, "4096");
  Click(dump->BitBtn1);
  ASSERT_TRUE(RunUntil([&] { return Engine().CommState == 551; }));
  Click(dump->Button1);
  ASSERT_TRUE(RunUntil([&] { return dump->Edit1->text() == "4096"; })) << "the first block lands";
  Click(dump->Button1);
  ASSERT_TRUE(RunUntil([&] { return !Engine().DumpRequest && Engine().CommState == 110; }));
  EXPECT_EQ(dump->Edit1->text(), "4608");
  ASSERT_TRUE(dump->StringGrid1->item(0, 0));
  EXPECT_EQ(dump->StringGrid1->item(0, 0)->text(), "12");
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
