// The parameter windows wired to the communications window as the program wires them: the controller
// parameter grid's edit rules and keystrokes, the module parameter grid's password click and the change
// dialog, the restart window, and the single-instance check made when the module window is created.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <thread>

#include "controller/engine_fixture.h"
#include "gui/controller/change_param_form.h"
#include "gui/controller/comms_form.h"
#include "gui/controller/form_ticker.h"
#include "gui/controller/manager_params_form.h"
#include "gui/controller/manager_restart_form.h"
#include "gui/controller/parameter_form.h"
#include "platform/single_instance.h"
#include "support/temp_dir.h"
#include "support/user_input.h"

namespace {

using controller::CommsGrid;
using controller::CommsWindow;
using controller::test::FakeProject;
using controller::test::FixedClock;
using testing_support::ClickCell;
using testing_support::Key;
using testing_support::Shoot;
using testing_support::Type;
using Slot = std::array<std::uint8_t, 6>;

class ParamFormsTest : public ::testing::Test {
 protected:
  ParamFormsTest() {
    sim.SetAppVersion(400);
    sim.SetFirmwareVersion(820);
    comms->Settings.ComNum = 1;
    comms->Settings.Method = 1;
    ManagerParamsForm = managerParams.get();
    ParameterForm = parameters.get();
    ChangeParam = change.get();
    ManagerRestart = restart.get();
    comms->AttachGrid(CommsGrid::ControllerParams, managerParams->StringGrid1, true);
    comms->AttachWindow(CommsWindow::ControllerParams, managerParams.get());
    comms->AttachGrid(CommsGrid::ModuleParams, parameters->StringGrid1, true);
    comms->AttachWindow(CommsWindow::ModuleParams, parameters.get());
    comms->AttachLabel(controller::CommsText::ModuleParamStatus, parameters->Label1);
    comms->AttachWindow(CommsWindow::Restart, restart.get());
    comms->AttachRestartBar(restart->ProgressBar1);
  }
  ~ParamFormsTest() override {
    ManagerParamsForm = nullptr;
    ParameterForm = nullptr;
    ChangeParam = nullptr;
    ManagerRestart = nullptr;
  }

  testing_support::ScriptedUi& Ui() { return testing_support::TestUi(); }
  controller::CommsEngine& Engine() { return *comms->Engine; }

  // Ticks the communications window's engine, letting the simulator answer each frame.
  bool Run(const std::function<bool()>& done, int limit) { return ticker.RunUntil(done, limit); }
  void Connect() {
    comms->AttachEngine();
    ASSERT_TRUE(Run([&] { return Engine().CommState == 114 && !Engine().ParamsRequest; }, 300));
  }

  // Connected, the module parameter window open with the password, as this connection read it, typed in.
  void OpenWithPassword() {
    Connect();
    Engine().ModuleParamTable[1][6] = 4321;
    Engine().ModuleParamRead[1].set(6);
    parameters->show();
    parameters->Edit1->setText("4321");
  }

  // The controller grid's cell in grid coordinates (row 0 is the header).
  QString ParamCell(int column, int row) const {
    QTableWidgetItem* item = managerParams->StringGrid1->item(row - 1, column);
    return item ? item->text() : QString();
  }
  // Selects a value cell of the controller grid and types `text` there; the open editor, if any.
  QLineEdit* TypeIntoParam(int row, const QString& text) {
    QTableWidget* grid = managerParams->StringGrid1;
    grid->setCurrentCell(row - 1, 1);
    testing_support::TypeInCell(grid, text);
    return grid->viewport()->findChild<QLineEdit*>();
  }
  void ClickModuleCell(int column, int row) {
    QTableWidget* grid = parameters->StringGrid1;
    testing_support::ClickCell(grid, grid->model()->index(row - 1, column));
  }

  testing_support::ScopedConfigDir config;
  testing_support::SimController sim;
  serial::test::ScopedComEnv com{1, sim.SlavePath()};
  FakeProject project;
  FixedClock clock;
  std::unique_ptr<TCommsForm> comms = std::make_unique<TCommsForm>(project, clock);
  std::unique_ptr<TParameterForm> parameters = std::make_unique<TParameterForm>(*comms->Engine);
  std::unique_ptr<TChangeParam> change = std::make_unique<TChangeParam>(*comms->Engine);
  std::unique_ptr<TManagerParamsForm> managerParams = std::make_unique<TManagerParamsForm>(*comms->Engine);
  std::unique_ptr<TManagerRestart> restart = std::make_unique<TManagerRestart>();
  gui_test::FormTicker ticker{*comms, sim};
};

TEST_F(ParamFormsTest, ProtectedParametersAreEditableOnlyWhileTheSettingAllowsIt) {
  Engine().CommState = 110;
  managerParams->show();
  const struct {
    int Row;
    bool Protected;
    bool Editable;
  } cases[] = {{1, false, true},  {118, false, true}, {119, false, false}, {128, false, false},
               {119, true, true}, {128, true, true},  {1, true, true}};
  managerParams->StringGrid1->item(50, 1)->setText("95");  // where a search for the key would move to
  for (const auto& c : cases) {
    comms->Settings.EditProtectedParams = c.Protected;
    Engine().CommandQueue[0].fill(0);
    managerParams->StringGrid1->setCurrentCell(0, 0);
    QLineEdit* editor = TypeIntoParam(c.Row, "9");
    EXPECT_EQ(managerParams->Editing(), c.Editable) << c.Row << " " << c.Protected;
    EXPECT_EQ(editor != nullptr, c.Editable) << c.Row << " " << c.Protected;
    EXPECT_EQ(managerParams->StringGrid1->currentRow(), c.Row - 1) << "typing moves nowhere";
    if (editor) Key(editor, Qt::Key_Return);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(Engine().CommandQueue[0][0], c.Editable ? 0x28 : 0) << c.Row << " " << c.Protected;
    managerParams->StringGrid1->item(c.Row - 1, 1)->setText("");
  }
  EXPECT_EQ(managerParams->windowTitle(), "Contoller");
  EXPECT_FALSE(managerParams->StringGrid1->item(5, 0)->flags() & Qt::ItemIsEditable) << "column 0 is fixed";
}

// A half-typed value never reaches the controller: the change is queued when the edit is committed, with
// one log line, and an edit given up (Escape) queues nothing.
TEST_F(ParamFormsTest, AnEditIsQueuedWhenCommittedNotOnEveryKeystroke) {
  Engine().CommState = 110;
  managerParams->show();
  QTableWidget* grid = managerParams->StringGrid1;
  grid->setCurrentCell(5, 1);
  Type(grid, "3");
  QLineEdit* editor = grid->viewport()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  // The engine's read rewrites the grid while the user types.
  comms->SetCell(CommsGrid::ControllerParams, 1, 6, "3");
  Type(editor, "00");
  EXPECT_EQ(editor->text(), "300");
  EXPECT_EQ(Engine().CommandQueue[0][0], 0) << "nothing queued while typing";
  EXPECT_EQ(comms->ListBox1->count(), 0);

  Type(editor, QString(QChar(0x20AC)));
  EXPECT_EQ(editor->text(), "300") << "a character outside Latin-1 is refused";
  EXPECT_EQ(Ui().Beeps(), 1);
  Key(editor, Qt::Key_Return);
  QApplication::processEvents();
  EXPECT_EQ(Engine().CommandQueue[0], (Slot{0x28, 5, 0x01, 0x2C, 0, 0}));
  EXPECT_EQ(Engine().ParamsRequest, 1);
  ASSERT_EQ(comms->ListBox1->count(), 1);
  EXPECT_EQ(comms->ListBox1->item(0)->text(), "Change Parameter 5 to 300");
  EXPECT_EQ(ParamCell(1, 6), "300");

  Engine().CommandQueue[0].fill(0);
  grid->setCurrentCell(7, 1);
  Type(grid, "12");
  editor = grid->viewport()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  Key(editor, Qt::Key_Escape);
  QApplication::processEvents();
  EXPECT_EQ(Engine().CommandQueue[0][0], 0) << "given up";
  EXPECT_EQ(comms->ListBox1->count(), 1);
}

TEST_F(ParamFormsTest, TheGridShowsTheControllersParametersAndSendsAnEdit) {
  for (int p = 0; p < 128; ++p) sim.SetParameter(p, static_cast<std::uint16_t>(p * 2));
  sim.SetParameter(127, 0xFFFF);
  Connect();
  comms->RetrieveVORMOParameters1Click();
  ASSERT_TRUE(managerParams->isVisible());
  ASSERT_TRUE(Run([&] { return Engine().CommState == 110 && !Engine().ParamsRequest; }, 40));
  EXPECT_EQ(managerParams->StringGrid1->horizontalHeaderItem(0)->text(), "P#");
  EXPECT_EQ(managerParams->StringGrid1->horizontalHeaderItem(1)->text(), "Data");
  EXPECT_EQ(ParamCell(0, 11), "10");
  EXPECT_EQ(ParamCell(1, 11), "20");
  EXPECT_EQ(ParamCell(1, 128), "65535");

  QLineEdit* editor = TypeIntoParam(11, "250");
  ASSERT_NE(editor, nullptr);
  Key(editor, Qt::Key_Return);
  ASSERT_TRUE(
      Run([&] { return Engine().CommState == 110 && !Engine().ParamsRequest && !Engine().CommandQueue[0][0]; }, 60));
  EXPECT_EQ(sim.Parameter(10), 250);
  EXPECT_EQ(ParamCell(1, 11), "250");
  managerParams->StringGrid1->scrollToItem(managerParams->StringGrid1->item(0, 0));
  EXPECT_TRUE(Shoot(managerParams.get(), "zelta_manager_params.png"));
}

// A second edit of a parameter, on whichever tick of the engine's round it comes, ends with the grid
// showing what the controller holds: the table is read back after the last write.
TEST_F(ParamFormsTest, ASecondEditOnAnyTickEndsWithTheGridShowingTheControllersValue) {
  Connect();
  managerParams->show();
  const auto commit = [&](int value) {
    QLineEdit* editor = TypeIntoParam(8, QString::number(value));
    ASSERT_NE(editor, nullptr);
    Key(editor, Qt::Key_Return);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  };
  // Two edits a write and a read apart, and more, from the poll cycle on.
  for (int apart = 0; apart < 20; ++apart) {
    SCOPED_TRACE(apart);
    commit(3000 + apart);
    int ticks = 0;
    Run([&] { return ticks++ == apart; }, apart + 1);
    commit(4000 + apart);
    ASSERT_TRUE(
        Run([&] { return Engine().CommState == 110 && !Engine().ParamsRequest && !Engine().CommandQueue[0][0]; }, 60));
    EXPECT_EQ(sim.Parameter(7), 4000 + apart);
    EXPECT_EQ(ParamCell(1, 8), QString::number(4000 + apart));
  }
}

// Keys typed at once after a click on the selected value cell go, whole, to that cell's parameter: none
// searches the grid for a row nor is lost under an editor opening late, also when the engine's read-back
// rewrites the cell between the click and the keys.
TEST_F(ParamFormsTest, KeysTypedAtOnceAfterAClickOnTheSelectedCellGoWholeToItsParameter) {
  sim.SetParameter(10, 400);  // rows a search for the first key would move to
  sim.SetParameter(11, 7);
  sim.SetParameter(12, 800);
  Connect();
  managerParams->show();
  managerParams->activateWindow();
  QTableWidget* grid = managerParams->StringGrid1;
  grid->setFocus();
  // Keys go to the window, which hands them to its focus, as the keyboard's do.
  const auto press = [&](int key, const QString& text) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(managerParams->windowHandle(), &event);
  };
  const auto type = [&](const QString& text, bool enter) {
    for (QChar ch : text) press(ch.unicode(), ch);
    if (enter) press(Qt::Key_Return, {});
    QApplication::processEvents();
  };
  const struct {
    std::uint8_t P;
    const char* Typed;
    std::uint8_t High, Low;
    bool ReadBackBetween;
  } cases[] = {{9, "8502", 0x21, 0x36, false}, {11, "4002", 0x0F, 0xA2, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Typed);
    const QModelIndex cell = grid->model()->index(c.P, 1);
    ClickCell(grid, cell);
    type("1000", true);
    // The controller keeps its value, so the read-back rewrites the cell.
    if (c.ReadBackBetween) sim.RefuseCommand(0x28, 1);
    ClickCell(grid, cell);
    if (c.ReadBackBetween) {
      ASSERT_TRUE(Run([&] { return ParamCell(1, c.P + 1) == QString::number(sim.Parameter(c.P)); }, 60));
    }
    type(c.Typed, false);
    EXPECT_TRUE(Shoot(managerParams.get(), QString("zelta_params_typed_%1.png").arg(c.Typed)));
    type("", true);
    EXPECT_EQ(grid->currentRow(), c.P) << "no key moves the grid";
    const auto& queue = Engine().CommandQueue;
    const auto newest = std::find_if(queue.rbegin(), queue.rend(), [](const Slot& slot) { return slot[0] != 0; });
    ASSERT_NE(newest, queue.rend());
    EXPECT_EQ(*newest, (Slot{0x28, c.P, c.High, c.Low, 0, 0}));
  }
}

// A click on the selected value cell opens its editor holding the cell's text; a click on another cell then
// writes only what was typed there: not the editor's old text once the engine's read-back has rewritten the
// cell, and what was typed also when a key outside Latin-1 was refused after it.
TEST_F(ParamFormsTest, AClickAwayWritesOnlyWhatWasTypedInTheEditor) {
  sim.SetParameter(11, 7);
  Connect();
  managerParams->show();
  QTableWidget* grid = managerParams->StringGrid1;
  const QModelIndex cell = grid->model()->index(11, 1);
  const struct {
    const char* What;
    QString Typed;
    std::optional<std::uint16_t> Written;
  } cases[] = {{"nothing typed", "", std::nullopt}, {"a key refused", "4002" + QString(QChar(0x20AC)), 4002}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    ClickCell(grid, grid->model()->index(20, 1));
    ClickCell(grid, cell);
    ClickCell(grid, cell);
    auto* editor = qobject_cast<QLineEdit*>(grid->indexWidget(cell));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), ParamCell(1, 12));
    Type(editor, c.Typed);
    // The controller's value changes; the read-back rewrites the cell under the open editor.
    sim.SetParameter(11, static_cast<std::uint16_t>(sim.Parameter(11) + 1));
    Engine().ParamsRequest = 1;
    ASSERT_TRUE(Run([&] { return ParamCell(1, 12) == QString::number(sim.Parameter(11)); }, 60));
    ClickCell(grid, grid->model()->index(12, 1));
    if (c.Written)
      EXPECT_EQ(Engine().CommandQueue[0], (Slot{0x28, 11, static_cast<std::uint8_t>(*c.Written >> 8),
                                                static_cast<std::uint8_t>(*c.Written), 0, 0}));
    else
      EXPECT_EQ(Engine().CommandQueue[0][0], 0) << "nothing queued";
  }
}

TEST_F(ParamFormsTest, AClickWithThePasswordOpensTheChangeDialog) {
  Engine().ModuleParamTable[1][6] = 4321;
  Engine().ModuleParamTable[2][5] = 77;
  Engine().ModuleParamRead[1].set(6);  // as this connection read them
  Engine().ModuleParamRead[2].set(5);
  parameters->show();
  EXPECT_EQ(parameters->StringGrid1->horizontalHeaderItem(0)->text(), "Mod#");
  EXPECT_EQ(parameters->StringGrid1->horizontalHeaderItem(64)->text(), "Param 63");
  EXPECT_EQ(parameters->StringGrid1->item(62, 0)->text(), "63");
  EXPECT_EQ(parameters->StringGrid1->item(63, 0)->text(), "");

  const struct {
    const char* Password;
    int Column, Row;
    bool Opens;
  } cases[] = {{"", 6, 2, false},       {"4320", 6, 2, false},  {"4321x", 6, 2, false},
               {"4321", 6, 128, false}, {"4321", 6, 127, true}, {"4321", 6, 2, true}};
  for (const auto& c : cases) {
    Engine().ModuleParamsStop = 0;
    parameters->Edit1->setText(c.Password);
    ClickModuleCell(c.Column, c.Row);
    EXPECT_EQ(Engine().ModuleParamsStop, 1) << "any click ends a read; " << c.Password << " row " << c.Row;
    EXPECT_EQ(change->isVisible(), c.Opens) << c.Password << " row " << c.Row;
  }
  EXPECT_TRUE(change->isModal());
  EXPECT_EQ(change->Label1->text(), "Change Parameter 5 on Module 2 to:");
  EXPECT_EQ(change->Edit1->text(), "77");
  EXPECT_TRUE(Shoot(change.get(), "zelta_change_param.png"));

  change->BitBtn2->click();
  EXPECT_FALSE(change->isVisible());
  EXPECT_EQ(Engine().ParamChangeRequest, 0) << "cancelled";

  parameters->BitBtn1->click();
  EXPECT_FALSE(parameters->isVisible());
  EXPECT_EQ(parameters->Edit1->text(), "") << "hiding forgets the password";
}

TEST_F(ParamFormsTest, TheChangedValueIsWrittenToTheModuleAndReadBack) {
  for (int module = 1; module <= 3; ++module) sim.SetModule(module, 5);
  sim.SetModuleParameter(2, 5, 77);
  OpenWithPassword();
  ClickModuleCell(6, 2);
  ASSERT_TRUE(change->isVisible());
  change->Edit1->clear();
  Type(change->Edit1, "1000");
  change->BitBtn1->click();
  EXPECT_FALSE(change->isVisible());
  EXPECT_EQ(Engine().ParamChangeRequest, 1);

  ASSERT_TRUE(Run([&] { return parameters->Label1->text() == "Parameters Received"; }, 80));
  EXPECT_EQ(sim.ModuleParameter(2, 5), 1000);
  EXPECT_EQ(parameters->StringGrid1->item(1, 6)->text(), "1000");
  EXPECT_EQ(parameters->StringGrid1->item(0, 6)->text(), "0");
  parameters->StringGrid1->scrollToTop();
  EXPECT_TRUE(Shoot(parameters.get(), "zelta_module_params.png"));
}

// The module, parameter and value go as OK took them, while the change waits (the engine in the X10 monitor)
// and while it is on the line, sent and not yet answered: a click on another cell opens the window there and
// retargets nothing, a second OK is refused and told, and Cancel withdraws nothing. A retry sends the first.
TEST_F(ParamFormsTest, AChangeWritesWhatOKTookWhateverIsClickedWhileItWaits) {
  for (int module : {2, 7}) sim.SetModule(module, 5);
  OpenWithPassword();
  const auto none = [] { return true; };
  const auto onTheLine = [&] {
    if (!Run([&] { return Engine().CommState == 206; }, 40)) return false;
    sim.IgnoreNext(1);  // unanswered: the wait times out and the change goes again
    return Run([&] { return Engine().CommState == 207; }, 1);
  };
  const struct {
    const char* While;
    std::function<bool()> BeforeOK, AfterOK, Release;
  } moments[] = {{"waiting", [&] { return ticker.OpenX10Monitor(); }, none, [&] { return ticker.CloseX10Monitor(); }},
                 {"on the line", none, onTheLine, none}};
  for (const auto& m : moments) {
    SCOPED_TRACE(m.While);
    sim.SetModuleParameter(2, 5, 20);
    sim.SetModuleParameter(7, 5, 70);
    Ui().Clear();
    ASSERT_TRUE(m.BeforeOK());
    ClickModuleCell(6, 2);
    testing_support::Replace(change->Edit1, "1000");
    change->BitBtn1->click();
    ASSERT_TRUE(m.AfterOK());
    ClickModuleCell(6, 7);
    EXPECT_EQ(change->Label1->text(), "Change Parameter 5 on Module 7 to:");
    testing_support::Replace(change->Edit1, "55");
    change->BitBtn1->click();
    change->BitBtn2->click();
    ASSERT_TRUE(m.Release());
    ASSERT_TRUE(Run([&] { return Engine().CommState == 110 && !Engine().ParamChangeRequest; }, 200));
    EXPECT_EQ(sim.ModuleParameter(2, 5), 1000);
    EXPECT_EQ(sim.ModuleParameter(7, 5), 70);
    EXPECT_EQ(Ui().Messages(),
              std::vector<std::string>{"Module Parameter Change not sent: the last one asked has not ended yet"});
  }
}

TEST_F(ParamFormsTest, TheRestartWindowFollowsTheEnginesWait) {
  Engine().BeginRestartWait();
  EXPECT_TRUE(restart->isVisible());
  EXPECT_EQ(restart->windowTitle(), "Controller Restart");
  EXPECT_EQ(restart->Label1->text(), "Please wait.........restarting Controller");
  for (int i = 0; i < 150; ++i) Engine().RestartWaitDone();
  EXPECT_EQ(restart->ProgressBar1->value(), 149 / 3);
  EXPECT_TRUE(Shoot(restart.get(), "zelta_restart.png"));
  while (!Engine().RestartWaitDone()) {
  }
  EXPECT_EQ(restart->ProgressBar1->value(), 100);
  EXPECT_FALSE(restart->isVisible());
}

TEST_F(ParamFormsTest, ASecondCopyIsToldThatZeltaIsAlreadyLoaded) {
  testing_support::TempDir dir;
  {
    platform::SingleInstanceLock first(dir.Path().string());
    ASSERT_EQ(first.State(), platform::InstanceLock::Taken);
    EXPECT_FALSE(TParameterForm::OnlyInstance(dir.Path().string()));
    ASSERT_EQ(Ui().Messages().size(), 1u);
    EXPECT_EQ(Ui().Messages()[0], "Zelta Already Loaded");
  }
  EXPECT_TRUE(TParameterForm::OnlyInstance(dir.Path().string()));
  EXPECT_TRUE(TParameterForm::OnlyInstance(dir.File("missing"))) << "no lock to be had does not stop the program";
  EXPECT_EQ(Ui().Messages().size(), 1u);
}

}  // namespace
